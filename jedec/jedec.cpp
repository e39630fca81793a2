#include "jedec/jedec.h"

namespace tolvik::detail {

std::size_t decode_jedec_page(const ParamPage& page, std::uint16_t computed_crc, Report& report) {
  report_jedec_identification(page, report, computed_crc);
  report_jedec_organisation(page, report);
  report_jedec_timing_modes(page, report);
  report_jedec_electrical(page, report);
  report_jedec_ecc_blocks(page, report);
  report_jedec_vendor(page, report, computed_crc);
  return report.length;
}

}  // namespace tolvik::detail
