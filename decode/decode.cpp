#include <array>
#include <cstring>
#include <string_view>

#include "decode/decode.h"
#include "decode/report.h"
#include "jedec/jedec.h"
#include "onfi/onfi.h"
#include "tolvik.h"

namespace tolvik {
namespace detail {
namespace {

// kCrcTables[0][x]: the register after shifting the top byte x through;
// kCrcTables[k][x]: the same for x followed by k zero bytes. The CRC is
// linear, so sixteen bytes fold into sixteen independent lookups instead of
// a chain of sixteen dependent ones. Byte by byte, a JEDEC page's CRC took as
// long as formatting half of its report; this takes a tenth of that.
constexpr std::size_t kCrcSlices = 16;
using CrcTables = std::array<std::array<std::uint16_t, 256>, kCrcSlices>;

constexpr CrcTables make_crc_tables() {
  constexpr std::uint16_t kPolynomial = 0x8005;
  CrcTables tables{};
  for (unsigned top = 0; top < 256; ++top) {
    auto crc = static_cast<std::uint16_t>(top << 8);
    for (int bit = 0; bit < 8; ++bit) {
      crc = static_cast<std::uint16_t>((crc & 0x8000U) != 0 ? crc << 1 ^ kPolynomial : crc << 1);
    }
    tables[0][top] = crc;
  }
  for (std::size_t k = 1; k < kCrcSlices; ++k) {
    for (unsigned top = 0; top < 256; ++top) {
      const std::uint16_t prev = tables[k - 1][top];
      tables[k][top] = static_cast<std::uint16_t>(prev << 8 ^ tables[0][prev >> 8]);
    }
  }
  return tables;
}

constexpr CrcTables kCrcTables = make_crc_tables();

}  // namespace
}  // namespace detail

std::uint16_t crc16_param_page(const std::uint8_t* bytes, std::size_t count, std::uint16_t initial) {
  const auto& t = detail::kCrcTables;
  std::uint32_t crc = initial;
  std::size_t i = 0;
  // The 16-bit register folds into the first two bytes of each block.
  for (; i + detail::kCrcSlices <= count; i += detail::kCrcSlices) {
    const std::uint8_t* b = bytes + i;
    crc = static_cast<std::uint32_t>(t[15][(crc >> 8 ^ b[0]) & 0xFFU] ^ t[14][(crc ^ b[1]) & 0xFFU] ^
                                     t[13][b[2]] ^ t[12][b[3]] ^ t[11][b[4]] ^ t[10][b[5]] ^ t[9][b[6]] ^
                                     t[8][b[7]] ^ t[7][b[8]] ^ t[6][b[9]] ^ t[5][b[10]] ^ t[4][b[11]] ^
                                     t[3][b[12]] ^ t[2][b[13]] ^ t[1][b[14]] ^ t[0][b[15]]);
  }
  for (; i < count; ++i) {
    crc = (crc << 8 ^ t[0][(crc >> 8 ^ bytes[i]) & 0xFFU]) & 0xFFFFU;
  }
  return static_cast<std::uint16_t>(crc);
}

const char* version() noexcept { return kVersion; }

namespace detail {

PageCrc model_crc(const PageModel& page) {
  switch (page.layout) {
    case Layout::Onfi:
      return page.onfi.crc;
    case Layout::Jedec:
      return page.jedec.crc;
    case Layout::None:
      break;
  }
  return {};
}

void report_page_text(const PageModel& page, Report& report) {
  switch (page.layout) {
    case Layout::Jedec:
      decode_jedec_page(page.jedec, report);
      break;
    case Layout::Onfi:
      decode_onfi_page(page.onfi, report);
      break;
    case Layout::None:
      break;
  }
}

DecodeResult report_result(const Report& report, const PageModel& page) {
  const PageCrc crc = model_crc(page);
  DecodeResult result;
  result.length = report.length;
  result.needed = report.needed;
  result.layout = page.layout;
  result.stored_crc = crc.stored;
  result.computed_crc = crc.computed;
  result.crc_ok = page.layout != Layout::None && crc.ok;
  result.verified = result.crc_ok;
  return result;
}

}  // namespace detail
}  // namespace tolvik
