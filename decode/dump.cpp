// Whole dumps of the parameter page area as a model: every copy of the page
// checked, a good copy (or the bit-wise majority of three) parsed, the ONFI
// extended parameter page found, checked and walked section by section, and
// the device's size.
//
// Every offset that comes from the input (the extended page's place and
// length, its sections' lengths) is checked against the bytes read before
// anything at it is read.
#include <algorithm>
#include <cstring>

#include "decode/fields.h"
#include "onfi/layout.h"
#include "tolvik.h"

namespace tolvik {
namespace epp {
namespace {

using detail::kind_row;
using detail::number;
using detail::reserved;

constexpr detail::FieldRow section_row(unsigned k, bool length) {
  const auto at = static_cast<std::uint16_t>(16 + 2 * k + (length ? 1 : 0));
  return length ? number(at, at, Unit::None, "Section length (16-byte units)", "length_units")
                : number(at, at, Unit::None, "Section type", "type");
}

constexpr detail::FieldRow kHeaderRows[] = {
    kind_row(0, 1, FieldKind::Crc, "Integrity CRC", "crc"),
    kind_row(2, 5, FieldKind::Signature, "Extended parameter page signature", "signature"),
    reserved(6, 15),
    section_row(0, false),
    section_row(0, true),
    section_row(1, false),
    section_row(1, true),
    section_row(2, false),
    section_row(2, true),
    section_row(3, false),
    section_row(3, true),
    section_row(4, false),
    section_row(4, true),
    section_row(5, false),
    section_row(5, true),
    section_row(6, false),
    section_row(6, true),
    section_row(7, false),
    section_row(7, true),
};
static_assert(std::size(kHeaderRows) == kHeaderFieldCount &&
              detail::covers_in_order(kHeaderRows, 0, kSectionData));

// One ECC information block; bytes 8-15 are not documented (zero in real
// pages).
constexpr detail::FieldRow kEccRows[] = {
    number(0, 0, Unit::None, "Number of bits ECC correctability", "ecc_bits"),
    kind_row(1, 1, FieldKind::CodewordSize, "ECC codeword size", "codeword_size"),
    number(2, 3, Unit::None, "Bad blocks maximum per LUN", "max_bad_blocks_per_lun"),
    kind_row(4, 5, FieldKind::Endurance, "Block endurance", "block_endurance"),
    reserved(6, 7),
    detail::field_row(8, 15, FieldKind::Vendor, Unit::None, "Not documented", "rest"),
};
static_assert(std::size(kEccRows) == kEccFieldCount && detail::covers_in_order(kEccRows, 0, kEccBlockSize));

constexpr auto kHeaderCompiled =
    detail::compile_fields<detail::text_size(kHeaderRows)>(kHeaderRows, detail::FieldTable::EppHeader, {});
constexpr auto kHeaderText = kHeaderCompiled.text;
constexpr detail::TableTexts kHeaderTexts{kHeaderText.data(), {}};
constexpr auto kEccCompiled =
    detail::compile_fields<detail::text_size(kEccRows)>(kEccRows, detail::FieldTable::EppEcc, {});
constexpr auto kEccText = kEccCompiled.text;
constexpr detail::TableTexts kEccTexts{kEccText.data(), {}};

}  // namespace

constexpr std::array<FieldInfo, kHeaderFieldCount> kHeaderFields = kHeaderCompiled.fields;
constexpr std::array<FieldInfo, kEccFieldCount> kEccFields = kEccCompiled.fields;

}  // namespace epp

namespace detail {

const TableTexts& epp_header_texts() { return epp::kHeaderTexts; }
const TableTexts& epp_ecc_texts() { return epp::kEccTexts; }

namespace {

struct DumpLayout {
  Layout layout;
  const char signature[5];
  std::size_t copy_size;
  std::size_t crc_covered;  // the stored CRC follows the bytes it covers
};

// In the order they are tried: a JEDEC dump wins over ONFI bytes in it.
constexpr DumpLayout kDumpLayouts[] = {
    {Layout::Jedec, "JESD", 512, 510},
    {Layout::Onfi, "ONFI", 256, 254},
};

// How many copies of the page precede the extended page when the page does
// not say.
constexpr std::uint32_t kCopiesBeforeEppDefault = 3;

const DumpLayout* find_layout(std::span<const std::uint8_t> dump) {
  for (const DumpLayout& layout : kDumpLayouts) {
    for (std::size_t k = 0; k < kCopiesRead; ++k) {
      const std::size_t at = k * layout.copy_size;
      if (at + 4 <= dump.size() && std::memcmp(dump.data() + at, layout.signature, 4) == 0) return &layout;
    }
  }
  return nullptr;
}

// Each bit set where at least two of the three copies have it set.
constexpr std::uint8_t bit_majority(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
  return static_cast<std::uint8_t>((a & b) | (a & c) | (b & c));
}

// The first copy that passes, else the majority of three when it passes,
// else copy 1 as it is.
template <class MajorityPasses>
CopyChoice choose(const bool* passes, std::size_t count, MajorityPasses majority_passes) {
  for (std::size_t k = 0; k < count; ++k) {
    if (passes[k]) return {false, static_cast<std::uint32_t>(k + 1), true};
  }
  if (count == kCopiesRead && majority_passes()) return {true, 0, true};
  return {false, 1, false};
}

// One copy of the extended page: its CRC and signature checked.
EppCopy check_extended_copy(const std::uint8_t* copy, std::size_t length) {
  EppCopy check{};
  check.stored = static_cast<std::uint16_t>(copy[0] | copy[1] << 8);
  check.signature = copy[2] == 'E' && copy[3] == 'P' && copy[4] == 'P' && copy[5] == 'S';
  check.computed = crc16_param_page(copy + 2, length - 2, kParamPageCrcSeed);
  return check;
}

// The same for the bit-wise majority of the three copies.
EppCopy check_extended_majority(const ExtendedPage& epp) {
  EppCopy check{};
  check.stored = static_cast<std::uint16_t>(epp.byte(0) | epp.byte(1) << 8);
  check.signature = epp.byte(2) == 'E' && epp.byte(3) == 'P' && epp.byte(4) == 'P' && epp.byte(5) == 'S';
  // The majority a piece at a time: the CRC carries over from piece to piece.
  std::uint8_t piece[256];
  std::uint16_t crc = kParamPageCrcSeed;
  for (std::size_t at = 2; at < epp.length;) {
    const std::size_t n = std::min(sizeof piece, epp.length - at);
    for (std::size_t i = 0; i < n; ++i) piece[i] = epp.byte(at + i);
    crc = crc16_param_page(piece, n, crc);
    at += n;
  }
  check.computed = crc;
  return check;
}

// The extended page's bytes [from, from + size) for the field parser.
struct EppBytes {
  std::uint8_t bytes[epp::kEccBlockSize > epp::kSectionData ? epp::kEccBlockSize : epp::kSectionData];
};
EppBytes epp_bytes(const ExtendedPage& epp, std::size_t from, std::size_t size) {
  EppBytes out{};
  for (std::size_t i = 0; i < size && i < sizeof out.bytes; ++i) out.bytes[i] = epp.byte(from + i);
  return out;
}

void parse_sections(ExtendedPage& epp) {
  const EppBytes head = epp_bytes(epp, 0, epp::kSectionData);
  parse_fields(epp::kHeaderFields, head.bytes, 0, epp.header);
  std::size_t data = epp::kSectionData;
  for (std::uint32_t i = 0; i < epp::kSectionCount; ++i) {
    const auto type = static_cast<std::uint8_t>(epp.header[epp::Section0Type + 2 * i].raw);
    const std::uint32_t units = epp.header[epp::Section0Length + 2 * i].raw;
    if (type == 0 && units == 0) continue;
    EppSection& section = epp.sections[epp.section_count++];
    section = {static_cast<std::uint8_t>(i),
               type,
               static_cast<std::uint32_t>(data),
               static_cast<std::uint32_t>(units * epp::kSectionUnit),
               false,
               epp.block_count,
               0,
               0};
    section.past_end = data + section.length > epp.length;
    if (type == epp::kSectionEcc && !section.past_end) {
      for (std::size_t j = 0; j < section.length / epp::kEccBlockSize; ++j) {
        const std::size_t at = data + j * epp::kEccBlockSize;
        const EppBytes block = epp_bytes(epp, at, epp::kEccBlockSize);
        if (std::all_of(std::begin(block.bytes), std::begin(block.bytes) + epp::kEccBlockSize,
                        [](std::uint8_t b) { return b == 0; })) {
          continue;
        }
        if (section.block_count == epp::kEccBlocksKept) {
          ++section.blocks_not_kept;
          continue;
        }
        EppEccBlock& kept = epp.blocks[epp.block_count++];
        kept.index = static_cast<std::uint32_t>(j);
        kept.offset = static_cast<std::uint32_t>(at);
        parse_fields(epp::kEccFields, block.bytes, 0, kept.fields);
        ++section.block_count;
      }
    }
    // Where one section overruns, the places of the later ones mean nothing.
    if (section.past_end) break;
    data += section.length;
  }
}

// The extended page the page announces, its first copy at `offset` in the
// input.
// Only what says how much of the rest holds anything: the rest is
// kilobytes, which a run that reads no extended page need not touch.
void clear(ExtendedPage& epp) {
  epp.state = ExtendedPage::State::NotAnnounced;
  epp.length = epp.offset = epp.copy_count = 0;
  epp.used = {};
  for (const std::uint8_t*& data : epp.data) data = nullptr;
  epp.majority = false;
  epp.section_count = epp.block_count = 0;
}

void read_extended_page(std::span<const std::uint8_t> dump, std::uint32_t offset, const OnfiPage& page,
                        ExtendedPage& epp) {
  clear(epp);
  if ((page[onfi::Features].raw >> onfi::kFeatureExtendedPage & 1U) == 0) return;
  epp.length = static_cast<std::uint32_t>(page[onfi::ExtendedPageLength].value);
  epp.offset = offset;
  if (epp.length < epp::kSectionData) {
    // Not even its CRC, signature and section table fit.
    epp.state = ExtendedPage::State::TooShort;
    return;
  }
  if (dump.size() < std::size_t{epp.offset} + epp.length) {
    epp.state = ExtendedPage::State::NotInInput;
    return;
  }
  epp.state = ExtendedPage::State::Read;
  bool valid[kCopiesRead] = {};
  for (; epp.copy_count < kCopiesRead &&
         epp.offset + (epp.copy_count + 1) * std::size_t{epp.length} <= dump.size();
       ++epp.copy_count) {
    epp.data[epp.copy_count] = dump.data() + epp.offset + epp.copy_count * std::size_t{epp.length};
    epp.copies[epp.copy_count] = check_extended_copy(epp.data[epp.copy_count], epp.length);
    valid[epp.copy_count] = epp.copies[epp.copy_count].valid();
  }
  epp.used = choose(valid, epp.copy_count, [&epp] {
    epp.majority = true;
    const bool ok = check_extended_majority(epp).valid();
    epp.majority = false;
    return ok;
  });
  if (epp.used.majority) {
    epp.majority = true;
  } else {
    epp.data[0] = epp.data[epp.used.copy - 1];
  }
  parse_sections(epp);
}

void device_size(std::uint64_t data, std::uint64_t spare, std::uint64_t pages, std::uint64_t blocks,
                 std::uint64_t luns, Dump& model) {
  const std::uint64_t data_factors[] = {data, pages, blocks, luns};
  const std::uint64_t raw_factors[] = {data + spare, pages, blocks, luns};
  model.data_bytes_exact = exact_product(data_factors, model.data_bytes);
  model.raw_bytes_exact = exact_product(raw_factors, model.raw_bytes);
}

// Whether bytes [from, to) of the extended page used are all zero.
bool all_zero(const ExtendedPage& epp, std::size_t from, std::size_t to) {
  for (std::size_t at = from; at < to; ++at) {
    if (epp.byte(at) != 0) return false;
  }
  return true;
}

// Bytes [from, to) as one raw item, when there are any.
void add_raw(const ExtendedPage& epp, ExtendedItem::Kind kind, std::uint8_t section, std::size_t from,
             std::size_t to, ExtendedFieldList& list) {
  if (from >= to) return;
  list.items[list.count++] = {kind,
                              section,
                              0,
                              static_cast<std::uint32_t>(from),
                              static_cast<std::uint32_t>(to - 1),
                              all_zero(epp, from, to),
                              {}};
}

void add_field(const FieldInfo& info, const Field& field, std::uint8_t section, std::uint32_t block,
               std::uint32_t base, ExtendedFieldList& list) {
  list.items[list.count++] = {ExtendedItem::Kind::Field, section,          block,
                              base + info.first,         base + info.last, false,
                              {&info, &field, base}};
}

}  // namespace
}  // namespace detail

ExtendedFieldList list_fields(const ExtendedPage& epp) noexcept {
  using detail::add_field;
  using detail::add_raw;
  using Kind = ExtendedItem::Kind;
  ExtendedFieldList list;
  list.count = 0;
  if (epp.state != ExtendedPage::State::Read) return list;
  for (std::size_t k = 0; k < epp::kHeaderFieldCount; ++k)
    add_field(epp::kHeaderFields[k], epp.header[k], ExtendedItem::kNoSection, 0, 0, list);
  std::size_t end = epp::kSectionData;
  for (std::uint8_t s = 0; s < epp.section_count; ++s) {
    const EppSection& section = epp.sections[s];
    // A section that runs past the end is read up to the end only.
    const std::size_t to = std::min<std::size_t>(std::size_t{section.offset} + section.length, epp.length);
    std::size_t at = section.offset;
    if (section.type == epp::kSectionEcc && !section.past_end) {
      for (std::uint32_t b = section.first_block; b < section.first_block + section.block_count; ++b) {
        const EppEccBlock& block = epp.blocks[b];
        add_raw(epp, Kind::EccBlocks, s, at, block.offset, list);
        for (std::size_t f = 0; f < epp::kEccFieldCount; ++f)
          add_field(epp::kEccFields[f], block.fields[f], s, b, block.offset, list);
        at = std::size_t{block.offset} + epp::kEccBlockSize;
      }
      const std::size_t blocks_end =
          section.offset + section.length / epp::kEccBlockSize * epp::kEccBlockSize;
      add_raw(epp, Kind::EccBlocks, s, at, blocks_end, list);
      at = std::max(at, blocks_end);
    }
    add_raw(epp, Kind::SectionData, s, at, to, list);
    end = to;
  }
  add_raw(epp, Kind::PastSections, ExtendedItem::kNoSection, end, epp.length, list);
  return list;
}

void parse_dump(std::span<const std::uint8_t> dump, Dump& model) noexcept {
  using namespace detail;
  if (dump.size() > kDumpLimit) dump = dump.first(kDumpLimit);
  model.layout = Layout::None;
  model.copy_count = 0;
  model.decoded = {};
  model.page.layout = Layout::None;
  clear(model.extended);
  model.data_bytes = model.raw_bytes = 0;
  model.data_bytes_exact = model.raw_bytes_exact = true;
  const DumpLayout* layout = find_layout(dump);
  if (layout == nullptr) return;
  model.layout = layout->layout;

  // The first three whole copies; a dump shorter than one is one copy,
  // zero-filled.
  const std::size_t size = layout->copy_size;
  const std::size_t count = std::clamp<std::size_t>(dump.size() / size, 1, kCopiesRead);
  model.copy_count = static_cast<std::uint32_t>(count);
  std::uint8_t copies[kCopiesRead][512] = {};
  bool passes[kCopiesRead] = {};
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t from = k * size;
    std::memcpy(copies[k], dump.data() + from, std::min(size, dump.size() - from));
    const PageCrc crc = page_crc({copies[k], size}, layout->crc_covered);
    model.copies[k] = crc;
    passes[k] = crc.ok;
  }
  std::uint8_t voted[512] = {};
  model.decoded = choose(passes, count, [&] {
    for (std::size_t i = 0; i < size; ++i) voted[i] = bit_majority(copies[0][i], copies[1][i], copies[2][i]);
    return page_crc({voted, size}, layout->crc_covered).ok;
  });
  const std::span<const std::uint8_t> page(model.decoded.majority ? voted : copies[model.decoded.copy - 1],
                                           size);

