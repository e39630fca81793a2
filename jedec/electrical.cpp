// Array times, pin capacitances, driver strengths, valid blocks, the ECC and
// endurance blocks, the vendor revision and the closing CRC line of a JEDEC
// page.
#include "decode/page.h"
#include "jedec/jedec.h"

namespace tolvik::detail {

using namespace jedec;

void report_jedec_electrical(const JedecPage& page, Report& report) {
  report_append(report, 1, "Max tProg : %u\n", u32(page[TProg]));
  report_append(report, 1, "Max tBers : %u\n", u32(page[TBers]));
  report_append(report, 1, "Max tR    : %u\n", u32(page[TR]));
  report_append(report, 2, "Min tRmp  : %u\n", u32(page[TRMultiPlane]));
  report_append(report, 2, "Min tCCS  : %u\n", u32(page[TCcs]));
  report_append(report, 2, "Typ I/O C : %.1f\n", tenths(page[IoCapacitanceTyp].value));
  report_append(report, 2, "Typ Inp C : %.1f\n", tenths(page[InputCapacitanceTyp].value));
  report_append(report, 2, "Typ CK C  : %.1f\n", tenths(page[ClockCapacitanceTyp].value));
  report_append(report, 2, "tADL,ns   : %u\n", u32(page[TAdl]));
  if (page[DriverStrength].value != 0) {
    report_flag_field(report, 2, "Driver strength support: 0x%02x\n", page[DriverStrength],
                      kFields[DriverStrength].bits());
  }
  report_append(report, 2, "Valid Beg : %u\n", u32(page[GuaranteedValidBlocks]));
  // Unlike the blocks' endurance, this figure is printed as computed.
  report_append(report, 2, "ValidEndur: %u\n", scaled_value(page[ValidBlockEndurance]));
}

// A block of all-zero bytes is unused, its reserved bytes included.
bool jedec_ecc_block_empty(const JedecPage& page, unsigned block) {
  for (unsigned f = 0; f < kEccBlockFields; ++f) {
    if (page[ecc_field(block, static_cast<EccField>(f))].raw != 0) return false;
  }
  return true;
}

void report_jedec_ecc_blocks(const JedecPage& page, Report& report) {
  for (unsigned k = 0; k < kEccBlockCount; ++k) {
    if (jedec_ecc_block_empty(page, k)) continue;
    report_append(report, 1, "ECC and endurance information block %u:\n", k);
    report_append(report, 1, "BitCorrECC: %u\n", u32(page[ecc_field(k, EccBits)]));
    report_append(report, 1, "CodewordSz: %u\n", u32(page[ecc_field(k, EccCodewordSize)]));
    report_append(report, 1, "MaxBB/LUN : %u\n", u32(page[ecc_field(k, EccMaxBadBlocks)]));
    report_endurance(report, 0, page[ecc_field(k, EccEndurance)]);
  }
}

void report_jedec_vendor(const JedecPage& page, Report& report) {
  report_append(report, 2, "Vendor Rev: %u\n", u32(page[VendorRevision]));
  if ((page.revision & kRevision10) != 0) report_crc_line(report, 1, page.crc);
}

}  // namespace tolvik::detail
