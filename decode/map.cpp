// The byte map of a page: every byte in order, one field per line.
#include "decode/decode.h"

namespace tolvik::detail {

void report_map_text(const PageModel& /*page*/, const ExtendedPage* /*extended*/, Report& /*report*/) {}

void report_map_json(const PageModel& /*page*/, const ExtendedPage* /*extended*/, Report& /*report*/) {}

}  // namespace tolvik::detail
