#include "jedec/jedec.h"

#include "decode/page.h"
#include "jedec/layout.h"

namespace tolvik {

using namespace jedec;

std::size_t decode_jedec_page(const ParamPage& page, std::uint16_t computed_crc, Report& report) {
  const PageText manufacturer = page_text(page, kManufacturer, kManufacturerWidth);
  const PageText model = page_text(page, kModel, kModelWidth);
  const std::uint32_t stored = page_le16(page, kCrc);
  report_append(report, 0, "JEDEC     : %s %s [%04X%s]\n", manufacturer.text, model.text, stored,
                crc_marker(stored, computed_crc));
  return report.length;
}

}  // namespace tolvik
