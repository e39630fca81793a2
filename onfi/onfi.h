// The ONFI layout's text report: one routine per section, each reading the
// parsed page.
#pragma once

#include <cstddef>

#include "decode/report.h"
#include "tolvik_model.h"

namespace tolvik::detail {

// Writes the whole ONFI report, section by section, and returns its length.
std::size_t decode_onfi_page(const OnfiPage& page, Report& report);

// The sections, in report order.
void report_onfi_identification(const OnfiPage& page, Report& report);
void report_onfi_organisation(const OnfiPage& page, Report& report);
void report_onfi_timing_modes(const OnfiPage& page, Report& report);
void report_onfi_electrical(const OnfiPage& page, Report& report);

}  // namespace tolvik::detail
