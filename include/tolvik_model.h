// tolvik: the page model. Every field of a parameter page parsed once into a
// typed value with its byte range, its name in the standard, the names of its
// set bits and whether the revision the page claims defines it. The text
// report, the JSON document, the byte map, the comparison, the check and the
// timing view are all made from this model; none of them reads page bytes.
//
// Parsing is total: every byte value parses, nothing outside the bytes given
// is read (bytes past their end read as zero, like a short file), nothing is
// allocated and nothing fails.
//
// In short: parse_page() fills a PageModel from a page's bytes;
// model.onfi[onfi::TProg] (or model.jedec[jedec::...]) gives one field,
// list_fields() all of them in byte order with what the standard says of
// each. parse_dump() takes a whole read of the parameter page area: the
// copies, the one decoded, the extended parameter page and the device's
// size. C callers have tolvik_c.h.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "tolvik_timings.h"

namespace tolvik {

enum class Layout : std::uint8_t { None, Onfi, Jedec };

// How a field's bytes are read and what its value means.
enum class FieldKind : std::uint8_t {
  Signature,      // the layout's four ASCII letters
  Text,           // ASCII padded with spaces (manufacturer, model)
  Number,         // an unsigned little-endian number, times FieldInfo::scale
  Flags,          // a bit field; FieldInfo::bits() names the bits that have a meaning
  Revision,       // one bit per revision the page supports, named like flags
  Modes,          // a timing-mode mask: bit n set means mode n is supported
  AddressCycles,  // bits 0-3 row address cycles, bits 4-7 column address cycles
  WarmupCycles,   // bits 0-3 data output, bits 4-7 data input warm-up cycles
  PlaneBits,      // bits 0-3 plane address bits: 2^n planes
  CellBits,       // bits per cell, with the cell type it names
  Date,           // date code: year within the century, then work week
  Endurance,      // mantissa, then decimal exponent: mantissa x 10^exponent cycles
  EccBits,        // bits of ECC correctability; 255: the figure is in the extended page
  CodewordSize,   // ECC codeword size as a power of two: 2^n bytes
  MakerId,        // the JEDEC manufacturer ID (its first byte)
  Crc,            // a stored CRC-16
  Reserved,       // reserved bytes, which should be 0
  Vendor,         // vendor-specific bytes whose meaning no source documents
};

// The unit of a Number field's value.
enum class Unit : std::uint8_t {
  None,             // a count or a code
  Bytes,            //
  Microseconds,     //
  Nanoseconds,      //
  Picofarads,       //
  TenthPicofarads,  // stored in tenths of a picofarad
  Tenths,           // stored in tenths of a unit no source names
  Address,          // a feature address, shown in hexadecimal
};

// One named bit of a flag field: its bit, the report level from which the
// text report shows its line, and that line (a blank, the name, a line end).
// A row may hold only for pages of some revisions: at least one of the
// revision bits in `revisions_any` set (0: any page) and none of those in
// `revisions_none`. Rows are in ascending bit order. The line is held in
// the row, not pointed at, so that the tables need no relocation when a
// static program starts.
struct FlagText {
  std::uint8_t bit;
  std::uint8_t min_level;
  std::uint8_t size;  // of the line
  char line[76];
  std::uint16_t revisions_any;
  std::uint16_t revisions_none;

  template <std::size_t N>
  constexpr FlagText(std::uint8_t bit_, std::uint8_t min_level_, const char (&text)[N], std::uint16_t any = 0,
                     std::uint16_t none = 0)
      : bit(bit_), min_level(min_level_), size(N - 1), line(), revisions_any(any), revisions_none(none) {
    static_assert(N <= sizeof line, "a flag's line is longer than its row holds");
    for (std::size_t i = 0; i < N; ++i) line[i] = text[i];
  }

