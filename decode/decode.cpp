#include <array>
#include <cstring>
#include <string_view>

#include "decode/decode.h"
#include "decode/page.h"
#include "decode/report.h"
#include "jedec/jedec.h"
#include "onfi/onfi.h"
#include "tolvik.h"

namespace tolvik {
namespace detail {
namespace {

// kCrcTables[0][x]: the register after shifting the top byte x through;
// kCrcTables[k][x]: the same for x followed by k zero bytes. The CRC is
// linear, so eight bytes fold into eight independent lookups instead of a
// chain of eight dependent ones. Byte by byte, a JEDEC page's CRC took as
// long as formatting half of its report; this takes a sixth of that.
constexpr std::size_t kCrcSlices = 8;
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
    crc =
        static_cast<std::uint32_t>(t[7][(crc >> 8 ^ b[0]) & 0xFFU] ^ t[6][(crc ^ b[1]) & 0xFFU] ^ t[5][b[2]] ^
                                   t[4][b[3]] ^ t[3][b[4]] ^ t[2][b[5]] ^ t[1][b[6]] ^ t[0][b[7]]);
  }
  for (; i < count; ++i) {
    crc = (crc << 8 ^ t[0][(crc >> 8 ^ bytes[i]) & 0xFFU]) & 0xFFFFU;
  }
  return static_cast<std::uint16_t>(crc);
}

const char* version() noexcept { return kVersion; }

namespace detail {

PageCheck check_page(const ParamPage& page) {
  PageCheck check;
  if (std::memcmp(page.bytes, "JESD", 4) == 0) {
    check.layout = Layout::Jedec;
    check.stored = static_cast<std::uint16_t>(page_le16(page, kJedecCrcCovered));
    check.computed = crc16_param_page(page.bytes, kJedecCrcCovered, kParamPageCrcSeed);
  } else if (std::memcmp(page.bytes, "ONFI", 4) == 0) {
    check.layout = Layout::Onfi;
    check.stored = static_cast<std::uint16_t>(page_le16(page, kOnfiCrcCovered));
    check.computed = crc16_param_page(page.bytes, kOnfiCrcCovered, kParamPageCrcSeed);
  }
  return check;
}

namespace {

// The document's members about the page as a whole; the layout's header
// line adds its manufacturer and model.
void report_page_head(const PageCheck& check, Report& report) {
  if (!report_is_json(report)) return;
  if (check.layout == Layout::None) {
    for (const std::string_view name : {"layout", "crc", "manufacturer", "model"})
      report_json_null(report, name);
    return;
  }
  report_json_text(report, "layout", check.layout == Layout::Jedec ? "JEDEC" : "ONFI");
  report_object_begin(report, "crc");
  report_json_number(report, "stored", check.stored);
  report_json_number(report, "computed", check.computed);
  report_json_bool(report, "ok", check.stored == check.computed);
  report_object_end(report);
}

}  // namespace

void report_page(const ParamPage& page, const PageCheck& check, Report& report) {
  report_page_head(check, report);
  switch (check.layout) {
    case Layout::Jedec:
      decode_jedec_page(page, check.computed, report);
      break;
    case Layout::Onfi:
      decode_onfi_page(page, check.computed, report);
      break;
    case Layout::None:
      break;
  }
}

DecodeResult report_result(const Report& report, const PageCheck& check) {
  DecodeResult result;
  result.length = report.length;
  result.needed = report.needed;
  result.layout = check.layout;
  result.stored_crc = check.stored;
  result.computed_crc = check.computed;
  result.crc_ok = check.layout != Layout::None && check.stored == check.computed;
  result.verified = result.crc_ok;
  return result;
}

}  // namespace detail

DecodeResult decode_page(const ParamPage& page, std::span<char> buffer, int level, Output output) {
  using namespace detail;
  Report report{buffer, 0, level, output};
  const PageCheck check = check_page(page);
  report_object_begin(report, "");
  report_json_text(report, "version", kVersion);
  report_page(page, check, report);
  report_object_end(report);
  return report_result(report, check);
}

std::size_t decode_parameter_page(const ParamPage& page, std::span<char> buffer, int level) {
  return decode_page(page, buffer, level, Output::Text).length;
}

}  // namespace tolvik
