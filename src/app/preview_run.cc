#include "app/preview_run.h"

#include <filesystem>
#include <random>
#include <system_error>
#include <utility>
#include <vector>

#include "app/database_locations.h"
#include "app/run_sequence.h"
#include "app/table_diff.h"
#include "app/utf8_path.h"
#include "db/data_source.h"
#include "jet/database/database.h"
#include "jet/base/error.h"
#include "jet/os/os_file.h"

namespace app {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kFolderPrefix = "tarnlog-preview-";
constexpr const char* kInUse = "in-use";  // locked for as long as its folder's preview runs

// Removes the folders of earlier previews that were stopped before they could remove their own
// (killed, or a power cut): nobody holds their lock any more.
void removeAbandonedFolders(const fs::path& base) {
  std::vector<fs::path> abandoned;
  std::error_code ec;
  for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
    if (!textOf(it->path().filename()).starts_with(kFolderPrefix)) continue;
    jet::OsFile lock;  // a folder without the file yet is still being made
    if (lock.open(textOf(it->path() / kInUse), jet::OsFile::Open::ReadWrite) && lock.lockExclusive()) {
      abandoned.push_back(it->path());
    }
  }
  for (const fs::path& folder : abandoned) fs::remove_all(folder, ec);
}

// A folder of its own below the system's temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    std::error_code ec;
    auto cannotMake = [&](const fs::path& base, const std::string& why) {
      return jet::Error(jet::err::kDiskIo, "Cannot make a temporary folder in '" + textOf(base) + "': " + why + ".");
    };
    const fs::path base = fs::temp_directory_path(ec);
    if (ec) throw jet::Error(jet::err::kPathNotFound, "Path not found: the temporary folder: " + ec.message() + ".");
    removeAbandonedFolders(base);
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0;; ++attempt) {
      path_ = base / (std::string(kFolderPrefix) + std::to_string(random() % 1000000000000ull));
      if (fs::create_directory(path_, ec)) break;
      if (attempt == 100) {
        throw cannotMake(base, ec.message());
      }
    }
    // The lock file gets its name only once it is locked, so that no other preview takes the
    // folder for abandoned in between. (On Windows the file's sharing keeps other writers out from
    // its creation on, and an open file cannot be renamed.)
#ifdef _WIN32
    const std::string locking = textOf(path_ / kInUse);
    auto named = [] { return jet::OsStatus(); };
#else
    const std::string locking = textOf(path_ / "locking");
    auto named = [&] { return jet::osRenameFile(locking, textOf(path_ / kInUse)); };
#endif
    jet::OsStatus made = lock_.open(locking, jet::OsFile::Open::Replace);
    if (made) made = lock_.lockExclusive();
    if (made) made = named();
    if (!made) {
      const std::string why = made.error().text;
      removeFolder();
      throw cannotMake(base, why);
    }
  }
  ~TempFolder() { removeFolder(); }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const fs::path& path() const { return path_; }

 private:
  void removeFolder() {
    lock_.close();
    std::error_code ec;
    fs::remove_all(path_, ec);
  }

  fs::path path_;
  jet::OsFile lock_;
};

// A writable copy of the database at `original`, which is first checked as the real run would
// open it, so that a missing, damaged, unreadable, read-only or locked file, or one whose folder
// has no room for the log, fails the same way.
std::string copyForPreview(const std::string& original, const fs::path& copy) {
  jet::checkOpensForWriting(original);
  std::error_code ec;
  if (!fs::copy_file(pathOf(original), copy, fs::copy_options::overwrite_existing, ec) || ec) {
    throw jet::Error(jet::err::kDiskIo, "Cannot copy '" + original + "' for the preview: " + ec.message() + ".");
  }
  fs::permissions(copy, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add, ec);
  return textOf(copy);
}

// `text` with each copy's path replaced by its original's.
std::string namingOriginals(std::string text, const std::vector<std::pair<std::string, std::string>>& copies) {
  for (const auto& [copy, original] : copies) {
    if (copy.empty()) continue;
    for (size_t at = text.find(copy); at != std::string::npos; at = text.find(copy, at + original.size())) {
      text.replace(at, copy.size(), original);
    }
  }
  return text;
}

}  // namespace

void previewRun(const std::string& bandPlanPath, const updates::GetAppSettingFn& GetAppSetting, std::ostream& out,
                const std::function<void()>& beforeWriting) {
  TempFolder temp;
  std::string bandPlanCopy = copyForPreview(bandPlanPath, temp.path() / "bandplan.mdb");
  std::string logbookPath, logbookCopy;
  updates::GetAppSettingFn settings = [&](const std::string& section, const std::string& key,
                                          const std::string& defaultValue) {
    std::string value = app::localSettings(GetAppSetting)(section, key, defaultValue);
    if (section != "Settings" || key != "Logbook") return value;
    if (logbookCopy.empty() || value != logbookPath) {
      refuseSameFile(bandPlanPath, value);
      logbookPath = value;
      logbookCopy = copyForPreview(value, temp.path() / "logbook.mdb");
    }
    return logbookCopy;
  };
  std::vector<std::string> messages;
  MsgBoxFn collect = [&](const std::string& prompt, int, const std::string&) {
    messages.push_back(prompt);
    return vbOK;
  };
  try {
    db::DataSource BandPlan, Logbook;
    BandPlan.setDatabaseName(bandPlanCopy);
    BandPlan.Refresh();
    runUpdates(BandPlan, Logbook, collect, Updates::real(), settings, beforeWriting);
    BandPlan.close();
    Logbook.close();
  } catch (const jet::Error& e) {
    // What the run met in a copy it says of the file itself, as the real run would.
    throw jet::Error(e.number(), namingOriginals(e.what(), {{bandPlanCopy, bandPlanPath}, {logbookCopy, logbookPath}}));
  }
  out << "Band plan " << bandPlanPath << ":\n";
  writeDatabaseChanges(bandPlanPath, bandPlanCopy, out);
  out << "Logbook " << logbookPath << ":\n";
  writeDatabaseChanges(logbookPath, logbookCopy, out);
  out << "Messages:\n";
  for (const std::string& message : messages) out << message << '\n';
}

}  // namespace app
