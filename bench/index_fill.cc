// How full the index pages of a database file are: the leaves' and the nodes' count and the
// share of their entry space in use, from each page's type byte and free-space field.
// Usage: index-fill FILE PAGESIZE        Prints: leaf-pages leaf-fill-% node-pages node-fill-%
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: index-fill FILE PAGESIZE\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const size_t pageSize = std::strtoul(argv[2], nullptr, 10);
  if (!in || (pageSize != 2048 && pageSize != 4096)) return 1;
  // Entries begin after the page's header and entry mask: 0xF8 in 2 KB pages, 0x1E0 in 4 KB ones.
  const size_t room = pageSize - (pageSize == 2048 ? 0xF8 : 0x1E0);
  std::vector<char> page(pageSize);
  long pages[2] = {0, 0};
  double used[2] = {0, 0};
  while (in.read(page.data(), std::streamsize(pageSize))) {
    const uint8_t type = uint8_t(page[0]);
    if (type != 0x03 && type != 0x04) continue;
    const size_t free = uint8_t(page[2]) | size_t(uint8_t(page[3])) << 8;
    const int leaf = type == 0x04;
    ++pages[leaf];
    used[leaf] += double(room - (free < room ? free : room)) / double(room);
  }
  auto percent = [&](int leaf) { return pages[leaf] ? 100.0 * used[leaf] / double(pages[leaf]) : 0.0; };
  std::printf("%ld %.0f %ld %.0f\n", pages[1], percent(1), pages[0], percent(0));
  return 0;
}
