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
  report_object_begin(report, "electrical");
  report_field(report, 1, "max_t_prog_us", "Max tProg : %u\n", page_le16(page, kTProg));
  report_field(report, 1, "max_t_bers_us", "Max tBers : %u\n", page_le16(page, kTBers));
  report_field(report, 1, "max_t_r_us", "Max tR    : %u\n", page_le16(page, kTR));
  report_field(report, 2, "min_t_rmp_us", "Min tRmp  : %u\n", page_le16(page, kTRmp));
  report_field(report, 2, "min_t_ccs_ns", "Min tCCS  : %u\n", page_le16(page, kTCcs));
  report_field(report, 2, "typ_io_capacitance_pf", "Typ I/O C : %.1f\n",
               tenths(page_le16(page, kIoCapacitanceTyp)));
  report_field(report, 2, "typ_input_capacitance_pf", "Typ Inp C : %.1f\n",
               tenths(page_le16(page, kInputCapacitanceTyp)));
  report_field(report, 2, "typ_clock_capacitance_pf", "Typ CK C  : %.1f\n",
               tenths(page_le16(page, kClockCapacitanceTyp)));
  report_field(report, 2, "min_t_adl_ns", "tADL,ns   : %u\n", page_le16(page, kTAdl));

  const std::uint32_t drivers = page_u8(page, kDriverStrength);
  if (drivers != 0) {
    report_flag_field(report, 2, "driver_strength", "Driver strength support: 0x%02x\n", drivers,
                      kDriverStrengthFlags);
  } else {
    report_json_null(report, "driver_strength");
  }

  report_field(report, 2, "valid_blocks_at_start", "Valid Beg : %u\n", page_u8(page, kValidBlocks));
  // Unlike the blocks' endurance, this figure is printed as computed.
  report_field(report, 2, "valid_block_endurance_cycles", "ValidEndur: %u\n",
               scaled_value(page_u8(page, kValidMantissa), page_u8(page, kValidExponent)));
  report_object_end(report);
}

// Only the blocks in use are elements of the array.
void report_jedec_ecc_blocks(const ParamPage& page, Report& report) {
  report_array_begin(report, "ecc_blocks");
  for (std::uint32_t k = 0; k < kEccBlockCount; ++k) {
    const std::size_t block = kEccBlocks + k * kEccBlockSize;
    if (ecc_block_empty(page, block)) continue;
    report_object_begin(report, "");
    report_field(report, 1, "index", "ECC and endurance information block %u:\n", k);
    report_field(report, 1, "bits", "BitCorrECC: %u\n", page_u8(page, block + kEccBits));
    report_field(report, 1, "codeword_size", "CodewordSz: %u\n", page_u8(page, block + kEccCodewordSize));
    report_field(report, 1, "max_bad_blocks_per_lun", "MaxBB/LUN : %u\n",
                 page_le16(page, block + kEccMaxBadBlocks));
    report_endurance(report, 0, page_u8(page, block + kEccEnduranceMantissa),
                     page_u8(page, block + kEccEnduranceExponent));
    report_object_end(report);
  }
  report_array_end(report);
}

void report_jedec_vendor(const ParamPage& page, Report& report, std::uint16_t computed_crc) {
  report_object_begin(report, "vendor");
  report_field(report, 2, "vendor_revision", "Vendor Rev: %u\n", page_le16(page, kVendorRevision));
  report_object_end(report);
  if ((page_u8(page, kRevision) >> kRevision10Bit & 1U) != 0) {
    report_crc_line(report, 1, page_le16(page, kCrc), computed_crc);
  }
}

}  // namespace tolvik::detail
