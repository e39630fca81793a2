// The check of a page: conformance failures and plausibility warnings, each
// from one row of the rule table below (its id, severity, what it checks and
// the reference that states it) and the routine beside it that looks. The
// routines read the model only: fields, their byte ranges and what the parse
// found. no-page alone looks at the input's bytes: there is no page to model.
#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>

#include "decode/decode.h"
#include "decode/fields.h"
#include "decode/text.h"
#include "tolvik.h"

namespace tolvik {
namespace {

using namespace detail;

// A field both layouts have, by its id in each.
struct Both {
  onfi::FieldId onfi;
  jedec::FieldId jedec;
};
constexpr Both kRevisionField{onfi::Revision, jedec::Revision};
constexpr Both kManufacturer{onfi::Manufacturer, jedec::Manufacturer};
constexpr Both kModel{onfi::Model, jedec::Model};
constexpr Both kJedecId{onfi::JedecId, jedec::JedecId};
constexpr Both kDataBytes{onfi::DataBytesPerPage, jedec::DataBytesPerPage};
constexpr Both kPagesPerBlock{onfi::PagesPerBlock, jedec::PagesPerBlock};
constexpr Both kBlocksPerLun{onfi::BlocksPerLun, jedec::BlocksPerLun};
constexpr Both kLuns{onfi::Luns, jedec::Luns};
constexpr Both kAddressCycles{onfi::AddressCycles, jedec::AddressCycles};
constexpr Both kBitsPerCell{onfi::BitsPerCell, jedec::BitsPerCell};
constexpr Both kTProg{onfi::TProg, jedec::TProg};
constexpr Both kTBers{onfi::TBers, jedec::TBers};
constexpr Both kTR{onfi::TR, jedec::TR};
constexpr Both kCrc{onfi::Crc, jedec::Crc};

// The highest revision bit the page claims that the layout names (0: none),
// and its name.
struct Claim {
  unsigned bit = 0;
  std::string_view name;
};

// What the rules look at: the page of either layout and, with -a, the dump
// around it; or the bytes of an input that holds no page.
struct Subject {
  Layout layout = Layout::None;
  std::span<const FieldInfo> infos;  // the layout's field table
  const Field* fields = nullptr;     // parsed from the page, by the same index
  std::uint16_t revision = 0;
  const PageCrc* crc = nullptr;
  const Maker* maker = nullptr;
  const char* manufacturer = "";
  Claim claim;
  const Dump* dump = nullptr;
  bool no_page = false;
  std::span<const std::uint8_t> input;

  [[nodiscard]] bool onfi() const { return layout == Layout::Onfi; }
  [[nodiscard]] std::size_t index(Both id) const {
    return onfi() ? std::size_t{id.onfi} : std::size_t{id.jedec};
  }
  [[nodiscard]] const FieldInfo& info(Both id) const { return infos[index(id)]; }
  [[nodiscard]] const Field& field(Both id) const { return fields[index(id)]; }
  // ONFI only.
  [[nodiscard]] const FieldInfo& info(onfi::FieldId id) const { return infos[id]; }
  [[nodiscard]] const Field& field(onfi::FieldId id) const { return fields[id]; }
};

template <class Page>
void take_page(const Page& page, std::span<const FieldInfo> infos, Subject& s) {
  s.infos = infos;
  s.fields = page.fields;
  s.revision = page.revision;
  s.crc = &page.crc;
  s.maker = page.maker;
  s.manufacturer = page.manufacturer;
}

Subject subject_of(const PageModel& page) {
  Subject s;
  s.layout = page.layout;
  if (page.layout == Layout::Onfi) take_page(page.onfi, onfi::kFields, s);
  if (page.layout == Layout::Jedec) take_page(page.jedec, jedec::kFields, s);
  if (page.layout == Layout::None) return s;
  for (const FlagText& row : s.info(kRevisionField).bits()) {
    if (flag_set(row, s.revision, s.revision)) s.claim = {row.bit, flag_name(row)};
  }
  return s;
}

// Findings of one rule go in through this, each with its message.
struct Sink {
  Findings& findings;
  const CheckRule& rule;

  // Counted whether or not it is kept; the rules cannot find more than
  // kFindingsMax together (the most a page and its dump can give is about 60).
  Finding* next(bool has_range, std::size_t first, std::size_t last) {
    ++(rule.severity == Severity::Failure ? findings.failures : findings.warnings);
    if (findings.count == kFindingsMax) return nullptr;
    // Field by field: the message's room is not cleared, only ended.
    Finding& f = findings.items[findings.count++];
    f.severity = rule.severity;
    f.rule = std::string_view(rule.id);
    f.has_range = has_range;
    f.first = static_cast<std::uint16_t>(first);
    f.last = static_cast<std::uint16_t>(last);
    f.message[0] = '\0';
    return &f;
  }

