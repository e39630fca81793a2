// Interface timing modes of a JEDEC page with the top speed of each, and the
// synchronous DDR features.
#include <iterator>

#include "decode/page.h"
#include "jedec/jedec.h"
#include "jedec/layout.h"

namespace tolvik::detail {
namespace {

using namespace jedec;

// Speeds in MHz by mode bit; the last entry is the family's top bit.
constexpr const char* kAsyncSpeeds[] = {"10", "20", "28", "33", "40", "50"};
constexpr const char* kToggleDdr2Speeds[] = {"33",  "40",  "66",  "83",  "100", "133", "166",
                                             "200", "266", "333", "400", "533", "667", "800"};
constexpr const char* kSyncDdrSpeeds[] = {"20", "33", "50", "66", "83", "100"};
// Toggle DDR3 and DDR4 share one table; note bit 12 is 600 here, not 667.
constexpr const char* kToggleDdr34Speeds[] = {"33",  "40",   "66",   "83",   "100",  "133",  "166",
                                              "200", "266",  "333",  "400",  "533",  "600",  "800",
                                              "900", "1000", "1100", "1200", "1400", "1600", "1800"};

static_assert(std::size(kAsyncSpeeds) == 6 && std::size(kToggleDdr2Speeds) == 14 &&
              std::size(kSyncDdrSpeeds) == 6 && std::size(kToggleDdr34Speeds) == 21);

// Bits 2-7 show only in the value.
constexpr FlagText kSyncDdrFeatureFlags[] = {
    {0, 2, " tCAD value to use\n"},
    {1, 2, " Device supports CK stopped for data input\n"},
};

static_assert(flags_ascending(kSyncDdrFeatureFlags));

}  // namespace

void report_jedec_timing_modes(const ParamPage& page, Report& report) {
  constexpr Format<const char*> kMhz = "upto %s MHz";
  const std::uint32_t async = page_le16(page, kAsyncModes);
  const std::uint32_t toggle_ddr2 = page_le16(page, kToggleDdr2Modes);
  const std::uint32_t sync_ddr = page_le16(page, kSyncDdrModes);
  const std::uint32_t toggle_ddr3 = page_le32(page, kToggleDdr3Modes);
  const std::uint32_t toggle_ddr4 = page_le32(page, kToggleDdr4Modes);
  report_object_begin(report, "timing_modes");
  report_timing_mode_line(report, "async", "Async     : 0x%x (", async, kAsyncSpeeds, kMhz);
  report_timing_mode_line(report, "toggle_ddr2", "ToggleDDR2: 0x%03x (", toggle_ddr2, kToggleDdr2Speeds,
                          kMhz);
  report_timing_mode_line(report, "sync_ddr", "Sync-DDR  : 0x%x (", sync_ddr, kSyncDdrSpeeds, kMhz);
  report_timing_mode_line(report, "toggle_ddr3", "ToggleDDR3: 0x%03x (", toggle_ddr3, kToggleDdr34Speeds,
                          kMhz);
  report_timing_mode_line(report, "toggle_ddr4", "ToggleDDR4: 0x%03x (", toggle_ddr4, kToggleDdr34Speeds,
                          kMhz);

  const std::uint32_t features = page_u8(page, kSyncDdrFeatures);
  if (features != 0) {
    report_flag_field(report, 2, "sync_ddr_features", "Synchronous DDR features: 0x%02x\n", features,
                      kSyncDdrFeatureFlags);
  } else {
    report_json_null(report, "sync_ddr_features");
  }
  report_object_end(report);
}

}  // namespace tolvik::detail
