#include "report.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>

#include "page.h"
#include "text.h"

namespace tolvik::detail {

void report_append_args(Report& report, const char* format, std::size_t lead, const FormatArg* args) {
  const std::size_t room = report.length < report.buffer.size() ? report.buffer.size() - report.length : 0;
  std::size_t needed = 0;
  report.length += format_to(room == 0 ? nullptr : report.buffer.data() + report.length, room, format, args,
                             lead, &needed);
  report.needed += needed;
}

namespace {

// Raw text into the report, bounded like every append. The JSON document
// is mostly keys and flag texts, so this copies whole runs at once.
void put_raw(Report& report, std::string_view text) {
  report.needed += text.size();
  const std::size_t size = report.buffer.size();
  if (report.length >= size) return;
  const std::size_t n = std::min(text.size(), size - report.length - 1);
  if (n != 0) std::memcpy(report.buffer.data() + report.length, text.data(), n);
  report.length += n;
  report.buffer[report.length] = '\0';
}

// What a byte is in a JSON string: ASCII that stands for itself, a byte to
// escape, or the lead byte of a UTF-8 sequence of two to four bytes.
enum JsonByte : std::uint8_t { kPlain, kEscape, kLead2, kLead3, kLead4 };
constexpr std::array<JsonByte, 256> kJsonBytes = [] {
  std::array<JsonByte, 256> kinds{};
  for (unsigned c = 0; c < 256; ++c) {
    kinds[c] = c >= 0x20 && c <= 0x7E && c != '"' && c != '\\' ? kPlain
               : c >= 0xC2 && c <= 0xDF                        ? kLead2
               : c >= 0xE0 && c <= 0xEF                        ? kLead3
               : c >= 0xF0 && c <= 0xF4                        ? kLead4
                                                               : kEscape;
  }
  return kinds;
}();

// Where the bytes that stand for themselves, from i on, end.
std::size_t plain_end(std::string_view bytes, std::size_t i) {
  const char* const data = bytes.data();
  const std::size_t size = bytes.size();
  while (i < size && kJsonBytes[static_cast<unsigned char>(data[i])] == kPlain) ++i;
  return i;
}

// The length of the well-formed UTF-8 sequence at bytes[i], whose lead byte
// is of kind lead; 0 when it is not one (cut short, overlong, a surrogate,
// beyond U+10FFFF).
std::size_t utf8_length(std::string_view bytes, std::size_t i, JsonByte lead) {
  const std::size_t n = lead == kLead2 ? 2 : lead == kLead3 ? 3 : 4;
  if (bytes.size() - i < n) return 0;
  const auto first = static_cast<unsigned char>(bytes[i]);
  const auto second = static_cast<unsigned char>(bytes[i + 1]);
  const unsigned low = first == 0xE0 ? 0xA0 : first == 0xF0 ? 0x90 : 0x80;
  const unsigned high = first == 0xED ? 0x9F : first == 0xF4 ? 0x8F : 0xBF;
  if (second < low || second > high) return 0;
  for (std::size_t k = 2; k < n; ++k) {
    if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0U) != 0x80) return 0;
  }
  return n;
}

// The separator and key in front of a member (or, nameless, an element).
// Keys are this tool's own snake_case names: short, nothing to escape, so
// they go in with their quotes and colon in one piece.
void json_key(Report& report, std::string_view name) {
  const bool comma = report.json_comma;
  report.json_comma = true;
  char key[64];
  if (name.size() + 4 > sizeof key) {
    if (comma) put_raw(report, ",");
    report_json_string(report, name);
    put_raw(report, ":");
    return;
  }
  std::size_t n = 0;
  if (comma) key[n++] = ',';
  if (!name.empty()) {
    key[n++] = '"';
    std::memcpy(key + n, name.data(), name.size());
    n += name.size();
    key[n++] = '"';
    key[n++] = ':';
  }
  put_raw(report, {key, n});
}

// A whole member (or element) in one piece: separator, key and a value that
// needs no escaping, quoted or not. Most of the document is made of these,
// so each costs one copy instead of four.
void put_member(Report& report, std::string_view name, std::string_view value, bool quoted) {
  char piece[256];
  if (name.size() + value.size() + 6 > sizeof piece) {
    json_key(report, name);
    if (quoted) put_raw(report, "\"");
    put_raw(report, value);
    if (quoted) put_raw(report, "\"");
    return;
  }
  std::size_t n = 0;
  if (report.json_comma) piece[n++] = ',';
  report.json_comma = true;
  if (!name.empty()) {
    piece[n++] = '"';
    std::memcpy(piece + n, name.data(), name.size());
    n += name.size();
    piece[n++] = '"';
    piece[n++] = ':';
  }
  if (quoted) piece[n++] = '"';
  if (!value.empty()) std::memcpy(piece + n, value.data(), value.size());
  n += value.size();
  if (quoted) piece[n++] = '"';
  put_raw(report, {piece, n});
}

}  // namespace

void report_put(Report& report, std::string_view text) { put_raw(report, text); }

void report_json_string(Report& report, std::string_view bytes) {
  put_raw(report, "\"");
  report_json_chars(report, bytes);
  put_raw(report, "\"");
}

