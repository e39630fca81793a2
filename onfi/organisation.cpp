// Memory organisation of an ONFI page: sizes, geometry, cell type, endurance,
// programming limits, ECC, plane addressing and multi-plane attributes.
#include "decode/page.h"
#include "onfi/onfi.h"

namespace tolvik::detail {

using namespace onfi;

void report_onfi_organisation(const OnfiPage& page, Report& report) {
  // Revision 5.0 dropped the partial page fields; pages claiming it may
  // hold anything there.
  const bool partial_page = (page.revision & kRevision50) == 0 && page[DataBytesPerPartialPage].raw != 0;

  report_size_sum(report, 0, "Page size : %u (%u+%u)\n", page[DataBytesPerPage], page[SpareBytesPerPage]);
  if (partial_page) {
    report_size_sum(report, 0, "Partial page size : %u (%u+%u)\n", page[DataBytesPerPartialPage],
                    page[SpareBytesPerPartialPage]);
  }
  report_append(report, 0, "Page/Block: %u\n", u32(page[PagesPerBlock]));
  report_append(report, 0, "Block/LUN : %u\n", u32(page[BlocksPerLun]));
  report_append(report, 0, "LUN/Chip  : %u\n", u32(page[Luns]));
  const std::uint32_t cycles = page[AddressCycles].raw;
  report_append(report, 2, "Row+ColAdr: %u+%u\n", cycles & 0x0FU, cycles >> 4);
  report_cell_type(report, page[BitsPerCell]);
  report_append(report, 1, "MaxBB/LUN : %u\n", u32(page[MaxBadBlocksPerLun]));
  report_endurance(report, 0, page[BlockEndurance]);
  report_append(report, 2, "Valid Beg : %u\n", u32(page[GuaranteedValidBlocks]));
  report_append(report, 2, "ValidEndur: %u\n", scaled_value(page[ValidBlockEndurance]));
  report_append(report, 2, "ProgPage  : %u\n", u32(page[ProgramsPerPage]));
  if (partial_page) report_append(report, 2, "PartPrgAtt: %u\n", u32(page[PartialProgrammingAttributes]));

  // 255: the figure is in the extended parameter page.
  if (page[EccBits].raw == 255) {
    report_append(report, 2, "BitCorrECC: See EPP\n");
  } else {
    report_append(report, 2, "BitCorrECC: %u\n", u32(page[EccBits]));
  }
  report_plane_address_bits(report, page[PlaneAddressBits]);

  report_flag_field(report, 1, "Multi-plane operation attributes: 0x%02x\n", page[MultiPlaneAttributes],
                    kFields[MultiPlaneAttributes].bits());
  // From revision 5.0 on, byte 115 no longer describes EZ NAND.
  if ((page.revision & kLateRevisions) == 0) {
    report_flag_field(report, 1, "EZ NAND support: 0x%02x\n", page[EzNand], kFields[EzNand].bits());
  }
}

}  // namespace tolvik::detail
