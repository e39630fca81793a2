// What the text report makes of the model's values: text fields as the
// report shows them, the report's own 32-bit endurance arithmetic and its
// CRC marker.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "tolvik.h"

namespace tolvik::detail {

// A fixed-width text field as the report shows it: its bytes up to the first
// zero byte, at most its width, nothing trimmed or replaced.
struct PageText {
  char text[32];
};

inline PageText page_text(std::span<const std::uint8_t> bytes, const FieldInfo& field) {
  PageText text{};
  const std::size_t first = std::min<std::size_t>(field.first, bytes.size());
  const std::size_t n = std::min({field.size(), sizeof text.text - 1, bytes.size() - first});
  if (n == 0) return text;
  std::memcpy(text.text, bytes.data() + first, n);
  // A zero byte ends the text; what follows it stays zero.
  if (const void* end = std::memchr(text.text, '\0', n); end != nullptr) {
    const auto cut = static_cast<std::size_t>(static_cast<const char*>(end) - text.text);
    std::memset(text.text + cut, 0, n - cut);
  }
  return text;
}

// A text field as every text output shows it: each control byte (0x01 to
// 0x1F, 0x7F) becomes '.', so that a page cannot move the cursor, recolour
// or ring the terminal its report is read on. Bytes 0x80 to 0xFF stay as
// they are. The JSON document keeps the real bytes, escaped.
constexpr PageText terminal_safe(PageText field) {
  for (char& c : field.text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte != 0 && byte < 0x20) || byte == 0x7F) c = '.';
  }
  return field;
}

// Mantissa times ten, exponent times over, wrapping at 32 bits as the
// report's endurance figures are defined: the mantissa times 10^exponent
// modulo 2^32, which is 0 from exponent 32 on (10^32 holds 2^32).
inline constexpr auto kPowersOfTenModulo32 = [] {
  std::array<std::uint32_t, 32> powers{};
  std::uint32_t power = 1;
  for (std::uint32_t& p : powers) {
    p = power;
    power *= 10U;
  }
  return powers;
}();

constexpr std::uint32_t scaled_value(std::uint32_t mantissa, std::uint32_t exponent) {
  return exponent < kPowersOfTenModulo32.size() ? mantissa * kPowersOfTenModulo32[exponent] : 0U;
}

// The same from an Endurance field's stored bytes (mantissa, exponent).
constexpr std::uint32_t scaled_value(const Field& endurance) {
  return scaled_value(endurance.raw & 0xFFU, endurance.raw >> 8 & 0xFFU);
}

// Capacitances stored in tenths of a picofarad, as the report prints them.
constexpr double tenths(std::uint64_t value) { return static_cast<double>(value) * 0.1; }

// The CRC marker of the header lines: empty when the stored CRC matches.
constexpr const char* crc_marker(const PageCrc& crc) { return crc.ok ? "" : "*"; }

// A field's value as the report's 32-bit arguments take it.
constexpr std::uint32_t u32(const Field& field) { return static_cast<std::uint32_t>(field.value); }

}  // namespace tolvik::detail