  template <class... Args>
  void put(Finding* f, Format<Args...> format, Args... args) {
    if (f == nullptr) return;
    Report message{f->message};
    report_append(message, 0, format, args...);
  }

  // About the bytes from one field's first to another's last.
  template <class... Args>
  void add(const FieldInfo& from, const FieldInfo& to, Format<Args...> format, Args... args) {
    put(next(true, from.first, to.last), format, args...);
  }
  template <class... Args>
  void add(const FieldInfo& info, Format<Args...> format, Args... args) {
    put(next(true, info.first, info.last), format, args...);
  }
  template <class... Args>
  void add_bytes(std::size_t first, std::size_t last, Format<Args...> format, Args... args) {
    put(next(true, first, last), format, args...);
  }
  template <class... Args>
  void add_unranged(Format<Args...> format, Args... args) {
    put(next(false, 0, 0), format, args...);
  }
};

std::uint32_t u32(const Field& field) { return static_cast<std::uint32_t>(field.value); }

// ---- Copies and the extended page (-a) ---------------------------------------

void rule_crc(const Subject& s, Sink& sink) {
  if (s.layout == Layout::None || s.crc->ok) return;
  sink.add(s.info(kCrc), "stored 0x%04X, computed 0x%04X", s.crc->stored, s.crc->computed);
}

void rule_copy_crc(const Subject& s, Sink& sink) {
  if (s.dump == nullptr || s.layout == Layout::None) return;
  const Dump& d = *s.dump;
  // A copy used passes; the majority has a rule of its own.
  if (d.decoded.ok && !d.decoded.majority) {
    const std::uint32_t size = s.onfi() ? 256 : 512;
    for (std::uint32_t k = 0; k < d.copy_count; ++k) {
      const CopyCheck& copy = d.copies[k];
      if (copy.ok) continue;
      sink.add_unranged("copy %u (bytes %u-%u): stored 0x%04X, computed 0x%04X", k + 1, k * size,
                        (k + 1) * size - 1, copy.stored, copy.computed);
    }
  }
  const ExtendedPage& e = d.extended;
  if (e.state != ExtendedPage::State::Read || !e.used.ok || e.used.majority) return;
  for (std::uint32_t k = 0; k < e.copy_count; ++k) {
    const EppCopy& copy = e.copies[k];
    if (copy.valid()) continue;
    const std::uint32_t from = e.offset + k * e.length;
    if (copy.signature) {
      sink.add_unranged("extended page copy %u (bytes %u-%u): stored 0x%04X, computed 0x%04X", k + 1, from,
                        from + e.length - 1, copy.stored, copy.computed);
    } else {
      sink.add_unranged("extended page copy %u (bytes %u-%u): no EPPS signature", k + 1, from,
                        from + e.length - 1);
    }
  }
}

void rule_copy_majority(const Subject& s, Sink& sink) {
  if (s.dump == nullptr || s.layout == Layout::None) return;
  if (s.dump->decoded.majority) sink.add_unranged("no copy passes its CRC; their bit-wise majority does");
  const ExtendedPage& e = s.dump->extended;
  if (e.state == ExtendedPage::State::Read && e.used.majority)
    sink.add_unranged("no copy of the extended page passes its check; their bit-wise majority does");
}

void rule_extended_page(const Subject& s, Sink& sink) {
  if (s.dump == nullptr || !s.onfi()) return;
  const ExtendedPage& e = s.dump->extended;
  switch (e.state) {
    case ExtendedPage::State::NotAnnounced:
      return;
    case ExtendedPage::State::TooShort:
      sink.add_unranged("%u bytes announced: shorter than its header and section table (32 bytes)", e.length);
      return;
    case ExtendedPage::State::NotInInput:
      sink.add_unranged("%u bytes announced at byte %u: the input ends before them", e.length, e.offset);
      return;
    case ExtendedPage::State::Read:
      break;
  }
  if (!e.used.ok) {
    sink.add_unranged("none of its %u copies at byte %u passes its CRC and signature, nor their majority",
                      e.copy_count, e.offset);
    return;
  }
  for (std::uint32_t i = 0; i < e.section_count; ++i) {
    const EppSection& section = e.sections[i];
    if (!section.past_end) continue;
    sink.add_unranged("section %u (type %u, %u bytes at byte %u) runs past its end (%u bytes)",
                      unsigned{section.index}, unsigned{section.type}, section.length, section.offset,
                      e.length);
  }
}

// ---- Reserved bytes and bits ---------------------------------------------------

struct ByteRange {
  std::uint16_t first;
  std::uint16_t last;
};

// ONFI ranges reserved (0) at the revisions the reference lists. Each holds
// whole fields of the model, none wider than four bytes but reserved ones.
constexpr ByteRange kOnfi10[] = {{10, 31}, {67, 79}};  // bytes past 85 not documented
constexpr ByteRange kOnfi22[] = {{10, 11}, {15, 31}, {67, 79}, {115, 127}, {156, 163}};
constexpr ByteRange kOnfi30[] = {{11, 11}, {15, 31}, {67, 79}, {116, 127}, {160, 163}};  // also 3.1, 3.2
// Byte 11 is reserved at 4.0 in one source and training commands in another.
constexpr ByteRange kOnfi40[] = {{15, 31}, {67, 79}, {116, 127}, {163, 163}};
// The electrical block is not broken down at 5.2.
constexpr ByteRange kOnfi52[] = {{16, 31}, {67, 79}, {86, 91}, {111, 111}, {115, 115}, {122, 127}};
// Reserved at every revision listed, for a page that claims none.
constexpr ByteRange kOnfiEvery[] = {{16, 31}, {67, 79}};

constexpr std::span<const ByteRange> kOnfiRangeSets[] = {kOnfiEvery, kOnfi10, kOnfi22,
                                                         kOnfi30,    kOnfi40, kOnfi52};
// Plain bytes, no pointers: every pointer in a table costs each run a
// relocation at start.
struct ReservedAt {
  char documented[4];  // the revision whose ranges are used
  std::uint8_t set;    // in kOnfiRangeSets
};
// By the highest revision bit the page claims, 0 for none. A revision the
// reference does not list takes the nearest listed one: 2.0, 2.1 and 2.3
// that of 2.2, 4.1 and 4.2 that of 4.0, 5.0 and 5.1 that of 5.2.
constexpr ReservedAt kOnfiReserved[] = {
    {"", 0},    {"1.0", 1}, {"2.2", 2}, {"2.2", 2}, {"2.2", 2}, {"2.2", 2}, {"3.0", 3},
    {"3.1", 3}, {"3.2", 3}, {"4.0", 4}, {"4.0", 4}, {"4.0", 4}, {"5.2", 5}, {"5.2", 5},
};

// The JEDEC layout's reserved ranges, and bytes 6-7 of each ECC block.
// Bytes 172-179, reserved there, hold the Toggle DDR3 and DDR4 speed grades
// of later revisions, which the report reads: not flagged.
constexpr ByteRange kJedecReserved[] = {{14, 31},   {70, 79},   {86, 91},   {106, 143},
                                        {180, 207}, {217, 218}, {225, 226}, {233, 234},
                                        {241, 242}, {243, 271}, {272, 419}};

// The first byte of the range that is not 0 (0: none), from the fields in
// it: a reserved field says where its first such byte is, the others hold
// their bytes in raw. Fields and ranges are in byte order: the walk goes on
// from the field where the range before it stopped.
std::uint32_t first_not_zero(const Subject& s, ByteRange range, std::size_t& i) {
  for (; i < s.infos.size() && s.infos[i].first <= range.last; ++i) {
    const FieldInfo& info = s.infos[i];
    const Field& field = s.fields[i];
    if (info.last < range.first) continue;
    if (info.kind == FieldKind::Reserved) {
      if (field.value >= range.first && field.value <= range.last) return u32(field);
      continue;
    }
    for (unsigned b = 0; b < 4 && b < info.size(); ++b) {
      const unsigned at = info.first + b;
      if (at >= range.first && at <= range.last && (field.raw >> 8 * b & 0xFFU) != 0) return at;
    }
  }
  return 0;
}

void rule_reserved(const Subject& s, Sink& sink) {
  if (s.layout == Layout::None) return;
  const ReservedAt& reserved = kOnfiReserved[s.claim.bit < std::size(kOnfiReserved) ? s.claim.bit : 0];
  // Where the ranges come from, said once for all of them.
  char from[48] = "reserved";
  Report where{from};
  where.length = std::char_traits<char>::length(from);
  if (s.onfi() && s.claim.bit == 0) {
    report_append(where, 0, " at every revision");
  } else if (s.onfi()) {
    const std::string_view documented = reserved.documented;
    report_append(where, 0, " at %s", documented);
    if (documented != s.claim.name) report_append(where, 0, ", nearest to %s", s.claim.name);
  }
  const std::string_view text(from, where.length);
  std::size_t field = 0;
  for (const ByteRange range : s.onfi() ? kOnfiRangeSets[reserved.set] : kJedecReserved) {
    if (const std::uint32_t at = first_not_zero(s, range, field); at != 0)
      sink.add_bytes(range.first, range.last, "byte %u is not 0 (%s)", at, text);
  }
}

// Bits reserved (0) within defined fields, at the three revisions the
// reference lists them for. Other revisions stay silent: a neighbour's list
// could flag bits the revision defines.
struct ReservedBits {
  onfi::FieldId field;
  std::uint16_t mask;
};
constexpr ReservedBits kBits10[] = {
    {onfi::Revision, 0xFFFD}, {onfi::Features, 0xFFE0}, {onfi::OptionalCommands, 0xFFC0}};
constexpr ReservedBits kBits30[] = {
    {onfi::Revision, 0xFF81},    {onfi::Features, 0xE000},       {onfi::OptionalCommands, 0xF000},
    {onfi::JtgCommands, 0xF0},   {onfi::PlaneAddressBits, 0xF0}, {onfi::MultiPlaneAttributes, 0xC0},
    {onfi::EzNand, 0xF8},        {onfi::SdrModes, 0xFFC0},       {onfi::NvDdrModes, 0xC0},
    {onfi::NvDdrFeatures, 0xF8}, {onfi::DriverStrength, 0xF8},   {onfi::NvDdr2Features, 0xE0}};
constexpr ReservedBits kBits32[] = {{onfi::Revision, 0xFE01},         {onfi::Features, 0xE000},
                                    {onfi::OptionalCommands, 0xE000}, {onfi::NvDdrModes, 0x80},
                                    {onfi::NvDdrFeatures, 0xF0},      {onfi::NvDdr2Features, 0xC0}};

void rule_reserved_bits(const Subject& s, Sink& sink) {
  if (!s.onfi()) return;
  const Claim& claim = s.claim;
  std::span<const ReservedBits> bits;
  if (claim.name == "1.0") bits = kBits10;
  if (claim.name == "3.0") bits = kBits30;
  if (claim.name == "3.2") bits = kBits32;
  for (const ReservedBits& row : bits) {
    const std::uint32_t set = s.field(row.field).raw & row.mask;
    if (set != 0) sink.add(s.info(row.field), "bits 0x%X are reserved at ONFI %s", set, claim.name);
  }
}

// ---- Identification --------------------------------------------------------------

void rule_text(const Subject& s, Sink& sink) {
  if (s.layout == Layout::None) return;
  for (const Both id : {kManufacturer, kModel}) {
    const Field& field = s.field(id);
    if (field.value != 0)
      sink.add(s.info(id), "%s: byte %u lies outside 0x20-0x7E", s.info(id).name(), u32(field));
  }
}

void rule_revision(const Subject& s, Sink& sink) {
  if (s.layout == Layout::None || s.claim.bit != 0) return;
  sink.add(s.info(kRevisionField), "0x%04X names no %s revision", unsigned{s.revision},
           s.onfi() ? "ONFI" : "JEDEC");
}

void rule_date(const Subject& s, Sink& sink) {
  if (!s.onfi()) return;
  const Field& date = s.field(onfi::DateCode);
  const std::uint32_t week = date.raw >> 8;
  if (date.raw != 0 && (week == 0 || week > 53))
    sink.add(s.info(onfi::DateCode), "year %u, week %u: no such week", date.raw & 0xFFU, week);
}

void rule_maker(const Subject& s, Sink& sink) {
  if (s.layout == Layout::None) return;
  const FieldInfo& info = s.info(kJedecId);
  const std::uint32_t id = u32(s.field(kJedecId));
  if (s.maker == nullptr) {
    sink.add(info, "0x%02X names no known maker", id);
    return;
  }
  if (s.maker->agrees(s.manufacturer)) return;
  // The text as the message can carry it: bytes outside printable ASCII,
  // the quote and the backslash escaped.
  char text[4 * 12 + 1] = "";
  Report shown{text};
  for (const char* c = s.manufacturer; *c != '\0'; ++c) {
    const auto b = static_cast<unsigned char>(*c);
    if (b >= 0x20 && b <= 0x7E && b != '"' && b != '\\') {
      report_append(shown, 0, "%s", std::string_view(c, 1));
    } else {
      report_append(shown, 0, "\\x%02X", unsigned{b});
    }
  }
  sink.add(info, "0x%02X is %s, but the maker text is \"%s\"", id, s.maker->name(), text);
}

// ---- Parameter pages and the extended page -------------------------------------

void rule_page_count(const Subject& s, Sink& sink) {
  if (!s.onfi()) return;
  const Field& count = s.field(onfi::ParameterPageCount);
  if (count.defined && count.value < 3)
    sink.add(s.info(onfi::ParameterPageCount), "%u parameter pages, fewer than 3", u32(count));
}

bool announces_extended_page(const Subject& s) {
  return (s.field(onfi::Features).raw >> onfi::kFeatureExtendedPage & 1U) != 0;
}

// The extended page's header and section table plus one section: the least
// an announced extended page can hold.
constexpr std::uint32_t kEppMinimum = epp::kSectionData + epp::kSectionUnit;

void rule_ecc_extended(const Subject& s, Sink& sink) {
  if (!s.onfi() || !s.field(onfi::ExtendedPageLength).defined) return;
  if (!announces_extended_page(s)) {
    if (s.field(onfi::EccBits).value == 255)
      sink.add(s.info(onfi::EccBits),
               "ECC bits 255 (in the extended page), but feature bit 7 announces none");
    return;
  }
  const std::uint32_t length = u32(s.field(onfi::ExtendedPageLength));
  if (length < kEppMinimum)
    sink.add(s.info(onfi::ExtendedPageLength), "%u bytes: shorter than the %u an extended page needs", length,
             kEppMinimum);
}

void rule_extended_length(const Subject& s, Sink& sink) {
  if (!s.onfi() || !s.field(onfi::ExtendedPageLength).defined || announces_extended_page(s)) return;
  const std::uint32_t length = u32(s.field(onfi::ExtendedPageLength));
  if (length != 0)
    sink.add(s.info(onfi::ExtendedPageLength), "%u bytes, but feature bit 7 announces no extended page",
             length);
}

void rule_timing_mode_0(const Subject& s, Sink& sink) {
  if (!s.onfi() || s.claim.bit == 0) return;
  const Field& modes = s.field(onfi::SdrModes);
  if ((modes.raw & 1U) == 0) sink.add(s.info(onfi::SdrModes), "0x%04X: no mode 0", modes.raw);
}

// ---- Organisation and timing ------------------------------------------------------

void rule_geometry(const Subject& s, Sink& sink) {
  if (s.layout == Layout::None) return;
  for (const Both id : {kDataBytes, kPagesPerBlock, kBlocksPerLun, kLuns}) {
    if (s.field(id).value == 0) sink.add(s.info(id), "%s: 0", s.info(id).name());
  }
}

void rule_partial_page(const Subject& s, Sink& sink) {
  if (!s.onfi()) return;
  const Field& partial = s.field(onfi::DataBytesPerPartialPage);
  const Field& page = s.field(onfi::DataBytesPerPage);
  if (partial.defined && partial.value > page.value)
    sink.add(s.info(onfi::DataBytesPerPartialPage), "%u data bytes per partial page, %u per page",
             u32(partial), u32(page));
}

void rule_power_of_two(const Subject& s, Sink& sink) {
  if (s.layout == Layout::None) return;
  for (const Both id : {kDataBytes, kPagesPerBlock}) {
    const std::uint64_t value = s.field(id).value;
    if (value != 0 && (value & (value - 1)) != 0)
      sink.add(s.info(id), "%u is not a power of two", u32(s.field(id)));
  }
}

void rule_address_cycles(const Subject& s, Sink& sink) {
  if (s.layout == Layout::None) return;
  const std::uint32_t cycles = s.field(kAddressCycles).raw;
  if ((cycles & 0x0FU) == 0 || (cycles & 0xF0U) == 0)
    sink.add(s.info(kAddressCycles), "0x%02X: %u row, %u column cycles", cycles, cycles & 0x0FU, cycles >> 4);
}

void rule_bits_per_cell(const Subject& s, Sink& sink) {
  if (s.layout == Layout::None) return;
  const std::uint32_t bits = u32(s.field(kBitsPerCell));
  if (bits == 0 || bits > 4) sink.add(s.info(kBitsPerCell), "%u bits per cell", bits);
}

void rule_bad_blocks(const Subject& s, Sink& sink) {
  if (!s.onfi()) return;
  const Field& bad = s.field(onfi::MaxBadBlocksPerLun);
  const Field& blocks = s.field(onfi::BlocksPerLun);
  if (bad.value >= blocks.value)
    sink.add(s.info(onfi::MaxBadBlocksPerLun), "%u bad blocks at most, of %u blocks per LUN", u32(bad),
             u32(blocks));
}

// "tPROG" of "tPROG maximum page program time".
std::string_view short_name(const FieldInfo& info) { return slice(info.name(), 0, info.name().find(' ')); }

void rule_array_times(const Subject& s, Sink& sink) {
  if (s.layout == Layout::None) return;
  for (const Both id : {kTProg, kTBers, kTR}) {
    if (s.field(id).value == 0) sink.add(s.info(id), "%s is 0", short_name(s.info(id)));
  }
  // The JEDEC layout leaves the unit unsaid.
  const std::string_view unit = s.info(kTProg).unit == Unit::Microseconds ? " us" : "";
  const std::uint32_t prog = u32(s.field(kTProg));
  const std::uint32_t bers = u32(s.field(kTBers));
  const std::uint32_t read = u32(s.field(kTR));
  if (prog != 0 && bers != 0 && bers < prog)
    sink.add(s.info(kTProg), s.info(kTBers), "tBERS %u%s is below tPROG %u%s", bers, unit, prog, unit);
  if (prog != 0 && read != 0 && read > prog)
    sink.add(s.info(kTProg), s.info(kTR), "tR %u%s is above tPROG %u%s", read, unit, prog, unit);
}

// ---- Inputs without a page ----------------------------------------------------------

std::string_view as_text(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

bool is_hex_listing(std::string_view text) {
  if (read_hex_listing(text, {}).ok()) return true;
  // What was read may end inside a line (a page's worth of a longer
  // listing): the whole lines before it tell.
  const std::size_t end = text.rfind('\n');
  if (text.empty() || text.back() == '\n' || end == std::string_view::npos) return false;
  return read_hex_listing(slice(text, 0, end + 1), {}).ok();
}

// Printable ASCII, white space and UTF-8 sequences; the last may be cut
// short by the end of what was read.
bool is_text(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return false;
  for (std::size_t i = 0; i < bytes.size();) {
    const std::uint8_t b = bytes[i++];
    if (b < 0x80) {
      const bool space = b == '\t' || b == '\n' || b == '\r' || b == '\f' || b == '\v';
      if ((b < 0x20 && !space) || b == 0x7F) return false;
      continue;
    }
    const std::size_t follow = b >= 0xC2 && b <= 0xDF   ? 1
                               : b >= 0xE0 && b <= 0xEF ? 2
                               : b >= 0xF0 && b <= 0xF4 ? 3
                                                        : 0;
    if (follow == 0) return false;
    for (std::size_t k = 0; k < follow && i < bytes.size(); ++k, ++i) {
      if ((bytes[i] & 0xC0U) != 0x80) return false;
    }
  }
  return true;
}

constexpr std::string_view kSignatures[] = {"ONFI", "JESD"};

// The signature's letters at every second byte, the bytes between them 0:
// a little-endian (zeros after) or big-endian (zeros before) 16-bit bus.
bool on_16_bit_bus(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 8) return false;
  for (const std::string_view signature : kSignatures) {
    for (std::size_t letter_at = 0; letter_at < 2; ++letter_at) {
      bool match = true;
      for (std::size_t k = 0; k < 4 && match; ++k) {
        match = bytes[2 * k + letter_at] == static_cast<std::uint8_t>(signature[k]) &&
                bytes[2 * k + 1 - letter_at] == 0;
      }
      if (match) return true;
    }
  }
  return false;
}

bool all_bytes(std::span<const std::uint8_t> bytes, std::uint8_t value) {
  return !bytes.empty() &&
         std::all_of(bytes.begin(), bytes.end(), [value](std::uint8_t b) { return b == value; });
}

void rule_no_page(const Subject& s, Sink& sink) {
  if (!s.no_page) return;
  const std::span<const std::uint8_t> bytes = s.input;
  const std::string_view text = as_text(bytes);
  std::size_t elsewhere = std::string_view::npos;
  for (const std::string_view signature : kSignatures)
    elsewhere = std::min(elsewhere, text.find(signature, 1));
  const auto size = static_cast<std::uint32_t>(bytes.size());
  if (is_hex_listing(text)) {
    sink.add_unranged("the input is a hex listing: use -x");
  } else if (is_text(bytes)) {
    sink.add_unranged("the input is text, not a page");
  } else if (text.starts_with("NOIF") || text.starts_with("EJDS")) {
    sink.add_unranged("a page read as 16-bit words: swap each byte pair");
  } else if (on_16_bit_bus(bytes)) {
    sink.add_unranged("a page read on a 16-bit bus");
  } else if (slice(text, 2, 4) == "EPPS") {
    sink.add_unranged("an extended parameter page on its own");
  } else if (elsewhere != std::string_view::npos) {
    sink.add_unranged("the page starts at byte %u", static_cast<std::uint32_t>(elsewhere));
  } else if (all_bytes(bytes, 0xFF)) {
    sink.add_unranged("erased or unread");
  } else if (all_bytes(bytes, 0x00)) {
    sink.add_unranged("all 0x00 (some parts return zeros when no Reset precedes the read)");
  } else if (bytes.size() < 256) {
    sink.add_unranged("too short to hold a page: %u bytes", size);
  } else {
    sink.add_unranged("no ONFI or JESD signature in %u bytes", size);
  }
}

// ---- The rule table -----------------------------------------------------------------

constexpr Severity kFail = Severity::Failure;
constexpr Severity kWarn = Severity::Warning;

// Every rule: its id, severity, what it checks and the reference that
// states it.
constexpr CheckRule kRules[] = {
    {"crc", kFail, "the stored CRC differs from the one computed over the page",
     "onfi-parameter-page.md section 4, jedec-parameter-page.md section 1"},
    {"copy-crc", kWarn,
     "(-a) a copy of the page or of the extended page fails its check while the copy used passes",
     "makers.md section C.6, onfi-parameter-page.md section 7"},
    {"copy-majority", kWarn, "(-a) no copy passes its check; the bit-wise majority of three is used",
     "makers.md section C.6"},
    {"extended-page", kFail,
     "(-a, ONFI) an extended page is announced and no valid copy of it (nor their majority) is in the "
     "input, or a section runs past its end",
     "onfi-parameter-page.md section 7, makers.md section C.11"},
    {"reserved", kWarn,
     "a range reserved at the highest revision the page claims holds a byte that is not 0 (one finding per "
     "range)",
     "onfi-parameter-page.md section 3 (nearest listed revision for the others), jedec-parameter-page.md "
     "sections 2 and 4"},
    {"reserved-bits", kWarn, "(ONFI 1.0, 3.0, 3.2) a bit reserved at the revision the page claims is set",
     "onfi-parameter-page.md section 3"},
    {"text", kWarn, "the maker or model text holds a byte outside 0x20-0x7E (ASCII padded with spaces)",
     "onfi-parameter-page.md sections 1.2 and 5"},
    {"revision", kWarn, "the revision field names no known revision (as SPI-NAND pages do)",
     "onfi-parameter-page.md sections 2.1 and 5, jedec-parameter-page.md section 3.1, makers.md section "
     "C.2"},
    {"page-count", kWarn, "(ONFI 2.1 on) fewer than 3 parameter pages",
     "onfi-parameter-page.md sections 1.1 and 5"},
    {"ecc-extended", kFail,
     "(ONFI 2.1 on) ECC bits 255 while no extended page is announced, or an extended page announced shorter "
     "than 48 bytes (its header, section table and one section)",
     "onfi-parameter-page.md sections 1.3, 5 and 7"},
    {"extended-length", kWarn,
     "(ONFI 2.1 on) an extended page length given while no extended page is announced",
     "onfi-parameter-page.md sections 1.1 and 7"},
    {"timing-mode-0", kFail, "(ONFI) a page that claims a revision does not support SDR timing mode 0",
     "onfi-parameter-page.md sections 2.9 and 5"},
    {"geometry", kFail, "data bytes per page, pages per block, blocks per LUN or LUNs is 0",
     "onfi-parameter-page.md section 1.3, jedec-parameter-page.md section 2"},
    {"partial-page", kWarn, "(ONFI) the partial page holds more data bytes than the page",
     "makers.md section C.4"},
    {"power-of-two", kWarn, "data bytes per page or pages per block is not a power of two",
     "makers.md section C.5, onfi-parameter-page.md section 1.3"},
    {"address-cycles", kWarn, "row or column address cycles are 0",
     "onfi-parameter-page.md section 2.6, makers.md section C.2"},
    {"bits-per-cell", kWarn, "bits per cell is 0 or above 4", "onfi-parameter-page.md section 1.3"},
    {"bad-blocks", kWarn, "(ONFI) the maximum of bad blocks per LUN is not below the blocks per LUN",
     "onfi-parameter-page.md section 1.3"},
    {"array-times", kWarn, "tR, tPROG or tBERS is 0, tBERS is below tPROG, or tR is above tPROG",
     "onfi-parameter-page.md sections 1.4 and 8, jedec-parameter-page.md section 2"},
    {"date", kWarn, "(ONFI) a date code is given and its week (byte 66) is 0 or above 53",
     "onfi-parameter-page.md sections 1.2 and 6"},
    {"maker", kWarn, "the JEDEC ID names no known maker, or another maker than the maker text",
     "makers.md sections A and C.22"},
    {"no-page", kFail, "the input holds no page; the message says what it holds instead",
     "onfi-parameter-page.md sections 1.1 and 7, jedec-parameter-page.md section 2"},
};

// The routine of each rule, in the table's order.
using RuleRoutine = void (*)(const Subject&, Sink&);
constexpr RuleRoutine kRoutines[] = {
    rule_crc,
    rule_copy_crc,
    rule_copy_majority,
    rule_extended_page,
    rule_reserved,
    rule_reserved_bits,
    rule_text,
    rule_revision,
    rule_page_count,
    rule_ecc_extended,
    rule_extended_length,
    rule_timing_mode_0,
    rule_geometry,
    rule_partial_page,
    rule_power_of_two,
    rule_address_cycles,
    rule_bits_per_cell,
    rule_bad_blocks,
    rule_array_times,
    rule_date,
    rule_maker,
    rule_no_page,
};
static_assert(std::size(kRoutines) == std::size(kRules));

// The text block's longest line: severity, id, range, message.
constexpr std::size_t longest_line() {
  std::size_t id = 0;
  for (const CheckRule& rule : kRules) id = std::max(id, std::char_traits<char>::length(rule.id));
  return sizeof "WARN " + id + sizeof " bytes 65535-65535: " + sizeof(Finding::message);
}
static_assert(sizeof "Check     : 4294967295 failures, 4294967295 warnings\n" +
                  kFindingsMax * longest_line() <
              kCheckTextCapacity);

// Failures first, then warnings; in each, by first and last byte, those
// without a range last; in the order found where all that is equal.
bool before(const Finding& a, const Finding& b) {
  if (a.severity != b.severity) return a.severity == Severity::Failure;
  if (a.has_range != b.has_range) return a.has_range;
  if (a.first != b.first) return a.first < b.first;
  return a.last < b.last;
}

void run(const Subject& subject, Findings& findings) {
  findings.count = 0;
  findings.failures = findings.warnings = 0;
  for (std::size_t i = 0; i < std::size(kRules); ++i) {
    Sink sink{findings, kRules[i]};
    kRoutines[i](subject, sink);
  }
  // An insertion sort of their places (a few dozen at most), then each
  // finding moved once, cycle by cycle, in place.
  Finding* items = findings.items;
  std::uint8_t order[kFindingsMax];  // order[i]: the finding that goes to place i
  for (std::size_t i = 0; i < findings.count; ++i) {
    std::size_t j = i;
    for (; j > 0 && before(items[i], items[order[j - 1]]); --j) order[j] = order[j - 1];
    order[j] = static_cast<std::uint8_t>(i);
  }
  for (std::size_t i = 0; i < findings.count; ++i) {
    if (order[i] == i) continue;
    const Finding held = items[i];
    std::size_t j = i;
    while (order[j] != i) {
      const std::size_t from = order[j];
      items[j] = items[from];
      order[j] = static_cast<std::uint8_t>(j);  // placed
      j = from;
    }
    items[j] = held;
    order[j] = static_cast<std::uint8_t>(j);
  }
}

}  // namespace

std::span<const CheckRule> check_rules() noexcept { return kRules; }

void check_page(const PageModel& page, Findings& findings) noexcept { run(subject_of(page), findings); }

void check_dump(const Dump& dump, Findings& findings) noexcept {
  Subject subject = subject_of(dump.page);
  if (dump.layout == Layout::None) subject.layout = Layout::None;
  subject.dump = &dump;
  run(subject, findings);
}

void check_no_page(std::span<const std::uint8_t> bytes, Findings& findings) noexcept {
  Subject subject;
  subject.no_page = true;
  subject.input = bytes;
  run(subject, findings);
}

DecodeResult render_findings(const Findings& findings, std::span<char> out) {
  Report report{out};
  report_append(report, 0, "Check     : %u failures, %u warnings\n", findings.failures, findings.warnings);
  using Ranged = Format<std::string_view, unsigned, unsigned, const char*>;
  using Unranged = Format<std::string_view, const char*>;
  for (const Finding& f : findings.list()) {
    const bool failure = f.severity == Severity::Failure;
    const char* message = f.message;
    if (f.has_range) {
      report_append(report, 0,
                    failure ? Ranged("FAIL %s bytes %u-%u: %s\n") : Ranged("WARN %s bytes %u-%u: %s\n"),
                    f.rule, unsigned{f.first}, unsigned{f.last}, message);
    } else {
      report_append(report, 0, failure ? Unranged("FAIL %s: %s\n") : Unranged("WARN %s: %s\n"), f.rule,
                    message);
    }
  }
  DecodeResult result;
  result.length = report.length;
  result.needed = report.needed;
  return result;
}

namespace detail {

void report_findings_json(const Findings& findings, Report& report) {
  report_object_begin(report, "check");
  report_json_number(report, "failures", findings.failures);
  report_json_number(report, "warnings", findings.warnings);
  report_object_end(report);
  report_array_begin(report, "findings");
  for (const Finding& f : findings.list()) {
    report_object_begin(report, "");
    report_json_plain(report, "severity", f.severity == Severity::Failure ? "failure" : "warning");
    report_json_plain(report, "rule", f.rule);
    if (f.has_range) {
      report_json_number(report, "first", f.first);
      report_json_number(report, "last", f.last);
    }
    report_json_text(report, "message", f.message);
    report_object_end(report);
  }
  report_array_end(report);
}

}  // namespace detail
}  // namespace tolvik