  // Parsed by the dump's layout whatever its signature bytes hold.
  model.page.layout = layout->layout;
  if (layout->layout == Layout::Onfi) {
    parse_onfi_page(page, model.page.onfi);
    const std::uint32_t copies_before = model.page.onfi[onfi::ParameterPageCount].raw;
    read_extended_page(dump, 256U * (copies_before == 0 ? kCopiesBeforeEppDefault : copies_before),
                       model.page.onfi, model.extended);
    const OnfiPage& p = model.page.onfi;
    device_size(p[onfi::DataBytesPerPage].value, p[onfi::SpareBytesPerPage].value,
                p[onfi::PagesPerBlock].value, p[onfi::BlocksPerLun].value, p[onfi::Luns].value, model);
  } else {
    parse_jedec_page(page, model.page.jedec);
    const JedecPage& p = model.page.jedec;
    device_size(p[jedec::DataBytesPerPage].value, p[jedec::SpareBytesPerPage].value,
                p[jedec::PagesPerBlock].value, p[jedec::BlocksPerLun].value, p[jedec::Luns].value, model);
  }
}

void parse_extended_page(const OnfiPage& page, std::span<const std::uint8_t> copies,
                         ExtendedPage& extended) noexcept {
  detail::read_extended_page(copies, 0, page, extended);
}

namespace {

// The fields of `table` (fields[i] parsed from table[i]), base added to
// their bytes; nothing for an extended page not read.
FieldList extended_fields(const ExtendedPage& extended, std::span<const FieldInfo> table, const Field* fields,
                          std::uint32_t base) {
  FieldList list{Layout::Onfi, 0, {}, {}, 0};
  if (extended.state != ExtendedPage::State::Read) return list;
  // The majority's bytes are nowhere in one piece.
  if (!extended.majority) list.bytes = {extended.data[0], extended.length};
  for (std::size_t i = 0; i < table.size(); ++i) list.items[list.count++] = {&table[i], &fields[i], base};
  return list;
}

}  // namespace

FieldList list_header_fields(const ExtendedPage& extended) noexcept {
  return extended_fields(extended, epp::kHeaderFields, extended.header, 0);
}

FieldList list_fields(const ExtendedPage& extended, const EppEccBlock& block) noexcept {
  return extended_fields(extended, epp::kEccFields, block.fields, block.offset);
}

}  // namespace tolvik
