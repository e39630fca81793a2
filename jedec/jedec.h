// The JEDEC layout's text report: one routine per section, each reading the
// parsed page.
#pragma once

#include <cstddef>

#include "decode/report.h"
#include "tolvik_model.h"

namespace tolvik::detail {

// Writes the whole JEDEC report, section by section, and returns its length.
std::size_t decode_jedec_page(const JedecPage& page, Report& report);

// The sections, in report order.
void report_jedec_identification(const JedecPage& page, Report& report);
void report_jedec_organisation(const JedecPage& page, Report& report);
void report_jedec_timing_modes(const JedecPage& page, Report& report);
void report_jedec_electrical(const JedecPage& page, Report& report);
void report_jedec_ecc_blocks(const JedecPage& page, Report& report);
void report_jedec_vendor(const JedecPage& page, Report& report);

// An ECC and endurance information block whose eight bytes are all zero is
// not in use.
bool jedec_ecc_block_empty(const JedecPage& page, unsigned block);

}  // namespace tolvik::detail
