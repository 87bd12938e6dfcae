// The checkpoint: the log's committed pages carried into the database file, after which the
// log goes.
#include <algorithm>
#include <vector>

#include "jet/base/error.h"
#include "jet/pager/wal.h"

namespace jet::wal {

uint64_t LogWriter::checkpoint(File& database, const std::string& databasePath, uint64_t fileSize) {
  if (!exists()) return fileSize;
  if (committed_.empty()) {
    remove();
    return fileSize;
  }
  markCheckpoint();
  uint32_t pages = pagesAfter_;
  for (auto& [page, at] : committed_) pages = std::max(pages, page + 1);
  const uint64_t want = uint64_t(pages) * pageSize_;
  if (want > fileSize) {
    // The room is taken, and synced (where a full disk may show only then), before any page is
    // written in place: a full disk fails here, with the file as it was, and never halfway
    // through the copy.
    OsStatus room = database.reserve(want);
    if (room) room = database.sync();
    if (!room) {
      (void)database.truncate(fileSize);
      throwWriteFailure(room.error(), ": cannot make room for '" + databasePath + "' to grow to " + std::to_string(want) + " bytes");
    }
  }
  // The newest copies are read from the log in its own order, many frames per read, and
  // written in page order within each stretch; runs of neighbouring pages go in one write each.
  std::vector<std::pair<uint64_t, uint32_t>> byOffset;
  byOffset.reserve(committed_.size());
  for (auto& [page, offset] : committed_) byOffset.emplace_back(offset, page);
  std::sort(byOffset.begin(), byOffset.end());
  constexpr size_t kStretch = 1u << 20;
  std::vector<uint8_t> stretch, run;
  uint32_t runStart = 0;
  auto flushRun = [&] {
    if (run.empty()) return;
    writeAll(database, databasePath, uint64_t(runStart) * pageSize_, run.data(), run.size());
    bytesCarriedIn_ += run.size();
    run.clear();
  };
  std::vector<std::pair<uint32_t, uint64_t>> inStretch;  // a stretch's pages, and where they lie in it
  for (size_t i = 0; i < byOffset.size();) {
    const uint64_t from = byOffset[i].first;
    size_t j = i + 1;
    while (j < byOffset.size() && byOffset[j].first + pageSize_ - from <= kStretch) ++j;
    const uint64_t to = byOffset[j - 1].first + pageSize_;
    stretch.resize(size_t(to - from));
    readBytes(from, stretch.data(), stretch.size());
    inStretch.clear();
    for (size_t k = i; k < j; ++k) inStretch.emplace_back(byOffset[k].second, byOffset[k].first - from);
    std::sort(inStretch.begin(), inStretch.end());
    for (auto& [page, at] : inStretch) {
      if (!run.empty() && page != runStart + run.size() / pageSize_) flushRun();
      if (run.empty()) runStart = page;
      run.insert(run.end(), stretch.begin() + long(at), stretch.begin() + long(at + pageSize_));
    }
    flushRun();
    i = j;
  }
  flushRun();
  syncAll(database, databasePath);
  remove();
  return std::max(fileSize, want);
}

}  // namespace jet::wal
