// Rendering a parsed page or dump: the text of the view asked for, or one
// JSON document with every field and the members of the views asked for.
#include "decode/decode.h"
#include "tolvik.h"

namespace tolvik {
namespace {

using namespace detail;

// The members every view adds to the JSON document after the page's.
void json_views(const PageModel& page, const Dump* dump, const RenderOptions& options, Report& report) {
  const ExtendedPage* extended = dump != nullptr ? &dump->extended : nullptr;
  if (options.check && options.findings != nullptr) {
    report_findings_json(*options.findings, report);
  } else if (options.check) {
    Findings findings;
    if (dump != nullptr) {
      check_dump(*dump, findings);
    } else {
      check_page(page, findings);
    }
    report_findings_json(findings, report);
  }
  if (options.view == View::Map) report_map_json(page, dump, report);
  if (options.view == View::Timings) report_timings_json(page, extended, options.timing_mode, report);
}

void text_view(const PageModel& page, const Dump* dump, const RenderOptions& options, Report& report) {
  const ExtendedPage* extended = dump != nullptr ? &dump->extended : nullptr;
  switch (options.view) {
    case View::Report:
      if (dump != nullptr) {
        report_dump_text(*dump, report);
      } else {
        report_page_text(page, report);
      }
      break;
    case View::Map:
      report_map_text(page, dump, report);
      break;
    case View::Timings:
      report_timings_text(page, extended, options.timing_mode, report);
      break;
  }
}

DecodeResult render(const PageModel& page, const Dump* dump, std::span<char> out,
                    const RenderOptions& options) {
  Report report{out, 0, options.level, options.output};
  if (options.output == Output::Json) {
    report_object_begin(report, "");
    report_json_number(report, "format_version", kJsonFormatVersion);
    report_json_text(report, "version", kVersion);
    if (dump != nullptr) {
      report_dump_json(*dump, report);
    } else {
      report_page_json(page, report);
    }
    json_views(page, dump, options, report);
    report_object_end(report);
  } else {
    text_view(page, dump, options, report);
  }
  DecodeResult result = report_result(report, page);
  if (dump != nullptr) result.verified = result.crc_ok && dump_extended_ok(*dump);
  return result;
}

}  // namespace

DecodeResult render_page(const PageModel& page, std::span<char> out, const RenderOptions& options) {
  return render(page, nullptr, out, options);
}

DecodeResult render_dump(const Dump& dump, std::span<char> out, const RenderOptions& options) {
  return render(dump.page, &dump, out, options);
}

DecodeResult decode_page(const ParamPage& page, std::span<char> buffer, int level, Output output) {
  PageModel model;
  parse_page(page.bytes, model);
  return render_page(model, buffer, {level, output});
}

std::size_t decode_parameter_page(const ParamPage& page, std::span<char> buffer, int level) {
  return decode_page(page, buffer, level, Output::Text).length;
}

DecodeResult decode_dump(std::span<const std::uint8_t> dump, std::span<char> buffer, int level,
                         Output output) {
  Dump model;
  parse_dump(dump, model);
  return render_dump(model, buffer, {level, output});
}

}  // namespace tolvik
