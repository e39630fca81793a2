// Hex listings read back into the bytes they list.
//
// The text is read line by line, without allocating. The first line that
// holds bytes fixes the listing's form; every later line must be of that
// form. Listings with an offset column (xxd, hexdump, od, kernel and
// bootloader dumps) go through one classifier driven by a table row per form
// and one placement routine that applies offsets and '*' lines. Bare hex and
// C arrays share one tokenizer.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <span>
#include <string_view>

#include "decode/text.h"
#include "tolvik.h"

namespace tolvik::detail {
namespace {

// Value of each character as a hex digit, -1 for the rest: one load per
// character, the reader's inner loop.
constexpr auto kHexValue = [] {
  struct Table {
    signed char value[256];
  } table{};
  for (int c = 0; c < 256; ++c) {
    table.value[c] = static_cast<signed char>(c >= '0' && c <= '9'   ? c - '0'
                                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                                     : -1);
  }
  return table;
}();

constexpr int hex_digit(char c) { return kHexValue.value[static_cast<unsigned char>(c)]; }

constexpr bool is_blank(char c) { return (c == ' ') | (c == '\t'); }

constexpr bool is_decimal(char c) { return c >= '0' && c <= '9'; }

constexpr std::size_t hex_run(std::string_view s, std::size_t from) {
  std::size_t end = from;
  while (end < s.size() && hex_digit(s[end]) >= 0) ++end;
  return end - from;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

constexpr std::uint8_t byte_at(std::string_view digits, std::size_t i) {
  return static_cast<std::uint8_t>(hex_digit(digits[i]) << 4 | hex_digit(digits[i + 1]));
}

// The text line by line: '\n', "\r\n" and a lone '\r' each end a line, so
// that a listing saved on any system reads alike.
struct Lines {
  std::string_view text;
  std::size_t at = 0;
  std::size_t number = 0;  // of the line last returned, 1-based

  bool next(std::string_view& line) {
    if (at >= text.size()) return false;
    const char* begin = text.data() + at;
    const std::size_t rest = text.size() - at;
    const void* lf = std::memchr(begin, '\n', rest);
    std::size_t length =
        lf != nullptr ? static_cast<std::size_t>(static_cast<const char*>(lf) - begin) : rest;
    std::size_t end_length = 1;
    if (const void* cr = std::memchr(begin, '\r', length); cr != nullptr) {
      length = static_cast<std::size_t>(static_cast<const char*>(cr) - begin);
      if (length + 1 < rest && begin[length + 1] == '\n') end_length = 2;
    }
    line = {begin, length};
    at += length + end_length;
    ++number;
    return true;
  }
};

// Whole-line comments, in every form; trimmed is not empty.
bool is_comment_line(std::string_view trimmed) { return trimmed[0] == '#' || trimmed.starts_with("//"); }

// Kernel logs and bootloader consoles print a dump's lines behind a time
// stamp ("[    2.000000] ") and a tag ("nand: "); neither holds bytes. A tag
// is one word with a letter that is no hex digit, so that an offset and its
// colon stay what they are. line: trimmed, not empty.
constexpr bool is_tag_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || is_decimal(c) || c == '_' || c == '-' ||
         c == '.';
}

std::string_view strip_log_prefix(std::string_view line) {
  if (line[0] == '[') {
    std::size_t i = 1;
    while (i < line.size() && is_blank(line[i])) ++i;
    const std::size_t seconds = i;
    while (i < line.size() && is_decimal(line[i])) ++i;
    const bool whole = i > seconds && i < line.size() && line[i] == '.';
    const std::size_t fraction = ++i;
    while (i < line.size() && is_decimal(line[i])) ++i;
    const bool stamp = whole && i > fraction;
    while (i < line.size() && is_blank(line[i])) ++i;
    if (!stamp || i == line.size() || line[i] != ']') return line;
    line = trim(slice(line, i + 1));
    if (line.empty()) return line;
  }
  std::size_t i = 0;
  bool only_hex = true;
  for (; i < line.size() && is_tag_char(line[i]); ++i) {
    if (hex_digit(line[i]) < 0) only_hex = false;
  }
  if (only_hex || i + 1 >= line.size() || line[i] != ':' || !is_blank(line[i + 1])) return line;
  return trim(slice(line, i + 1));
}

// Positions stay far below overflow: a line adds fewer bytes than the text
// has characters, and an offset may lie at most this far past the first.
constexpr std::uint64_t kMaxPosition = std::numeric_limits<std::size_t>::max() / 2;

// The places a page may begin in a whole dump (a copy of either layout).
// The first signature listed at one of them, read as written or with each
// group's bytes reversed, tells in which order the listing prints a group's
// bytes: hexdump, od -x and xxd -e print little-endian groups.
constexpr std::size_t kSignaturePlaces = 4;
constexpr std::uint64_t kPlacesEnd = 1024 + 4;
constexpr int place_index(std::uint64_t at) {
  constexpr int kIndex[] = {0, 1, 2, -1, 3};
  return kIndex[at >> 8];
}

enum class Order : std::uint8_t { Unknown, Written, Reversed };

using Four = std::array<std::uint8_t, 4>;
constexpr bool is_signature(const Four& b) {
  return (b[0] == 'O' && b[1] == 'N' && b[2] == 'F' && b[3] == 'I') ||
         (b[0] == 'J' && b[1] == 'E' && b[2] == 'S' && b[3] == 'D');
}

// Where the bytes go. Positions count from the first byte listed; bytes past
// out.size() are counted but not stored.
struct Placement {
  std::span<std::uint8_t> out;
  bool reverse = false;  // groups of more than one byte are little-endian
  std::uint64_t position = 0;
  // The last line with bytes, for '*' to repeat.
  std::uint64_t line_start = 0;
  std::uint64_t line_bytes = 0;
  std::uint64_t last_group_bytes = 0;
  bool repeat = false;  // a '*' line waits for the next offset
  bool based = false;
  std::uint64_t base = 0;
  // The first four bytes at each signature place, both ways, and which of
  // them a line listed (bit k: byte k).
  std::array<Four, kSignaturePlaces> written{};
  std::array<Four, kSignaturePlaces> reversed{};
  std::array<std::uint8_t, kSignaturePlaces> seen{};

