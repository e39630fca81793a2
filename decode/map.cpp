// The byte map: every byte of a page (and, for a whole dump, of the extended
// page used) in order, one field per line: its range, its bytes in hex, the
// standard's name and the decoded value. The value texts are the ones the
// comparison of two pages writes too.
#include <algorithm>
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

// A flag word, a mode mask or an ID in hex, two digits per byte.
constexpr Format<std::uint32_t> kHexByWidth[] = {"0x%02X", "0x%04X", "0x%06X", "0x%08X"};

void report_hex(Report& report, const FieldInfo& info, std::uint32_t value) {
  report_append(report, 0, kHexByWidth[std::min<std::size_t>(info.size(), 4) - 1], value);
}

void report_u64(Report& report, std::uint64_t value) {
  char digits[24];
  char* first = digits + sizeof digits;
  do {
    *--first = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  report_append(report, 0, "%s",
                std::string_view(first, static_cast<std::size_t>(digits + sizeof digits - first)));
}

// " (name; name)" for the set bits the table names at this revision.
void report_set_bits(Report& report, std::uint64_t value, std::span<const FlagText> bits,
                     std::uint16_t revision) {
  bool any = false;
  for (const FlagText& flag : bits) {
    if (!flag_set(flag, value, revision)) continue;
    report_append(report, 0, any ? Format<std::string_view>("; %s") : Format<std::string_view>(" (%s"),
                  flag_name(flag));
    any = true;
  }
  if (any) report_append(report, 0, ")");
}

// " (modes 0-5, 7)": the modes of the set bits, runs joined.
void report_modes(Report& report, std::uint32_t mask, unsigned first_mode) {
  bool any = false;
  for (unsigned bit = 0; bit < 32; ++bit) {
    if ((mask >> bit & 1U) == 0) continue;
    unsigned end = bit;
    while (end < 31 && (mask >> (end + 1) & 1U) != 0) ++end;
    report_append(report, 0, any ? Format<std::uint32_t>(", %u") : Format<std::uint32_t>(" (modes %u"),
                  first_mode + bit);
    if (end != bit) report_append(report, 0, "-%u", first_mode + end);
    any = true;
    bit = end;
  }
  if (any) report_append(report, 0, ")");
}

void report_text(Report& report, std::span<const std::uint8_t> bytes) {
  PageText text{};
  for (std::size_t i = 0; i < bytes.size() && i < sizeof text.text - 1 && bytes[i] != 0; ++i)
    text.text[i] = static_cast<char>(bytes[i]);
  report_append(report, 0, "\"%s\"", terminal_safe(text).text);
}

void report_endurance_value(Report& report, const Field& field) {
  const std::uint32_t mantissa = field.raw & 0xFFU;
  const std::uint32_t exponent = field.raw >> 8 & 0xFFU;
  if (!field.exact) {
    report_append(report, 0, "%u x 10^%u cycles", mantissa, exponent);
    return;
  }
  report_u64(report, field.value);
  report_append(report, 0, " cycles (%u x 10^%u)", mantissa, exponent);
}

}  // namespace