  [[nodiscard]] constexpr std::string_view text() const { return {line, size}; }
};

// The name of a flag without the blank before it and the line end after it.
constexpr std::string_view flag_name(const FlagText& flag) {
  std::string_view name = flag.text();
  if (!name.empty() && name.front() == ' ') name.remove_prefix(1);
  if (!name.empty() && name.back() == '\n') name.remove_suffix(1);
  return name;
}

// Whether a row or a field holds for a page with this revision word.
constexpr bool revision_holds(std::uint16_t revision, std::uint16_t any, std::uint16_t none) {
  return (any == 0 || (revision & any) != 0) && (revision & none) == 0;
}

// What the standard says about one field: where it is, what it is called,
// how it reads and which revisions define it. The tables hold no pointers
// (so that a static program need not relocate them when it starts): names
// and bit lists are looked up through the table the field belongs to.
struct FieldInfo {
  std::uint16_t first;  // first and last byte, inclusive
  std::uint16_t last;
  FieldKind kind;
  Unit unit;
  std::uint8_t scale;  // Number: value = stored number x scale
  std::uint8_t table;  // the table whose texts and bit lists it uses
  // Revisions that define the field, as for FlagText rows.
  std::uint16_t revisions_any;
  std::uint16_t revisions_none;
  std::uint16_t name_at;  // in the table's texts
  std::uint16_t key_at;
  std::uint8_t name_size;
  std::uint8_t key_size;
  std::uint8_t bits_list;  // 0: none, else 1 + its index in the table's bit lists
  // Modes: the mode that bit 0 stands for (a field that holds a family's
  // higher modes starts past 0).
  std::uint8_t first_mode;

  // The standard's name of the field. Both texts are followed by a NUL.
  [[nodiscard]] std::string_view name() const noexcept;
  // Its snake_case name in the JSON document.
  [[nodiscard]] std::string_view key() const noexcept;
  // The names of its bits, for Flags and Revision fields.
  [[nodiscard]] std::span<const FlagText> bits() const noexcept;
  [[nodiscard]] constexpr std::size_t size() const { return std::size_t{last} - first + 1U; }
};

// One field of a parsed page.
struct Field {
  // The value in its natural unit: a Number times its scale, an Endurance in
  // cycles (exact; 0 with exact false when it passes 2^64), PlaneBits the
  // number of bits, Reserved the offset of its first byte that is not 0 and
  // Text that of its first byte outside 0x20-0x7E (0: there is none; the
  // offset counts in the bytes parsed, as the field's range does); every
  // other kind its stored number.
  std::uint64_t value;
  // The field's first four bytes as a little-endian number.
  std::uint32_t raw;
  // The revision the page claims defines this field. A page that claims no
  // revision counts as one of the first: only the fields every revision has
  // are defined for it.
  bool defined;
  bool exact;
};

// A field with what the standard says of it. Fields of records that repeat
// (an ECC information block of the extended page) are described relative to
// the record: base is added to info's byte range.
struct FieldRef {
  const FieldInfo* info;
  const Field* field;
  std::uint32_t base = 0;
};

// A maker as its JEDEC manufacturer ID names it.
struct Maker {
  std::uint8_t id;
  char name_text[48];  // as NAND makers are known by that byte
  // Upper-case prefixes of the maker texts of pages that carry this ID,
  // separated by '|'.
  char texts[48];

  [[nodiscard]] std::string_view name() const noexcept { return name_text; }
  // Whether a page's maker text names this maker: it starts (in any case)
  // with one of the texts.
  [[nodiscard]] bool agrees(std::string_view text) const noexcept;
};

// The maker a JEDEC ID byte stands for, or null.
[[nodiscard]] const Maker* find_maker(std::uint8_t id) noexcept;

// A documented layout of the vendor block, for one maker.
struct VendorLayout {
  std::string_view maker;             // "Micron"
  std::span<const FieldInfo> fields;  // in byte order
};

// A timing-mode family: its fastest supported mode and that mode's rate.
// A speed as the text report prints it: a decimal number of MHz or MT/s.
using SpeedText = char[5];

// Texts held in the row, as FlagText's are.
struct TimingFamilyInfo {
  char name_text[20];  // "SDR", "NV-DDR", ..., "Toggle DDR3"
  char key_text[12];   // "sdr", "nv_ddr", ...
  // Speed texts by mode bit, as the text report prints them; the last row is
  // the family's top bit.
  std::span<const SpeedText> speeds;
  char rate_unit_text[5];  // "MHz" for a clock rate, "MT/s" for a transfer rate

