// Building and parsing field tables: the rows every layout's table is made
// of, the generic parse of a table from the page bytes, and the pieces of
// the model both layouts share (text fields, makers, timing families).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "tolvik_model.h"

namespace tolvik::detail {

// The revisions that define a field or name a bit: at least one of `any`
// set (0: every page), none of `none`.
struct Revisions {
  std::uint16_t any = 0;
  std::uint16_t none = 0;
};

inline constexpr Revisions kEveryRevision{};

// Rows of a field table.
constexpr FieldInfo field_row(std::uint16_t first, std::uint16_t last, FieldKind kind, Unit unit,
                              std::string_view name, std::string_view key, Revisions revisions = {},
                              std::span<const FlagText> bits = {}, std::uint8_t scale = 1) {
  return FieldInfo{first, last, kind, unit, scale, revisions.any, revisions.none, name, key, bits};
}
constexpr FieldInfo number(std::uint16_t first, std::uint16_t last, Unit unit, std::string_view name,
                           std::string_view key, Revisions revisions = {}) {
  return field_row(first, last, FieldKind::Number, unit, name, key, revisions);
}
constexpr FieldInfo flags(std::uint16_t first, std::uint16_t last, std::string_view name,
                          std::string_view key, std::span<const FlagText> bits, Revisions revisions = {}) {
  return field_row(first, last, FieldKind::Flags, Unit::None, name, key, revisions, bits);
}
constexpr FieldInfo modes(std::uint16_t first, std::uint16_t last, std::string_view name,
                          std::string_view key, Revisions revisions = {}, std::uint8_t first_mode = 0) {
  FieldInfo row = field_row(first, last, FieldKind::Modes, Unit::None, name, key, revisions);
  row.first_mode = first_mode;
  return row;
}
constexpr FieldInfo kind_row(std::uint16_t first, std::uint16_t last, FieldKind kind, std::string_view name,
                             std::string_view key, Revisions revisions = {}) {
  return field_row(first, last, kind, Unit::None, name, key, revisions);
}
constexpr FieldInfo reserved(std::uint16_t first, std::uint16_t last) {
  return field_row(first, last, FieldKind::Reserved, Unit::None, "Reserved", "");
}

// A table covers bytes [0, size) exactly once, in byte order, each row
// within the page.
constexpr bool covers_in_order(std::span<const FieldInfo> table, std::size_t from, std::size_t to) {
  std::size_t next = from;
  for (const FieldInfo& row : table) {
    if (row.first != next || row.last < row.first || row.last >= to) return false;
    next = std::size_t{row.last} + 1U;
  }
  return next == to;
}

// Flag rows are listed by ascending bit (a bit may have rows for different
// revisions next to each other).
constexpr bool flags_ascending(std::span<const FlagText> table) {
  for (std::size_t i = 1; i < table.size(); ++i) {
    if (table[i].bit < table[i - 1].bit) return false;
  }
  return true;
}

// The page's bytes [first, first + width) as a little-endian number; bytes
// past the page read as zero.
constexpr std::uint32_t read_le(std::span<const std::uint8_t> page, std::size_t first, std::size_t width) {
  std::uint32_t value = 0;
  for (std::size_t i = width; i-- > 0;) {
    const std::size_t at = first + i;
    value = value << 8 | (at < page.size() ? page[at] : 0U);
  }
  return value;
}

// Parses every row of a table into fields[] (same index).
void parse_fields(std::span<const FieldInfo> table, std::span<const std::uint8_t> page,
                  std::uint16_t revision, Field* fields);

// mantissa x 10^exponent, exact; false when it passes 2^64.
bool endurance_cycles(std::uint32_t mantissa, std::uint32_t exponent, std::uint64_t& cycles);

// A text field's bytes up to the first zero byte, trailing spaces removed,
// into out (size width + 1, NUL-terminated).
void trimmed_text(std::span<const std::uint8_t> page, const FieldInfo& field, char* out);

// The fastest mode of a family's table that the mask supports.
TimingFamily timing_family(const TimingFamilyInfo& info, std::uint32_t mask);

// The page's CRC: stored little-endian after the bytes it covers.
PageCrc page_crc(std::span<const std::uint8_t> page, std::size_t covered);

// Whether the manufacturer text agrees with the maker of the ID.
bool maker_text_agrees(const Maker& maker, std::string_view text);

}  // namespace tolvik::detail
