// The JSON document (format 2) of a parsed page or dump: every field of the
// model by its name, grouped by the blocks of the page, each value in its
// natural unit and exact. Written by walking the layouts' field tables, so a
// field added to a table appears here without a line of its own.
#include <algorithm>
#include <cstring>
#include <iterator>
#include <string_view>

#include "decode/decode.h"
#include "decode/fields.h"
#include "decode/page.h"
#include "decode/report.h"
#include "tolvik.h"

namespace tolvik::detail {
namespace {

// A block of the page: a JSON object holding the fields whose first byte
// lies in [first, last]. Fields of a record that repeats (JEDEC's ECC
// blocks) form an array of objects, one per `stride` bytes from
// `records_first`; the records must follow each other without other fields
// between them, or the array would open twice.
struct JsonBlock {
  std::uint16_t first;
  std::uint16_t last;
  std::string_view key;
  std::uint16_t records_first = 0;
  std::uint16_t records_last = 0;
  std::uint16_t stride = 0;
  std::string_view records_key = {};
};

constexpr JsonBlock kOnfiBlocks[] = {
    {0, 31, "revision_and_features"},
    {32, 79, "manufacturer_information"},
    {80, 127, "memory_organization"},
    {128, 163, "electrical_parameters"},
    {164, 253, "vendor"},
};

constexpr JsonBlock kJedecBlocks[] = {
    {0, 31, "revision_and_features"},
    {32, 79, "manufacturer_information"},
    {80, 143, "memory_organization"},
    {144, 207, "electrical_parameters"},
    {208, 271, "ecc_and_endurance", 211, 242, 8, "ecc_blocks"},
    {420, 509, "vendor"},
};

// A record's index is one digit in a JSON Pointer.
constexpr bool records_fewer_than_ten(std::span<const JsonBlock> blocks) {
  for (const JsonBlock& block : blocks) {
    if (block.stride != 0 && (block.records_last - block.records_first) / block.stride >= 10) return false;
  }
  return true;
}
static_assert(records_fewer_than_ten(kOnfiBlocks) && records_fewer_than_ten(kJedecBlocks));

// Fields the document carries at its top (signature, texts, CRC), or not at
// all (reserved bytes: the byte map shows them).
constexpr bool in_block(FieldKind kind) {
  return kind != FieldKind::Signature && kind != FieldKind::Text && kind != FieldKind::Crc &&
         kind != FieldKind::Reserved;
}

// The record of a block a byte belongs to, or -1.
constexpr std::int64_t record_of(const JsonBlock& block, std::uint32_t at) {
  if (block.stride == 0 || at < block.records_first || at > block.records_last) return -1;
  return (at - block.records_first) / block.stride;
}

// The bytes of a field, within the bytes given.
std::span<const std::uint8_t> field_bytes(const FieldRef& ref, std::span<const std::uint8_t> bytes) {
  const std::size_t first = std::min<std::size_t>(ref.base + ref.info->first, bytes.size());
  return bytes.subspan(first, std::min(ref.info->size(), bytes.size() - first));
}

void json_flag_names(Report& report, std::uint64_t value, std::span<const FlagText> bits,
                     std::uint16_t revision) {
  report_array_begin(report, "set");
  for (const FlagText& flag : bits) {
    if (flag_set(flag, value, revision)) report_json_plain(report, "", flag_name(flag));
  }
  report_array_end(report);
}

void json_endurance(Report& report, std::string_view key, const Field& field) {
  report_object_begin(report, key);
  report_json_number(report, "mantissa", field.raw & 0xFFU);
  report_json_number(report, "exponent", field.raw >> 8 & 0xFFU);
  if (field.exact) {
    report_json_number(report, "cycles", field.value);
  } else {
    report_json_null(report, "cycles");
    report_json_plain(report, "reason", "more than 2^64 cycles");
  }
  report_object_end(report);
}

void json_codeword(Report& report, std::string_view key, const Field& field) {
  report_object_begin(report, key);
  report_json_number(report, "exponent", field.raw);
  if (field.raw >= 1 && field.raw <= 63) {
    report_json_number(report, "bytes", std::uint64_t{1} << field.raw);
  } else {
    report_json_null(report, "bytes");
  }
  report_object_end(report);
}

// One field's member (a maker ID has its name and, when wider than a byte,
// all its bytes beside it).
void json_field(Report& report, const FieldRef& ref, std::span<const std::uint8_t> bytes,
                std::uint16_t revision) {
  const FieldInfo& info = *ref.info;
  report_field_json(report, info.key(), info, *ref.field, field_bytes(ref, bytes), revision);
  if (info.kind != FieldKind::MakerId) return;
  const Maker* maker = find_maker(static_cast<std::uint8_t>(ref.field->value));
  if (maker != nullptr) {
    report_json_plain(report, "jedec_manufacturer_name", maker->name());
  } else {
    report_json_null(report, "jedec_manufacturer_name");
  }
  if (info.size() > 1) report_json_hex(report, "jedec_manufacturer_id_bytes", field_bytes(ref, bytes));
}

// Every field of a table in its own object, for records of a table of
// their own (the extended page's ECC blocks).
void json_fields(Report& report, std::span<const FieldInfo> table, const Field* fields,
                 std::span<const std::uint8_t> bytes) {
  for (std::size_t f = 0; f < table.size(); ++f) {
    if (in_block(table[f].kind)) json_field(report, {&table[f], &fields[f]}, bytes, 0);
  }
}

// Whether every field of a record, from its first on, holds only zeros;
// the text report leaves such a record out.
bool record_empty(std::span<const FieldRef> fields, std::uint32_t to) {
  for (const FieldRef& ref : fields) {
    if (ref.base + ref.info->first >= to) break;
    if (ref.field->raw != 0 || ref.field->value != 0) return false;
  }
  return true;
}

// The page's fields, block by block. A record's object opens at its first
// field in the document and closes at the first field after it.
void json_blocks(Report& report, const FieldList& list, std::span<const JsonBlock> blocks,
                 const VendorLayout* vendor) {
  const std::span<const FieldRef> fields = list.fields();
  std::size_t i = 0;
  for (const JsonBlock& block : blocks) {
    report_object_begin(report, block.key);
    if (block.key == "vendor") {
      if (vendor != nullptr) {
        report_json_plain(report, "layout", vendor->maker);
      } else {
        report_json_null(report, "layout");
      }
    }
    while (i < fields.size() && fields[i].base + fields[i].info->first < block.first) ++i;
    std::int64_t open = -1;  // the record whose object is open
    for (; i < fields.size() && fields[i].base + fields[i].info->first <= block.last; ++i) {
      const FieldRef& ref = fields[i];
      if (!in_block(ref.info->kind)) continue;
      const std::int64_t record = record_of(block, ref.base + ref.info->first);
      if (record != open) {
        if (open >= 0) report_object_end(report);
        if (open < 0) report_array_begin(report, block.records_key);
        if (record < 0) {
          report_array_end(report);
        } else {
          const auto to = static_cast<std::uint32_t>(block.records_first + (record + 1) * block.stride);
          report_object_begin(report, "");
          report_json_number(report, "index", static_cast<std::uint64_t>(record));
          report_json_bool(report, "empty", record_empty(fields.subspan(i), to));
        }
        open = record;
      }
      json_field(report, ref, list.bytes, list.revision);
    }
    if (open >= 0) {
      report_object_end(report);
      report_array_end(report);
    }
    report_object_end(report);
  }
}

// Where a field's member is, as a JSON Pointer: every field the page's
// revision does not define is named so, and its member is still there.
void json_not_defined(Report& report, const FieldList& list, std::span<const JsonBlock> blocks) {
  report_array_begin(report, "fields_not_defined");
  for (const FieldRef& ref : list.fields()) {
    const std::uint32_t at = ref.base + ref.info->first;
    if (ref.field->defined || !in_block(ref.info->kind)) continue;
    for (const JsonBlock& block : blocks) {
      if (at < block.first || at > block.last) continue;
      // "/block/records/k/key": keys are short, records fewer than ten.
      char text[128];
      std::size_t n = 0;
      const auto put = [&text, &n](std::string_view piece) {
        const std::size_t size = std::min(piece.size(), sizeof text - 1 - n);
        text[n++] = '/';
        std::memcpy(text + n, piece.data(), size);
        n += size;
      };
      put(block.key);
      const std::int64_t record = record_of(block, at);
      if (record >= 0) {
        const char digit = static_cast<char>('0' + record % 10);
        put(block.records_key);
        put({&digit, 1});
      }
      put(ref.info->key());
      report_json_plain(report, "", {text, n});
    }
  }
  report_array_end(report);
}

void json_families(Report& report, std::span<const TimingFamily> families) {
  report_object_begin(report, "timing_modes");
  for (const TimingFamily& family : families) {
    report_object_begin(report, family.info->key());
    report_json_number(report, "mask", family.mask);
    if (family.fastest_mode < 0) {
      report_json_null(report, "fastest_mode");
      report_json_null(report, "fastest_rate");
    } else {
      report_json_number(report, "fastest_mode", static_cast<std::uint64_t>(family.fastest_mode));
      report_json_number(report, "fastest_rate", family.fastest_rate);
    }
    report_json_plain(report, "rate_unit", family.info->rate_unit());
    report_object_end(report);
  }
  report_object_end(report);
}

void json_crc(Report& report, const PageCrc& crc) {
  report_object_begin(report, "crc");
  report_json_number(report, "stored", crc.stored);
  report_json_number(report, "computed", crc.computed);
  report_json_bool(report, "ok", crc.ok);
  report_object_end(report);
}

template <class Page>
void json_page(Report& report, const Page& page, std::string_view layout, const FieldList& list,
               std::span<const JsonBlock> blocks, const VendorLayout* vendor) {
  report_json_plain(report, "layout", layout);
  json_crc(report, page.crc);
  report_json_text(report, "manufacturer", page.manufacturer);
  report_json_text(report, "model", page.model);
  json_not_defined(report, list, blocks);
  json_blocks(report, list, blocks, vendor);
  json_families(report, page.families);
}

}  // namespace

void report_json_hex(Report& report, std::string_view name, std::span<const std::uint8_t> bytes) {
  constexpr char kHex[] = "0123456789abcdef";
  char text[2 * 512];
  std::size_t n = 0;
  for (const std::uint8_t b : bytes) {
    if (n + 2 > sizeof text) break;
    text[n++] = kHex[b >> 4];
    text[n++] = kHex[b & 0xFU];
  }
  report_json_text(report, name, {text, n});
}

void report_field_json(Report& report, std::string_view name, const FieldInfo& info, const Field& field,
                       std::span<const std::uint8_t> bytes, std::uint16_t revision) {
  switch (info.kind) {
    case FieldKind::Number:
      if (info.unit == Unit::TenthPicofarads || info.unit == Unit::Tenths) {
        // Exactly the stored tenths: one decimal, as printf's %.1f shows them.
        char text[16];
        Report figure{text};
        report_append(figure, 0, "%u.%u", u32(field) / 10, u32(field) % 10);
        report_json_literal(report, name, {text, figure.length});
      } else {
        report_json_number(report, name, field.value);
      }
      break;
    case FieldKind::Modes:
    case FieldKind::MakerId:
    case FieldKind::Crc:
      report_json_number(report, name, field.value);
      break;
    case FieldKind::Flags:
    case FieldKind::Revision:
      report_object_begin(report, name);
      report_json_number(report, "value", field.value);
      json_flag_names(report, field.value, info.bits(), revision);
      report_object_end(report);
      break;
    case FieldKind::AddressCycles:
      report_object_begin(report, name);
      report_json_number(report, "row", field.raw & 0x0FU);
      report_json_number(report, "column", field.raw >> 4);
      report_object_end(report);
      break;
    case FieldKind::WarmupCycles:
      report_object_begin(report, name);
      report_json_number(report, "data_output", field.raw & 0x0FU);
      report_json_number(report, "data_input", field.raw >> 4);
      report_object_end(report);
      break;
    case FieldKind::PlaneBits:
      report_object_begin(report, name);
      report_json_number(report, "value", field.raw);
      report_json_number(report, "bits", field.value);
      report_json_number(report, "planes", std::uint64_t{1} << field.value);
      report_object_end(report);
      break;
    case FieldKind::CellBits: {
      report_object_begin(report, name);
      report_json_number(report, "value", field.value);
      const std::string_view type = cell_type(field.value);
      if (type.empty()) {
        report_json_null(report, "cell_type");
      } else {
        report_json_plain(report, "cell_type", type);
      }
      report_object_end(report);
      break;
    }
    case FieldKind::Date:
      // 0: no date given (the field is optional).
      if (field.raw == 0) {
        report_json_null(report, name);
        break;
      }
      report_object_begin(report, name);
      report_json_number(report, "year_of_century", field.raw & 0xFFU);
      report_json_number(report, "week", field.raw >> 8);
      report_object_end(report);
      break;
    case FieldKind::Endurance:
      json_endurance(report, name, field);
      break;
    case FieldKind::EccBits:
      report_object_begin(report, name);
      report_json_number(report, "value", field.value);
      report_json_bool(report, "in_extended_page", field.value == 255);
      report_object_end(report);
      break;
    case FieldKind::CodewordSize:
      json_codeword(report, name, field);
      break;
    case FieldKind::Signature:
    case FieldKind::Text: {
      // Up to the first zero byte, as the text shows it.
      const auto end = static_cast<std::size_t>(std::find(bytes.begin(), bytes.end(), 0) - bytes.begin());
      report_json_text(report, name, {reinterpret_cast<const char*>(bytes.data()), end});
      break;
    }
    case FieldKind::Reserved:
    case FieldKind::Vendor:
      report_json_hex(report, name, bytes);
      break;
  }
}

void report_page_json(const PageModel& page, Report& report) {
  switch (page.layout) {
    case Layout::Onfi:
      json_page(report, page.onfi, "ONFI", list_fields(page.onfi), kOnfiBlocks, page.onfi.vendor);
      return;
    case Layout::Jedec:
      json_page(report, page.jedec, "JEDEC", list_fields(page.jedec), kJedecBlocks, nullptr);
      return;
    case Layout::None:
      break;
  }
  for (const std::string_view name : {"layout", "crc", "manufacturer", "model"})
    report_json_null(report, name);
}

namespace {

void json_choice(Report& report, std::string_view name, const CopyChoice& choice) {
  report_object_begin(report, name);
  report_json_plain(report, "source", choice.majority ? "majority" : "copy");
  if (choice.majority) {
    report_json_null(report, "copy");
  } else {
    report_json_number(report, "copy", choice.copy);
  }
  report_json_bool(report, "ok", choice.ok);
  report_object_end(report);
}

void json_epp_block(Report& report, const ExtendedPage& epp, const EppEccBlock& block) {
  std::uint8_t bytes[epp::kEccBlockSize];
  for (std::size_t k = 0; k < sizeof bytes; ++k) bytes[k] = epp.byte(block.offset + k);
  report_object_begin(report, "");
  report_json_number(report, "index", block.index);
  report_json_number(report, "offset_bytes", block.offset);
  json_fields(report, epp::kEccFields, block.fields, bytes);
  report_object_end(report);
}

void json_extended_page(Report& report, const ExtendedPage& epp) {
  if (epp.state == ExtendedPage::State::NotAnnounced) {
    report_json_null(report, "extended_page");
    return;
  }
  constexpr std::string_view kStates[] = {"", "too_short", "not_in_input", "read"};
  report_object_begin(report, "extended_page");
  report_json_plain(report, "state", kStates[static_cast<unsigned>(epp.state)]);
  report_json_number(report, "length_bytes", epp.length);
  report_json_number(report, "offset_bytes", epp.offset);
  report_array_begin(report, "copies");
  for (std::uint32_t k = 0; k < epp.copy_count; ++k) {
    report_object_begin(report, "");
    report_json_number(report, "stored", epp.copies[k].stored);
    report_json_number(report, "computed", epp.copies[k].computed);
    report_json_bool(report, "ok", epp.copies[k].valid());
    report_json_bool(report, "signature_ok", epp.copies[k].signature);
    report_object_end(report);
  }
  report_array_end(report);
  if (epp.state == ExtendedPage::State::Read) {
    json_choice(report, "used", epp.used);
  } else {
    report_json_null(report, "used");
  }
  report_array_begin(report, "sections");
  for (std::uint32_t s = 0; s < epp.section_count; ++s) {
    const EppSection& section = epp.sections[s];
    report_object_begin(report, "");
    report_json_number(report, "index", section.index);
    report_json_number(report, "type", section.type);
    report_json_number(report, "length_bytes", section.length);
    report_json_number(report, "offset_bytes", section.offset);
    report_json_bool(report, "past_end", section.past_end);
    if (section.type == epp::kSectionEcc) {
      report_array_begin(report, "ecc_blocks");
      for (std::uint32_t b = 0; b < section.block_count; ++b)
        json_epp_block(report, epp, epp.blocks[section.first_block + b]);
      report_array_end(report);
      report_json_number(report, "ecc_blocks_not_shown", section.blocks_not_kept);
    }
    report_object_end(report);
  }
  report_array_end(report);
  report_object_end(report);
}

void json_size(Report& report, std::string_view name, std::uint64_t bytes, bool exact) {
  if (exact) {
    report_json_number(report, name, bytes);
  } else {
    report_json_null(report, name);
  }
}

}  // namespace

void report_dump_json(const Dump& dump, Report& report) {
  report_array_begin(report, "copies");
  for (std::uint32_t k = 0; k < dump.copy_count; ++k) {
    report_object_begin(report, "");
    report_json_number(report, "stored", dump.copies[k].stored);
    report_json_number(report, "computed", dump.copies[k].computed);
    report_json_bool(report, "ok", dump.copies[k].ok);
    report_object_end(report);
  }
  report_array_end(report);
  if (dump.layout == Layout::None) {
    report_json_null(report, "decoded");
  } else {
    json_choice(report, "decoded", dump.decoded);
  }
  report_page_json(dump.page, report);
  json_extended_page(report, dump.extended);
  json_size(report, "data_size_bytes", dump.data_bytes, dump.layout != Layout::None && dump.data_bytes_exact);
  json_size(report, "raw_size_bytes", dump.raw_bytes, dump.layout != Layout::None && dump.raw_bytes_exact);
}

bool dump_extended_ok(const Dump& dump) {
  switch (dump.extended.state) {
    case ExtendedPage::State::NotAnnounced:
      return true;
    case ExtendedPage::State::Read:
      return dump.extended.used.ok;
    case ExtendedPage::State::TooShort:
    case ExtendedPage::State::NotInInput:
      break;
  }
  return false;
}

}  // namespace tolvik::detail