  void put(std::uint8_t b) {
    if (position < out.size()) out[static_cast<std::size_t>(position)] = b;
    ++position;
  }

  // Notes a byte at a signature place, as written and as its group's
  // reversal puts it there.
  void note(std::uint64_t at, std::uint8_t as_written, std::uint8_t as_reversed) {
    if (at >= kPlacesEnd || (at & 0xFFU) >= 4 || place_index(at) < 0) return;
    const auto i = static_cast<std::size_t>(place_index(at));
    written[i][at & 3U] = as_written;
    reversed[i][at & 3U] = as_reversed;
    seen[i] = static_cast<std::uint8_t>(seen[i] | 1U << (at & 3U));
  }

  // Stores the pairs of the run of hex digits at text[from] in the order
  // written; returns the run's length (an odd one ends with a digit that no
  // pair took). The group's caller ends it with placed().
  std::size_t store_run(std::string_view text, std::size_t from) {
    // In locals: a store through the byte pointer could change any member.
    std::uint8_t* const data = out.data();
    const std::uint64_t size = out.size();
    std::uint64_t at = position;
    std::size_t i = from;
    for (; i + 1 < text.size(); i += 2, ++at) {
      const int high = hex_digit(text[i]);
      const int low = hex_digit(text[i + 1]);
      if ((high | low) < 0) break;
      if (at < size) data[at] = static_cast<std::uint8_t>(high << 4 | low);
    }
    position = at;
    if (i < text.size() && hex_digit(text[i]) >= 0) ++i;
    return i - from;
  }