  [[nodiscard]] std::string_view name() const noexcept { return name_text; }
  [[nodiscard]] std::string_view key() const noexcept { return key_text; }
  [[nodiscard]] std::string_view rate_unit() const noexcept { return rate_unit_text; }
};

struct TimingFamily {
  const TimingFamilyInfo* info;
  std::uint32_t mask;
  // The highest mode of the table that the mask supports, -1 for none.
  std::int8_t fastest_mode;
  // That mode's rate in info->rate_unit, 0 for none.
  std::uint16_t fastest_rate;
};

// A stored CRC-16, the one computed over the bytes it covers, and whether
// they match.
struct PageCrc {
  std::uint16_t stored;
  std::uint16_t computed;
  bool ok;
};

inline constexpr std::size_t kVendorFieldsMax = 24;

namespace onfi {

// ONFI fields in byte order; kFields[id] describes OnfiPage::fields[id].
enum FieldId : std::uint8_t {
  Signature,
  Revision,
  Features,
  OptionalCommands,
  JtgCommands,
  TrainingCommands,
  ExtendedPageLength,
  ParameterPageCount,
  TrainingCommands2,
  Reserved16,
  Manufacturer,
  Model,
  JedecId,
  DateCode,
  Reserved67,
  DataBytesPerPage,
  SpareBytesPerPage,
  DataBytesPerPartialPage,
  SpareBytesPerPartialPage,
  PagesPerBlock,
  BlocksPerLun,
  Luns,
  AddressCycles,
  BitsPerCell,
  MaxBadBlocksPerLun,
  BlockEndurance,
  GuaranteedValidBlocks,
  ValidBlockEndurance,
  ProgramsPerPage,
  PartialProgrammingAttributes,
  EccBits,
  PlaneAddressBits,
  MultiPlaneAttributes,
  EzNand,
  NvDdr3ModesHigh,
  NvLpddr4Reserved118,
  NvLpddr4ModesHigh,
  NvLpddr4Reserved121,
  Reserved122,
  IoCapacitanceMax,
  SdrModes,
  SdrProgramCacheModes,
  TProg,
  TBers,
  TR,
  TCcs,
  NvDdrModes,
  NvDdr2Modes,
  NvDdrFeatures,
  ClkCapacitanceTyp,
  IoCapacitanceTyp,
  InputCapacitanceTyp,
  InputCapacitanceMax,
  DriverStrength,
  TRMultiPlane,
  TAdl,
  TREzNand,
  NvDdr2Features,
  WarmupCycles,
  NvDdr3Modes,
  NvDdr2ModesHigh,
  Reserved163,
  VendorRevision,
  VendorBlock,
  NvLpddr4Modes,
  VendorBlock2,
  Crc,
  kFieldCount
};

// Timing-mode families in the order the report lists them.
enum Family : std::uint8_t { Sdr, NvDdr, NvDdr2, NvDdr3, NvLpddr4, kFamilyCount };

extern const std::array<FieldInfo, kFieldCount> kFields;
extern const TimingFamilyInfo kFamilies[kFamilyCount];

// Revision bits: 1 (1.0) to 13 (5.1) name revisions; 12 to 14 are the late
// revisions, which moved and dropped older fields.
inline constexpr std::uint16_t kRevision50 = 0x1000;
inline constexpr std::uint16_t kLateRevisions = 0x7000;

// The feature bit that announces an extended parameter page.
inline constexpr unsigned kFeatureExtendedPage = 7;

}  // namespace onfi

// An ONFI parameter page (256 bytes), parsed.
struct OnfiPage {
  std::uint8_t bytes[256];
  PageCrc crc;
  std::uint16_t revision;
  Field fields[onfi::kFieldCount];
  // The vendor block's layout where the maker's is documented, else null
  // (the block is then kept as raw bytes).
  const VendorLayout* vendor;
  Field vendor_fields[kVendorFieldsMax];
  const Maker* maker;  // of the JEDEC ID, null for an unknown ID
  // Manufacturer and model without the padding spaces.
  char manufacturer[13];
  char model[21];
  TimingFamily families[onfi::kFamilyCount];

