// The byte map: every byte of a page (and, for a whole dump, of the extended
// page used) in order, one field per line: its range, its bytes in hex, the
// standard's name and the decoded value. The value texts are the ones the
// comparison of two pages writes too.
#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <string_view>

#include "decode/decode.h"
#include "decode/page.h"
#include "decode/report.h"
#include "decode/text.h"
#include "tolvik.h"

namespace tolvik::detail {
namespace {

// A stored number's unit as the value shows it.
struct UnitText {
  Unit unit;
  std::string_view suffix;
  bool tenths;  // stored in tenths: one decimal
  bool hex;     // an address
};
constexpr UnitText kUnitTexts[] = {
    {Unit::None, "", false, false},
    {Unit::Bytes, " bytes", false, false},
    {Unit::Microseconds, " us", false, false},
    {Unit::Nanoseconds, " ns", false, false},
    {Unit::Picofarads, " pF", false, false},
    {Unit::TenthPicofarads, " pF", true, false},
    {Unit::Tenths, "", true, false},
    {Unit::Address, "", false, true},
};
constexpr bool units_in_order() {
  for (std::size_t i = 0; i < std::size(kUnitTexts); ++i) {
    if (static_cast<std::size_t>(kUnitTexts[i].unit) != i) return false;
  }
  return true;
}
static_assert(units_in_order());

constexpr char kHexDigits[] = "0123456789ABCDEF";

// One line, built in place from its pieces and handed to the report whole:
// a map has hundreds of pieces, too many to format one by one. Pieces past
// its room are cut (no line comes near it: a comparison's line, with two
// values of a flag word, is the longest).
struct Line {
  char text[2048];
  std::size_t size = 0;