  // The group whose pairs store_run put from start on: noted where it meets
  // a signature place, and turned round when the listing prints
  // little-endian groups and this one may be such a group.
  void placed(std::string_view digits, std::uint64_t start, bool reversible) {
    const std::size_t n = digits.size() / 2;
    const std::uint64_t low = start & 0xFFU;
    if (start < kPlacesEnd && (low < 4 || low + n > 256)) {
      for (std::size_t k = 0; k < n; ++k) {
        note(start + k, byte_at(digits, 2 * k), byte_at(digits, 2 * (reversible ? n - 1 - k : k)));
      }
    }
    if (!reverse || !reversible) return;
    for (std::size_t k = 0; k < n && start + k < out.size(); ++k) {
      out[static_cast<std::size_t>(start + k)] = byte_at(digits, 2 * (n - 1 - k));
    }
  }

  // One token's digits, read by the rules above.
  void put_group(std::string_view digits, bool reversible) {
    if (digits.size() == 1) {
      put_byte(static_cast<std::uint8_t>(hex_digit(digits[0])));
      return;
    }
    const std::uint64_t start = position;
    store_run(digits, 0);
    placed(digits, start, reversible);
    last_group_bytes = digits.size() / 2;
  }

  // A byte that is a group of its own: the same both ways.
  void put_byte(std::uint8_t b) {
    note(position, b, b);
    put(b);
    last_group_bytes = 1;
  }

  // The order the signature places tell: Unknown while a place before the
  // first signature may still be listed; at the end (final) such places are
  // passed over, and without any signature the order is as written.
  Order order(bool final) const {
    for (std::size_t i = 0; i < kSignaturePlaces; ++i) {
      if (seen[i] != 0xF) {
        if (final) continue;
        return Order::Unknown;
      }
      if (is_signature(written[i])) return Order::Written;
      if (is_signature(reversed[i])) return Order::Reversed;
    }
    return Order::Written;
  }

  // Repeats the last line up to end, storing only what fits in out.
  void fill(std::uint64_t end) {
    const std::uint64_t stop = end < out.size() ? end : out.size();
    for (std::uint64_t i = position; i < stop; ++i) {
      out[static_cast<std::size_t>(i)] =
          out[static_cast<std::size_t>(line_start + (i - position) % line_bytes)];
    }
    position = end;
  }

  // A line states its offset; false when the line cannot stand there. lone:
  // the line holds nothing but the offset (the closing line), which may end
  // the input inside the last group (the padding of an odd-length word dump).
  bool seek(std::uint64_t offset, bool lone) {
    if (!based) {
      based = true;
      base = offset;
      return true;
    }
    if (offset < base || offset - base > kMaxPosition) return false;
    const std::uint64_t at = offset - base;
    if (repeat) {
      if (at < position || line_bytes == 0) return false;
      fill(at);
      repeat = false;
      return true;
    }
    if (at == position) return true;
    if (lone && at < position && position - at < last_group_bytes) {
      for (std::uint64_t i = at; i < position && i < out.size(); ++i) out[static_cast<std::size_t>(i)] = 0;
      position = at;
      return true;
    }
    return false;
  }

