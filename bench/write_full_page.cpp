// Writes the benchmarks' full page of one layout to a file, for timing whole
// runs of the tool: write_full_page onfi|jedec FILE.
#include <cstdio>
#include <cstring>

#include "full_page.h"

int main(int argc, char** argv) {
  if (argc != 3 || (std::strcmp(argv[1], "onfi") != 0 && std::strcmp(argv[1], "jedec") != 0)) {
    std::fputs("use: write_full_page onfi|jedec FILE\n", stderr);
    return 2;
  }
  using tolvik::bench::Layout;
  const tolvik::ParamPage page =
      tolvik::bench::full_page(std::strcmp(argv[1], "onfi") == 0 ? Layout::Onfi : Layout::Jedec);
  std::FILE* file = std::fopen(argv[2], "wb");
  if (file == nullptr) return 1;
  const bool written = std::fwrite(page.bytes, 1, sizeof page.bytes, file) == sizeof page.bytes;
  return std::fclose(file) == 0 && written ? 0 : 1;
}