  void put(std::string_view piece) {
    const std::size_t n = std::min(piece.size(), sizeof text - size);
    if (n != 0) std::memcpy(text + size, piece.data(), n);
    size += n;
  }
  // A literal: its length known, copied in one move.
  template <std::size_t N>
  void put(const char (&literal)[N]) {
    if (size + (N - 1) > sizeof text) return;
    std::memcpy(text + size, literal, N - 1);
    size += N - 1;
  }
  void put(char c) {
    if (size < sizeof text) text[size++] = c;
  }
  // `digits` hex digits (at most 8).
  void hex(std::uint32_t value, std::size_t digits) {
    if (size + digits > sizeof text) return;
    for (std::size_t i = digits; i-- > 0; value >>= 4) text[size + i] = kHexDigits[value & 0xFU];
    size += digits;
  }
  void blanks_to(std::size_t column) {
    while (size < column && size < sizeof text) text[size++] = ' ';
  }
  [[nodiscard]] std::string_view view() const { return {text, size}; }
};

void put_decimal(Line& line, std::uint64_t value) {
  char digits[20];
  char* first = digits + sizeof digits;
  do {
    *--first = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  line.put({first, static_cast<std::size_t>(digits + sizeof digits - first)});
}

// "0x" and `digits` hex digits.
void put_hex(Line& line, std::uint32_t value, std::size_t digits) {
  line.put("0x");
  line.hex(value, digits);
}

// A flag word, a mode mask or an ID: two digits per byte.
void put_field_hex(Line& line, const FieldInfo& info, std::uint32_t value) {
  put_hex(line, value, 2 * std::min<std::size_t>(info.size(), 4));
}

// " (name; name)" for the set bits the table names at this revision.
void put_set_bits(Line& line, std::uint64_t value, std::span<const FlagText> bits, std::uint16_t revision) {
  std::string_view separator = " (";
  for (const FlagText& flag : bits) {
    if (!flag_set(flag, value, revision)) continue;
    line.put(separator);
    line.put(flag_name(flag));
    separator = "; ";
  }
  if (separator != " (") line.put(")");
}

// " (modes 0-5, 7)": the modes of the set bits, runs joined.
void put_modes(Line& line, std::uint32_t mask, unsigned first_mode) {
  std::string_view separator = " (modes ";
  for (unsigned bit = 0; bit < 32; ++bit) {
    if ((mask >> bit & 1U) == 0) continue;
    unsigned end = bit;
    while (end < 31 && (mask >> (end + 1) & 1U) != 0) ++end;
    line.put(separator);
    put_decimal(line, first_mode + bit);
    if (end != bit) {
      line.put("-");
      put_decimal(line, first_mode + end);
    }
    separator = ", ";
    bit = end;
  }
  if (separator != " (modes ") line.put(")");
}

// Quoted, up to the first zero byte, safe on a terminal.
void put_text(Line& line, std::span<const std::uint8_t> bytes) {
  PageText text{};
  std::size_t n = 0;
  for (; n < bytes.size() && n < sizeof text.text - 1 && bytes[n] != 0; ++n)
    text.text[n] = static_cast<char>(bytes[n]);
  text = terminal_safe(text);
  line.put("\"");
  line.put({text.text, n});
  line.put("\"");
}

void put_endurance(Line& line, const Field& field) {
  const std::uint32_t mantissa = field.raw & 0xFFU;
  const std::uint32_t exponent = field.raw >> 8 & 0xFFU;
  if (field.exact) {
    put_decimal(line, field.value);
    line.put(" cycles (");
  }
  put_decimal(line, mantissa);
  line.put(" x 10^");
  put_decimal(line, exponent);
  line.put(field.exact ? ")" : " cycles");
}

// Two numbers with their words: "3 row, 2 column".
void put_pair(Line& line, std::uint32_t a, std::string_view a_word, std::uint32_t b,
              std::string_view b_word) {
  put_decimal(line, a);
  line.put(a_word);
  put_decimal(line, b);
  line.put(b_word);
}

void put_value(Line& line, const FieldInfo& info, const Field& field, std::span<const std::uint8_t> bytes,
               const ValueContext& context) {
  switch (info.kind) {
    case FieldKind::Signature:
    case FieldKind::Text:
      put_text(line, bytes);
      break;
    case FieldKind::Number: {
      const UnitText& unit = kUnitTexts[static_cast<std::size_t>(info.unit)];
      if (unit.hex) {
        put_field_hex(line, info, u32(field));
        break;
      }
      put_decimal(line, unit.tenths ? field.value / 10 : field.value);
      if (unit.tenths) {
        const char tenth[] = {'.', static_cast<char>('0' + field.value % 10)};
        line.put({tenth, 2});
      }
      line.put(unit.suffix);
      break;
    }
    case FieldKind::Flags:
    case FieldKind::Revision:
      put_field_hex(line, info, field.raw);
      put_set_bits(line, field.value, info.bits(), context.revision);
      break;
    case FieldKind::Modes:
      put_field_hex(line, info, field.raw);
      put_modes(line, field.raw, info.first_mode);
      break;
    case FieldKind::AddressCycles:
      put_pair(line, field.raw & 0x0FU, " row, ", field.raw >> 4, " column");
      break;
    case FieldKind::WarmupCycles:
      put_pair(line, field.raw & 0x0FU, " data output, ", field.raw >> 4, " data input");
      break;
    case FieldKind::PlaneBits:
      put_pair(line, u32(field), " (", 1U << field.value, field.value == 0 ? " plane)" : " planes)");
      break;
    case FieldKind::CellBits: {
      put_decimal(line, field.value);
      const std::string_view type = cell_type(field.value);
      if (type.empty()) break;
      line.put(" (");
      line.put(type);
      line.put(")");
      break;
    }
    case FieldKind::Date:
      if (field.raw == 0) {
        line.put("none");
      } else {
        line.put("year ");
        put_pair(line, field.raw & 0xFFU, ", week ", field.raw >> 8, "");
      }
      break;
    case FieldKind::Endurance:
      put_endurance(line, field);
      break;
    case FieldKind::EccBits:
      put_decimal(line, field.value);
      line.put(field.value == 255 ? " (in the extended parameter page)" : " bits");
      break;
    case FieldKind::CodewordSize:
      put_decimal(line, field.raw);
      if (field.raw >= 1 && field.raw <= 63) {
        line.put(" (");
        put_decimal(line, std::uint64_t{1} << field.raw);
        line.put(" bytes)");
      }
      break;
    case FieldKind::MakerId: {
      put_hex(line, u32(field), 2);
      const Maker* maker = find_maker(static_cast<std::uint8_t>(field.value));
      if (maker == nullptr) break;
      line.put(" (");
      line.put(maker->name());
      line.put(")");
      break;
    }
    case FieldKind::Crc:
      put_hex(line, field.raw, 4);
      if (context.crc == nullptr) break;
      if (context.crc->ok) {
        line.put(" - Ok");
      } else {
        line.put(" - Wrong (computed ");
        put_hex(line, context.crc->computed, 4);
        line.put(")");
      }
      break;
    case FieldKind::Reserved:
    case FieldKind::Vendor:
      break;
  }
}

}  // namespace

void report_field_value(Report& report, const FieldInfo& info, const Field& field,
                        std::span<const std::uint8_t> bytes, const ValueContext& context) {
  Line line;
  put_value(line, info, field, bytes, context);
  report_put(report, line.view());
}

namespace {

// Bytes a line shows: every byte of the page, the first 64 of a raw range
// of the extended page (which may run to a megabyte).
constexpr std::size_t kBytesPerLine = 16;
constexpr std::size_t kExtendedRawShown = 64;

// The name of a raw range of the page (reserved, vendor specific, not
// documented): lower case, so that raw lines stand apart from fields.
struct RawName {
  char text[48];
  std::size_t size;

