// Electrical parameters of an ONFI page: warm-up cycles, array times,
// capacitances, the vendor block and the closing CRC verdict.
#include "decode/page.h"
#include "onfi/layout.h"
#include "onfi/onfi.h"

namespace tolvik::detail {

using namespace onfi;

void report_onfi_electrical(const OnfiPage& page, Report& report) {
  const std::uint32_t warmup = page[WarmupCycles].raw;
  report_append(report, 2, "warmup i/o: %u/%u\n", warmup >> 4, warmup & 0x0FU);

  report_append(report, 1, "Max tProg : %u\n", u32(page[TProg]));
  report_append(report, 1, "Max tBers : %u\n", u32(page[TBers]));
  report_append(report, 1, "Max tR    : %u\n", u32(page[TR]));
  report_append(report, 2, "Min tCCS  : %u\n", u32(page[TCcs]));
  // Labelled a minimum, though the field is the maximum multi-plane read time.
  report_append(report, 2, "Min tRmp  : %u\n", u32(page[TRMultiPlane]));
  report_append(report, 2, "Min tAdl  : %u\n", u32(page[TAdl]));

  report_append(report, 2, "Max I/O C : %u\n", u32(page[IoCapacitanceMax]));
  report_append(report, 2, "Typ CLK C : %.1f\n", tenths(page[ClkCapacitanceTyp].value));
  report_append(report, 2, "Typ I/O C : %.1f\n", tenths(page[IoCapacitanceTyp].value));
  report_append(report, 2, "Typ Inp C : %.1f\n", tenths(page[InputCapacitanceTyp].value));
  report_append(report, 2, "Max Inp C : %u\n", u32(page[InputCapacitanceMax]));

  // Bytes 253 and 180 of every maker's vendor block, under the names Micron
  // gives them.
  report_append(report, 1, "Vendor Block:\n");
  report_append(report, 1, "VendorRev : %u\n", u32(page[VendorRevision]));
  report_append(report, 1, "ParPageRev: %u\n", std::uint32_t{page.bytes[kParamPageRevision]});
  report_append(report, 1, "ReadRetry : %u\n", std::uint32_t{page.bytes[kReadRetry]});

  report_crc_line(report, 1, page.crc);
}

}  // namespace tolvik::detail
