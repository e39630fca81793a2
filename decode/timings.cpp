// The timing view: what the fastest modes mean in nanoseconds, with the
// page's own figures, and the settings a NAND controller needs. Both the
// text and the JSON members are made from page_timings().
//
// Text, one line each:
//   "FAMILY: mode M, RATE UNIT (modes LIST)"   a family (rate and list where known)
//   " NAME   LIMIT         NS  SOURCE  NOTE"   a parameter: NS right-aligned in 10
//   " rates: M:RATE ... UNIT"                  the modes of a family without a table
//   " note: TEXT"                              what the family's line means
// then "Controller:" with "Label     : value" lines and "Device tree:" with
// the properties as a .dts file writes them.
#include <algorithm>
#include <cstring>

#include "decode/decode.h"
#include "tolvik.h"

namespace tolvik::detail {
namespace {

// A line put together piece by piece and appended whole: a parameter line
// through the formatter costs several times as much, and a run of the tool
// should cost little more than its start. What does not fit is dropped.
template <std::size_t N>
struct Piece {
  char text[N];
  std::size_t length = 0;

  void put(std::string_view more) {
    const std::size_t n = std::min(more.size(), N - length);
    // An empty text may have no data pointer, which memcpy must not get.
    if (n != 0) std::memcpy(text + length, more.data(), n);
    length += n;
  }
  void put(std::uint64_t number) {
    char digits[20];
    char* first = digits + sizeof digits;
    do {
      *--first = static_cast<char>('0' + number % 10);
      number /= 10;
    } while (number != 0);
    put({first, static_cast<std::size_t>(digits + sizeof digits - first)});
  }
  // The text padded with blanks to width: after it, or (right) before it.
  void put_padded(std::string_view more, std::size_t width, bool right = false) {
    const std::size_t pad = more.size() < width ? width - more.size() : 0;
    if (!right) put(more);
    put(std::string_view("                ", std::min<std::size_t>(pad, 16)));
    if (right) put(more);
  }
  [[nodiscard]] std::string_view view() const { return {text, length}; }
};

// Nanoseconds with exactly the decimals the picoseconds need: 400, 2.5,
// 0.85. Written backwards from the end of text.
struct NsText {
  char text[24];
  std::size_t first;