  void begin_line() { line_start = position; }
  void end_line() { line_bytes = position - line_start; }
};

// ---- Bare hex and C arrays --------------------------------------------------

// Bare tokens are pairs or even-length runs of hex digits, or 0x with one or
// two digits; in a C array they are C's integer literals of a byte (0x..
// hex, 0.. octal, else decimal). White space, commas and braces separate
// them; '//' ends the line and '/* */' is skipped, also across lines.
struct BareScan {
  bool in_comment = false;
  int depth = 0;  // of braces, in a C array; the array ends when it is 0 again
  bool closed = false;
};

enum class Scan { Ok, Bad };

// The value of a C integer literal that fits a byte, or -1.
int c_byte_literal(std::string_view s) {
  unsigned radix = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    radix = 16;
    s.remove_prefix(2);
    if (s.size() > 2) return -1;
  } else if (s.size() > 1 && s[0] == '0') {
    radix = 8;
  }
  unsigned value = 0;
  for (const char c : s) {
    const int d = hex_digit(c);
    if (d < 0 || static_cast<unsigned>(d) >= radix) return -1;
    value = value * radix + static_cast<unsigned>(d);
    if (value > 0xFF) return -1;
  }
  return static_cast<int>(value);
}

constexpr bool ends_token(std::string_view line, std::size_t end) {
  return end == line.size() || is_blank(line[end]) || line[end] == ',' || line[end] == '{' ||
         line[end] == '}' || line[end] == '/';
}

// Walks line from its start; each token goes to emit: hex digits (bare) or
// the value of a C literal (array). With array set, braces count depth and
// the walk stops at the brace that closes the array.
template <class Emit>
Scan scan_bare(std::string_view line, BareScan& state, bool array, Emit emit) {
  std::size_t i = 0;
  while (i < line.size()) {
    if (state.in_comment) {
      const std::size_t end = line.find("*/", i);
      if (end == std::string_view::npos) return Scan::Ok;
      state.in_comment = false;
      i = end + 2;
      continue;
    }
    const char c = line[i];
    if (is_blank(c) || c == ',') {
      ++i;
    } else if (c == '{' || c == '}') {
      ++i;
      if (!array) continue;
      state.depth += c == '{' ? 1 : -1;
      if (state.depth == 0) {
        state.closed = true;
        return Scan::Ok;
      }
    } else if (slice(line, i, 2) == "//") {
      return Scan::Ok;
    } else if (slice(line, i, 2) == "/*") {
      state.in_comment = true;
      i += 2;
    } else if (array) {
      std::size_t end = i;
      while (end < line.size() && (hex_digit(line[end]) >= 0 || line[end] == 'x' || line[end] == 'X')) ++end;
      const int value = end > i ? c_byte_literal(slice(line, i, end - i)) : -1;
      if (value < 0 || !ends_token(line, end)) return Scan::Bad;
      emit(std::string_view(), value);
      i = end;
    } else {
      const bool prefixed = slice(line, i, 2) == "0x" || slice(line, i, 2) == "0X";
      const std::size_t from = prefixed ? i + 2 : i;
      const std::size_t n = hex_run(line, from);
      if (n == 0 || (prefixed ? n > 2 : n % 2 != 0) || !ends_token(line, from + n)) return Scan::Bad;
      emit(slice(line, from, n), -1);
      i = from + n;
    }
  }
  return Scan::Ok;
}

// Where the first '{' outside comments stands, or npos.
std::size_t find_array_start(std::string_view line, BareScan& state) {
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (state.in_comment) {
      const std::size_t end = line.find("*/", i);
      if (end == std::string_view::npos) return std::string_view::npos;
      state.in_comment = false;
      i = end + 1;
    } else if (slice(line, i, 2) == "//") {
      return std::string_view::npos;
    } else if (slice(line, i, 2) == "/*") {
      state.in_comment = true;
      ++i;
    } else if (line[i] == '{') {
      return i;
    }
  }
  return std::string_view::npos;
}

// ---- Listings with an offset column -----------------------------------------

// Digits a group may have: a bit per count of bytes (bit n: 2n digits).
constexpr std::uint32_t kAnyGroup = 0xFFFFFFFE;
constexpr std::uint32_t kByteGroups = 1U << 1;
constexpr std::uint32_t kOdGroups = 1U << 1 | 1U << 2 | 1U << 4 | 1U << 8;

struct DumpForm {
  char after_offset;          // ':' after xxd's offset, else 0
  char text_mark;             // opens the text column ('|', '>'), 0: none
  bool text_after_gap;        // the text column follows two blanks (xxd)
  std::uint32_t group_bytes;  // kAnyGroup: any, else a bit per count of bytes
  unsigned radix;             // of the offsets; 0: decided by the listing
};

// Tried in this order on the first line with bytes.
constexpr DumpForm kDumpForms[] = {
    {':', 0, true, kAnyGroup, 16},     // xxd (any -g, -e), kernel and bootloader dumps
    {0, '|', false, kByteGroups, 16},  // hexdump -C
    {0, '>', false, kOdGroups, 0},     // od -t x1z and the like
    {0, 0, false, kOdGroups, 0},       // od -t x1/x2/x4/x8, od -x, hexdump
};

