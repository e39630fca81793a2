#include "onfi/onfi.h"

namespace tolvik::detail {

std::size_t decode_onfi_page(const ParamPage& page, std::uint16_t computed_crc, Report& report) {
  report_onfi_identification(page, report, computed_crc);
  report_onfi_organisation(page, report);
  report_onfi_timing_modes(page, report);
  report_onfi_electrical(page, report, computed_crc);
  return report.length;
}

}  // namespace tolvik::detail
