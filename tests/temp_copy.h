// Test support: fixture copies in a fresh temporary folder, and the reports of an update.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>


namespace testing_support {

inline std::string fixture(const std::string& relative) { return std::string(TARNLOG_FIXTURES) + "/" + relative; }

// A file's bytes.
inline std::string readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Copies `source` (a path, or one relative to the fixtures) to `to`, creating its folder; the copy
// is writable.
inline void copyFixture(const std::string& source, const std::filesystem::path& to) {
  std::filesystem::create_directories(to.parent_path());
  std::filesystem::copy_file(std::filesystem::path(source).is_absolute() ? source : fixture(source), to,
                             std::filesystem::copy_options::overwrite_existing);
  std::filesystem::permissions(to, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
}

// A fresh folder under the system's temporary folder, removed with its contents at the end.
class ScratchDir {
 public:
  ScratchDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "tarnlog-test-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("cannot create a temporary folder");
    path_ = tmpl;
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  // Copies `source` (as copyFixture takes it) here under `name`, or its own name. Returns the copy's path.
  std::string copy(const std::string& source, const std::string& name = "") const {
    const std::filesystem::path dst =
        std::filesystem::path(path_) / (name.empty() ? std::filesystem::path(source).filename().string() : name);
    copyFixture(source, dst);
    return dst.string();
  }

 private:
  std::string path_;
};

// Records the messages an update reports, in order.
struct Reports {
  std::vector<std::string> shown;
  std::function<void(const std::string&)> fn() {
    return [this](const std::string& message) { shown.push_back(message); };
  }
};

}  // namespace testing_support
