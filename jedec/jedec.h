// The JEDEC layout's report: pages whose signature is "JESD".
#pragma once

#include <cstddef>
#include <cstdint>

#include "decode/report.h"
#include "tolvik.h"

namespace tolvik::detail {

// The stored CRC at bytes 510..511 covers everything before it.
inline constexpr std::size_t kJedecCrcCovered = 510;

// Writes the whole JEDEC report, section by section, and returns its length.
std::size_t decode_jedec_page(const ParamPage& page, std::uint16_t computed_crc, Report& report);

// The sections, in report order.
void report_jedec_identification(const ParamPage& page, Report& report, std::uint16_t computed_crc);
void report_jedec_organisation(const ParamPage& page, Report& report);
void report_jedec_timing_modes(const ParamPage& page, Report& report);
void report_jedec_electrical(const ParamPage& page, Report& report);
void report_jedec_ecc_blocks(const ParamPage& page, Report& report);
void report_jedec_vendor(const ParamPage& page, Report& report, std::uint16_t computed_crc);

}  // namespace tolvik::detail
