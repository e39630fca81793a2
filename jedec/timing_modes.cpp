// Interface timing modes of a JEDEC page with the top speed of each, and the
// synchronous DDR features.
#include <iterator>

#include "decode/page.h"
#include "jedec/jedec.h"
#include "jedec/layout.h"

namespace tolvik {
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

// A family's line: only for a non-zero mask, closed even without a speed.
void report_modes(Report& report, Format<std::uint32_t> head, std::uint32_t mask, SpeedTable speeds) {
  if (mask == 0) return;
  report_append(report, 1, head, mask);
  report_top_speed(report, 1, mask, speeds, "upto %s MHz");
  report_append(report, 1, ")\n");
}

}  // namespace

void report_jedec_timing_modes(const ParamPage& page, Report& report) {
  report_modes(report, "Async     : 0x%x (", page_le16(page, kAsyncModes), kAsyncSpeeds);
  report_modes(report, "ToggleDDR2: 0x%03x (", page_le16(page, kToggleDdr2Modes), kToggleDdr2Speeds);
  report_modes(report, "Sync-DDR  : 0x%x (", page_le16(page, kSyncDdrModes), kSyncDdrSpeeds);
  report_modes(report, "ToggleDDR3: 0x%03x (", page_le32(page, kToggleDdr3Modes), kToggleDdr34Speeds);
  report_modes(report, "ToggleDDR4: 0x%03x (", page_le32(page, kToggleDdr4Modes), kToggleDdr34Speeds);

  const std::uint32_t features = page_u8(page, kSyncDdrFeatures);
  if (features != 0) {
    report_append(report, 2, "Synchronous DDR features: 0x%02x\n", features);
    report_flags(report, features, kSyncDdrFeatureFlags);
  }
}

}  // namespace tolvik
