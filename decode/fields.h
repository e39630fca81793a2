// Building and parsing field tables: the rows every layout's table is made
// of, the generic parse of a table from the page bytes, and the pieces of
// the model both layouts share (text fields, makers, timing families).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
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

// A row of a field table as it is written: with its texts and its bit list.
// compile_fields turns a table of rows into FieldInfo and one block of
// text, which hold no pointers.
struct FieldRow {
  std::uint16_t first;
  std::uint16_t last;
  FieldKind kind;
  Unit unit;
  std::uint8_t scale;
  Revisions revisions;
  std::string_view name;
  std::string_view key;
  std::span<const FlagText> bits;
  std::uint8_t first_mode = 0;
};

constexpr FieldRow field_row(std::uint16_t first, std::uint16_t last, FieldKind kind, Unit unit,
                             std::string_view name, std::string_view key, Revisions revisions = {},
                             std::span<const FlagText> bits = {}, std::uint8_t scale = 1) {
  return FieldRow{first, last, kind, unit, scale, revisions, name, key, bits, 0};
}
constexpr FieldRow number(std::uint16_t first, std::uint16_t last, Unit unit, std::string_view name,
                          std::string_view key, Revisions revisions = {}) {
  return field_row(first, last, FieldKind::Number, unit, name, key, revisions);
}
constexpr FieldRow flags(std::uint16_t first, std::uint16_t last, std::string_view name, std::string_view key,
                         std::span<const FlagText> bits, Revisions revisions = {}) {
  return field_row(first, last, FieldKind::Flags, Unit::None, name, key, revisions, bits);
}
constexpr FieldRow modes(std::uint16_t first, std::uint16_t last, std::string_view name, std::string_view key,
                         Revisions revisions = {}, std::uint8_t first_mode = 0) {
  FieldRow row = field_row(first, last, FieldKind::Modes, Unit::None, name, key, revisions);
  row.first_mode = first_mode;
  return row;
}
constexpr FieldRow kind_row(std::uint16_t first, std::uint16_t last, FieldKind kind, std::string_view name,
                            std::string_view key, Revisions revisions = {}) {
  return field_row(first, last, kind, Unit::None, name, key, revisions);
}
constexpr FieldRow reserved(std::uint16_t first, std::uint16_t last) {
  return field_row(first, last, FieldKind::Reserved, Unit::None, "Reserved", "");
}

// The field tables; a FieldInfo names its own.
enum class FieldTable : std::uint8_t { Onfi, Jedec, Micron, Macronix, EppHeader, EppEcc };

// What a table's FieldInfo rows refer to: its texts and its bit lists.
struct TableTexts {
  const char* text;
  std::span<const std::span<const FlagText>> bit_lists;
};
// Each table's, from the file that holds the table.
const TableTexts& onfi_texts();
const TableTexts& jedec_texts();
const TableTexts& micron_texts();
const TableTexts& macronix_texts();
const TableTexts& epp_header_texts();
const TableTexts& epp_ecc_texts();

// The tables' texts go into the JSON document unescaped: printable ASCII
// without '"' and '\\' (a flag's line may end in its line end).
constexpr bool json_plain(std::string_view text) {
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  for (const char c : text) {
    if (c < 0x20 || c > 0x7E || c == '"' || c == '\\') return false;
  }
  return true;
}

// Deliberately not constexpr: reaching it while a table compiles is a
// compile error.
void field_table_row_invalid();

template <std::size_t Rows, std::size_t Text>
struct CompiledFields {
  std::array<FieldInfo, Rows> fields;
  std::array<char, Text> text;
};

template <std::size_t Rows>
constexpr std::size_t text_size(const FieldRow (&rows)[Rows]) {
  std::size_t size = 0;
  for (const FieldRow& row : rows) size += row.name.size() + row.key.size() + 2;
  return size;
}

