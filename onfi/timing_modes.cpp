// Timing-mode support of an ONFI page: one line per interface family with a
// non-zero mask, naming the fastest mode's speed.
#include <iterator>

#include "decode/page.h"
#include "onfi/layout.h"
#include "onfi/onfi.h"

namespace tolvik::detail {
namespace {

using namespace onfi;

// Speeds by mode bit; each table's last row is the family's top bit.
constexpr const char* kAsyncSpeeds[] = {"10", "20", "28", "33", "40", "50"};
constexpr const char* kNvDdrSpeeds[] = {"40", "66", "100", "133", "166", "200"};
constexpr const char* kNvDdr2Speeds[] = {"66",  "80",  "133", "166", "200", "266",
                                         "333", "400", "533", "667", "800"};
constexpr const char* kNvDdr3Speeds[] = {"166",  "200",  "266",  "333",  "400",  "533",  "667",
                                         "800",  "1066", "1200", "1333", "1466", "1600", "1800",
                                         "2000", "2200", "2400", "2800", "3200", "3600"};
constexpr const char* kNvLpddr4Speeds[] = {"166",  "200",  "266",  "333",  "400",  "533",  "667",
                                           "800",  "1066", "1200", "1333", "1466", "1600", "1800",
                                           "2000", "2200", "2400", "2800", "3200", "3600"};

static_assert(std::size(kAsyncSpeeds) == 6 && std::size(kNvDdrSpeeds) == 6 &&
              std::size(kNvDdr2Speeds) == 11 && std::size(kNvDdr3Speeds) == 20 &&
              std::size(kNvLpddr4Speeds) == 20);

}  // namespace

void report_onfi_timing_modes(const ParamPage& page, Report& report) {
  const bool late_revision = (page_le16(page, kRevision) & kLateRevisions) != 0;

  const std::uint32_t async = page_le16(page, kAsyncModes);
  const std::uint32_t nv_ddr = page_u8(page, kNvDdrModes);
  const std::uint32_t nv_ddr2 = page_u8(page, kNvDdr2ModesHigh) << 8 | page_u8(page, kNvDdr2Modes);
  // Modes 16 and up of NV-DDR3 came with revision 5.0; older pages may
  // hold anything in bytes 116-117.
  std::uint32_t nv_ddr3 = page_le16(page, kNvDdr3Modes);
  if (late_revision) nv_ddr3 |= page_le16(page, kNvDdr3ModesHigh) << 16;
  const std::uint32_t nv_lpddr4 = page_u8(page, kNvLpddr4ModesHigh) << 16 | page_le16(page, kNvLpddr4Modes);

  report_object_begin(report, "timing_modes");
  report_timing_mode_line(report, "async", "Async     : 0x%03x (", async, kAsyncSpeeds, "upto %s MHz");
  report_timing_mode_line(report, "nv_ddr", "NV-DDR    : 0x%03x (", nv_ddr, kNvDdrSpeeds, "upto %s MT");
  report_timing_mode_line(report, "nv_ddr2", "NV-DDR2   : 0x%03x (", nv_ddr2, kNvDdr2Speeds, "upto %s MT");
  report_timing_mode_line(report, "nv_ddr3", "NV-DDR3   : 0x%03x (", nv_ddr3, kNvDdr3Speeds, "upto %s MT");
  report_timing_mode_line(report, "nv_lpddr4", "NV-LPDDR4 : 0x%03x (", nv_lpddr4, kNvLpddr4Speeds,
                          "upto %s MT");
  report_object_end(report);
}

}  // namespace tolvik::detail