  [[nodiscard]] const Field& operator[](onfi::FieldId id) const { return fields[id]; }
};

namespace jedec {

enum FieldId : std::uint8_t {
  Signature,
  Revision,
  Features,
  OptionalCommands,
  SecondaryCommands,
  ParameterPageCount,
  Reserved14,
  Manufacturer,
  Model,
  JedecId,
  Reserved70,
  DataBytesPerPage,
  SpareBytesPerPage,
  Reserved86,
  PagesPerBlock,
  BlocksPerLun,
  Luns,
  AddressCycles,
  BitsPerCell,
  ProgramsPerPage,
  PlaneAddressBits,
  MultiPlaneAttributes,
  Reserved106,
  AsyncSdrModes,
  ToggleDdrModes,
  SyncDdrModes,
  AsyncSdrFeatures,
  ToggleDdrFeatures,
  SyncDdrFeatures,
  TProg,
  TBers,
  TR,
  TRMultiPlane,
  TCcs,
  IoCapacitanceTyp,
  InputCapacitanceTyp,
  ClockCapacitanceTyp,
  DriverStrength,
  TAdl,
  ToggleDdr3Modes,
  ToggleDdr4Modes,
  Reserved180,
  GuaranteedValidBlocks,
  ValidBlockEndurance,
  // The four ECC and endurance information blocks, five fields each.
  Ecc0Bits,
  Ecc0CodewordSize,
  Ecc0MaxBadBlocks,
  Ecc0Endurance,
  Ecc0Reserved,
  Ecc1Bits,
  Ecc1CodewordSize,
  Ecc1MaxBadBlocks,
  Ecc1Endurance,
  Ecc1Reserved,
  Ecc2Bits,
  Ecc2CodewordSize,
  Ecc2MaxBadBlocks,
  Ecc2Endurance,
  Ecc2Reserved,
  Ecc3Bits,
  Ecc3CodewordSize,
  Ecc3MaxBadBlocks,
  Ecc3Endurance,
  Ecc3Reserved,
  Reserved243,
  Reserved272,
  VendorRevision,
  VendorBlock,
  Crc,
  kFieldCount
};

// The fields of ECC block k: Ecc0Bits + k * kEccBlockFields + offset.
inline constexpr std::uint8_t kEccBlockFields = 5;
inline constexpr std::uint8_t kEccBlockCount = 4;
enum EccField : std::uint8_t { EccBits = 0, EccCodewordSize, EccMaxBadBlocks, EccEndurance, EccReserved };
constexpr FieldId ecc_field(unsigned block, EccField field) {
  return static_cast<FieldId>(Ecc0Bits + block * kEccBlockFields + field);
}

enum Family : std::uint8_t { AsyncSdr, ToggleDdr2, SyncDdr, ToggleDdr3, ToggleDdr4, kFamilyCount };

extern const std::array<FieldInfo, kFieldCount> kFields;
extern const TimingFamilyInfo kFamilies[kFamilyCount];

// Revision bits: 1 marks a vendor specific page, 2 a page of revision 1.0.
inline constexpr std::uint16_t kRevisionVendorSpecific = 0x0002;
inline constexpr std::uint16_t kRevision10 = 0x0004;

}  // namespace jedec

// A JEDEC parameter page (512 bytes), parsed.
struct JedecPage {
  std::uint8_t bytes[512];
  PageCrc crc;
  std::uint16_t revision;
  Field fields[jedec::kFieldCount];
  const Maker* maker;
  char manufacturer[13];
  char model[21];
  TimingFamily families[jedec::kFamilyCount];

  [[nodiscard]] const Field& operator[](jedec::FieldId id) const { return fields[id]; }
};

// The layout a page's signature names ("JESD" first, then "ONFI"), or None.
[[nodiscard]] Layout page_layout(std::span<const std::uint8_t> bytes) noexcept;

// Parse a page of a layout, whatever its signature holds. Bytes past the
// span read as zero.
void parse_onfi_page(std::span<const std::uint8_t> bytes, OnfiPage& page) noexcept;
void parse_jedec_page(std::span<const std::uint8_t> bytes, JedecPage& page) noexcept;

// A page of either layout: the one its signature names is filled.
struct PageModel {
  Layout layout;
  OnfiPage onfi;
  JedecPage jedec;
};
// Returns the layout found ("JESD" first, then "ONFI"); without one, nothing
// else is filled. Bytes past the span read as zero; fewer than four bytes
// hold no signature.
Layout parse_page(std::span<const std::uint8_t> bytes, PageModel& model) noexcept;

// Every field of a page in byte order, the vendor block's fields where its
// layout is documented included: each byte of the page lies in exactly one.
// The list points into the page it was made from (the page's own copy of
// its bytes, its fields): it is good as long as that page is.
inline constexpr std::size_t kFieldListMax = 128;
struct FieldList {
  Layout layout;
  std::uint16_t revision;
  std::span<const std::uint8_t> bytes;  // the page's bytes
  FieldRef items[kFieldListMax];
  std::size_t count;