// The rows as FieldInfo, their texts one after another in `text` (each
// followed by a NUL), their bit
// lists by their place in `bit_lists` (every list a row uses must be there).
template <std::size_t Text, std::size_t Rows>
constexpr CompiledFields<Rows, Text> compile_fields(const FieldRow (&rows)[Rows], FieldTable table,
                                                    std::span<const std::span<const FlagText>> bit_lists) {
  CompiledFields<Rows, Text> out{};
  std::size_t at = 0;
  const auto put = [&](std::string_view text) {
    const std::size_t from = at;
    for (const char c : text) out.text[at++] = c;
    // Each text ends in a NUL, for callers that want C strings.
    out.text[at++] = '\0';
    return static_cast<std::uint16_t>(from);
  };
  for (std::size_t i = 0; i < Rows; ++i) {
    const FieldRow& row = rows[i];
    FieldInfo& info = out.fields[i];
    info.first = row.first;
    info.last = row.last;
    info.kind = row.kind;
    info.unit = row.unit;
    info.scale = row.scale;
    info.table = static_cast<std::uint8_t>(table);
    info.revisions_any = row.revisions.any;
    info.revisions_none = row.revisions.none;
    info.name_size = static_cast<std::uint8_t>(row.name.size());
    info.name_at = put(row.name);
    info.key_size = static_cast<std::uint8_t>(row.key.size());
    info.key_at = put(row.key);
    info.first_mode = row.first_mode;
    if (!json_plain(row.name) || !json_plain(row.key)) field_table_row_invalid();
    info.bits_list = 0;
    if (!row.bits.empty()) {
      for (std::size_t b = 0; b < bit_lists.size(); ++b) {
        if (bit_lists[b].data() == row.bits.data()) info.bits_list = static_cast<std::uint8_t>(b + 1);
      }
      // A list missing from bit_lists makes this a compile error.
      if (info.bits_list == 0) field_table_row_invalid();
    }
  }
  return out;
}

// A table covers bytes [0, size) exactly once, in byte order, each row
// within the page.
template <class Table>
constexpr bool covers_in_order(const Table& table, std::size_t from, std::size_t to) {
  std::size_t next = from;
  for (const auto& row : table) {
    if (row.first != next || row.last < row.first || row.last >= to) return false;
    next = std::size_t{row.last} + 1U;
  }
  return next == to;
}

// Flag rows are listed by ascending bit (a bit may have rows for different
// revisions next to each other), and their texts are plain.
constexpr bool flags_ascending(std::span<const FlagText> table) {
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (i > 0 && table[i].bit < table[i - 1].bit) return false;
    if (!json_plain(table[i].text())) return false;
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

// The exact product, or false (and 0) when it does not fit in 64 bits. A
// zero factor makes it zero whatever the others are.
constexpr bool exact_product(std::span<const std::uint64_t> factors, std::uint64_t& product) {
  product = 1;
  for (const std::uint64_t factor : factors) {
    if (factor == 0) {
      product = 0;
      return true;
    }
  }
  for (const std::uint64_t factor : factors) {
    if (product > UINT64_MAX / factor) {
      product = 0;
      return false;
    }
    product *= factor;
  }
  return true;
}

// A text field's bytes up to the first zero byte, trailing spaces removed,
// into out (size width + 1, NUL-terminated).
void trimmed_text(std::span<const std::uint8_t> page, const FieldInfo& field, char* out);

// The fastest mode of a family's table that the mask supports.
TimingFamily timing_family(const TimingFamilyInfo& info, std::uint32_t mask);

// The page's CRC: stored little-endian after the bytes it covers.
PageCrc page_crc(std::span<const std::uint8_t> page, std::size_t covered);

// What both layouts parse alike: the page's bytes kept (zero past the
// input), its revision word, every field of its table, its CRC, its
// manufacturer and model without padding, and the maker of its JEDEC ID.
template <class Page, class Id>
void parse_page_common(std::span<const std::uint8_t> bytes, Page& page, std::span<const FieldInfo> table,
                       Id revision, Id manufacturer, Id model, Id jedec_id, Id crc) {
  const std::size_t size = bytes.size() < sizeof page.bytes ? bytes.size() : sizeof page.bytes;
  if (size != 0) std::memcpy(page.bytes, bytes.data(), size);
  std::memset(page.bytes + size, 0, sizeof page.bytes - size);
  const std::span<const std::uint8_t> own(page.bytes);
  page.revision = static_cast<std::uint16_t>(read_le(own, table[revision].first, 2));
  parse_fields(table, own, page.revision, page.fields);
  page.crc = page_crc(own, table[crc].first);
  trimmed_text(own, table[manufacturer], page.manufacturer);
  trimmed_text(own, table[model], page.model);
  page.maker = find_maker(static_cast<std::uint8_t>(page.fields[jedec_id].raw));
}

}  // namespace tolvik::detail
