// Counts the pages in which two versions of a database file differ (pages past the end of the
// shorter file count as differing), to set the bytes an update wrote against what it changed.
// Usage: page-diff BEFORE AFTER PAGESIZE
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: page-diff BEFORE AFTER PAGESIZE\n");
    return 2;
  }
  std::ifstream a(argv[1], std::ios::binary), b(argv[2], std::ios::binary);
  const size_t pageSize = std::strtoul(argv[3], nullptr, 10);
  if (!a || !b || pageSize == 0) return 1;
  std::vector<char> pa(pageSize), pb(pageSize);
  long long changed = 0, pages = 0;
  for (;;) {
    a.read(pa.data(), std::streamsize(pageSize));
    b.read(pb.data(), std::streamsize(pageSize));
    const auto ra = a.gcount(), rb = b.gcount();
    if (ra == 0 && rb == 0) break;
    ++pages;
    if (ra != rb || !std::equal(pa.begin(), pa.begin() + ra, pb.begin())) ++changed;
  }
  std::printf("%lld %lld\n", changed, pages);  // changed pages, pages of the larger file
  return 0;
}
