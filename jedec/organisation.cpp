// Memory organisation of a JEDEC page: sizes, geometry, addressing and cells.
#include "decode/page.h"
#include "jedec/jedec.h"

namespace tolvik::detail {

using namespace jedec;

void report_jedec_organisation(const JedecPage& page, Report& report) {
  report_size_sum(report, 0, "Page size : %u (%u+%u)\n", page[DataBytesPerPage], page[SpareBytesPerPage]);
  report_append(report, 0, "Page/Block: %u\n", u32(page[PagesPerBlock]));
  report_append(report, 0, "Block/LUN : %u\n", u32(page[BlocksPerLun]));
  report_append(report, 0, "LUN/Chip  : %u\n", u32(page[Luns]));
  const std::uint32_t cycles = page[AddressCycles].raw;
  report_append(report, 2, "Row+ColAdr: %u+%u\n", cycles & 0x0FU, cycles >> 4);
  report_cell_type(report, page[BitsPerCell]);
  report_append(report, 2, "ProgPage  : %u\n", u32(page[ProgramsPerPage]));
  report_plane_address_bits(report, page[PlaneAddressBits]);
  if (page[MultiPlaneAttributes].value != 0) {
    report_flag_field(report, 2, "Multi-plane operation attributes: 0x%02x\n", page[MultiPlaneAttributes],
                      kFields[MultiPlaneAttributes].bits());
  }
}

}  // namespace tolvik::detail
