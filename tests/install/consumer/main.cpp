// Decodes the page in argv[1] at level argv[2] through the installed library
// and prints the report and its length as the tool does.
#include <tolvik.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  tolvik::ParamPage page{};
  std::FILE* file = std::fopen(argv[1], "rb");
  if (file == nullptr) return 1;
  const std::size_t got = std::fread(page.bytes, 1, sizeof page.bytes, file);
  std::fclose(file);
  if (got == 0) return 1;
  char report[tolvik::kReportCapacity];
  const std::size_t length = tolvik::decode_parameter_page(page, report, std::atoi(argv[2]));
  // An unrecognised page leaves the buffer untouched, so print by length.
  std::fwrite(report, 1, length, stdout);
  std::printf("\nlen=%zu\n", length);
  return length > 0 ? 0 : 1;
}