  [[nodiscard]] std::span<const FieldRef> fields() const noexcept { return {items, count}; }
};
[[nodiscard]] FieldList list_fields(const OnfiPage& page) noexcept;
[[nodiscard]] FieldList list_fields(const JedecPage& page) noexcept;
// The fields of the layout found; an empty list without one.
[[nodiscard]] FieldList list_fields(const PageModel& page) noexcept;

// The ONFI extended parameter page: a CRC of its bytes 2 onwards, the
// signature "EPPS", a table of eight sections (type, length in units of 16
// bytes), then the sections back to back. Sections of type 2 hold ECC
// information blocks.
namespace epp {

enum HeaderField : std::uint8_t {
  Crc,
  Signature,
  Reserved6,
  // Section table entry k: Section0Type + 2k, Section0Length + 2k.
  Section0Type,
  Section0Length,
  kHeaderFieldCount = Section0Type + 16
};
// The fields of one ECC information block, relative to its first byte.
enum EccField : std::uint8_t {
  EccBits,
  EccCodewordSize,
  EccMaxBadBlocks,
  EccEndurance,
  EccReserved,
  EccRest,
  kEccFieldCount
};

extern const std::array<FieldInfo, kHeaderFieldCount> kHeaderFields;
extern const std::array<FieldInfo, kEccFieldCount> kEccFields;

inline constexpr std::size_t kSectionCount = 8;
inline constexpr std::size_t kSectionUnit = 16;
inline constexpr std::size_t kSectionData = 32;  // where the first section starts
inline constexpr std::uint8_t kSectionEcc = 2;
inline constexpr std::size_t kEccBlockSize = 16;
// ECC blocks kept per section; the others are counted.
inline constexpr std::size_t kEccBlocksKept = 8;

}  // namespace epp

// Three copies are looked at: enough for a bit-wise majority.
inline constexpr std::size_t kCopiesRead = 3;

// Which copy was used: copy k (from 1), or the bit-wise majority of three.
// ok: what was used passes its check.
struct CopyChoice {
  bool majority;
  std::uint32_t copy;
  bool ok;
};

struct EppSection {
  std::uint8_t index;  // its entry in the section table, 0-7
  std::uint8_t type;
  std::uint32_t offset;  // its first byte within the extended page
  std::uint32_t length;  // bytes
  bool past_end;         // runs past the extended page's end; later sections are not read
  // ECC sections: blocks[first_block, first_block + block_count) of the
  // page, and blocks that are not empty but beyond the kept ones.
  std::uint32_t first_block;
  std::uint32_t block_count;
  std::uint32_t blocks_not_kept;
};

struct EppEccBlock {
  std::uint32_t index;   // within its section
  std::uint32_t offset;  // its first byte within the extended page
  Field fields[epp::kEccFieldCount];
};

struct EppCopy {
  std::uint16_t stored;
  std::uint16_t computed;
  bool signature;  // "EPPS"

  [[nodiscard]] bool valid() const { return signature && stored == computed; }
};

// The extended page a page announces, as read: its copies checked, the one
// used (or their majority) walked section by section. Its fields are in
// header[] (epp::HeaderField) and, per ECC section, in ecc_blocks(section);
// list_fields() gives them with what the standard says of each.
struct ExtendedPage {
  enum class State : std::uint8_t {
    NotAnnounced,  // not an ONFI page, or its feature bit 7 is clear
    TooShort,      // announced shorter than its header and section table
    NotInInput,    // the input ends before one copy
    Read,          // at least one copy read; the members below hold it
  };
  State state;
  std::uint32_t length;  // bytes: 16 x bytes 12-13 of the page
  std::uint32_t offset;  // of copy 1 in the input: 256 x the page count (3 when 0)
  std::uint32_t copy_count;
  EppCopy copies[kCopiesRead];
  CopyChoice used;
  // The copy used, in the caller's bytes (all three for the majority).
  const std::uint8_t* data[kCopiesRead];
  bool majority;
  Field header[epp::kHeaderFieldCount];
  EppSection sections[epp::kSectionCount];
  std::uint32_t section_count;
  EppEccBlock blocks[epp::kSectionCount * epp::kEccBlocksKept];
  std::uint32_t block_count;

  [[nodiscard]] std::span<const EppCopy> copy_list() const noexcept { return {copies, copy_count}; }
  [[nodiscard]] std::span<const EppSection> section_list() const noexcept {
    return {sections, section_count};
  }
  // The ECC information blocks kept of one of section_list()'s sections.
  [[nodiscard]] std::span<const EppEccBlock> ecc_blocks(const EppSection& section) const noexcept {
    return {blocks + section.first_block, section.block_count};
  }

