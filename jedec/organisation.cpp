// Memory organisation of a JEDEC page: sizes, geometry, addressing and cells.
#include "decode/page.h"
#include "jedec/jedec.h"
#include "jedec/layout.h"

namespace tolvik::detail {
namespace {

using namespace jedec;

// Bits 3-7 show only in the value.
constexpr FlagText kMultiPlaneFlags[] = {
    {0, 2, " No multi-plane block address restrictions\n"},
    {1, 2, " program cache supported\n"},
    {2, 2, " read cache supported\n"},
};

static_assert(flags_ascending(kMultiPlaneFlags));

}  // namespace

void report_jedec_organisation(const ParamPage& page, Report& report) {
  report_object_begin(report, "organisation");
  report_size_sum(report, 0, {"page_size_bytes", "page_data_bytes", "page_spare_bytes"},
                  "Page size : %u (%u+%u)\n", page_le32(page, kPageData), page_le16(page, kPageSpare));
  report_field(report, 0, "pages_per_block", "Page/Block: %u\n", page_le32(page, kPagesPerBlock));
  report_field(report, 0, "blocks_per_lun", "Block/LUN : %u\n", page_le32(page, kBlocksPerLun));
  report_field(report, 0, "luns_per_chip", "LUN/Chip  : %u\n", page_u8(page, kLunsPerChip));

  const std::uint32_t cycles = page_u8(page, kAddressCycles);
  report_field(report, 2, {"row_address_cycles", "column_address_cycles"}, "Row+ColAdr: %u+%u\n",
               cycles & 0x0FU, cycles >> 4);

  report_cell_type(report, page_u8(page, kBitsPerCell));
  report_field(report, 2, "programs_per_page", "ProgPage  : %u\n", page_u8(page, kProgramsPerPage));
  report_plane_address_bits(report, page_u8(page, kPlaneAddressBits));

  const std::uint32_t multi_plane = page_u8(page, kMultiPlane);
  if (multi_plane != 0) {
    report_flag_field(report, 2, "multi_plane", "Multi-plane operation attributes: 0x%02x\n", multi_plane,
                      kMultiPlaneFlags);
  } else {
    report_json_null(report, "multi_plane");
  }
  report_object_end(report);
}

}  // namespace tolvik::detail
