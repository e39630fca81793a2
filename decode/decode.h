// Rendering a parsed page, shared by the page and the whole-dump entry
// points.
#pragma once

#include "decode/report.h"
#include "tolvik.h"

namespace tolvik::detail {

// The layout's text report of the page (nothing without a layout).
void report_page_text(const PageModel& page, Report& report);

// The page's members of the JSON document (format 2): its layout, CRC,
// identification and every field; nulls without a layout.
void report_page_json(const PageModel& page, Report& report);

// The text report and the JSON members of a whole dump.
void report_dump_text(const Dump& dump, Report& report);
void report_dump_json(const Dump& dump, Report& report);
// The extended page is fine: none announced, or a valid copy (or the
// majority) of it used.
bool dump_extended_ok(const Dump& dump);

// Lines of the -a report that the byte map repeats: which copy of the page
// was decoded, where the extended page is (and why it was not read), which
// copy of it is used, and a section's line.
void report_page_choice(const Dump& dump, Report& report);
void report_extended_place(const ExtendedPage& epp, Report& report);
void report_extended_choice(const ExtendedPage& epp, Report& report);
void report_section_line(const EppSection& section, Report& report);

// The views in place of the report: text, or the JSON members they add. The
// extended page is the one a whole dump used, or null. The byte map takes
// the whole dump (or null), which says which copies were used.
void report_map_text(const PageModel& page, const Dump* dump, Report& report);
void report_map_json(const PageModel& page, const Dump* dump, Report& report);
void report_timings_text(const PageModel& page, const ExtendedPage* extended, std::string_view mode,
                         Report& report);
void report_timings_json(const PageModel& page, const ExtendedPage* extended, std::string_view mode,
                         Report& report);
// A field's value as the byte map and the comparison write it, from the
// field's own bytes: decoded, with its unit; a flag word with the names of
// its set bits (for the page's revision word); a stored CRC with the
// verdict, where one is given. Raw ranges (reserved, vendor) write nothing.
struct ValueContext {
  std::uint16_t revision = 0;
  const PageCrc* crc = nullptr;
};
void report_field_value(Report& report, const FieldInfo& info, const Field& field,
                        std::span<const std::uint8_t> bytes, const ValueContext& context);
// The same value as a JSON member (an element, with an empty name), as the
// document writes the field; text as a string, raw ranges as hex.
void report_field_json(Report& report, std::string_view name, const FieldInfo& info, const Field& field,
                       std::span<const std::uint8_t> bytes, std::uint16_t revision);
// Bytes as one JSON string of hex digit pairs.
void report_json_hex(Report& report, std::string_view name, std::span<const std::uint8_t> bytes);

// A difference of two pages of one layout: its line of the text comparison
// (its range, its name, the value in A, the value in B), or its element of
// the JSON comparison's array.
void report_difference_text(const PageModel& a, const PageModel& b, const Difference& difference,
                            Report& report);
void report_difference_json(const PageModel& a, const PageModel& b, const Difference& difference,
                            Report& report);

// The check's members of the JSON document: "check" and "findings".
void report_findings_json(const Findings& findings, Report& report);

// The caller's view of a finished report of this page.
DecodeResult report_result(const Report& report, const PageModel& page);

// The CRC of the page of the model's layout (all zero without one).
PageCrc model_crc(const PageModel& page);

}  // namespace tolvik::detail
