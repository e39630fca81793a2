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

// The views in place of the report: text, or the JSON members they add. The
// extended page is the one a whole dump used, or null.
void report_map_text(const PageModel& page, const ExtendedPage* extended, Report& report);
void report_map_json(const PageModel& page, const ExtendedPage* extended, Report& report);
void report_timings_text(const PageModel& page, const ExtendedPage* extended, std::string_view mode,
                         Report& report);
void report_timings_json(const PageModel& page, const ExtendedPage* extended, std::string_view mode,
                         Report& report);
// The check's members of the JSON document: "check" and "findings".
void report_findings_json(const Findings& findings, Report& report);

// The caller's view of a finished report of this page.
DecodeResult report_result(const Report& report, const PageModel& page);

// The CRC of the page of the model's layout (all zero without one).
PageCrc model_crc(const PageModel& page);

}  // namespace tolvik::detail
