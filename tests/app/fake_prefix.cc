#include "fake_prefix.h"

#include <cstdlib>
#include <fstream>

namespace testing_support {
namespace fs = std::filesystem;

FakePrefix::FakePrefix() : root_(dir_.path()) {
  prefix_ = root_ / "wine";
  home_ = root_ / "home";
  fs::create_directories(prefix_ / "drive_c");
  fs::create_directories(prefix_ / "dosdevices");
  fs::create_directories(home_);
  fs::create_directory_symlink("../drive_c", prefix_ / "dosdevices" / "c:");
  for (const char* name : {"WINEPREFIX", "HOME", "XDG_CONFIG_HOME"}) {
    const char* value = std::getenv(name);
    saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
  }
  setenv("WINEPREFIX", prefix_.c_str(), 1);
  setenv("HOME", home_.c_str(), 1);
  unsetenv("XDG_CONFIG_HOME");
}

FakePrefix::~FakePrefix() {
  for (const auto& [name, value] : saved_) {
    if (value) setenv(name.c_str(), value->c_str(), 1);
    else unsetenv(name.c_str());
  }
}

void FakePrefix::writeUserReg(const std::string& body) {
  std::ofstream out(prefix_ / "user.reg", std::ios::binary);
  out << "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win32\n\n"
      << body;
}

void FakePrefix::linkDrive(char letter, const fs::path& target) {
  fs::create_directory_symlink(target, prefix_ / "dosdevices" / (std::string(1, letter) + ":"));
}

void FakePrefix::touch(const fs::path& file, const std::string& content) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << content;
}

void FakePrefix::removePrefixVariable() { setenv("WINEPREFIX", (root_ / "no-such-prefix").c_str(), 1); }

}  // namespace testing_support
