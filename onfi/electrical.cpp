// Electrical parameters of an ONFI page: warm-up cycles, array times,
// capacitances, the vendor block and the closing CRC verdict.
#include "decode/page.h"
#include "onfi/layout.h"
#include "onfi/onfi.h"

namespace tolvik::detail {

using namespace onfi;

void report_onfi_electrical(const ParamPage& page, Report& report, std::uint16_t computed_crc) {
  report_object_begin(report, "electrical");
  const std::uint32_t warmup = page_u8(page, kWarmupCycles);
  report_field(report, 2, {"warmup_input_cycles", "warmup_output_cycles"}, "warmup i/o: %u/%u\n", warmup >> 4,
               warmup & 0x0FU);

  report_field(report, 1, "max_t_prog_us", "Max tProg : %u\n", page_le16(page, kTProg));
  report_field(report, 1, "max_t_bers_us", "Max tBers : %u\n", page_le16(page, kTBers));
  report_field(report, 1, "max_t_r_us", "Max tR    : %u\n", page_le16(page, kTR));
  report_field(report, 2, "min_t_ccs_ns", "Min tCCS  : %u\n", page_le16(page, kTCcs));
  report_field(report, 2, "min_t_rmp_us", "Min tRmp  : %u\n", page_le16(page, kTRmp));
  report_field(report, 2, "min_t_adl_ns", "Min tAdl  : %u\n", page_le16(page, kTAdl));

  report_field(report, 2, "max_io_capacitance_pf", "Max I/O C : %u\n", page_u8(page, kIoCapacitanceMax));
  report_field(report, 2, "typ_clock_capacitance_pf", "Typ CLK C : %.1f\n",
               tenths(page_le16(page, kClkCapacitanceTyp)));
  report_field(report, 2, "typ_io_capacitance_pf", "Typ I/O C : %.1f\n",
               tenths(page_le16(page, kIoCapacitanceTyp)));
  report_field(report, 2, "typ_input_capacitance_pf", "Typ Inp C : %.1f\n",
               tenths(page_le16(page, kInputCapacitanceTyp)));
  report_field(report, 2, "max_input_capacitance_pf", "Max Inp C : %u\n",
               page_u8(page, kInputCapacitanceMax));
  report_object_end(report);

  report_append(report, 1, "Vendor Block:\n");
  report_object_begin(report, "vendor");
  report_field(report, 1, "vendor_revision", "VendorRev : %u\n", page_le16(page, kVendorRevision));
  report_field(report, 1, "parameter_page_revision", "ParPageRev: %u\n", page_u8(page, kParamPageRevision));
  report_field(report, 1, "read_retry", "ReadRetry : %u\n", page_u8(page, kReadRetry));
  report_object_end(report);

  report_crc_line(report, 1, page_le16(page, kCrc), computed_crc);
}

}  // namespace tolvik::detail
