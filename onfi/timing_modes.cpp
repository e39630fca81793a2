// Timing-mode support of an ONFI page: one line per interface family with a
// non-zero mask, naming the fastest mode's speed.
#include "onfi/onfi.h"

namespace tolvik::detail {

using namespace onfi;

void report_onfi_timing_modes(const OnfiPage& page, Report& report) {
  constexpr Format<const char*> kMt = "upto %s MT";
  report_timing_mode_line(report, "Async     : 0x%03x (", page.families[Sdr], "upto %s MHz");
  report_timing_mode_line(report, "NV-DDR    : 0x%03x (", page.families[NvDdr], kMt);
  report_timing_mode_line(report, "NV-DDR2   : 0x%03x (", page.families[NvDdr2], kMt);
  report_timing_mode_line(report, "NV-DDR3   : 0x%03x (", page.families[NvDdr3], kMt);
  report_timing_mode_line(report, "NV-LPDDR4 : 0x%03x (", page.families[NvLpddr4], kMt);
}

}  // namespace tolvik::detail
