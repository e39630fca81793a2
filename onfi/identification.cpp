// Header line, revision, features and command support of an ONFI page.
#include "decode/page.h"
#include "onfi/onfi.h"

namespace tolvik::detail {
namespace {

using namespace onfi;

// Only the newest revision a page claims is named.
std::string_view revision_name(const OnfiPage& page) {
  const std::span<const FlagText> names = kFields[Revision].bits();
  for (std::size_t i = names.size(); i-- > 0;) {
    if (flag_set(names[i], page.revision, page.revision)) return names[i].text();
  }
  return "";
}

}  // namespace

void report_onfi_identification(const OnfiPage& page, Report& report) {
  const PageText manufacturer = terminal_safe(page_text(page.bytes, kFields[Manufacturer]));
  const PageText model = terminal_safe(page_text(page.bytes, kFields[Model]));
  const std::uint32_t year = page[DateCode].raw & 0xFFU;
  const std::uint32_t week = page[DateCode].raw >> 8;
  if (year == 0 && week == 0) {
    report_append(report, 0, "ONFI      : %s %s [%04X%s]\n", manufacturer.text, model.text,
                  std::uint32_t{page.crc.stored}, crc_marker(page.crc));
  } else {
    report_append(report, 0, "ONFI      : %s %s (20%02u-%02u) [%04X%s]\n", manufacturer.text, model.text,
                  year, week, std::uint32_t{page.crc.stored}, crc_marker(page.crc));
  }
  report_append(report, 2, "JEDEC MID : 0x%02X\n", u32(page[JedecId]));
  report_append(report, 1, "ONFI ver  : 0x%x (%s)\n", std::uint32_t{page.revision}, revision_name(page));

  report_flag_field(report, 1, "Features supported: 0x%04x\n", page[Features], kFields[Features].bits(),
                    page.revision);
  report_flag_field(report, 2, "Optional commands supported: 0x%04x\n", page[OptionalCommands],
                    kFields[OptionalCommands].bits());
  report_flag_field(report, 2, "ONFI-JEDEC JTG primary advanced command support: 0x%04x\n", page[JtgCommands],
                    kFields[JtgCommands].bits());
  report_flag_field(report, 2, "Training commands supported: 0x%04x\n", page[TrainingCommands],
                    kFields[TrainingCommands].bits());
  report_flag_field(report, 2, "Training commands supported[15]: 0x%04x\n", page[TrainingCommands2],
                    kFields[TrainingCommands2].bits());

  report_append(report, 2, "EPP Len   : %u\n", u32(page[ExtendedPageLength]));
  report_append(report, 2, "PP Num    : %u\n", u32(page[ParameterPageCount]));
}

}  // namespace tolvik::detail
