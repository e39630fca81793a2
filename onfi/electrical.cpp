// Electrical parameters of an ONFI page: warm-up cycles, array times,
// capacitances, the vendor block and the closing CRC verdict.
#include "decode/page.h"
#include "onfi/layout.h"
#include "onfi/onfi.h"

namespace tolvik::detail {

using namespace onfi;

void report_onfi_electrical(const ParamPage& page, Report& report, std::uint16_t computed_crc) {
  const std::uint32_t warmup = page_u8(page, kWarmupCycles);
  report_append(report, 2, "warmup i/o: %u/%u\n", warmup >> 4, warmup & 0x0FU);

  report_append(report, 1, "Max tProg : %u\n", page_le16(page, kTProg));
  report_append(report, 1, "Max tBers : %u\n", page_le16(page, kTBers));
  report_append(report, 1, "Max tR    : %u\n", page_le16(page, kTR));
  report_append(report, 2, "Min tCCS  : %u\n", page_le16(page, kTCcs));
  report_append(report, 2, "Min tRmp  : %u\n", page_le16(page, kTRmp));
  report_append(report, 2, "Min tAdl  : %u\n", page_le16(page, kTAdl));

  report_append(report, 2, "Max I/O C : %u\n", page_u8(page, kIoCapacitanceMax));
  report_append(report, 2, "Typ CLK C : %.1f\n", tenths(page_le16(page, kClkCapacitanceTyp)));
  report_append(report, 2, "Typ I/O C : %.1f\n", tenths(page_le16(page, kIoCapacitanceTyp)));
  report_append(report, 2, "Typ Inp C : %.1f\n", tenths(page_le16(page, kInputCapacitanceTyp)));
  report_append(report, 2, "Max Inp C : %u\n", page_u8(page, kInputCapacitanceMax));

  report_append(report, 1, "Vendor Block:\n");
  report_append(report, 1, "VendorRev : %u\n", page_le16(page, kVendorRevision));
  report_append(report, 1, "ParPageRev: %u\n", page_u8(page, kParamPageRevision));
  report_append(report, 1, "ReadRetry : %u\n", page_u8(page, kReadRetry));

  report_crc_line(report, 1, page_le16(page, kCrc), computed_crc);
}

}  // namespace tolvik::detail
