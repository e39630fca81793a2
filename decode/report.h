// The report framework every decoder section writes through: the report
// cursor, level gating, report_append, flag tables and top-speed lookup.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "format.h"
#include "tolvik.h"

namespace tolvik {

// The caller's buffer and the cursor into it. The text is NUL-terminated
// after every append; nothing is ever written past buffer.size().
struct Report {
  std::span<char> buffer;
  std::size_t length = 0;
  int level = kDefaultLevel;
};

// Minimum level 0 is written at any level, negative ones included; 1 and 2
// need a report level at least that high.
constexpr bool report_shows(const Report& report, int min_level) {
  return min_level <= 0 || report.level >= min_level;
}

void report_append_args(Report& report, const char* format, std::size_t lead, const FormatArg* args);

// The one way text enters a report: one printf-style piece, written only when
// the report level reaches min_level.
template <class... Args>
void report_append(Report& report, int min_level, Format<Args...> format, Args... args) {
  if (!report_shows(report, min_level)) return;
  const FormatArg packed[sizeof...(Args) + 1] = {FormatArg(args)...};
  report_append_args(report, format.text, format.lead, packed);
}

// One named bit of a flag field: the line it writes and from which level.
struct FlagText {
  std::uint8_t bit;
  std::uint8_t min_level;
  std::string_view text;
};

// Tables are walked in order, so they must list bits in ascending order.
constexpr bool flags_ascending(std::span<const FlagText> table) {
  for (std::size_t i = 1; i < table.size(); ++i) {
    if (table[i].bit <= table[i - 1].bit) return false;
  }
  return true;
}

// One line per set bit that the table names, in ascending bit order.
void report_flags(Report& report, std::uint32_t value, std::span<const FlagText> table);

// Speed texts of a timing-mode family, indexed by mode bit; the last row is
// the family's top bit.
using SpeedTable = std::span<const char* const>;

// Appends the unit format filled with the speed of the highest set bit at or
// below the table's top bit; nothing when none is set. Higher bits are never
// looked at.
void report_top_speed(Report& report, int min_level, std::uint32_t mask, SpeedTable speeds,
                      Format<const char*> unit);

// Lines both layouts write alike.

// A timing-mode family's line at level 1, only for a non-zero mask: the head
// with the mask, the top speed, and ")" even when no speed is named.
void report_timing_mode_line(Report& report, Format<std::uint32_t> head, std::uint32_t mask,
                             SpeedTable speeds, Format<const char*> unit);

// A size line of the form "total (data+spare)"; the total wraps at 32 bits.
void report_size_sum(Report& report, int min_level,
                     Format<std::uint32_t, std::uint32_t, std::uint32_t> format, std::uint32_t data,
                     std::uint32_t spare);

// "Bit/Cell  : n (name)", the name empty for values without one.
void report_cell_type(Report& report, std::uint32_t bits_per_cell);

// "PlanAdrBit: n (planes)", from the low four bits of the field.
void report_plane_address_bits(Report& report, std::uint32_t field);

// "Endurance : v", or "Endurance : v (raw?)" when v exceeds 100000 or the
// exponent exceeds 5: a figure the device can hardly mean.
void report_endurance(Report& report, int min_level, std::uint32_t mantissa, std::uint32_t exponent);

// The closing "CRC16     : 0xXXXX - Ok/Wrong" line.
void report_crc_line(Report& report, int min_level, std::uint32_t stored, std::uint16_t computed);

}  // namespace tolvik
