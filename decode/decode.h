// Recognition and decoding of one page image, shared by the page and the
// whole-dump entry points.
#pragma once

#include <cstdint>

#include "decode/report.h"
#include "tolvik.h"

namespace tolvik::detail {

// A page's layout, by its signature, and its stored and computed CRC.
struct PageCheck {
  Layout layout = Layout::None;
  std::uint16_t stored = 0;
  std::uint16_t computed = 0;
};

PageCheck check_page(const ParamPage& page);

// The layout's report of the page (nothing without a layout), appended to
// report at its level and in its output.
void report_page(const ParamPage& page, const PageCheck& check, Report& report);

// The caller's view of a finished report of this page.
DecodeResult report_result(const Report& report, const PageCheck& check);

}  // namespace tolvik::detail
