// The ONFI layout's report: pages whose signature is "ONFI". Only bytes 0 to
// 255 are read.
#pragma once

#include <cstddef>
#include <cstdint>

#include "decode/report.h"
#include "tolvik.h"

namespace tolvik::detail {

// The stored CRC at bytes 254..255 covers everything before it.
inline constexpr std::size_t kOnfiCrcCovered = 254;

// Writes the whole ONFI report, section by section, and returns its length.
std::size_t decode_onfi_page(const ParamPage& page, std::uint16_t computed_crc, Report& report);

// The sections, in report order.
void report_onfi_identification(const ParamPage& page, Report& report, std::uint16_t computed_crc);
void report_onfi_organisation(const ParamPage& page, Report& report);
void report_onfi_timing_modes(const ParamPage& page, Report& report);
void report_onfi_electrical(const ParamPage& page, Report& report, std::uint16_t computed_crc);

}  // namespace tolvik::detail
