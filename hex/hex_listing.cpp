// Hex listings read back into the bytes they list.
//
// The text is read once, line by line, without allocating. The first line
// that holds bytes fixes the listing's form; every later line must be of that
// form. Listings with an offset column (xxd, hexdump, od) go through one
// classifier driven by a table row per form and one placement routine that
// applies offsets and '*' lines. Bare hex and C arrays share one tokenizer.
#include <cstddef>
#include <cstdint>
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

constexpr bool is_blank(char c) { return c == ' ' || c == '\t'; }

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

// The text line by line: '\n' ends a line, a '\r' before it is dropped.
struct Lines {
  std::string_view text;
  std::size_t at = 0;
  std::size_t number = 0;  // of the line last returned, 1-based

  bool next(std::string_view& line) {
    if (at >= text.size()) return false;
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    line = slice(text, at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    at = end + 1;
    ++number;
    return true;
  }
};

// Whole-line comments; trimmed is not empty.
bool is_comment_line(std::string_view trimmed) { return trimmed[0] == '#' || trimmed.starts_with("//"); }

// Positions stay far below overflow: a line adds fewer bytes than the text
// has characters, and the text is at most kHexTextLimit long.
constexpr std::uint64_t kMaxPosition = std::numeric_limits<std::size_t>::max() / 2;

// Where the bytes go. Positions count from the first byte listed; bytes past
// out.size() are counted but not stored.
struct Placement {
  std::span<std::uint8_t> out;
  bool swap = false;  // 4-digit groups are byte-swapped words
  std::uint64_t position = 0;
  // The last line with bytes, for '*' to repeat.
  std::uint64_t line_start = 0;
  std::uint64_t line_bytes = 0;
  std::uint64_t last_group_bytes = 0;
  bool repeat = false;  // a '*' line waits for the next offset
  bool based = false;
  std::uint64_t base = 0;

  void put(std::uint8_t b) {
    if (position < out.size()) out[static_cast<std::size_t>(position)] = b;
    ++position;
  }