  [[nodiscard]] std::string_view view() const { return {text, size}; }
};
RawName raw_name(std::string_view name) {
  RawName raw{};
  raw.size = std::min(name.size(), sizeof raw.text);
  std::copy_n(name.begin(), raw.size, raw.text);
  if (raw.size != 0 && raw.text[0] >= 'A' && raw.text[0] <= 'Z')
    raw.text[0] = static_cast<char>(raw.text[0] - 'A' + 'a');
  return raw;
}

constexpr bool is_raw(FieldKind kind) { return kind == FieldKind::Reserved || kind == FieldKind::Vendor; }

// The names of the extended page's raw ranges, by ExtendedItem::Kind.
constexpr std::string_view kExtendedRawNames[] = {"", "ECC information blocks not decoded", "section data",
                                                  "past the last section"};

// What every line of one map shares: where its bytes come from, how wide
// its offsets are, what a page's fields are read with.
struct MapContext {
  std::span<const std::uint8_t> page;  // the page's bytes, or empty
  const ExtendedPage* extended;        // or the extended page's
  unsigned digits;                     // hex digits of an offset: 3 to 5
  ValueContext values;
  std::string_view revision_name;  // the highest revision the page claims, or empty

  [[nodiscard]] std::uint8_t byte(std::size_t at) const {
    if (extended != nullptr) return extended->byte(at);
    return at < page.size() ? page[at] : 0;
  }
};

// Each byte's two hex digits and a blank, so that a byte is one copy.
constexpr std::array<std::array<char, 4>, 256> kHexBytes = [] {
  std::array<std::array<char, 4>, 256> table{};
  for (std::size_t b = 0; b < 256; ++b) table[b] = {kHexDigits[b >> 4], kHexDigits[b & 0xFU], ' ', ' '};
  return table;
}();

// Up to 16 bytes from `first` in hex, one blank between them, written
// from out[0] on (a blank after the last too); the bytes of a page are read
// straight from it.
std::size_t write_bytes(char* out, const MapContext& map, std::size_t first, std::size_t count) {
  count = std::min(count, kBytesPerLine);
  if (map.extended == nullptr && first + count <= map.page.size()) {
    const std::uint8_t* bytes = map.page.data() + first;
    for (std::size_t i = 0; i < count; ++i) std::memcpy(out + 3 * i, kHexBytes[bytes[i]].data(), 4);
  } else {
    for (std::size_t i = 0; i < count; ++i)
      std::memcpy(out + 3 * i, kHexBytes[map.byte(first + i)].data(), 4);
  }
  return count == 0 ? 0 : 3 * count - 1;
}

// `digits` hex digits of value, written from out[0] on.
void write_hex(char* out, std::uint32_t value, std::size_t digits) {
  for (std::size_t i = digits; i-- > 0; value >>= 4) out[i] = kHexDigits[value & 0xFU];
}

// The range column's width: "0x000-0x003", then two blanks.
constexpr std::size_t range_column(std::size_t digits) { return 2 * (digits + 2) + 1 + 2; }
// The bytes column's: four bytes, then two blanks; longer runs push on.
constexpr std::size_t kBytesColumn = 11 + 2;
// Blanks under both columns of the widest offsets, copied in one piece.
constexpr char kBlanks[32] = "                               ";
static_assert(range_column(5) + kBytesColumn <= sizeof kBlanks);

// "0x050-0x053" or "0x064" from out[0] on, in a column already blank.
void write_range(char* out, std::size_t digits, std::uint32_t first, std::uint32_t last) {
  out[0] = '0';
  out[1] = 'x';
  write_hex(out + 2, first, digits);
  if (first == last) return;
  out[2 + digits] = '-';
  out[3 + digits] = '0';
  out[4 + digits] = 'x';
  write_hex(out + 5 + digits, last, digits);
}

// The range and the first line of bytes (`shown` from first), each padded to
// its column. The line is empty before.
void put_head(Line& line, const MapContext& map, std::uint32_t first, std::uint32_t last, std::size_t shown) {
  std::memcpy(line.text, kBlanks, sizeof kBlanks);
  write_range(line.text, map.digits, first, last);
  const std::size_t column = range_column(map.digits);
  const std::size_t width = write_bytes(line.text + column, map, first, shown);
  // Two blanks after the bytes, which may run past their column.
  line.text[column + width] = ' ';
  line.text[column + width + 1] = ' ';
  line.size = std::max(column + width + 2, column + kBytesColumn);
}

void put_range(Line& line, std::size_t digits, std::uint32_t first, std::uint32_t last) {
  std::memcpy(line.text, kBlanks, sizeof kBlanks);
  write_range(line.text, digits, first, last);
  line.size = range_column(digits);
}

// The bytes past the first line, 16 a line under the first; then how many
// were not shown.
void put_tail(Report& report, const MapContext& map, std::uint32_t first, std::uint32_t last,
              std::size_t shown) {
  for (std::size_t at = kBytesPerLine; at < shown; at += kBytesPerLine) {
    Line line;
    std::memcpy(line.text, kBlanks, sizeof kBlanks);
    const std::size_t column = range_column(map.digits);
    line.size = column + write_bytes(line.text + column, map, first + at, shown - at);
    line.put('\n');
    report_put(report, line.view());
  }
  const std::size_t size = std::size_t{last} - first + 1;
  if (shown < size) {
    Line line;
    line.blanks_to(range_column(map.digits));
    line.put("... ");
    put_decimal(line, size - shown);
    line.put(" more bytes\n");
    report_put(report, line.view());
  }
}

// A field's bytes as one span: the page's own, or a copy of the extended
// page's (whose fields are at most 16 bytes).
struct FieldBytes {
  std::span<const std::uint8_t> page;
  std::uint8_t copy[epp::kSectionData];
  std::size_t copied;

