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
  report_size_sum(report, 0, "Page size : %u (%u+%u)\n", page_le32(page, kPageData),
                  page_le16(page, kPageSpare));
  report_append(report, 0, "Page/Block: %u\n", page_le32(page, kPagesPerBlock));
  report_append(report, 0, "Block/LUN : %u\n", page_le32(page, kBlocksPerLun));
  report_append(report, 0, "LUN/Chip  : %u\n", page_u8(page, kLunsPerChip));

  const std::uint32_t cycles = page_u8(page, kAddressCycles);
  report_append(report, 2, "Row+ColAdr: %u+%u\n", cycles & 0x0FU, cycles >> 4);

  report_cell_type(report, page_u8(page, kBitsPerCell));
  report_append(report, 2, "ProgPage  : %u\n", page_u8(page, kProgramsPerPage));
  report_plane_address_bits(report, page_u8(page, kPlaneAddressBits));

  const std::uint32_t multi_plane = page_u8(page, kMultiPlane);
  if (multi_plane != 0) {
    report_append(report, 2, "Multi-plane operation attributes: 0x%02x\n", multi_plane);
    report_flags(report, multi_plane, kMultiPlaneFlags);
  }
}

}  // namespace tolvik::detail
