// The report framework every decoder section writes through: the report
// cursor, level gating, report_append, flag tables and top-speed lookup, and
// the field layer (report_field and friends) whose declarations the text
// report and the JSON document both render.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "format.h"
#include "tolvik.h"

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

// A piece of text that only the text report has (a heading, a closing
// bracket): written only when the report level reaches min_level, and
// nothing in JSON. Fields go through report_field instead.
template <class... Args>
void report_append(Report& report, int min_level, Format<Args...> format, Args... args) {
  if (report_is_json(report) || !report_shows(report, min_level)) return;
  const FormatArg packed[sizeof...(Args) + 1] = {FormatArg(args)...};
  report_append_args(report, format.text, format.lead, packed);
}

// JSON names of a line's values, one per format argument in order; an empty
// name leaves that value out of the document.
template <std::size_t N>
using FieldNames = std::array<std::string_view, N>;

void report_json_members(Report& report, const std::string_view* names, const FormatArg* args,
                         std::size_t count);
// The same for one value; the name travels in registers, so the text path
// stores nothing for it.
void report_json_member(Report& report, std::string_view name, const FormatArg& arg);

// One report line and its values, declared once: the text report writes the
// line (from min_level), the JSON document one member per named value
// (always). Numbers become JSON numbers, texts JSON strings, reals the
// printf "%.1f" figure. The text path costs what report_append costs.
template <class... Args>
void report_field(Report& report, int min_level, const FieldNames<sizeof...(Args)>& names,
                  Format<Args...> format, Args... args) {
  if (report_is_json(report)) {
    const FormatArg packed[sizeof...(Args)] = {FormatArg(args)...};
    report_json_members(report, names.data(), packed, sizeof...(Args));
  } else if (report_shows(report, min_level)) {
    const FormatArg packed[sizeof...(Args) + 1] = {FormatArg(args)...};
    report_append_args(report, format.text, format.lead, packed);
  }
}

// The common one-value line.
template <class T>
void report_field(Report& report, int min_level, std::string_view name, Format<T> format, T value) {
  if (report_is_json(report)) {
    report_json_member(report, name, FormatArg(value));
  } else if (report_shows(report, min_level)) {
    const FormatArg packed[2] = {FormatArg(value)};
    report_append_args(report, format.text, format.lead, packed);
  }
}

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
void report_json_number(Report& report, std::string_view name, std::uint64_t value);
void report_json_bool(Report& report, std::string_view name, bool value);
// A JSON string of any bytes: printable ASCII and well-formed UTF-8 as
// themselves but '"' and '\\', which are escaped; controls (C0, DEL, C1) and
// the bytes that are not part of well-formed UTF-8 as \u00XX. Goes straight
// into the report, whatever its output.
void report_json_string(Report& report, std::string_view bytes);
// The same without the quotes: a piece of a longer string.
void report_json_chars(Report& report, std::string_view bytes);

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

void report_flag_json(Report& report, std::string_view name, std::uint32_t value,
                      std::span<const FlagText> table);

// A flag word: its value line from min_level, then report_flags. In JSON the
// member {"value": n, "set": [texts of the named bits set]}.
inline void report_flag_field(Report& report, int min_level, std::string_view name,
                              Format<std::uint32_t> head, std::uint32_t value,
                              std::span<const FlagText> table) {
  if (report_is_json(report)) {
    report_flag_json(report, name, value, table);
    return;
  }
  report_append(report, min_level, head, value);
  report_flags(report, value, table);
}

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
// with the mask, the top speed, and ")" even when no speed is named. In JSON
// the member {"value": mask, "top_speed": text or null}, or null for a zero
// mask.
void report_timing_mode_line(Report& report, std::string_view name, Format<std::uint32_t> head,
                             std::uint32_t mask, SpeedTable speeds, Format<const char*> unit);

// A value with a name from a table (a revision, a cell type): the text line
// from min_level; in JSON the member {"value": n, "name": text or null},
// the text without a leading blank and null when empty.
void report_named_json(Report& report, std::string_view name, std::uint32_t value, std::string_view text);
inline void report_named_field(Report& report, int min_level, std::string_view name,
                               Format<std::uint32_t, const char*> format, std::uint32_t value,
                               const char* text) {
  if (report_is_json(report)) {
    report_named_json(report, name, value, text);
  } else {
    report_append(report, min_level, format, value, text);
  }
}

// A size line of the form "total (data+spare)"; the total wraps at 32 bits.
// names: the JSON names of the total, the data and the spare bytes.
void report_size_sum(Report& report, int min_level, const FieldNames<3>& names,
                     Format<std::uint32_t, std::uint32_t, std::uint32_t> format, std::uint32_t data,
                     std::uint32_t spare);

// "Bit/Cell  : n (name)", the name empty for values without one; in JSON
// "bits_per_cell" as a named value.
void report_cell_type(Report& report, std::uint32_t bits_per_cell);

// "PlanAdrBit: n (planes)", from the low four bits of the field; in JSON
// "plane_address_bits" and "planes".
void report_plane_address_bits(Report& report, std::uint32_t field);

// "Endurance : v", or "Endurance : v (raw?)" when v exceeds 100000 or the
// exponent exceeds 5: a figure the device can hardly mean. In JSON
// "endurance_cycles", and "endurance_raw" only in the second form.
void report_endurance(Report& report, int min_level, std::uint32_t mantissa, std::uint32_t exponent);

// The closing "CRC16     : 0xXXXX - Ok/Wrong" line. Text only: the document
// carries the CRC once, at its top, whether or not the layout's report
// shows this line.
void report_crc_line(Report& report, int min_level, std::uint32_t stored, std::uint16_t computed);

}  // namespace tolvik::detail
