// The timing view: what the fastest modes mean in nanoseconds, with the
// page's own figures, and the settings a NAND controller needs.
#include "decode/decode.h"
#include "tolvik.h"

namespace tolvik {

bool timing_mode_known(std::string_view family_mode) noexcept { return family_mode.empty(); }

namespace detail {

void report_timings_text(const PageModel& /*page*/, const ExtendedPage* /*extended*/,
                         std::string_view /*mode*/, Report& /*report*/) {}

void report_timings_json(const PageModel& /*page*/, const ExtendedPage* /*extended*/,
                         std::string_view /*mode*/, Report& /*report*/) {}

}  // namespace detail
}  // namespace tolvik
