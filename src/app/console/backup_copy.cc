#include "app/console/backup_copy.h"

#include <filesystem>
#include <system_error>

#include "app/console/utf8_path.h"

#include "jet/calendar_date.h"
#include "jet/error.h"
#include "jet/os_file.h"
#include "jet/page_file.h"

namespace console {
namespace {

namespace fs = std::filesystem;

}  // namespace

std::string backupName(const std::string& file, std::time_t when) {
  fs::path name = pathOf(file).filename();
  return textOf(name.stem()) + "-" + jet::fileNameStamp(when) + textOf(name.extension());
}

std::vector<std::string> backupFiles(const std::string& dir, const std::vector<std::string>& files, std::time_t when) {
  std::error_code ec;
  const fs::path folder = pathOf(dir);
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder)) {
    throw jet::Error(jet::err::kPathNotFound, "Path not found: cannot make the backup folder '" + dir + "'" +
                                        (ec ? ": " + ec.message() : std::string()) + ".");
  }
  std::vector<std::string> copies;
  for (const std::string& file : files) {
    const fs::path source = pathOf(file);
    if (file.empty() || !fs::is_regular_file(source)) {
      throw jet::Error(jet::err::kFileNotFound, "Could not find file '" + file + "'.");
    }
    // A log left by a run that stopped is carried in first: the copy is the file as stored.
    if (jet::osPathInfo(file + "-wal").exists) jet::PageFile(file, jet::PageFile::Mode::ReadWrite).close();
    fs::path name = pathOf(backupName(file, when));
    fs::path target = folder / name;
    for (int n = 2; fs::exists(fs::symlink_status(target)); ++n) {
      target = folder / pathOf(textOf(name.stem()) + "-" + std::to_string(n) + textOf(name.extension()));
    }
    bool copied = fs::copy_file(source, target, fs::copy_options::none, ec);
    if (!copied || ec || fs::file_size(target, ec) != fs::file_size(source)) {
      throw jet::Error(jet::err::kPathFileAccess, "Path/File access error: cannot copy '" + file + "' to '" + textOf(target) +
                                            "'" + (ec ? ": " + ec.message() : std::string()) + ".");
    }
    copies.push_back(textOf(target));
  }
  return copies;
}

}  // namespace console
