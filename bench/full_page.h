// The page the benchmarks decode: every byte the layout reads is 0xFF, so
// every flag is set, with readable text fields and a stored CRC that
// matches. Its reports are within 10% of the longest possible.
#pragma once

#include <cstdint>
#include <cstring>

#include "tolvik.h"

namespace tolvik::bench {

enum class Layout { Onfi, Jedec };

inline ParamPage full_page(Layout layout) {
  ParamPage page;
  std::memset(page.bytes, 0xFF, sizeof page.bytes);
  std::memcpy(page.bytes, layout == Layout::Onfi ? "ONFI" : "JESD", 4);
  std::memcpy(page.bytes + 32, "TOLVIK BENCH", 12);
  std::memcpy(page.bytes + 44, "FULL-PAGE-EVERY-FLAG", 20);
  const std::size_t covered = layout == Layout::Onfi ? 254 : 510;
  const std::uint16_t crc = crc16_param_page(page.bytes, covered, kParamPageCrcSeed);
  page.bytes[covered] = static_cast<std::uint8_t>(crc & 0xFFU);
  page.bytes[covered + 1] = static_cast<std::uint8_t>(crc >> 8);
  return page;
}

}  // namespace tolvik::bench
