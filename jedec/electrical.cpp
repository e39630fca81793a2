// Array times, pin capacitances, driver strengths, valid blocks, the ECC and
// endurance blocks, the vendor revision and the closing CRC line of a JEDEC
// page.
#include "decode/page.h"
#include "jedec/jedec.h"
#include "jedec/layout.h"

namespace tolvik::detail {
namespace {

using namespace jedec;

// Bits 5-7 show only in the value.
constexpr FlagText kDriverStrengthFlags[] = {
    {0, 2, " supports 35 Ohm and 50 Ohm drive strength, Default is 35 Ohm\n"},
    {1, 2, " supports 25 Ohm drive strength\n"},
    {2, 2, " supports 18 Ohm drive strength\n"},
    {3, 2, " supports 37.5 Ohm and 50 Ohm drive strength, Default is 37.5 Ohm\n"},
    {4, 2, " supports 35 Ohm, 37.5 Ohm and 50 Ohm drive strength, Default is 35 Ohm\n"},
};

static_assert(flags_ascending(kDriverStrengthFlags));

// A block of all-zero bytes is unused, reserved bytes included.
bool ecc_block_empty(const ParamPage& page, std::size_t block) {
  for (std::size_t i = 0; i < kEccBlockSize; ++i) {
    if (page_u8(page, block + i) != 0) return false;
  }
  return true;
}

}  // namespace

void report_jedec_electrical(const ParamPage& page, Report& report) {
  report_append(report, 1, "Max tProg : %u\n", page_le16(page, kTProg));
  report_append(report, 1, "Max tBers : %u\n", page_le16(page, kTBers));
  report_append(report, 1, "Max tR    : %u\n", page_le16(page, kTR));
  report_append(report, 2, "Min tRmp  : %u\n", page_le16(page, kTRmp));
  report_append(report, 2, "Min tCCS  : %u\n", page_le16(page, kTCcs));
  report_append(report, 2, "Typ I/O C : %.1f\n", tenths(page_le16(page, kIoCapacitanceTyp)));
  report_append(report, 2, "Typ Inp C : %.1f\n", tenths(page_le16(page, kInputCapacitanceTyp)));
  report_append(report, 2, "Typ CK C  : %.1f\n", tenths(page_le16(page, kClockCapacitanceTyp)));
  report_append(report, 2, "tADL,ns   : %u\n", page_le16(page, kTAdl));

  const std::uint32_t drivers = page_u8(page, kDriverStrength);
  if (drivers != 0) {
    report_append(report, 2, "Driver strength support: 0x%02x\n", drivers);
    report_flags(report, drivers, kDriverStrengthFlags);
  }

  report_append(report, 2, "Valid Beg : %u\n", page_u8(page, kValidBlocks));
  // Unlike the blocks' endurance, this figure is printed as computed.
  report_append(report, 2, "ValidEndur: %u\n",
                scaled_value(page_u8(page, kValidMantissa), page_u8(page, kValidExponent)));
}

void report_jedec_ecc_blocks(const ParamPage& page, Report& report) {
  for (std::uint32_t k = 0; k < kEccBlockCount; ++k) {
    const std::size_t block = kEccBlocks + k * kEccBlockSize;
    if (ecc_block_empty(page, block)) continue;
    report_append(report, 1, "ECC and endurance information block %u:\n", k);
    report_append(report, 1, "BitCorrECC: %u\n", page_u8(page, block + kEccBits));
    report_append(report, 1, "CodewordSz: %u\n", page_u8(page, block + kEccCodewordSize));
    report_append(report, 1, "MaxBB/LUN : %u\n", page_le16(page, block + kEccMaxBadBlocks));
    report_endurance(report, 0, page_u8(page, block + kEccEnduranceMantissa),
                     page_u8(page, block + kEccEnduranceExponent));
  }
}

void report_jedec_vendor(const ParamPage& page, Report& report, std::uint16_t computed_crc) {
  report_append(report, 2, "Vendor Rev: %u\n", page_le16(page, kVendorRevision));
  if ((page_u8(page, kRevision) >> kRevision10Bit & 1U) != 0) {
    report_crc_line(report, 1, page_le16(page, kCrc), computed_crc);
  }
}

}  // namespace tolvik::detail
