#include <array>
#include <cstring>

#include "jedec/jedec.h"
#include "onfi/onfi.h"
#include "page.h"
#include "report.h"
#include "tolvik.h"

namespace tolvik {

namespace {

// The register after shifting each possible top byte through, so a page
// costs one lookup per byte instead of eight shifts.
constexpr std::array<std::uint16_t, 256> make_crc_table() {
  constexpr std::uint16_t kPolynomial = 0x8005;
  std::array<std::uint16_t, 256> table{};
  for (unsigned top = 0; top < 256; ++top) {
    auto crc = static_cast<std::uint16_t>(top << 8);
    for (int bit = 0; bit < 8; ++bit) {
      crc = static_cast<std::uint16_t>((crc & 0x8000U) != 0 ? crc << 1 ^ kPolynomial : crc << 1);
    }
    table[top] = crc;
  }
  return table;
}

constexpr auto kCrcTable = make_crc_table();

}  // namespace

std::uint16_t crc16_param_page(const std::uint8_t* bytes, std::size_t count, std::uint16_t initial) {
  std::uint16_t crc = initial;
  for (std::size_t i = 0; i < count; ++i) {
    crc = static_cast<std::uint16_t>(crc << 8 ^ kCrcTable[(crc >> 8 ^ bytes[i]) & 0xFFU]);
  }
  return crc;
}

std::size_t decode_parameter_page(const ParamPage& page, std::span<char> buffer, int level) {
  Report report{buffer, 0, level};
  if (std::memcmp(page.bytes, "JESD", 4) == 0) {
    return decode_jedec_page(page, crc16_param_page(page.bytes, kJedecCrcCovered, kParamPageCrcSeed), report);
  }
  if (std::memcmp(page.bytes, "ONFI", 4) == 0) {
    return decode_onfi_page(page, crc16_param_page(page.bytes, kOnfiCrcCovered, kParamPageCrcSeed), report);
  }
  return 0;
}

}  // namespace tolvik