// Offsets of listings without a colon are this long at least, so that a
// line of bare pairs never passes for one. No offset is longer than 64 bits
// in hex.
constexpr std::size_t kMinOffsetDigits = 6;
constexpr std::size_t kMaxOffsetDigits = 16;

enum class Kind { Bad, Repeat, Offset, Data };

struct DumpLine {
  Kind kind = Kind::Bad;
  std::string_view offset;
  std::string_view groups;  // the groups and the blanks between them
  std::size_t bytes = 0;
  std::size_t last_group_bytes = 0;
};

// Looking at a line only: its offset is fine, its groups go nowhere.
struct Look {
  bool at(std::string_view, bool) { return true; }
  std::size_t run(std::string_view line, std::size_t from) { return hex_run(line, from); }
};

// line: trimmed, not empty. The offset goes to visit.at (with lone: nothing
// else on the line), which may refuse it; visit.run then takes each run of
// hex digits and says how long it is. A line found bad may have placed some.
template <class Visit>
DumpLine classify_dump(std::string_view line, const DumpForm& form, Visit& visit) {
  DumpLine d;
  if (line == "*") {
    d.kind = Kind::Repeat;
    return d;
  }
  const std::size_t digits = hex_run(line, 0);
  if (digits == 0 || digits > kMaxOffsetDigits || (form.after_offset == 0 && digits < kMinOffsetDigits))
    return d;
  d.offset = slice(line, 0, digits);
  std::size_t i = digits;
  if (form.after_offset != 0) {
    if (i == line.size() || line[i] != form.after_offset) return d;
    ++i;
  }
  const bool lone = i == line.size();
  if (!lone && !is_blank(line[i])) return d;
  if (!visit.at(d.offset, lone)) return d;
  if (lone) {
    d.kind = Kind::Offset;
    return d;
  }
  // In locals: the visitor's stores could change anything in memory.
  const char mark = form.text_mark;
  const bool gap = form.text_after_gap;
  const std::uint32_t sizes = form.group_bytes;
  const std::size_t size = line.size();
  std::size_t bytes = 0;
  std::size_t last = 0;
  const std::size_t groups_from = i;
  std::size_t groups_end = i;
  bool marked = false;
  while (i < size) {
    const std::size_t blank = i;
    while (i < size && is_blank(line[i])) ++i;
    if (i == size) break;
    // xxd's text column: after a wider gap, no longer than the bytes. A
    // longer rest is the padding before xxd -e's short last group.
    if (gap && i - blank >= 2 && bytes > 0 && size - i <= bytes) break;
    if (mark != 0 && line[i] == mark) {
      marked = true;
      break;
    }
    const std::size_t n = visit.run(line, i);
    if (n == 0 || n % 2 != 0) return d;
    if (sizes != kAnyGroup && (n / 2 >= 32 || (sizes >> n / 2 & 1U) == 0)) return d;
    i += n;
    if (i < size && !is_blank(line[i])) return d;
    bytes += n / 2;
    last = n / 2;
    groups_end = i;
  }
  if (bytes == 0 || (mark != 0 && !marked)) return d;
  d.groups = slice(line, groups_from, groups_end - groups_from);
  d.bytes = bytes;
  d.last_group_bytes = last;
  d.kind = Kind::Data;
  return d;
}

// The offset's value; false for a digit the radix lacks or an overflow.
// Offsets have at most kMaxOffsetDigits digits, which no radix here lets
// overflow 64 bits.
bool offset_value(std::string_view digits, unsigned radix, std::uint64_t& value) {
  value = 0;
  for (const char c : digits) {
    const int d = hex_digit(c);
    if (d < 0 || static_cast<unsigned>(d) >= radix) return false;
    value = value * radix + static_cast<unsigned>(d);
  }
  return true;
}

// Whether the offsets a to b are the step the line before makes, as seek
// would take it.
bool step_fits(std::uint64_t a, std::uint64_t b, const DumpLine& line_before, bool repeated, bool lone) {
  if (b < a) return false;
  const std::uint64_t step = b - a;
  const std::uint64_t bytes = line_before.bytes;
  // A '*' stands for at least one line left out.
  if (repeated) return step >= 2 * bytes && step % bytes == 0;
  return step == bytes || (lone && step < bytes && bytes - step < line_before.last_group_bytes);
}

