// Whole dumps of the parameter page area: to be built.
#include "tolvik.h"

namespace tolvik {

DecodeResult decode_dump(std::span<const std::uint8_t> dump, std::span<char> report, int level,
                         Output output) {
  ParamPage page{};
  for (std::size_t i = 0; i < dump.size() && i < kPageSize; ++i) page.bytes[i] = dump[i];
  return decode_page(page, report, level, output);
}

}  // namespace tolvik