void report_json_chars(Report& report, std::string_view bytes) {
  constexpr char kHex[] = "0123456789abcdef";
  std::size_t run = 0;  // start of the bytes that go in as they are
  std::size_t i = 0;
  for (;;) {
    i = plain_end(bytes, i);
    if (i == bytes.size()) break;
    const auto c = static_cast<unsigned char>(bytes[i]);
    const JsonByte kind = kJsonBytes[c];
    // Valid UTF-8 stands as it is, but for the C1 controls (U+0080 to
    // U+009F), escaped as the code points they are.
    std::size_t length = kind == kEscape ? 0 : utf8_length(bytes, i, kind);
    unsigned escaped = c;
    if (c == 0xC2 && length == 2 && static_cast<unsigned char>(bytes[i + 1]) < 0xA0) {
      escaped = static_cast<unsigned char>(bytes[i + 1]);
    } else if (length != 0) {
      i += length;
      continue;
    } else {
      length = 1;
    }
    put_raw(report, slice(bytes, run, i - run));
    if (escaped == '"' || escaped == '\\') {
      const char pair[2] = {'\\', static_cast<char>(escaped)};
      put_raw(report, {pair, 2});
    } else {
      // Controls, and bytes that are not part of valid UTF-8.
      const char code[6] = {'\\', 'u', '0', '0', kHex[escaped >> 4], kHex[escaped & 0xFU]};
      put_raw(report, {code, 6});
    }
    i += length;
    run = i;
  }
  put_raw(report, slice(bytes, run, i - run));
}

void report_json_open(Report& report, std::string_view name, char bracket) {
  json_key(report, name);
  put_raw(report, {&bracket, 1});
  report.json_comma = false;
}

void report_json_close(Report& report, char bracket) {
  put_raw(report, {&bracket, 1});
  report.json_comma = true;
}

void report_json_literal(Report& report, std::string_view name, std::string_view literal) {
  put_member(report, name, literal, false);
}

void report_json_text(Report& report, std::string_view name, std::string_view text) {
  if (!report_is_json(report)) return;
  // The tool's own texts (names, units, flag names) have nothing to escape.
  if (plain_end(text, 0) == text.size()) {
    put_member(report, name, text, true);
    return;
  }
  json_key(report, name);
  report_json_string(report, text);
}

void report_json_plain(Report& report, std::string_view name, std::string_view text) {
  if (report_is_json(report)) put_member(report, name, text, true);
}

void report_json_number(Report& report, std::string_view name, std::uint64_t value) {
  if (!report_is_json(report)) return;
  char digits[24];
  char* p = digits + sizeof digits;
  do {
    *--p = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  put_member(report, name, {p, static_cast<std::size_t>(digits + sizeof digits - p)}, false);
}

void report_json_bool(Report& report, std::string_view name, bool value) {
  if (!report_is_json(report)) return;
  put_member(report, name, value ? "true" : "false", false);
}

void report_flags(Report& report, std::uint64_t value, std::span<const FlagText> table,
                  std::uint16_t revision) {
  for (const FlagText& flag : table) {
    // A whole line, copied: nothing in it to format.
    if (flag_set(flag, value, revision) && report_shows(report, flag.min_level))
      report_put(report, flag.text());
  }
}

void report_top_speed(Report& report, int min_level, std::uint32_t mask, std::span<const SpeedText> speeds,
                      Format<const char*> unit) {
  for (std::size_t bit = speeds.size(); bit-- > 0;) {
    if ((mask >> bit & 1U) != 0) {
      report_append(report, min_level, unit, speeds[bit]);
      return;
    }
  }
}

void report_timing_mode_line(Report& report, Format<std::uint32_t> head, const TimingFamily& family,
                             Format<const char*> unit) {
  if (family.mask == 0 || !report_shows(report, 1)) return;
  report_append(report, 1, head, family.mask);
  report_top_speed(report, 1, family.mask, family.info->speeds, unit);
  report_put(report, ")\n");
}

void report_size_sum(Report& report, int min_level,
                     Format<std::uint32_t, std::uint32_t, std::uint32_t> format, const Field& data,
                     const Field& spare) {
  report_append(report, min_level, format, u32(data) + u32(spare), u32(data), u32(spare));
}

namespace {

constexpr std::string_view kCellTypes[] = {"", "SLC", "MLC", "TLC", "QLC", "PLC"};

}  // namespace

std::string_view cell_type(std::uint64_t bits_per_cell) {
  if (bits_per_cell < std::size(kCellTypes)) return kCellTypes[bits_per_cell];
  if (bits_per_cell == 255) return "Not specified";
  return "";
}

void report_cell_type(Report& report, const Field& bits_per_cell) {
  report_append(report, 0, "Bit/Cell  : %u (%s)\n", u32(bits_per_cell), cell_type(bits_per_cell.value));
}

void report_plane_address_bits(Report& report, const Field& field) {
  const std::uint32_t bits = u32(field);
  report_append(report, 0, "PlanAdrBit: %u (%s%u plane)\n", bits, bits >= 3 ? "upto " : "", 1U << bits);
}

void report_endurance(Report& report, int min_level, const Field& endurance) {
  constexpr std::uint32_t kMostPlausible = 100000;
  const std::uint32_t value = scaled_value(endurance);
  const std::uint32_t exponent = endurance.raw >> 8 & 0xFFU;
  if (value > kMostPlausible || exponent > 5) {
    report_append(report, min_level, "Endurance : %u (%u?)\n", value, endurance.raw & 0xFFFFU);
  } else {
    report_append(report, min_level, "Endurance : %u\n", value);
  }
}

void report_crc_line(Report& report, int min_level, const PageCrc& crc) {
  report_append(report, min_level, "CRC16     : 0x%04X%s", std::uint32_t{crc.stored},
                crc.ok ? " - Ok\n" : " - Wrong\n");
}

}  // namespace tolvik::detail
