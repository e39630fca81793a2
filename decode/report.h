// The report framework every renderer writes through: the report cursor,
// level gating, report_append, the flag-list walker and top-speed lookup for
// the text report, and the pieces of a JSON document.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "format.h"
#include "tolvik.h"
#include "tolvik_model.h"

namespace tolvik::detail {

// The caller's buffer and the cursor into it. The text is NUL-terminated
// after every append; nothing is ever written past buffer.size().
struct Report {
  std::span<char> buffer;
  std::size_t length = 0;
  int level = kDefaultLevel;
  Output output = Output::Text;
  // The whole report's length, counting what did not fit.
  std::size_t needed = 0;
  // JSON: a member or element stands before the next one at this depth.
  bool json_comma = false;
};

constexpr bool report_is_json(const Report& report) { return report.output == Output::Json; }

// Minimum level 0 is written at any level, negative ones included; 1 and 2
// need a report level at least that high.
constexpr bool report_shows(const Report& report, int min_level) {
  return min_level <= 0 || report.level >= min_level;
}

void report_append_args(Report& report, const char* format, std::size_t lead, const FormatArg* args);

// The one way text enters the text report: a piece formatted with printf
// semantics, written only when the report level reaches min_level.
template <class... Args>
void report_append(Report& report, int min_level, Format<Args...> format, Args... args) {
  if (!report_shows(report, min_level)) return;
  const FormatArg packed[sizeof...(Args) + 1] = {FormatArg(args)...};
  report_append_args(report, format.text, format.lead, packed);
}

// Text as it is, bounded like every append, without a format to read: the
// byte map writes its many small pieces so.
void report_put(Report& report, std::string_view text);

// JSON structure; nothing in the text report. An empty name opens an array
// element.
// The text report passes these by inline, without a call.
void report_json_open(Report& report, std::string_view name, char bracket);
void report_json_close(Report& report, char bracket);
void report_json_literal(Report& report, std::string_view name, std::string_view literal);
inline void report_object_begin(Report& report, std::string_view name) {
  if (report_is_json(report)) report_json_open(report, name, '{');
}
inline void report_object_end(Report& report) {
  if (report_is_json(report)) report_json_close(report, '}');
}
inline void report_array_begin(Report& report, std::string_view name) {
  if (report_is_json(report)) report_json_open(report, name, '[');
}
inline void report_array_end(Report& report) {
  if (report_is_json(report)) report_json_close(report, ']');
}
// A member whose value is null.
inline void report_json_null(Report& report, std::string_view name) {
  if (report_is_json(report)) report_json_literal(report, name, "null");
}
// A member (or, with an empty name, an element) holding a JSON string, a
// number or a boolean.
void report_json_text(Report& report, std::string_view name, std::string_view text);
// The same for a text of the tool's own (a name from its tables, a unit):
// printable ASCII without '"' or '\\', which the tables are checked for
// when they compile, so it goes in unscanned.
void report_json_plain(Report& report, std::string_view name, std::string_view text);
void report_json_number(Report& report, std::string_view name, std::uint64_t value);
void report_json_bool(Report& report, std::string_view name, bool value);
// A JSON string of any bytes: printable ASCII and well-formed UTF-8 as
// themselves but '"' and '\\', which are escaped; controls (C0, DEL, C1) and
// the bytes that are not part of well-formed UTF-8 as \u00XX. Goes straight
// into the report, whatever its output.
void report_json_string(Report& report, std::string_view bytes);
// The same without the quotes: a piece of a longer string.
void report_json_chars(Report& report, std::string_view bytes);

// One line per set bit that the table names for this revision, in ascending
// bit order.
void report_flags(Report& report, std::uint64_t value, std::span<const FlagText> table,
                  std::uint16_t revision);

// A flag word: its value line from min_level, then report_flags.
inline void report_flag_field(Report& report, int min_level, Format<std::uint32_t> head, const Field& field,
                              std::span<const FlagText> table, std::uint16_t revision = 0) {
  report_append(report, min_level, head, static_cast<std::uint32_t>(field.value));
  report_flags(report, field.value, table, revision);
}

// Appends the unit format filled with the speed of the highest set bit at or
// below the table's top bit; nothing when none is set. Higher bits are never
// looked at.
void report_top_speed(Report& report, int min_level, std::uint32_t mask, std::span<const SpeedText> speeds,
                      Format<const char*> unit);

// A timing-mode family's line at level 1, only for a non-zero mask: the head
// with the mask, the top speed, and ")" even when no speed is named.
void report_timing_mode_line(Report& report, Format<std::uint32_t> head, const TimingFamily& family,
                             Format<const char*> unit);

// Lines both layouts write alike.

// A size line of the form "total (data+spare)"; the total wraps at 32 bits.
void report_size_sum(Report& report, int min_level,
                     Format<std::uint32_t, std::uint32_t, std::uint32_t> format, const Field& data,
                     const Field& spare);

// "Bit/Cell  : n (name)", the name empty for values without one.
void report_cell_type(Report& report, const Field& bits_per_cell);
// The cell type bits per cell name, empty for values without one.
std::string_view cell_type(std::uint64_t bits_per_cell);

// "PlanAdrBit: n (planes)", from the low four bits of the field.
void report_plane_address_bits(Report& report, const Field& field);

// "Endurance : v", or "Endurance : v (raw?)" when v exceeds 100000 or the
// exponent exceeds 5: a figure the device can hardly mean. v wraps at 32
// bits, as the report has always computed it.
void report_endurance(Report& report, int min_level, const Field& endurance);

// The closing "CRC16     : 0xXXXX - Ok/Wrong" line.
void report_crc_line(Report& report, int min_level, const PageCrc& crc);

}  // namespace tolvik::detail