  [[nodiscard]] std::string_view view() const { return {text + first, sizeof text - first}; }
};

NsText ns_text(std::uint64_t ps) {
  NsText out;
  char* p = std::end(out.text);
  std::uint64_t fraction = ps % 1000;
  if (fraction != 0) {
    int digits = 3;
    for (; fraction % 10 == 0; fraction /= 10) --digits;
    for (; digits > 0; --digits, fraction /= 10) *--p = static_cast<char>('0' + fraction % 10);
    *--p = '.';
  }
  std::uint64_t whole = ps / 1000;
  do {
    *--p = static_cast<char>('0' + whole % 10);
    whole /= 10;
  } while (whole != 0);
  out.first = static_cast<std::size_t>(p - out.text);
  return out;
}

constexpr std::string_view limit_name(TimingLimit limit) { return limit == TimingLimit::Min ? "min" : "max"; }
constexpr std::string_view source_name(TimingSource source) {
  return source == TimingSource::Page ? "page" : "table";
}

// What the controller's ECC line says of each source: switches rather than
// a table, whose pointers a run would relocate at its start.
std::string_view ecc_from(EccSource source, Layout layout) {
  switch (source) {
    case EccSource::Page:
      return layout == Layout::Jedec ? "ECC block 0 (bytes 211-212)" : "byte 112, per 512 bytes";
    case EccSource::ExtendedPage:
      return "the extended parameter page's first ECC block";
    case EccSource::ExtendedPageNotRead:
      return "unknown: byte 112 is 255, the figure is in the extended parameter page of a whole dump (-a)";
    case EccSource::ExtendedPageNotAnnounced:
      return "unknown: byte 112 is 255, but the page announces no extended parameter page";
    case EccSource::ExtendedPageMissing:
      return "unknown: the extended parameter page is shorter than its header or not in the input";
    case EccSource::ExtendedPageInvalid:
      return "unknown: neither a copy of the extended parameter page nor their majority passes its check";
    case EccSource::NoEccBlock:
      return "unknown: the extended parameter page holds no ECC block";
    case EccSource::CodewordInvalid:
      return layout == Layout::Jedec
                 ? "unknown: ECC block 0 has no valid codeword size (512 bytes at least)"
                 : "unknown: the extended page's first ECC block has no valid codeword size";
  }
  return {};
}

// The JSON name of why the ECC figure is unknown.
std::string_view ecc_unknown_reason(EccSource source) {
  switch (source) {
    case EccSource::Page:
    case EccSource::ExtendedPage:
      break;
    case EccSource::ExtendedPageNotRead:
      return "extended_page_not_read";
    case EccSource::ExtendedPageNotAnnounced:
      return "extended_page_not_announced";
    case EccSource::ExtendedPageMissing:
      return "extended_page_missing";
    case EccSource::ExtendedPageInvalid:
      return "extended_page_invalid";
    case EccSource::NoEccBlock:
      return "no_ecc_block";
    case EccSource::CodewordInvalid:
      return "codeword_size_invalid";
  }
  return {};
}

// "0-5", "0-3, 6", ...: the set bits of a mask as ranges.
template <std::size_t N>
void put_mode_list(Piece<N>& line, std::uint32_t mask) {
  bool first = true;
  for (unsigned bit = 0; bit < 32; ++bit) {
    if ((mask >> bit & 1U) == 0) continue;
    unsigned last = bit;
    while (last + 1 < 32 && (mask >> (last + 1) & 1U) != 0) ++last;
    if (!first) line.put(", ");
    line.put(bit);
    if (last != bit) {
      line.put("-");
      line.put(last);
    }
    first = false;
    bit = last;
  }
}

// " NAME   LIMIT         NS  SOURCE  NOTE": the fixed columns laid over
// blanks at once, then the source and the note.
template <std::size_t N>
void put_timing_line(Piece<N>& block, const Timing& timing) {
  constexpr std::size_t kName = 1;
  constexpr std::size_t kLimit = 8;
  constexpr std::size_t kNs = 12;
  constexpr std::size_t kNsWidth = 10;
  char head[48];
  std::memset(head, ' ', sizeof head);
  std::memcpy(head + kName, timing.label().data(), std::min<std::size_t>(timing.label().size(), kLimit - 2));
  std::memcpy(head + kLimit, limit_name(timing.limit).data(), 3);
  const NsText ns_digits = ns_text(timing.ps);
  const std::string_view ns = ns_digits.view();
  const std::size_t width = std::max(ns.size(), kNsWidth);
  std::memcpy(head + kNs + width - ns.size(), ns.data(), ns.size());
  block.put({head, kNs + width + 2});
  const std::string_view source = source_name(timing.source);
  const std::string_view note = timing_note_text(timing.note);
  if (timing.field == nullptr && note.empty()) {
    block.put(source);
    block.put("\n");
    return;
  }
  block.put_padded(source, 5);
  block.put("  ");
  // The page's bytes a figure comes from, then the note.
  if (timing.field != nullptr) {
    block.put(timing.field->first == timing.field->last ? "byte " : "bytes ");
    block.put(timing.field->first);
    if (timing.field->first != timing.field->last) {
      block.put("-");
      block.put(timing.field->last);
    }
    if (!note.empty()) block.put(": ");
  }
  block.put(note);
  block.put("\n");
}

// " 0:66 1:80 ...": each supported mode and its rate, "?" where none is
// named.
Piece<320> rates_text(const FamilyTimings& family) {
  Piece<320> rates;
  const std::span<const SpeedText> speeds = family.info->speeds;
  for (unsigned bit = 0; bit < 32; ++bit) {
    if ((family.mask >> bit & 1U) == 0) continue;
    rates.put(" ");
    rates.put(bit);
    rates.put(":");
    rates.put(bit < speeds.size() ? std::string_view(speeds[bit]) : std::string_view("?"));
  }
  return rates;
}

void report_family_text(Report& report, const FamilyTimings& family) {
  // "FAMILY: mode M, RATE UNIT (modes LIST)"
  Piece<200> line;
  line.put(family.name());
  if (family.state == FamilyState::NoMode) {
    line.put(": no mode supported");
  } else {
    line.put(": mode ");
    line.put(static_cast<std::uint64_t>(family.mode));
    if (family.rate != 0) {
      line.put(", ");
      line.put(family.rate);
      line.put(" ");
      line.put(family.rate_unit());
    }
    if (family.mask != 0) {
      line.put(" (modes ");
      put_mode_list(line, family.mask);
      line.put(")");
    }
  }
  line.put("\n");
  report_append(report, 0, "%s", line.view());
  if (!family.announced && family.mask != 0)
    report_append(report, 0, " note: the page's features do not announce %s\n", family.name());
  if (family.asked && !family.supported && family.state != FamilyState::NotApplied) {
    report_append(report, 0, " note: the page does not support mode %u\n",
                  static_cast<std::uint32_t>(family.mode));
  }
  switch (family.state) {
    case FamilyState::Timings: {
      // Up to kTimingsMax lines of at most 120 characters, appended at once.
      Piece<kTimingsMax * 120> block;
      for (const Timing& timing : family.timings()) put_timing_line(block, timing);
      report_append(report, 0, "%s", block.view());
      break;
    }
    case FamilyState::NoMode:
      break;
    case FamilyState::NoModeTable:
      report_append(report, 0, " note: mode %u has no table in the reference\n",
                    static_cast<std::uint32_t>(family.mode));
      break;
    case FamilyState::NoTable:
      report_append(report, 0, " rates:%s %s\n", rates_text(family).view(), family.rate_unit());
      report_append(report, 0, " note: the standard's %s parameters are not in the reference\n",
                    family.name());
      break;
    case FamilyState::NotApplied:
      report_append(report, 0, " note: not applied: JEDEC's speed grades are not ONFI's timing modes\n");
      break;
  }
}

void report_controller_text(Report& report, const ControllerSettings& settings, Layout layout) {
  const struct {
    std::string_view label;
    std::uint32_t value;
    bool ecc = false;  // "unknown" where the ECC figure is
  } rows[] = {
      {"Page data : ", settings.data_bytes},
      {"Page spare: ", settings.spare_bytes},
      {"Page/Block: ", settings.pages_per_block},
      {"Block/LUN : ", settings.blocks_per_lun},
      {"LUNs      : ", settings.luns},
      {"Planes    : ", settings.planes},
      {"Bus width : ", settings.bus_width},
      {"Row cycles: ", settings.row_cycles},
      {"Col cycles: ", settings.column_cycles},
      {"ECC bits  : ", settings.ecc_bits, true},
      {"Codeword  : ", settings.ecc_codeword, true},
  };
  Piece<600> block;
  block.put("Controller:\n");
  for (const auto& row : rows) {
    block.put(row.label);
    if (row.ecc && !settings.ecc_known()) {
      block.put("unknown");
    } else {
      block.put(row.value);
    }
    block.put("\n");
  }
  block.put("ECC from  : ");
  block.put(ecc_from(settings.ecc_source, layout));
  block.put("\nDevice tree:\n nand-bus-width = <");
  block.put(settings.bus_width);
  if (settings.ecc_known()) {
    block.put(">;\n nand-ecc-strength = <");
    block.put(settings.ecc_bits);
    block.put(">;\n nand-ecc-step-size = <");
    block.put(settings.ecc_codeword);
    block.put(">;\n");
  } else {
    block.put(">;\n /* nand-ecc-strength, nand-ecc-step-size: unknown */\n");
  }
  report_append(report, 0, "%s", block.view());
}

}  // namespace

void report_timings_text(const PageModel& page, const ExtendedPage* extended, std::string_view mode,
                         Report& report) {
  if (page.layout == Layout::None) return;
  PageTimings timings;
  page_timings(page, extended, mode, timings);
  report_append(report, 0,
                "Timings in ns (source \"page\": the page's own figure in place of the table's)\n");
  for (const FamilyTimings& family : timings.list()) report_family_text(report, family);
  report_controller_text(report, timings.controller, page.layout);
}

void report_timings_json(const PageModel& page, const ExtendedPage* extended, std::string_view mode,
                         Report& report) {
  if (page.layout == Layout::None) {
    report_json_null(report, "timings");
    report_json_null(report, "controller");
    return;
  }
  PageTimings timings;
  page_timings(page, extended, mode, timings);
  report_array_begin(report, "timings");
  for (const FamilyTimings& family : timings.list()) {
    report_object_begin(report, "");
    report_json_plain(report, "family", family.name());
    if (family.mode >= 0) {
      report_json_number(report, "mode", static_cast<std::uint64_t>(family.mode));
    } else {
      report_json_null(report, "mode");
    }
    if (family.rate != 0) {
      report_json_number(report, "rate", family.rate);
    } else {
      report_json_null(report, "rate");
    }
    report_json_plain(report, "rate_unit", family.rate_unit());
    report_array_begin(report, "parameters");
    // Each element in one piece: names and words here need no escaping.
    for (const Timing& timing : family.timings()) {
      Piece<96> element;
      element.put("{\"name\":\"");
      element.put(timing.label());
      element.put("\",\"limit\":\"");
      element.put(limit_name(timing.limit));
      element.put("\",\"ns\":");
      element.put(ns_text(timing.ps).view());
      element.put(",\"source\":\"");
      element.put(source_name(timing.source));
      element.put("\"}");
      report_json_literal(report, "", element.view());
    }
    report_array_end(report);
    report_object_end(report);
  }
  report_array_end(report);

  const ControllerSettings& settings = timings.controller;
  report_object_begin(report, "controller");
  report_json_number(report, "data_bytes_per_page", settings.data_bytes);
  report_json_number(report, "spare_bytes_per_page", settings.spare_bytes);
  report_json_number(report, "pages_per_block", settings.pages_per_block);
  report_json_number(report, "blocks_per_lun", settings.blocks_per_lun);
  report_json_number(report, "luns", settings.luns);
  report_json_number(report, "planes", settings.planes);
  report_json_number(report, "bus_width", settings.bus_width);
  report_json_number(report, "row_address_cycles", settings.row_cycles);
  report_json_number(report, "column_address_cycles", settings.column_cycles);
  const bool known = settings.ecc_known();
  report_object_begin(report, "ecc");
  if (known) {
    report_json_number(report, "bits", settings.ecc_bits);
    report_json_number(report, "codeword_bytes", settings.ecc_codeword);
    report_json_plain(report, "source", settings.ecc_source == EccSource::Page ? "page" : "extended_page");
    report_json_null(report, "unknown_reason");
  } else {
    report_json_null(report, "bits");
    report_json_null(report, "codeword_bytes");
    report_json_null(report, "source");
    report_json_plain(report, "unknown_reason", ecc_unknown_reason(settings.ecc_source));
  }
  report_object_end(report);
  report_object_begin(report, "device_tree");
  report_json_number(report, "nand-bus-width", settings.bus_width);
  if (known) {
    report_json_number(report, "nand-ecc-strength", settings.ecc_bits);
    report_json_number(report, "nand-ecc-step-size", settings.ecc_codeword);
  } else {
    report_json_null(report, "nand-ecc-strength");
    report_json_null(report, "nand-ecc-step-size");
  }
  report_object_end(report);
  report_object_end(report);
}

}  // namespace tolvik::detail