// A listing line as the reader sees it: without blanks around it and, in a
// log, without the stamp and tag in front.
std::string_view content(std::string_view raw, bool log) {
  const std::string_view line = trim(raw);
  return log && !line.empty() ? strip_log_prefix(line) : line;
}

// The offsets' radix, for a form that does not tell (od prints octal,
// decimal or hex offsets, hexdump hex): the one in which the offsets step
// by the bytes of the lines, read ahead from the first line. Where more
// than one fits every step, the one the tools print with such a line wins:
// hex for six digits (od -A x), else octal or decimal (od), any of the
// three for 16-bit words (od -x, hexdump). Where that still leaves more
// than one and they place a line differently, that line is refused: the
// listing does not say where its bytes go.
struct RadixChoice {
  unsigned radix = 16;
  std::size_t refuse_line = 0;
};

constexpr unsigned kRadices[] = {8, 10, 16};

RadixChoice decide_radix(const DumpForm& form, Lines lines, const DumpLine& first, bool log) {
  if (form.radix != 0) return {form.radix, 0};
  std::uint64_t base[3] = {};
  std::uint64_t before_value[3] = {};
  bool alive[3] = {};
  for (std::size_t r = 0; r < 3; ++r) {
    alive[r] = offset_value(first.offset, kRadices[r], base[r]);
    before_value[r] = base[r];
  }
  // Per pair of radices (8-10, 8-16, 10-16): the first line they place apart.
  std::size_t apart[3] = {};
  constexpr std::size_t kPairs[3][2] = {{0, 1}, {0, 2}, {1, 2}};
  const auto count = [&] { return std::size_t{alive[0]} + alive[1] + alive[2]; };
  DumpLine before = first;
  bool repeated = false;
  std::string_view raw;
  Look look;
  while (count() > 1 && lines.next(raw)) {
    const std::string_view trimmed = trim(raw);
    if (trimmed.empty() || is_comment_line(trimmed)) continue;
    const DumpLine d = classify_dump(content(raw, log), form, look);
    if (d.kind == Kind::Bad) break;
    if (d.kind == Kind::Repeat) {
      repeated = true;
      continue;
    }
    const bool lone = d.kind == Kind::Offset;
    bool valid[3] = {};
    bool fits[3] = {};
    std::uint64_t value[3] = {};
    for (std::size_t r = 0; r < 3; ++r) {
      valid[r] = alive[r] && offset_value(d.offset, kRadices[r], value[r]);
      fits[r] = valid[r] && step_fits(before_value[r], value[r], before, repeated, lone);
    }
    // A line no step explains: at least its digits tell what they can.
    if (!fits[0] && !fits[1] && !fits[2]) {
      if (valid[0] || valid[1] || valid[2]) std::copy(valid, valid + 3, alive);
      break;
    }
    for (std::size_t p = 0; p < 3; ++p) {
      const std::size_t a = kPairs[p][0];
      const std::size_t b = kPairs[p][1];
      if (fits[a] && fits[b] && apart[p] == 0 && value[a] - base[a] != value[b] - base[b])
        apart[p] = lines.number;
    }
    for (std::size_t r = 0; r < 3; ++r) {
      alive[r] = fits[r];
      before_value[r] = value[r];
    }
    if (lone) break;
    before = d;
    repeated = false;
  }
  if (count() > 1) {
    const bool words = first.last_group_bytes == 2;
    const bool usual[3] = {words || first.offset.size() != 6, words || first.offset.size() != 6,
                           words || first.offset.size() == 6};
    if ((alive[0] && usual[0]) || (alive[1] && usual[1]) || (alive[2] && usual[2])) {
      for (std::size_t r = 0; r < 3; ++r) alive[r] = alive[r] && usual[r];
    }
  }
  RadixChoice choice;
  for (std::size_t r = 3; r-- > 0;) {
    if (alive[r]) choice.radix = kRadices[r];
  }
  for (std::size_t p = 0; p < 3; ++p) {
    const std::size_t line = apart[p];
    if (alive[kPairs[p][0]] && alive[kPairs[p][1]] && line != 0 &&
        (choice.refuse_line == 0 || line < choice.refuse_line)) {
      choice.refuse_line = line;
    }
  }
  return choice;
}

