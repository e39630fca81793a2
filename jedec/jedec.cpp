#include "jedec/jedec.h"

namespace tolvik::detail {

std::size_t decode_jedec_page(const JedecPage& page, Report& report) {
  report_jedec_identification(page, report);
  report_jedec_organisation(page, report);
  report_jedec_timing_modes(page, report);
  report_jedec_electrical(page, report);
  report_jedec_ecc_blocks(page, report);
  report_jedec_vendor(page, report);
  return report.length;
}

}  // namespace tolvik::detail
