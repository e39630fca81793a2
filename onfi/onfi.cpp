#include "onfi/onfi.h"

namespace tolvik::detail {

std::size_t decode_onfi_page(const OnfiPage& page, Report& report) {
  report_onfi_identification(page, report);
  report_onfi_organisation(page, report);
  report_onfi_timing_modes(page, report);
  report_onfi_electrical(page, report);
  return report.length;
}

}  // namespace tolvik::detail