// Groups as the tokens of a dump line.
template <class Emit>
void for_each_group(std::string_view groups, Emit emit) {
  std::size_t i = 0;
  while (i < groups.size()) {
    if (is_blank(groups[i])) {
      ++i;
      continue;
    }
    const std::size_t n = hex_run(groups, i);
    emit(slice(groups, i, n));
    i += n;
  }
}

// ---- The reader ---------------------------------------------------------------

enum class Form { Unknown, Dump, Bare, Array };

struct Reader {
  Placement place;
  Lines lines;
  Form form = Form::Unknown;
  const DumpForm* dump = nullptr;
  unsigned radix = 16;
  std::size_t refuse_line = 0;  // a line whose offset no single radix explains
  bool log = false;             // lines carry a log's stamp or tag
  bool settled = false;         // the byte order is known
  bool restart = false;         // ...and it is not the one this pass reads in
  BareScan bare;
  std::size_t comment_line = 0;  // where an open '/*' began
  // A line no form explains, seen before any form was found: still fine if
  // a C array follows, whose declaration may stand on lines before its '{'.
  std::size_t unexplained = 0;
  // A lone run of digits, the closing offset of an empty dump: fine alone.
  std::size_t closing = 0;

  // The placing side of classify_dump.
  struct Place {
    Reader& reader;
    bool at(std::string_view digits, bool lone) {
      std::uint64_t offset = 0;
      if (!offset_value(digits, reader.radix, offset) || !reader.place.seek(offset, lone)) return false;
      if (!lone) reader.place.begin_line();
      return true;
    }
    std::size_t run(std::string_view line, std::size_t from) { return reader.place.store_run(line, from); }
  };

  // false: the line cannot be read.
  bool read_dump_line(std::string_view line) {
    Place visit{*this};
    const DumpLine d = classify_dump(line, *dump, visit);
    if (d.kind == Kind::Bad) return false;
    if (d.kind == Kind::Repeat) {
      if (!place.based) return false;
      place.repeat = true;
      return true;
    }
    if (d.kind == Kind::Data) {
      place.end_line();
      place.last_group_bytes = d.last_group_bytes;
      // The bytes went in as written; only a line that meets a signature
      // place or is to be turned round needs its groups again.
      const std::uint64_t low = place.line_start & 0xFFU;
      if (place.reverse || (place.line_start < kPlacesEnd && (low < 4 || low + d.bytes > 256))) {
        std::uint64_t start = place.line_start;
        for_each_group(d.groups, [&](std::string_view group) {
          place.placed(group, start, true);
          start += group.size() / 2;
        });
      }
    }
    return true;
  }

  bool read_bare_line(std::string_view line) {
    const bool array = form == Form::Array;
    const bool open = bare.in_comment;
    const auto emit = [&](std::string_view digits, int value) {
      if (value >= 0) {
        place.put_byte(static_cast<std::uint8_t>(value));
      } else {
        // Only four-digit tokens may be words; longer runs are bytes in order.
        place.put_group(digits, digits.size() == 4);
      }
    };
    if (scan_bare(line, bare, array, emit) == Scan::Bad) return false;
    if (!open && bare.in_comment) comment_line = lines.number;
    return true;
  }