void report_field_value(Report& report, const FieldInfo& info, const Field& field,
                        std::span<const std::uint8_t> bytes, const ValueContext& context) {
  switch (info.kind) {
    case FieldKind::Signature:
    case FieldKind::Text:
      report_text(report, bytes);
      break;
    case FieldKind::Number: {
      const UnitText& unit = kUnitTexts[static_cast<std::size_t>(info.unit)];
      if (unit.hex) {
        report_hex(report, info, u32(field));
      } else if (unit.tenths) {
        report_append(report, 0, "%u.%u%s", u32(field) / 10, u32(field) % 10, unit.suffix);
      } else {
        report_u64(report, field.value);
        report_append(report, 0, "%s", unit.suffix);
      }
      break;
    }
    case FieldKind::Flags:
    case FieldKind::Revision:
      report_hex(report, info, field.raw);
      report_set_bits(report, field.value, info.bits, context.revision);
      break;
    case FieldKind::Modes:
      report_hex(report, info, field.raw);
      report_modes(report, field.raw, info.first_mode);
      break;
    case FieldKind::AddressCycles:
      report_append(report, 0, "%u row, %u column", field.raw & 0x0FU, field.raw >> 4);
      break;
    case FieldKind::WarmupCycles:
      report_append(report, 0, "%u data output, %u data input", field.raw & 0x0FU, field.raw >> 4);
      break;
    case FieldKind::PlaneBits:
      report_append(report, 0, "%u (%u %s)", u32(field), 1U << field.value,
                    field.value == 0 ? "plane" : "planes");
      break;
    case FieldKind::CellBits: {
      const std::string_view type = cell_type(field.value);
      if (type.empty()) {
        report_append(report, 0, "%u", u32(field));
      } else {
        report_append(report, 0, "%u (%s)", u32(field), type);
      }
      break;
    }
    case FieldKind::Date:
      if (field.raw == 0) {
        report_append(report, 0, "none");
      } else {
        report_append(report, 0, "year %u, week %u", field.raw & 0xFFU, field.raw >> 8);
      }
      break;
    case FieldKind::Endurance:
      report_endurance_value(report, field);
      break;
    case FieldKind::EccBits:
      if (field.value == 255) {
        report_append(report, 0, "255 (in the extended parameter page)");
      } else {
        report_append(report, 0, "%u bits", u32(field));
      }
      break;
    case FieldKind::CodewordSize:
      report_append(report, 0, "%u", field.raw);
      if (field.raw >= 1 && field.raw <= 63) {
        report_append(report, 0, " (");
        report_u64(report, std::uint64_t{1} << field.raw);
        report_append(report, 0, " bytes)");
      }
      break;
    case FieldKind::MakerId: {
      report_append(report, 0, "0x%02X", u32(field));
      const Maker* maker = find_maker(static_cast<std::uint8_t>(field.value));
      if (maker != nullptr) report_append(report, 0, " (%s)", maker->name);
      break;
    }
    case FieldKind::Crc:
      report_append(report, 0, "0x%04X", field.raw);
      if (context.crc == nullptr) break;
      if (context.crc->ok) {
        report_append(report, 0, " - Ok");
      } else {
        report_append(report, 0, " - Wrong (computed 0x%04X)", std::uint32_t{context.crc->computed});
      }
      break;
    case FieldKind::Reserved:
    case FieldKind::Vendor:
      break;
  }
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

constexpr Format<std::uint32_t> kSingleOffset[] = {"0x%03X", "0x%04X", "0x%05X"};
constexpr Format<std::uint32_t, std::uint32_t> kRangeOffsets[] = {"0x%03X-0x%03X", "0x%04X-0x%04X",
                                                                  "0x%05X-0x%05X"};
constexpr Format<std::string_view> kRangeColumn[] = {"%-11s  ", "%-13s  ", "%-15s  "};

// Up to 16 bytes from `first` in hex, one blank between them.
std::string_view hex_bytes(const MapContext& map, std::size_t first, std::size_t count, char (&text)[48]) {
  constexpr char kHex[] = "0123456789ABCDEF";
  std::size_t n = 0;
  for (std::size_t i = 0; i < count && i < kBytesPerLine; ++i) {
    const std::uint8_t b = map.byte(first + i);
    if (i != 0) text[n++] = ' ';
    text[n++] = kHex[b >> 4];
    text[n++] = kHex[b & 0xFU];
  }
  return {text, n};
}

// "0x050-0x053" or "0x064", padded to the range column of its map.
void report_range(Report& report, unsigned digits, std::uint32_t first, std::uint32_t last) {
  char range[24];
  Report range_text{range};
  const std::size_t column = digits - 3;
  if (first == last) {
    report_append(range_text, 0, kSingleOffset[column], first);
  } else {
    report_append(range_text, 0, kRangeOffsets[column], first, last);
  }
  report_append(report, 0, kRangeColumn[column], std::string_view(range, range_text.length));
}

// The range and the first line of bytes; `shown` bytes from first, 16 a line.
void line_head(Report& report, const MapContext& map, std::uint32_t first, std::uint32_t last,
               std::size_t shown) {
  report_range(report, map.digits, first, last);
  char hex[48];
  report_append(report, 0, "%-11s  ", hex_bytes(map, first, shown, hex));
}

// The blanks under the range column, for the lines that go on.
std::string_view indent(const MapContext& map) {
  constexpr std::string_view kBlanks = "                 ";
  return slice(kBlanks, 0, 2 * (map.digits + 2) + 3);
}

// The bytes past the first line, 16 a line under the first; then how many
// were not shown.
void line_tail(Report& report, const MapContext& map, std::uint32_t first, std::uint32_t last,
               std::size_t shown) {
  for (std::size_t at = kBytesPerLine; at < shown; at += kBytesPerLine) {
    char hex[48];
    report_append(report, 0, "%s%s\n", indent(map), hex_bytes(map, first + at, shown - at, hex));
  }
  const std::size_t size = std::size_t{last} - first + 1;
  if (shown < size)
    report_append(report, 0, "%s... %u more bytes\n", indent(map), static_cast<std::uint32_t>(size - shown));
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
  line_head(report, map, first, last, info.size());
  if (is_raw(info.kind)) {
    report_append(report, 0, "%s", raw_name(info.name).view());
    if (info.kind == FieldKind::Reserved && field.value != 0) report_append(report, 0, " (not 0)");
  } else {
    report_append(report, 0, "%s: ", info.name);
    report_field_value(report, info, field, field_bytes(map, first, info.size()).bytes(), map.values);
  }
  if (!field.defined) {
    if (map.revision_name.empty()) {
      report_append(report, 0, " (not defined at revision 0x%04X)", std::uint32_t{map.values.revision});
    } else {
      report_append(report, 0, " (not defined at %s)", map.revision_name);
    }
  }
  report_append(report, 0, "\n");
  line_tail(report, map, first, last, info.size());
}

// A raw range of the extended page.
void raw_line(Report& report, const MapContext& map, const ExtendedItem& item) {
  const std::size_t shown = std::min<std::size_t>(std::size_t{item.last} - item.first + 1, kExtendedRawShown);
  line_head(report, map, item.first, item.last, shown);
  report_append(report, 0, "%s%s\n", kExtendedRawNames[static_cast<std::size_t>(item.kind)],
                item.zero ? "" : " (not 0)");
  line_tail(report, map, item.first, item.last, shown);
}

// The highest revision the page claims, by the names its revision field
// gives its bits; empty when it names none.
std::string_view claimed_revision(const FieldList& list) {
  for (const FieldRef& ref : list.fields()) {
    if (ref.info->kind != FieldKind::Revision) continue;
    std::string_view name;
    for (const FlagText& flag : ref.info->bits) {
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
  report_json_text(report, "name", name);
}

void json_field_entry(Report& report, const MapContext& map, const FieldRef& ref) {
  const FieldInfo& info = *ref.info;
  const std::uint32_t first = ref.base + info.first;
  json_entry(report, first, ref.base + info.last, is_raw(info.kind) ? raw_name(info.name).view() : info.name);
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

// Bytes [first, last] of both pages hold the differing ones: the first 8
// of those, from the first that differs to the last.
constexpr std::size_t kDifferingShown = 8;

void report_differing(Report& report, std::span<const std::uint8_t> bytes, std::size_t from, std::size_t to) {
  const std::size_t end = std::min(to, from + kDifferingShown - 1);
  for (std::size_t at = from; at <= end; ++at)
    report_append(report, 0, at == from ? Format<std::uint32_t>("%02X") : Format<std::uint32_t>(" %02X"),
                  std::uint32_t{bytes[at]});
  if (to > end) report_append(report, 0, " ...");
}

}  // namespace

void report_difference_text(const PageModel& a, const PageModel& b, const Difference& difference,
                            Report& report) {
  const std::span<const std::uint8_t> bytes_a = model_bytes(a);
  const std::span<const std::uint8_t> bytes_b = model_bytes(b);
  const std::size_t first = difference.first;
  const std::size_t size = std::size_t{difference.last} - first + 1;
  report_range(report, 3, difference.first, difference.last);
  const FieldInfo* info = difference.a.info;
  if (info != nullptr && !is_raw(info->kind)) {
    char room_a[1024];
    char room_b[1024];
    Report value_a{room_a};
    Report value_b{room_b};
    const PageCrc crc_a = model_crc(a);
    const PageCrc crc_b = model_crc(b);
    report_field_value(value_a, *info, *difference.a.field, bytes_a.subspan(first, size),
                       {model_revision(a), &crc_a});
    report_field_value(value_b, *difference.b.info, *difference.b.field, bytes_b.subspan(first, size),
                       {model_revision(b), &crc_b});
    const std::string_view text_a(room_a, value_a.length);
    const std::string_view text_b(room_b, value_b.length);
    if (text_a != text_b) {
      report_append(report, 0, "%s: %s | %s\n", info->name, text_a, text_b);
      return;
    }
  }
  // Raw bytes, or values that read the same (a text past its first zero
  // byte): the bytes that differ.
  std::size_t from = first;
  while (from < first + size - 1 && bytes_a[from] == bytes_b[from]) ++from;
  std::size_t to = first + size - 1;
  while (to > from && bytes_a[to] == bytes_b[to]) --to;
  if (info == nullptr) {
    report_append(report, 0, "vendor specific (%s | %s)", vendor_layout_name(a), vendor_layout_name(b));
  } else {
    report_append(report, 0, "%s", is_raw(info->kind) ? raw_name(info->name).view() : info->name);
  }
  if (from == to && size != 1) {
    report_append(report, 0, ", byte 0x%03X", static_cast<std::uint32_t>(from));
  } else if (from != first || to != first + size - 1) {
    report_append(report, 0, ", bytes 0x%03X-0x%03X", static_cast<std::uint32_t>(from),
                  static_cast<std::uint32_t>(to));
  }
  report_append(report, 0, ": ");
  report_differing(report, bytes_a, from, to);
  report_append(report, 0, " | ");
  report_differing(report, bytes_b, from, to);
  report_append(report, 0, "\n");
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
             : is_raw(info->kind) ? raw_name(info->name).view()
                                  : info->name);
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
