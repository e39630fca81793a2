// Decodes the page in argv[1] through the embedded library and says what the
// decoder found.
#include <tolvik.h>

// Only the public header's folder may be on the include path.
#if __has_include(<decode/report.h>) || __has_include(<cli/input.h>) || __has_include(<onfi/onfi.h>)
#error "the library's internals are on the include path"
#endif

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(tolvik::version(), tolvik::kVersion) != 0) return 2;
  tolvik::ParamPage page{};
  std::FILE* file = std::fopen(argv[1], "rb");
  if (file == nullptr) return 1;
  const std::size_t got = std::fread(page.bytes, 1, sizeof page.bytes, file);
  std::fclose(file);
  if (got == 0) return 1;
  char report[tolvik::kReportCapacity];
  const tolvik::DecodeResult result = tolvik::decode_page(page, report, tolvik::kDefaultLevel);
  std::printf("%s layout=%d crc_ok=%d complete=%d length>0=%d\n", tolvik::version(),
              static_cast<int>(result.layout), result.crc_ok ? 1 : 0, result.complete() ? 1 : 0,
              result.length > 0 ? 1 : 0);
  return 0;
}
