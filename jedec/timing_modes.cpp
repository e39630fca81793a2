// Interface timing modes of a JEDEC page with the top speed of each, and the
// synchronous DDR features.
#include "jedec/jedec.h"

namespace tolvik::detail {

using namespace jedec;

void report_jedec_timing_modes(const JedecPage& page, Report& report) {
  constexpr Format<const char*> kMhz = "upto %s MHz";
  report_timing_mode_line(report, "Async     : 0x%x (", page.families[AsyncSdr], kMhz);
  report_timing_mode_line(report, "ToggleDDR2: 0x%03x (", page.families[ToggleDdr2], kMhz);
  report_timing_mode_line(report, "Sync-DDR  : 0x%x (", page.families[SyncDdr], kMhz);
  report_timing_mode_line(report, "ToggleDDR3: 0x%03x (", page.families[ToggleDdr3], kMhz);
  report_timing_mode_line(report, "ToggleDDR4: 0x%03x (", page.families[ToggleDdr4], kMhz);
  if (page[SyncDdrFeatures].value != 0) {
    report_flag_field(report, 2, "Synchronous DDR features: 0x%02x\n", page[SyncDdrFeatures],
                      kFields[SyncDdrFeatures].bits());
  }
}

}  // namespace tolvik::detail
