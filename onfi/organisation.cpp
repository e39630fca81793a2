// Memory organisation of an ONFI page: sizes, geometry, cell type, endurance,
// programming limits, ECC, plane addressing and multi-plane attributes.
#include "decode/page.h"
#include "onfi/layout.h"
#include "onfi/onfi.h"

namespace tolvik::detail {
namespace {

using namespace onfi;

constexpr FlagText kMultiPlaneFlags[] = {
    {0, 2, " Overlapped / concurrent multi-plane support\n"},
    {1, 2, " no block address restrictions\n"},
    {2, 1, " program cache supported\n"},
    {3, 2, " Address restrictions for cache operations\n"},
    {4, 1, " read cache supported\n"},
    {5, 2, " lower bit XNOR block address restriction\n"},
};

constexpr FlagText kEzNandFlags[] = {
    {0, 2, " supports enable/disable of automatic retries\n"},
    {1, 2, " supports Copyback for other planes & LUNs\n"},
    {2, 2, " Requires Copyback Adjacency\n"},
};

static_assert(flags_ascending(kMultiPlaneFlags) && flags_ascending(kEzNandFlags));

}  // namespace

void report_onfi_organisation(const ParamPage& page, Report& report) {
  const std::uint32_t revision = page_le16(page, kRevision);
  // Revision 5.0 dropped the partial page fields; pages claiming it may
  // hold anything there.
  const bool partial_page = (revision & kRevision50) == 0 && page_le32(page, kPartialPageData) != 0;

  report_size_sum(report, 0, "Page size : %u (%u+%u)\n", page_le32(page, kPageData),
                  page_le16(page, kPageSpare));
  if (partial_page) {
    report_size_sum(report, 0, "Partial page size : %u (%u+%u)\n", page_le32(page, kPartialPageData),
                    page_le16(page, kPartialPageSpare));
  }
  report_append(report, 0, "Page/Block: %u\n", page_le32(page, kPagesPerBlock));
  report_append(report, 0, "Block/LUN : %u\n", page_le32(page, kBlocksPerLun));
  report_append(report, 0, "LUN/Chip  : %u\n", page_u8(page, kLunsPerChip));
  const std::uint32_t cycles = page_u8(page, kAddressCycles);
  report_append(report, 2, "Row+ColAdr: %u+%u\n", cycles & 0x0FU, cycles >> 4);
  report_cell_type(report, page_u8(page, kBitsPerCell));
  report_append(report, 1, "MaxBB/LUN : %u\n", page_le16(page, kMaxBadBlocks));
  report_endurance(report, 0, page_u8(page, kEnduranceMantissa), page_u8(page, kEnduranceExponent));
  report_append(report, 2, "Valid Beg : %u\n", page_u8(page, kValidBlocks));
  report_append(report, 2, "ValidEndur: %u\n",
                scaled_value(page_u8(page, kValidMantissa), page_u8(page, kValidExponent)));
  report_append(report, 2, "ProgPage  : %u\n", page_u8(page, kProgramsPerPage));
  if (partial_page) report_append(report, 2, "PartPrgAtt: %u\n", page_u8(page, kPartialProgramming));

  const std::uint32_t ecc = page_u8(page, kEccBits);
  if (ecc == 255) {
    report_append(report, 2, "BitCorrECC: See EPP\n");
  } else {
    report_append(report, 2, "BitCorrECC: %u\n", ecc);
  }
  report_plane_address_bits(report, page_u8(page, kPlaneAddressBits));

  const std::uint32_t multi_plane = page_u8(page, kMultiPlane);
  report_append(report, 1, "Multi-plane operation attributes: 0x%02x\n", multi_plane);
  report_flags(report, multi_plane, kMultiPlaneFlags);

  // From revision 5.0 on, byte 115 no longer describes EZ NAND.
  if ((revision & kLateRevisions) == 0) {
    const std::uint32_t ez_nand = page_u8(page, kEzNand);
    report_append(report, 1, "EZ NAND support: 0x%02x\n", ez_nand);
    report_flags(report, ez_nand, kEzNandFlags);
  }
}

}  // namespace tolvik::detail