  [[nodiscard]] std::span<const std::uint8_t> bytes() const {
    return copied != 0 ? std::span<const std::uint8_t>(copy, copied) : page;
  }
};
FieldBytes field_bytes(const MapContext& map, std::uint32_t first, std::size_t size) {
  FieldBytes out{};
  if (map.extended == nullptr) {
    const std::size_t from = std::min<std::size_t>(first, map.page.size());
    out.page = map.page.subspan(from, std::min(size, map.page.size() - from));
    return out;
  }
  out.copied = std::min(size, sizeof out.copy);
  for (std::size_t i = 0; i < out.copied; ++i) out.copy[i] = map.byte(first + i);
  return out;
}

// One field's line (and the lines its bytes go on with).
void field_line(Report& report, const MapContext& map, const FieldRef& ref) {
  const FieldInfo& info = *ref.info;
  const Field& field = *ref.field;
  const std::uint32_t first = ref.base + info.first;
  const std::uint32_t last = ref.base + info.last;
  Line line;
  put_head(line, map, first, last, info.size());
  if (is_raw(info.kind)) {
    line.put(raw_name(info.name()).view());
    if (info.kind == FieldKind::Reserved && field.value != 0) line.put(" (not 0)");
  } else {
    line.put(info.name());
    line.put(": ");
    put_value(line, info, field, field_bytes(map, first, info.size()).bytes(), map.values);
  }
  if (!field.defined) {
    line.put(" (not defined at ");
    if (map.revision_name.empty()) {
      line.put("revision ");
      put_hex(line, map.values.revision, 4);
    } else {
      line.put(map.revision_name);
    }
    line.put(')');
  }
  line.put('\n');
  report_put(report, line.view());
  put_tail(report, map, first, last, info.size());
}

// A raw range of the extended page.
void raw_line(Report& report, const MapContext& map, const ExtendedItem& item) {
  const std::size_t shown = std::min<std::size_t>(std::size_t{item.last} - item.first + 1, kExtendedRawShown);
  Line line;
  put_head(line, map, item.first, item.last, shown);
  line.put(kExtendedRawNames[static_cast<std::size_t>(item.kind)]);
  if (!item.zero) line.put(" (not 0)");
  line.put('\n');
  report_put(report, line.view());
  put_tail(report, map, item.first, item.last, shown);
}

// The highest revision the page claims, by the names its revision field
// gives its bits; empty when it names none.
std::string_view claimed_revision(const FieldList& list) {
  for (const FieldRef& ref : list.fields()) {
    if (ref.info->kind != FieldKind::Revision) continue;
    std::string_view name;
    for (const FlagText& flag : ref.info->bits()) {
      if (flag_set(flag, ref.field->value, list.revision)) name = flag_name(flag);
    }
    return name;
  }
  return {};
}

FieldList page_fields(const PageModel& page) {
  return page.layout == Layout::Onfi ? list_fields(page.onfi) : list_fields(page.jedec);
}

MapContext page_context(const FieldList& list, const PageCrc& crc) {
  return {list.bytes, nullptr, 3, {list.revision, &crc}, claimed_revision(list)};
}

// The CRC of the extended page used: of its copy, or of the majority, which
// is used only when it passes.
PageCrc extended_crc(const ExtendedPage& epp) {
  const std::uint16_t stored = static_cast<std::uint16_t>(epp.header[epp::Crc].raw);
  if (epp.used.majority) return {stored, stored, true};
  const EppCopy& copy = epp.copies[epp.used.copy - 1];
  return {copy.stored, copy.computed, copy.stored == copy.computed};
}

MapContext extended_context(const ExtendedPage& epp, const PageCrc& crc) {
  unsigned digits = 3;
  while (digits < 5 && (epp.length - 1) >> (4 * digits) != 0) ++digits;
  return {{}, &epp, digits, {0, &crc}, {}};
}

void extended_map_text(const ExtendedPage& epp, Report& report) {
  report_extended_place(epp, report);
  if (epp.state != ExtendedPage::State::Read) return;
  report_extended_choice(epp, report);
  const PageCrc crc = extended_crc(epp);
  const MapContext map = extended_context(epp, crc);
  const ExtendedFieldList list = list_fields(epp);
  // Each section's line goes before its bytes (a section of no bytes has
  // its line all the same), each kept ECC block's before its fields.
  std::uint32_t next_section = 0;
  std::uint32_t block = UINT32_MAX;
  const auto sections_up_to = [&](std::uint32_t end) {
    for (; next_section < end && next_section < epp.section_count; ++next_section)
      report_section_line(epp.sections[next_section], report);
  };
  for (const ExtendedItem& item : list.list()) {
    sections_up_to(item.section == ExtendedItem::kNoSection
                       ? (item.first < epp::kSectionData ? 0 : UINT32_MAX)
                       : std::uint32_t{item.section} + 1U);
    if (item.kind != ExtendedItem::Kind::Field) {
      raw_line(report, map, item);
      continue;
    }
    if (item.section != ExtendedItem::kNoSection && item.block != block) {
      block = item.block;
      report_append(report, 0, "ECC information block %u:\n", epp.blocks[block].index);
    }
    field_line(report, map, item.ref);
  }
  sections_up_to(UINT32_MAX);
}

// One element of a "map" array.
void json_entry(Report& report, std::uint32_t first, std::uint32_t last, std::string_view name) {
  report_object_begin(report, "");
  report_json_number(report, "first", first);
  report_json_number(report, "last", last);
  report_json_plain(report, "name", name);
}

void json_field_entry(Report& report, const MapContext& map, const FieldRef& ref) {
  const FieldInfo& info = *ref.info;
  const std::uint32_t first = ref.base + info.first;
  json_entry(report, first, ref.base + info.last,
             is_raw(info.kind) ? raw_name(info.name()).view() : info.name());
  report_field_json(report, "value", info, *ref.field, field_bytes(map, first, info.size()).bytes(),
                    map.values.revision);
  if (!ref.field->defined) report_json_bool(report, "defined", false);
  report_object_end(report);
}

void json_raw_entry(Report& report, const MapContext& map, const ExtendedItem& item) {
  json_entry(report, item.first, item.last, kExtendedRawNames[static_cast<std::size_t>(item.kind)]);
  std::uint8_t shown[kExtendedRawShown];
  const std::size_t n = std::min<std::size_t>(std::size_t{item.last} - item.first + 1, kExtendedRawShown);
  for (std::size_t i = 0; i < n; ++i) shown[i] = map.byte(item.first + i);
  report_json_hex(report, "value", {shown, n});
  report_object_end(report);
}

std::span<const std::uint8_t> model_bytes(const PageModel& page) {
  return page.layout == Layout::Onfi ? std::span<const std::uint8_t>(page.onfi.bytes)
                                     : std::span<const std::uint8_t>(page.jedec.bytes);
}

std::uint16_t model_revision(const PageModel& page) {
  return page.layout == Layout::Onfi ? page.onfi.revision : page.jedec.revision;
}

std::string_view vendor_layout_name(const PageModel& page) {
  return page.layout == Layout::Onfi && page.onfi.vendor != nullptr ? page.onfi.vendor->maker
                                                                    : "not documented";
}

// From the first byte that differs to the last: the first 8 of them.
constexpr std::size_t kDifferingShown = 8;

void put_differing(Line& line, std::span<const std::uint8_t> bytes, std::size_t from, std::size_t to) {
  const std::size_t end = std::min(to, from + kDifferingShown - 1);
  for (std::size_t at = from; at <= end; ++at) {
    if (at != from) line.put(' ');
    line.put({kHexBytes[bytes[at]].data(), 2});
  }
  if (to > end) line.put(" ...");
}

}  // namespace

void report_difference_text(const PageModel& a, const PageModel& b, const Difference& difference,
                            Report& report) {
  const std::span<const std::uint8_t> bytes_a = model_bytes(a);
  const std::span<const std::uint8_t> bytes_b = model_bytes(b);
  const std::size_t first = difference.first;
  const std::size_t size = std::size_t{difference.last} - first + 1;
  Line line;
  put_range(line, 3, difference.first, difference.last);
  const std::size_t name_at = line.size;
  const FieldInfo* info = difference.a.info;
  if (info != nullptr && !is_raw(info->kind)) {
    // Only a CRC's value reads the verdict.
    const bool crc = info->kind == FieldKind::Crc;
    const PageCrc crc_a = crc ? model_crc(a) : PageCrc{};
    const PageCrc crc_b = crc ? model_crc(b) : PageCrc{};
    line.put(info->name());
    line.put(": ");
    const std::size_t a_at = line.size;
    put_value(line, *info, *difference.a.field, bytes_a.subspan(first, size), {model_revision(a), &crc_a});
    const std::string_view value_a = slice(line.view(), a_at);
    line.put(" | ");
    const std::size_t b_at = line.size;
    put_value(line, *difference.b.info, *difference.b.field, bytes_b.subspan(first, size),
              {model_revision(b), &crc_b});
    if (value_a != slice(line.view(), b_at)) {
      line.put('\n');
      report_put(report, line.view());
      return;
    }
    line.size = name_at;
  }
  // Raw bytes, or values that read the same (a text past its first zero
  // byte): the bytes that differ.
  std::size_t from = first;
  while (from < first + size - 1 && bytes_a[from] == bytes_b[from]) ++from;
  std::size_t to = first + size - 1;
  while (to > from && bytes_a[to] == bytes_b[to]) --to;
  if (info == nullptr) {
    line.put("vendor specific (");
    line.put(vendor_layout_name(a));
    line.put(" | ");
    line.put(vendor_layout_name(b));
    line.put(')');
  } else {
    line.put(is_raw(info->kind) ? raw_name(info->name()).view() : info->name());
  }
  if (from != first || to != first + size - 1) {
    line.put(from == to ? ", byte " : ", bytes ");
    put_hex(line, static_cast<std::uint32_t>(from), 3);
    if (from != to) {
      line.put('-');
      put_hex(line, static_cast<std::uint32_t>(to), 3);
    }
  }
  line.put(": ");
  put_differing(line, bytes_a, from, to);
  line.put(" | ");
  put_differing(line, bytes_b, from, to);
  line.put('\n');
  report_put(report, line.view());
}

void report_difference_json(const PageModel& a, const PageModel& b, const Difference& difference,
                            Report& report) {
  const std::span<const std::uint8_t> bytes_a = model_bytes(a);
  const std::span<const std::uint8_t> bytes_b = model_bytes(b);
  const std::size_t first = difference.first;
  const std::size_t size = std::size_t{difference.last} - first + 1;
  const FieldInfo* info = difference.a.info;
  json_entry(report, difference.first, difference.last,
             info == nullptr      ? std::string_view("vendor specific")
             : is_raw(info->kind) ? raw_name(info->name()).view()
                                  : info->name());
  if (info == nullptr) {
    report_json_hex(report, "a", bytes_a.subspan(first, size));
    report_json_hex(report, "b", bytes_b.subspan(first, size));
  } else {
    report_field_json(report, "a", *info, *difference.a.field, bytes_a.subspan(first, size),
                      model_revision(a));
    report_field_json(report, "b", *difference.b.info, *difference.b.field, bytes_b.subspan(first, size),
                      model_revision(b));
  }
  report_object_end(report);
}

void report_map_text(const PageModel& page, const Dump* dump, Report& report) {
  if (page.layout == Layout::None) return;
  if (dump != nullptr) report_page_choice(*dump, report);
  const FieldList list = page_fields(page);
  const PageCrc crc = model_crc(page);
  const MapContext map = page_context(list, crc);
  for (const FieldRef& ref : list.fields()) field_line(report, map, ref);
  if (dump != nullptr) extended_map_text(dump->extended, report);
}

void report_map_json(const PageModel& page, const Dump* dump, Report& report) {
  if (page.layout == Layout::None) {
    report_json_null(report, "map");
  } else {
    const FieldList list = page_fields(page);
    const PageCrc crc = model_crc(page);
    const MapContext map = page_context(list, crc);
    report_array_begin(report, "map");
    for (const FieldRef& ref : list.fields()) json_field_entry(report, map, ref);
    report_array_end(report);
  }
  if (dump == nullptr) return;
  const ExtendedPage& epp = dump->extended;
  if (epp.state != ExtendedPage::State::Read) {
    report_json_null(report, "extended_page_map");
    return;
  }
  const PageCrc crc = extended_crc(epp);
  const MapContext map = extended_context(epp, crc);
  const ExtendedFieldList list = list_fields(epp);
  report_array_begin(report, "extended_page_map");
  for (const ExtendedItem& item : list.list()) {
    if (item.kind == ExtendedItem::Kind::Field) {
      json_field_entry(report, map, item.ref);
    } else {
      json_raw_entry(report, map, item);
    }
  }
  report_array_end(report);
}

}  // namespace tolvik::detail
