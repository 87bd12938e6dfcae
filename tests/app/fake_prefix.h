// A throw-away Wine prefix and home folder for tests: user.reg, drive_c, dosdevices links.
// Points WINEPREFIX, HOME and XDG_CONFIG_HOME at itself and puts them back when destroyed.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "../temp_copy.h"

namespace testing_support {

class FakePrefix {
 public:
  FakePrefix();
  ~FakePrefix();
  FakePrefix(const FakePrefix&) = delete;
  FakePrefix& operator=(const FakePrefix&) = delete;

  std::filesystem::path root() const { return root_; }      // temp folder holding everything
  std::filesystem::path prefix() const { return prefix_; }  // <root>/wine
  std::filesystem::path home() const { return home_; }      // <root>/home
  std::filesystem::path driveC() const { return prefix_ / "drive_c"; }

  // Writes user.reg with the given text after Wine's file header.
  void writeUserReg(const std::string& body);
  // Makes dosdevices/<letter>: a link to `target`.
  void linkDrive(char letter, const std::filesystem::path& target);
  // Creates a file (and its folders) with some content.
  static void touch(const std::filesystem::path& file, const std::string& content = "x");

  // WINEPREFIX is pointed at a folder that does not exist.
  void removePrefixVariable();

 private:
  ScratchDir dir_;
  std::filesystem::path root_, prefix_, home_;
  std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace testing_support