  // One token's digits: pairs in the order written, or a swapped word.
  void put_group(std::string_view digits) {
    if (digits.size() == 1) {
      put(static_cast<std::uint8_t>(hex_digit(digits[0])));
    } else if (swap && digits.size() == 4) {
      put(byte_at(digits, 2));
      put(byte_at(digits, 0));
    } else {
      for (std::size_t i = 0; i + 1 < digits.size(); i += 2) put(byte_at(digits, i));
    }
    last_group_bytes = (digits.size() + 1) / 2;
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

// Tokens are pairs or even-length runs of hex digits, or 0x with one or two
// digits (a C literal); white space, commas and braces separate them; '//'
// ends the line and '/* */' is skipped, also across lines.
struct BareScan {
  bool in_comment = false;
  int depth = 0;  // of braces, in a C array; the array ends when it is 0 again
  bool closed = false;
};

enum class Scan { Ok, Bad };

// Walks line from its start; each token goes to emit. With array set, braces
// count depth and the walk stops at the brace that closes the array.
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
    } else {
      const bool prefixed = slice(line, i, 2) == "0x" || slice(line, i, 2) == "0X";
      const std::size_t from = prefixed ? i + 2 : i;
      const std::size_t n = hex_run(line, from);
      if (n == 0 || (prefixed ? n > 2 : n % 2 != 0)) return Scan::Bad;
      const std::size_t end = from + n;
      if (end < line.size() && !is_blank(line[end]) && line[end] != ',' && line[end] != '{' &&
          line[end] != '}' && line[end] != '/') {
        return Scan::Bad;
      }
      emit(slice(line, from, n));
      i = end;
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

struct DumpForm {
  char after_offset;     // ':' after xxd's offset, else 0
  char text_mark;        // opens the text column ('|', '>'), 0: none
  bool text_after_gap;   // the text column follows two blanks (xxd)
  std::size_t group;     // digits per group, 0: any even count
  unsigned radix;        // of the offsets; 0: decided by the listing
  unsigned usual_radix;  // when the listing does not decide it
};

// Tried in this order on the first line with bytes.
constexpr DumpForm kDumpForms[] = {
    {':', 0, true, 0, 16, 16},   // xxd (any -g), xxd -a
    {0, '|', false, 2, 16, 16},  // hexdump -C
    {0, '>', false, 2, 0, 16},   // od -A x -t x1z
    {0, 0, false, 2, 0, 8},      // od -t x1
    {0, 0, false, 4, 0, 16},     // hexdump, od -x: 16-bit words
};

// Offsets of listings without a colon are this long at least, so that a
// line of bare pairs never passes for one.
constexpr std::size_t kMinOffsetDigits = 6;

enum class Kind { Bad, Repeat, Offset, Data };

struct DumpLine {
  Kind kind = Kind::Bad;
  std::string_view offset;
  std::string_view groups;  // groups and the blanks between them
  std::size_t bytes = 0;
  std::size_t last_group_bytes = 0;
};

// line: trimmed, not empty.
DumpLine classify_dump(std::string_view line, const DumpForm& form) {
  DumpLine d;
  if (line == "*") {
    d.kind = Kind::Repeat;
    return d;
  }
  const std::size_t digits = hex_run(line, 0);
  if (digits == 0 || digits > 16 || (form.after_offset == 0 && digits < kMinOffsetDigits)) return d;
  d.offset = slice(line, 0, digits);
  std::size_t i = digits;
  if (form.after_offset != 0) {
    if (i == line.size() || line[i] != form.after_offset) return d;
    ++i;
  }
  if (i == line.size()) {
    d.kind = Kind::Offset;
    return d;
  }
  if (!is_blank(line[i])) return d;
  const std::size_t groups_from = i;
  std::size_t groups_end = i;
  bool marked = false;
  while (i < line.size()) {
    std::size_t blanks = 0;
    while (i < line.size() && is_blank(line[i])) ++i, ++blanks;
    if (i == line.size()) break;
    if (form.text_after_gap && blanks >= 2 && d.bytes > 0) break;
    if (form.text_mark != 0 && line[i] == form.text_mark) {
      marked = true;
      break;
    }
    const std::size_t n = hex_run(line, i);
    if (n == 0 || n % 2 != 0 || (form.group != 0 && n != form.group)) return d;
    if (i + n < line.size() && !is_blank(line[i + n])) return d;
    d.bytes += n / 2;
    d.last_group_bytes = n / 2;
    i += n;
    groups_end = i;
  }
  if (d.bytes == 0 || (form.text_mark != 0 && !marked)) return d;
  d.groups = slice(line, groups_from, groups_end - groups_from);
  d.kind = Kind::Data;
  return d;
}

// The offset's value; false for a digit the radix lacks or an overflow.
bool offset_value(std::string_view digits, unsigned radix, std::uint64_t& value) {
  value = 0;
  for (const char c : digits) {
    const int d = hex_digit(c);
    if (d < 0 || static_cast<unsigned>(d) >= radix) return false;
    if (value > (std::numeric_limits<std::uint64_t>::max() - static_cast<unsigned>(d)) / radix) return false;
    value = value * radix + static_cast<unsigned>(d);
  }
  return true;
}

bool step_fits(std::string_view from, std::string_view to, unsigned radix, const DumpLine& line_before,
               bool repeated, bool lone) {
  std::uint64_t a = 0;
  std::uint64_t b = 0;
  if (!offset_value(from, radix, a) || !offset_value(to, radix, b) || b < a) return false;
  const std::uint64_t step = b - a;
  const std::uint64_t bytes = line_before.bytes;
  // A '*' stands for at least one line left out.
  if (repeated) return step >= 2 * bytes && step % bytes == 0;
  return step == bytes || (lone && step < bytes && bytes - step < line_before.last_group_bytes);
}

// The offsets' radix, for a form that does not tell: the one in which the
// offsets step by the bytes of the lines, read ahead from the first line.
bool octal_digits(std::string_view digits) {
  for (const char c : digits) {
    if (hex_digit(c) >= 8) return false;
  }
  return true;
}

unsigned decide_radix(const DumpForm& form, Lines lines, DumpLine before) {
  if (form.radix != 0) return form.radix;
  if (!octal_digits(before.offset)) return 16;
  bool repeated = false;
  std::string_view line;
  while (lines.next(line)) {
    line = trim(line);
    if (line.empty() || is_comment_line(line)) continue;
    const DumpLine d = classify_dump(line, form);
    if (d.kind == Kind::Bad) break;
    if (d.kind == Kind::Repeat) {
      repeated = true;
      continue;
    }
    if (!octal_digits(d.offset)) return 16;
    const bool lone = d.kind == Kind::Offset;
    const bool hex = step_fits(before.offset, d.offset, 16, before, repeated, lone);
    const bool octal = step_fits(before.offset, d.offset, 8, before, repeated, lone);
    if (hex != octal) return hex ? 16 : 8;
    if (!hex || lone) break;
    before = d;
    repeated = false;
  }
  return form.usual_radix;
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

// Hexdump and od -x print 16-bit words, byte-swapped on little-endian
// machines; a page starts with its signature, which shows which way round.
bool swapped_signature(std::string_view first, std::string_view second) {
  const auto is = [](std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (hex_digit(a[i]) != hex_digit(b[i])) return false;
    }
    return true;
  };
  return (is(first, "4e4f") && is(second, "4946")) || (is(first, "454a") && is(second, "4453"));
}

template <class Walk>
bool first_groups_swapped(Walk walk) {
  std::string_view groups[2];
  std::size_t count = 0;
  walk([&](std::string_view g) {
    if (count < 2) groups[count] = g;
    ++count;
  });
  return count >= 2 && swapped_signature(groups[0], groups[1]);
}

// ---- The reader ---------------------------------------------------------------

enum class Form { Unknown, Dump, Bare, Array };

struct Reader {
  Placement place;
  Lines lines;
  Form form = Form::Unknown;
  const DumpForm* dump = nullptr;
  unsigned radix = 16;
  BareScan bare;
  std::size_t comment_line = 0;  // where an open '/*' began
  // A line no form explains, seen before any form was found: still fine if
  // a C array follows, whose declaration may stand on lines before its '{'.
  std::size_t unexplained = 0;

  // false: the line cannot be read.
  bool read_dump_line(std::string_view line) {
    const DumpLine d = classify_dump(line, *dump);
    if (d.kind == Kind::Bad) return false;
    if (d.kind == Kind::Repeat) {
      if (!place.based) return false;
      place.repeat = true;
      return true;
    }
    std::uint64_t offset = 0;
    if (!offset_value(d.offset, radix, offset)) return false;
    if (!place.seek(offset, d.kind == Kind::Offset)) return false;
    if (d.kind == Kind::Data) {
      place.begin_line();
      for_each_group(d.groups, [&](std::string_view g) { place.put_group(g); });
      place.end_line();
    }
    return true;
  }

  bool read_bare_line(std::string_view line) {
    const bool array = form == Form::Array;
    if (place.position == 0 && !place.swap) {
      BareScan probe = bare;
      place.swap = first_groups_swapped(
          [&](auto emit) { (void)scan_bare(line, probe, array, [&](std::string_view g) { emit(g); }); });
    }
    const bool open = bare.in_comment;
    if (scan_bare(line, bare, array, [&](std::string_view g) { place.put_group(g); }) == Scan::Bad)
      return false;
    if (!open && bare.in_comment) comment_line = lines.number;
    return true;
  }

  // The first line with bytes, or a '{', decides the form.
  bool read_first_line(std::string_view raw, std::string_view line) {
    if (!bare.in_comment && !line.starts_with("/*")) {
      for (const DumpForm& candidate : kDumpForms) {
        const DumpLine d = classify_dump(line, candidate);
        if (d.kind != Kind::Data) continue;
        form = Form::Dump;
        dump = &candidate;
        radix = decide_radix(candidate, lines, d);
        place.swap = first_groups_swapped([&](auto emit) { for_each_group(d.groups, emit); });
        return read_dump_line(line);
      }
    }
    BareScan probe = bare;
    const std::size_t brace = find_array_start(raw, probe);
    if (brace != std::string_view::npos) {
      form = Form::Array;
      unexplained = 0;
      bare.in_comment = false;
      bare.depth = 1;
      return read_bare_line(slice(raw, brace + 1));
    }
    probe = bare;
    std::size_t tokens = 0;
    if (scan_bare(raw, probe, false, [&](std::string_view) { ++tokens; }) == Scan::Ok) {
      if (tokens == 0) {
        if (!bare.in_comment && probe.in_comment) comment_line = lines.number;
        bare = probe;
        return true;
      }
      form = Form::Bare;
      return read_bare_line(raw);
    }
    // The closing offset line of an empty file's dump holds no bytes.
    if (hex_run(line, 0) == line.size() && line.size() >= kMinOffsetDigits && line.size() % 2 != 0)
      return true;
    if (unexplained == 0) unexplained = lines.number;
    return true;
  }

  // Returns the first line that cannot be read, 0 for none.
  std::size_t run() {
    std::string_view raw;
    while (lines.next(raw)) {
      const std::string_view line = trim(raw);
      if (line.empty() || (!bare.in_comment && is_comment_line(line))) continue;
      if (form == Form::Unknown) {
        const bool ok = read_first_line(raw, line);
        if ((form == Form::Dump || form == Form::Bare) && unexplained != 0) return unexplained;
        if (!ok) return lines.number;
      } else if (!(form == Form::Dump ? read_dump_line(line) : read_bare_line(raw))) {
        return lines.number;
      }
      // Only what stands between the array's braces is read.
      if (form == Form::Array && bare.closed) return 0;
    }
    if (form == Form::Unknown) return unexplained;
    // A comment still open swallowed the lines after it.
    if (form == Form::Bare && bare.in_comment) return comment_line;
    return 0;
  }
};

}  // namespace
}  // namespace tolvik::detail

namespace tolvik {

HexResult read_hex_listing(std::string_view text, std::span<std::uint8_t> out) {
  bool cut = text.size() >= kHexTextLimit;
  if (text.size() > kHexTextLimit) text = detail::slice(text, 0, kHexTextLimit);
  // A text cut at the limit ends in the middle of a line: that line is not
  // read, as if it were beyond the limit too.
  if (cut && !text.empty() && text.back() != '\n') {
    const std::size_t last = text.rfind('\n');
    text = last == std::string_view::npos ? std::string_view() : detail::slice(text, 0, last + 1);
  }
  // A byte order mark, as editors on Windows save text, is not part of it.
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  detail::Reader reader;
  reader.place.out = out;
  reader.lines.text = text;
  const std::size_t error = reader.run();
  return HexResult{static_cast<std::size_t>(reader.place.position), error};
}

}  // namespace tolvik
