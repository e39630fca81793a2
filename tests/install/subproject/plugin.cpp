// A shared object that decodes pages with the embedded library.
#include <tolvik.h>

std::size_t embedder_report_length(const tolvik::ParamPage& page) {
  char report[tolvik::kReportCapacity];
  return tolvik::decode_page(page, report, tolvik::kDefaultLevel).needed;
}
