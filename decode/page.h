// Reading page fields: little-endian helpers over the 512-byte image. An
// offset past the page reads as zero, so no field access can leave it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tolvik.h"

namespace tolvik::detail {

constexpr std::uint32_t page_u8(const ParamPage& page, std::size_t offset) {
  return offset < kPageSize ? page.bytes[offset] : 0U;
}

constexpr std::uint32_t page_le16(const ParamPage& page, std::size_t offset) {
  return page_u8(page, offset) | page_u8(page, offset + 1) << 8;
}

constexpr std::uint32_t page_le24(const ParamPage& page, std::size_t offset) {
  return page_le16(page, offset) | page_u8(page, offset + 2) << 16;
}

constexpr std::uint32_t page_le32(const ParamPage& page, std::size_t offset) {
  return page_le16(page, offset) | page_le16(page, offset + 2) << 16;
}

// A fixed-width text field as a text: its bytes up to the first zero byte,
// at most its width, nothing trimmed or replaced.
struct PageText {
  char text[32];
};

constexpr PageText page_text(const ParamPage& page, std::size_t offset, std::size_t width) {
  PageText field{};
  for (std::size_t i = 0; i < width && i < sizeof field.text - 1; ++i) {
    const auto c = static_cast<char>(page_u8(page, offset + i));
    if (c == '\0') break;
    field.text[i] = c;
  }
  return field;
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

// Mantissa times ten, exponent times over, wrapping at 32 bits as the page
// layouts' endurance figures are defined.
constexpr std::uint32_t scaled_value(std::uint32_t mantissa, std::uint32_t exponent) {
  std::uint32_t value = mantissa;
  for (std::uint32_t i = 0; i < exponent && value != 0; ++i) value *= 10U;
  return value;
}

// Capacitances stored in tenths of a picofarad, as the report prints them.
constexpr double tenths(std::uint32_t value) { return static_cast<double>(value) * 0.1; }

// The CRC marker of the header lines: empty when the stored CRC matches.
constexpr const char* crc_marker(std::uint32_t stored, std::uint16_t computed) {
  return stored == computed ? "" : "*";
}

}  // namespace tolvik::detail