  // The first line with bytes, or a '{', decides the form.
  bool read_first_line(std::string_view raw, std::string_view line) {
    const std::string_view stripped = strip_log_prefix(line);
    if (!bare.in_comment && !line.starts_with("/*")) {
      Look look;
      for (const DumpForm& candidate : kDumpForms) {
        const DumpLine d = classify_dump(stripped, candidate, look);
        if (d.kind != Kind::Data) continue;
        form = Form::Dump;
        dump = &candidate;
        log = stripped.size() != line.size();
        const RadixChoice choice = decide_radix(candidate, lines, d, log);
        radix = choice.radix;
        refuse_line = choice.refuse_line;
        return read_dump_line(stripped);
      }
    }
    BareScan probe = bare;
    const std::size_t brace = find_array_start(raw, probe);
    if (brace != std::string_view::npos) {
      form = Form::Array;
      unexplained = 0;
      closing = 0;
      bare.in_comment = false;
      bare.depth = 1;
      return read_bare_line(slice(raw, brace + 1));
    }
    const bool tagged = stripped.size() != line.size();
    const std::string_view text = tagged ? stripped : raw;
    probe = bare;
    std::size_t tokens = 0;
    if (scan_bare(text, probe, false, [&](std::string_view, int) { ++tokens; }) == Scan::Ok) {
      if (tokens == 0) {
        if (!bare.in_comment && probe.in_comment) comment_line = lines.number;
        bare = probe;
        return true;
      }
      form = Form::Bare;
      log = tagged;
      return read_bare_line(text);
    }
    if (hex_run(line, 0) == line.size() && line.size() >= kMinOffsetDigits && line.size() % 2 != 0) {
      if (closing == 0) closing = lines.number;
    } else if (unexplained == 0) {
      unexplained = lines.number;
    }
    return true;
  }

  // Once the signature places tell the byte order, a pass that reads the
  // other order stops, to be read again.
  void settle(bool final) {
    const Order order = place.order(final);
    if (order == Order::Unknown) return;
    settled = true;
    restart = (order == Order::Reversed) != place.reverse;
  }

  // Returns the first line that cannot be read, 0 for none.
  std::size_t run() {
    std::string_view raw;
    while (lines.next(raw)) {
      const std::string_view line = trim(raw);
      if (line.empty() || (!bare.in_comment && is_comment_line(line))) continue;
      if (lines.number == refuse_line) return refuse_line;
      if (form == Form::Unknown) {
        const bool ok = read_first_line(raw, line);
        if (form == Form::Dump || form == Form::Bare) {
          std::size_t before = unexplained;
          if (closing != 0 && (before == 0 || closing < before)) before = closing;
          if (before != 0) return before;
        }
        if (!ok) return lines.number;
      } else if (form == Form::Dump) {
        if (!read_dump_line(log ? strip_log_prefix(line) : line)) return lines.number;
      } else if (!read_bare_line(log ? strip_log_prefix(line) : raw)) {
        return lines.number;
      }
      // Only what stands between the array's braces is read.
      if (form == Form::Array && bare.closed) return 0;
      if (!settled && form != Form::Unknown) {
        settle(false);
        if (restart) return 0;
      }
    }
    if (form == Form::Unknown) return unexplained;
    // A comment still open swallowed the lines after it.
    if (form == Form::Bare && bare.in_comment) return comment_line;
    if (!settled) settle(true);
    return 0;
  }
};

}  // namespace
}  // namespace tolvik::detail

namespace tolvik {

HexResult read_hex_listing(std::string_view text, std::span<std::uint8_t> out) {
  // A byte order mark, as editors on Windows save text, is not part of it.
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  detail::Reader reader;
  reader.place.out = out;
  reader.lines.text = text;
  std::size_t error = reader.run();
  // Read in the other byte order from the start, once that is known.
  if (error == 0 && reader.restart) {
    detail::Reader again;
    again.place.out = out;
    again.place.reverse = !reader.place.reverse;
    again.lines.text = text;
    error = again.run();
    return HexResult{static_cast<std::size_t>(again.place.position), error};
  }
  return HexResult{static_cast<std::size_t>(reader.place.position), error};
}

bool hex_listing_error(const HexResult& hex, std::span<char> out) {
  if (hex.ok() || out.empty()) return !hex.ok();
  if (hex.error_line != 0) {
    std::snprintf(out.data(), out.size(), "Hex text Error: line %zu", hex.error_line);
  } else {
    std::snprintf(out.data(), out.size(), "Hex text Error: no bytes");
  }
  return true;
}

}  // namespace tolvik
