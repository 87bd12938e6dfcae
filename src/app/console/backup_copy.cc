#include "app/console/backup_copy.h"

#include <filesystem>
#include <system_error>

#include "jet/calendar_date.h"
#include "jet/error.h"
#include "jet/os_file.h"
#include "jet/page_file.h"

namespace console {
namespace {

namespace fs = std::filesystem;

}  // namespace

std::string backupName(const std::string& file, std::time_t when) {
  fs::path name = fs::path(file).filename();
  return name.stem().string() + "-" + jet::fileNameStamp(when) + name.extension().string();
}

std::vector<std::string> backupFiles(const std::string& dir, const std::vector<std::string>& files, std::time_t when) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (!fs::is_directory(dir)) {
    throw jet::Error(jet::err::kPathNotFound, "Path not found: cannot make the backup folder '" + dir + "'" +
                                        (ec ? ": " + ec.message() : std::string()) + ".");
  }
  std::vector<std::string> copies;
  for (const std::string& file : files) {
    if (file.empty() || !fs::is_regular_file(file)) {
      throw jet::Error(jet::err::kFileNotFound, "Could not find file '" + file + "'.");
    }
    // A log left by a run that stopped is carried in first: the copy is the file as stored.
    if (jet::osPathInfo(file + "-wal").exists) jet::PageFile(file, jet::PageFile::Mode::ReadWrite).close();
    fs::path name(backupName(file, when));
    fs::path target = fs::path(dir) / name;
    for (int n = 2; fs::exists(fs::symlink_status(target)); ++n) {
      target = fs::path(dir) / (name.stem().string() + "-" + std::to_string(n) + name.extension().string());
    }
    bool copied = fs::copy_file(file, target, fs::copy_options::none, ec);
    if (!copied || ec || fs::file_size(target, ec) != fs::file_size(file)) {
      throw jet::Error(jet::err::kPathFileAccess, "Path/File access error: cannot copy '" + file + "' to '" + target.string() +
                                            "'" + (ec ? ": " + ec.message() : std::string()) + ".");
    }
    copies.push_back(target.string());
  }
  return copies;
}

}  // namespace console
