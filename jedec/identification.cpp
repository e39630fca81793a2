// Header line, revision, features and command support of a JEDEC page.
#include "decode/page.h"
#include "jedec/jedec.h"

namespace tolvik::detail {
namespace {

using namespace jedec;

// Revision 1.0 wins over the vendor-specific bit; no other bit has a name.
std::string_view revision_name(std::uint16_t revision) {
  if ((revision & kRevision10) != 0) return "parameter page rev 1.0";
  if ((revision & kRevisionVendorSpecific) != 0) return "vendor specific parameter page";
  return "";
}

// A zero flag word has no lines at all.
void report_nonzero_flags(Report& report, int min_level, Format<std::uint32_t> head, const JedecPage& page,
                          FieldId id) {
  if (page[id].value != 0) report_flag_field(report, min_level, head, page[id], kFields[id].bits());
}

}  // namespace

void report_jedec_identification(const JedecPage& page, Report& report) {
  const PageText manufacturer = terminal_safe(page_text(page.bytes, kFields[Manufacturer]));
  const PageText model = terminal_safe(page_text(page.bytes, kFields[Model]));
  report_append(report, 0, "JEDEC     : %s %s [%04X%s]\n", manufacturer.text, model.text,
                std::uint32_t{page.crc.stored}, crc_marker(page.crc));
  report_append(report, 2, "JEDEC MID : 0x%02X\n", u32(page[JedecId]));
  report_append(report, 1, "JEDEC ver : 0x%x (%s)\n", std::uint32_t{page.revision},
                revision_name(page.revision));
  report_nonzero_flags(report, 1, "Features supported: 0x%04x\n", page, Features);
  report_nonzero_flags(report, 2, "Optional commands supported: 0x%04x\n", page, OptionalCommands);
  report_nonzero_flags(report, 2, "Secondary commands supported: 0x%04x\n", page, SecondaryCommands);
  report_append(report, 1, "ParPageNum: %u\n", u32(page[ParameterPageCount]));
}

}  // namespace tolvik::detail
