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

  report_object_begin(report, "organisation");
  report_size_sum(report, 0, {"page_size_bytes", "page_data_bytes", "page_spare_bytes"},
                  "Page size : %u (%u+%u)\n", page_le32(page, kPageData), page_le16(page, kPageSpare));
  constexpr FieldNames<3> kPartialPage = {"partial_page_size_bytes", "partial_page_data_bytes",
                                          "partial_page_spare_bytes"};
  if (partial_page) {
    report_size_sum(report, 0, kPartialPage, "Partial page size : %u (%u+%u)\n",
                    page_le32(page, kPartialPageData), page_le16(page, kPartialPageSpare));
  } else {
    for (const std::string_view name : kPartialPage) report_json_null(report, name);
  }
  report_field(report, 0, "pages_per_block", "Page/Block: %u\n", page_le32(page, kPagesPerBlock));
  report_field(report, 0, "blocks_per_lun", "Block/LUN : %u\n", page_le32(page, kBlocksPerLun));
  report_field(report, 0, "luns_per_chip", "LUN/Chip  : %u\n", page_u8(page, kLunsPerChip));
  const std::uint32_t cycles = page_u8(page, kAddressCycles);
  report_field(report, 2, {"row_address_cycles", "column_address_cycles"}, "Row+ColAdr: %u+%u\n",
               cycles & 0x0FU, cycles >> 4);
  report_cell_type(report, page_u8(page, kBitsPerCell));
  report_field(report, 1, "max_bad_blocks_per_lun", "MaxBB/LUN : %u\n", page_le16(page, kMaxBadBlocks));
  report_endurance(report, 0, page_u8(page, kEnduranceMantissa), page_u8(page, kEnduranceExponent));
  report_field(report, 2, "valid_blocks_at_start", "Valid Beg : %u\n", page_u8(page, kValidBlocks));
  report_field(report, 2, "valid_block_endurance_cycles", "ValidEndur: %u\n",
               scaled_value(page_u8(page, kValidMantissa), page_u8(page, kValidExponent)));
  report_field(report, 2, "programs_per_page", "ProgPage  : %u\n", page_u8(page, kProgramsPerPage));
  if (partial_page) {
    report_field(report, 2, "partial_programming_attributes", "PartPrgAtt: %u\n",
                 page_u8(page, kPartialProgramming));
  } else {
    report_json_null(report, "partial_programming_attributes");
  }

  // 255: the figure is in the extended parameter page.
  const std::uint32_t ecc = page_u8(page, kEccBits);
  if (ecc == 255) {
    report_append(report, 2, "BitCorrECC: See EPP\n");
    report_json_null(report, "ecc_bits");
  } else {
    report_field(report, 2, "ecc_bits", "BitCorrECC: %u\n", ecc);
  }
  report_plane_address_bits(report, page_u8(page, kPlaneAddressBits));

  report_flag_field(report, 1, "multi_plane", "Multi-plane operation attributes: 0x%02x\n",
                    page_u8(page, kMultiPlane), kMultiPlaneFlags);

  // From revision 5.0 on, byte 115 no longer describes EZ NAND.
  if ((revision & kLateRevisions) == 0) {
    report_flag_field(report, 1, "ez_nand", "EZ NAND support: 0x%02x\n", page_u8(page, kEzNand),
                      kEzNandFlags);
  } else {
    report_json_null(report, "ez_nand");
  }
  report_object_end(report);
}

}  // namespace tolvik::detail
