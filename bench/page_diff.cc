// Counts the pages in which two versions of a database file differ (pages past the end of the
// shorter file count as differing), to set the bytes an update wrote against what it changed.
// Given a folder, it also measures the I/O floor of writing those pages crash-safely: the changed
// pages written to a fresh file and synced, then written in place into a copy of BEFORE and
// synced (the copy is made and synced first, untimed).
// Usage: page-diff BEFORE AFTER PAGESIZE [FOLDER]
// Prints: changed-pages pages-of-the-larger-file [floor-seconds]
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

bool writeAt(int fd, const char* data, size_t n, off_t at) {
  while (n > 0) {
    ssize_t w = ::pwrite(fd, data, n, at);
    if (w <= 0) return false;
    data += w;
    n -= size_t(w);
    at += w;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: page-diff BEFORE AFTER PAGESIZE [FOLDER]\n");
    return 2;
  }
  std::ifstream a(argv[1], std::ios::binary), b(argv[2], std::ios::binary);
  const size_t pageSize = std::strtoul(argv[3], nullptr, 10);
  if (!a || !b || pageSize == 0) return 1;
  std::vector<char> pa(pageSize), pb(pageSize);
  std::vector<std::pair<long long, std::vector<char>>> pages;  // the changed pages as AFTER holds them
  long long changed = 0, total = 0;
  for (;;) {
    a.read(pa.data(), std::streamsize(pageSize));
    b.read(pb.data(), std::streamsize(pageSize));
    const auto ra = a.gcount(), rb = b.gcount();
    if (ra == 0 && rb == 0) break;
    if (ra != rb || !std::equal(pa.begin(), pa.begin() + ra, pb.begin())) {
      ++changed;
      if (argc == 5 && rb > 0) pages.emplace_back(total, std::vector<char>(pb.begin(), pb.begin() + rb));
    }
    ++total;
  }
  if (argc == 4) {
    std::printf("%lld %lld\n", changed, total);  // changed pages, pages of the larger file
    return 0;
  }
  const std::string log = std::string(argv[4]) + "/floor-log", copy = std::string(argv[4]) + "/floor-copy";
  {
    std::ifstream in(argv[1], std::ios::binary);
    std::ofstream out(copy, std::ios::binary | std::ios::trunc);
    out << in.rdbuf();
  }
  int cfd = ::open(copy.c_str(), O_RDWR);
  if (cfd < 0 || ::fsync(cfd) != 0) return 1;
  const auto start = std::chrono::steady_clock::now();
  int lfd = ::open(log.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
  if (lfd < 0) return 1;
  off_t at = 0;
  for (auto& [page, data] : pages) {
    if (!writeAt(lfd, data.data(), data.size(), at)) return 1;
    at += off_t(data.size());
  }
  if (::fsync(lfd) != 0) return 1;
  for (auto& [page, data] : pages) {
    if (!writeAt(cfd, data.data(), data.size(), off_t(page) * off_t(pageSize))) return 1;
  }
  if (::fsync(cfd) != 0) return 1;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ::close(lfd);
  ::close(cfd);
  ::unlink(log.c_str());
  ::unlink(copy.c_str());
  std::printf("%lld %lld %.3f\n", changed, total, seconds);
  return 0;
}
