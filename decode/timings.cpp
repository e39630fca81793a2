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
#include "decode/decode.h"
#include "decode/fields.h"
#include "tolvik.h"

namespace tolvik::detail {
namespace {

// Nanoseconds with exactly the decimals the picoseconds need: 400, 2.5, 0.85.
struct NsText {
  char text[24];
  std::size_t length;

  [[nodiscard]] std::string_view view() const { return {text, length}; }
};

NsText ns_text(std::uint64_t ps) {
  NsText out{};
  Report figure{out.text};
  const auto whole = static_cast<std::uint32_t>(ps / 1000);
  std::uint32_t fraction = static_cast<std::uint32_t>(ps % 1000);
  if (fraction == 0) {
    report_append(figure, 0, "%u", whole);
  } else {
    unsigned digits = 3;
    for (; fraction % 10 == 0; fraction /= 10) --digits;
    if (digits == 1) report_append(figure, 0, "%u.%u", whole, fraction);
    if (digits == 2) report_append(figure, 0, "%u.%02u", whole, fraction);
    if (digits == 3) report_append(figure, 0, "%u.%03u", whole, fraction);
  }
  out.length = figure.length;
  return out;
}

constexpr std::string_view limit_name(TimingLimit limit) { return limit == TimingLimit::Min ? "min" : "max"; }
constexpr std::string_view source_name(TimingSource source) {
  return source == TimingSource::Page ? "page" : "table";
}

// What the controller's ECC line says of each source, and its JSON name
// (null for a figure that is known).
struct EccText {
  EccSource source;
  std::string_view onfi;
  std::string_view jedec;
  std::string_view reason;
};
constexpr EccText kEccTexts[] = {
    {EccSource::Page, "byte 112, per 512 bytes", "ECC block 0 (bytes 211-212)", {}},
    {EccSource::ExtendedPage, "the extended parameter page's first ECC block", {}, {}},
    {EccSource::ExtendedPageNotRead,
     "unknown: byte 112 is 255, the figure is in the extended parameter page of a whole dump (-a)",
     {},
     "extended_page_not_read"},
    {EccSource::ExtendedPageNotAnnounced,
     "unknown: byte 112 is 255, but the page announces no extended parameter page",
     {},
     "extended_page_not_announced"},
    {EccSource::ExtendedPageMissing,
     "unknown: the extended parameter page is shorter than its header or not in the input",
     {},
     "extended_page_missing"},
    {EccSource::ExtendedPageInvalid,
     "unknown: neither a copy of the extended parameter page nor their majority passes its check",
     {},
     "extended_page_invalid"},
    {EccSource::NoEccBlock, "unknown: the extended parameter page holds no ECC block", {}, "no_ecc_block"},
    {EccSource::CodewordInvalid, "unknown: the extended page's first ECC block has no valid codeword size",
     "unknown: ECC block 0 has no valid codeword size (512 bytes at least)", "codeword_size_invalid"},
};

const EccText& ecc_text(EccSource source) {
  for (const EccText& text : kEccTexts) {
    if (text.source == source) return text;
  }
  return kEccTexts[0];
}

// "0-5", "0-3, 6", ...: the set bits of a mask as ranges.
void report_mode_list(Report& report, std::uint32_t mask) {
  bool first = true;
  for (unsigned bit = 0; bit < 32; ++bit) {
    if ((mask >> bit & 1U) == 0) continue;
    unsigned last = bit;
    while (last + 1 < 32 && (mask >> (last + 1) & 1U) != 0) ++last;
    report_append(report, 0, "%s%u", first ? "" : ", ", bit);
    if (last != bit) report_append(report, 0, "-%u", last);
    first = false;
    bit = last;
  }
}

void report_timing_line(Report& report, const Timing& timing) {
  const NsText ns = ns_text(timing.ps);
  report_append(report, 0, " %-6s %s %10s  ", timing.name, limit_name(timing.limit), ns.view());
  if (timing.field == nullptr && timing.note.empty()) {
    report_append(report, 0, "%s\n", source_name(timing.source));
    return;
  }
  report_append(report, 0, "%-5s  ", source_name(timing.source));
  if (timing.field != nullptr) {
    if (timing.field->first == timing.field->last) {
      report_append(report, 0, "byte %u", std::uint32_t{timing.field->first});
    } else {
      report_append(report, 0, "bytes %u-%u", std::uint32_t{timing.field->first},
                    std::uint32_t{timing.field->last});
    }
    if (!timing.note.empty()) report_append(report, 0, ": ");
  }
  if (!timing.note.empty()) report_append(report, 0, "%s", timing.note);
  report_append(report, 0, "\n");
}

void report_family_text(Report& report, const FamilyTimings& family) {
  if (family.state == FamilyState::NoMode) {
    report_append(report, 0, "%s: no mode supported\n", family.name);
  } else {
    report_append(report, 0, "%s: mode %u", family.name, static_cast<std::uint32_t>(family.mode));
    if (family.rate != 0) report_append(report, 0, ", %u %s", std::uint32_t{family.rate}, family.rate_unit);
    if (family.mask != 0) {
      report_append(report, 0, " (modes ");
      report_mode_list(report, family.mask);
      report_append(report, 0, ")");
    }
    report_append(report, 0, "\n");
  }
  if (!family.announced && family.mask != 0)
    report_append(report, 0, " note: the page's features do not announce %s\n", family.name);
  if (family.asked && !family.supported && family.state != FamilyState::NotApplied) {
    report_append(report, 0, " note: the page does not support mode %u\n",
                  static_cast<std::uint32_t>(family.mode));
  }
  switch (family.state) {
    case FamilyState::Timings:
      for (const Timing& timing : family.timings()) report_timing_line(report, timing);
      break;
    case FamilyState::NoMode:
      break;
    case FamilyState::NoModeTable:
      report_append(report, 0, " note: mode %u has no table in the reference\n",
                    static_cast<std::uint32_t>(family.mode));
      break;
    case FamilyState::NoTable:
      report_append(report, 0, " rates:");
      for (unsigned bit = 0; bit < 32; ++bit) {
        if ((family.mask >> bit & 1U) == 0) continue;
        const std::uint32_t rate = timing_family(*family.info, 1U << bit).fastest_rate;
        if (rate == 0) {
          report_append(report, 0, " %u:?", bit);
        } else {
          report_append(report, 0, " %u:%u", bit, rate);
        }
      }
      report_append(report, 0, " %s\n", family.rate_unit);
      report_append(report, 0, " note: the standard's %s parameters are not in the reference\n", family.name);
      break;
    case FamilyState::NotApplied:
      report_append(report, 0, " note: not applied: JEDEC's speed grades are not ONFI's timing modes\n");
      break;
  }
}

void report_controller_text(Report& report, const ControllerSettings& settings, Layout layout) {
  report_append(report, 0, "Controller:\n");
  report_append(report, 0, "Page data : %u\n", settings.data_bytes);
  report_append(report, 0, "Page spare: %u\n", settings.spare_bytes);
  report_append(report, 0, "Page/Block: %u\n", settings.pages_per_block);
  report_append(report, 0, "Block/LUN : %u\n", settings.blocks_per_lun);
  report_append(report, 0, "LUNs      : %u\n", settings.luns);
  report_append(report, 0, "Planes    : %u\n", settings.planes);
  report_append(report, 0, "Bus width : %u\n", settings.bus_width);
  report_append(report, 0, "Row cycles: %u\n", settings.row_cycles);
  report_append(report, 0, "Col cycles: %u\n", settings.column_cycles);
  const EccText& ecc = ecc_text(settings.ecc_source);
  const std::string_view from = layout == Layout::Jedec && !ecc.jedec.empty() ? ecc.jedec : ecc.onfi;
  if (settings.ecc_known()) {
    report_append(report, 0, "ECC bits  : %u\n", settings.ecc_bits);
    report_append(report, 0, "Codeword  : %u\n", settings.ecc_codeword);
  } else {
    report_append(report, 0, "ECC bits  : unknown\n");
    report_append(report, 0, "Codeword  : unknown\n");
  }
  report_append(report, 0, "ECC from  : %s\n", from);
  report_append(report, 0, "Device tree:\n");
  report_append(report, 0, " nand-bus-width = <%u>;\n", settings.bus_width);
  if (settings.ecc_known()) {
    report_append(report, 0, " nand-ecc-strength = <%u>;\n", settings.ecc_bits);
    report_append(report, 0, " nand-ecc-step-size = <%u>;\n", settings.ecc_codeword);
  } else {
    report_append(report, 0, " /* nand-ecc-strength, nand-ecc-step-size: unknown */\n");
  }
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
    report_json_text(report, "family", family.name);
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
    report_json_text(report, "rate_unit", family.rate_unit);
    report_array_begin(report, "parameters");
    for (const Timing& timing : family.timings()) {
      report_object_begin(report, "");
      report_json_text(report, "name", timing.name);
      report_json_text(report, "limit", limit_name(timing.limit));
      report_json_literal(report, "ns", ns_text(timing.ps).view());
      report_json_text(report, "source", source_name(timing.source));
      report_object_end(report);
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
  const EccText& ecc = ecc_text(settings.ecc_source);
  report_object_begin(report, "ecc");
  if (known) {
    report_json_number(report, "bits", settings.ecc_bits);
    report_json_number(report, "codeword_bytes", settings.ecc_codeword);
    report_json_text(report, "source", settings.ecc_source == EccSource::Page ? "page" : "extended_page");
    report_json_null(report, "unknown_reason");
  } else {
    report_json_null(report, "bits");
    report_json_null(report, "codeword_bytes");
    report_json_null(report, "source");
    report_json_text(report, "unknown_reason", ecc.reason);
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