  // Byte offset of the page used; 0 past its end.
  [[nodiscard]] std::uint8_t byte(std::size_t at) const {
    if (at >= length) return 0;
    if (!majority) return data[0][at];
    return static_cast<std::uint8_t>((data[0][at] & data[1][at]) | (data[0][at] & data[2][at]) |
                                     (data[1][at] & data[2][at]));
  }
};

// One copy of the page: its stored CRC, the one computed, whether they match.
using CopyCheck = PageCrc;

// The extended page used, in byte order: the fields of its header and of
// the ECC information blocks kept, and every other byte in raw ranges. Each
// byte of the extended page lies in exactly one item.
struct ExtendedItem {
  enum class Kind : std::uint8_t {
    Field,        // ref: a header field, or a field of a kept ECC block
    EccBlocks,    // ECC information blocks not decoded: empty, or beyond the kept ones
    SectionData,  // a section's bytes that are no ECC information block (any other
                  // type, the tail of a length that is no multiple of 16, a section
                  // that runs past the end)
    PastSections  // after the last section
  };
  Kind kind;
  std::uint8_t section;  // its index in ExtendedPage::sections; kNoSection for the header and the end
  std::uint32_t block;   // Field within an ECC section: its index in ExtendedPage::blocks
  std::uint32_t first;   // bytes within the extended page, inclusive
  std::uint32_t last;
  bool zero;     // raw ranges: every byte is 0
  FieldRef ref;  // Field: info, field and base (first = base + info->first)

  static constexpr std::uint8_t kNoSection = 0xFF;
};

// Header fields, then per section up to 8 kept blocks of 6 fields, a raw
// range before each and after the last and a short tail, then the end.
inline constexpr std::size_t kExtendedItemsMax =
    epp::kHeaderFieldCount + epp::kSectionCount * (epp::kEccBlocksKept * (epp::kEccFieldCount + 1) + 2) + 1;
struct ExtendedFieldList {
  ExtendedItem items[kExtendedItemsMax];
  std::size_t count;

  [[nodiscard]] std::span<const ExtendedItem> list() const { return {items, count}; }
};
// Empty unless the extended page was read.
[[nodiscard]] ExtendedFieldList list_fields(const ExtendedPage& page) noexcept;

// A whole read of the parameter page area: the copies of the page, the one
// decoded, the extended page it announces and the device's size.
inline constexpr std::size_t kDumpLimit = 1024 * 1024;
struct Dump {
  Layout layout;  // None: no copy of either signature at the start of a copy
  std::uint32_t copy_count;
  CopyCheck copies[kCopiesRead];
  CopyChoice decoded;
  PageModel page;  // the page decoded, of the dump's layout
  ExtendedPage extended;
  // data bytes per page x pages per block x blocks per LUN x LUNs, and the
  // same with the spare bytes; exact is false when it passes 2^64.
  std::uint64_t data_bytes;
  std::uint64_t raw_bytes;
  bool data_bytes_exact;
  bool raw_bytes_exact;

  [[nodiscard]] std::span<const CopyCheck> copy_list() const noexcept { return {copies, copy_count}; }
};

// Bytes beyond kDumpLimit are not looked at. The model keeps pointers into
// the dump's bytes (the extended page): they must outlive it.
void parse_dump(std::span<const std::uint8_t> dump, Dump& model) noexcept;

// An extended parameter page read apart from the page that announces it:
// its copies back to back from copies[0], each as long as the page says
// (offset is then 0; NotAnnounced when the page announces none). The model
// keeps pointers into copies, as parse_dump's into the dump.
void parse_extended_page(const OnfiPage& page, std::span<const std::uint8_t> copies,
                         ExtendedPage& extended) noexcept;

// The extended page's header and section table, or one of its ECC
// information blocks (FieldRef::base: the block's first byte in the extended
// page); empty lists for an extended page not read. bytes holds the copy
// used, and nothing when the majority of three copies was used (whose bytes
// ExtendedPage::byte() gives).
[[nodiscard]] FieldList list_header_fields(const ExtendedPage& extended) noexcept;
[[nodiscard]] FieldList list_fields(const ExtendedPage& extended, const EppEccBlock& block) noexcept;

// Whether bit n of a flag field is set and named for this revision.
[[nodiscard]] constexpr bool flag_set(const FlagText& flag, std::uint64_t value, std::uint16_t revision) {
  return (value >> flag.bit & 1U) != 0 && revision_holds(revision, flag.revisions_any, flag.revisions_none);
}

}  // namespace tolvik
