#include "format.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace tolvik::detail {
namespace {

// Bounded writer: keeps one byte for the NUL and drops what does not fit.
// The report's pieces are mostly a few bytes long, so they are moved by
// plain loops: a library call per piece cost more than the copying itself.
struct Sink {
  char* at;
  char* end;
  std::size_t dropped = 0;  // characters that did not fit, so the caller learns the whole length

  void put(const char* text, std::size_t n) {
    const auto room = static_cast<std::size_t>(end - at);
    if (n > room) {
      dropped += n - room;
      n = room;
    }
    for (std::size_t i = 0; i < n; ++i) at[i] = text[i];
    at += n;
  }
  void fill(char c, std::size_t n) {
    const auto room = static_cast<std::size_t>(end - at);
    if (n > room) {
      dropped += n - room;
      n = room;
    }
    for (std::size_t i = 0; i < n; ++i) at[i] = c;
    at += n;
  }
  // Whole texts of a line or so (the flag lines) go faster through the
  // library.
  void copy(const char* text, std::size_t n) {
    const auto room = static_cast<std::size_t>(end - at);
    if (n > room) {
      dropped += n - room;
      n = room;
    }
    if (n == 0) return;
    std::memcpy(at, text, n);
    at += n;
  }
  // Copies up to the text's NUL or stop, whichever comes first; returns
  // where it stopped in text.
  const char* put_until(const char* text, char stop) {
    while (*text != stop && *text != '\0' && at != end) *at++ = *text++;
    for (; *text != stop && *text != '\0'; ++text) ++dropped;
    return text;
  }
};

struct Conversion {
  bool left = false;
  bool zero = false;
  unsigned width = 0;
  bool has_precision = false;
  unsigned precision = 0;
  char letter = 0;
};

const char* parse_conversion(const char* f, Conversion& conv) {
  for (; *f == '-' || *f == '0'; ++f) {
    if (*f == '-') conv.left = true;
    if (*f == '0') conv.zero = true;
  }
  for (; *f >= '0' && *f <= '9'; ++f) conv.width = conv.width * 10 + static_cast<unsigned>(*f - '0');
  if (*f == '.') {
    conv.has_precision = true;
    for (++f; *f >= '0' && *f <= '9'; ++f) {
      conv.precision = conv.precision * 10 + static_cast<unsigned>(*f - '0');
    }
  }
  conv.letter = *f;
  return f + 1;
}

// Decimal digits of v, written backwards from the end of a buffer, two per
// division by a constant: the report's numbers run up to ten digits.
constexpr auto kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (std::size_t i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

char* decimal_digits(std::uint32_t v, char* end) {
  char* p = end;
  while (v >= 100) {
    const std::uint32_t pair = v % 100;
    v /= 100;
    p -= 2;
    p[0] = kDigitPairs[2 * pair];
    p[1] = kDigitPairs[2 * pair + 1];
  }
  if (v >= 10) {
    p -= 2;
    p[0] = kDigitPairs[2 * v];
    p[1] = kDigitPairs[2 * v + 1];
  } else {
    *--p = static_cast<char>('0' + v);
  }
  return p;
}

char* hex_digits(std::uint32_t v, const char* digits, char* end) {
  char* p = end;
  do {
    *--p = digits[v & 0xFU];
    v >>= 4;
  } while (v != 0);
  return p;
}

// Pads body to the conversion's width; zeros go between the sign and the digits,
// as printf puts them.
void put_padded(Sink& out, const Conversion& conv, const char* body, std::size_t n, bool zero_pad) {
  const std::size_t pad = conv.width > n ? conv.width - n : 0;
  if (conv.left) {
    out.put(body, n);
    out.fill(' ', pad);
  } else if (zero_pad) {
    const std::size_t sign = (n > 0 && body[0] == '-') ? 1 : 0;
    out.put(body, sign);
    out.fill('0', pad);
    out.put(body + sign, n - sign);
  } else {
    out.fill(' ', pad);
    out.put(body, n);
  }
}

void put_unsigned(Sink& out, const Conversion& conv, std::uint32_t v) {
  char buf[48];
  char* const end = buf + sizeof buf;
  char* p = conv.letter == 'u'   ? decimal_digits(v, end)
            : conv.letter == 'X' ? hex_digits(v, "0123456789ABCDEF", end)
                                 : hex_digits(v, "0123456789abcdef", end);
  if (conv.has_precision) {
    // An explicit precision is the minimum digit count; precision 0 prints
    // nothing for 0.
    if (conv.precision == 0 && v == 0) p = end;
    while (static_cast<unsigned>(end - p) < conv.precision) *--p = '0';
  }
  put_padded(out, conv, p, static_cast<std::size_t>(end - p), conv.zero && !conv.has_precision);
}

// A text's characters: its known length, or up to its NUL (glibc prints a
// null pointer as "(null)").
std::string_view text_of(const FormatArg& arg) {
  if (arg.s == nullptr) return "(null)";
  if (arg.n != FormatArg::kUnknownLength) return {arg.s, arg.n};
  return arg.s;
}

void put_text(Sink& out, const Conversion& conv, std::string_view text) {
  if (conv.has_precision && text.size() > conv.precision) text = text.substr(0, conv.precision);
  put_padded(out, conv, text.data(), text.size(), false);
}

// Tenths of 0..6553.5, the report's capacitances: "%.1f" of v * 0.1 prints
// the digits of v with a point before the last one (checked for every 16-bit
// v against the C library). Other values go to the C library itself.
void put_real(Sink& out, const Conversion& conv, double d) {
  const unsigned precision = conv.has_precision ? conv.precision : 6;
  if (precision == 1 && !std::signbit(d) && d <= 6553.5) {
    const auto v = static_cast<std::uint32_t>(d * 10.0 + 0.5);
    if (static_cast<double>(v) * 0.1 == d) {
      char buf[16];
      char* const end = buf + sizeof buf;
      char* p = end;
      *--p = static_cast<char>('0' + v % 10);
      *--p = '.';
      p = decimal_digits(v / 10, p);
      put_padded(out, conv, p, static_cast<std::size_t>(end - p), conv.zero);
      return;
    }
  }
  // Any double: at most 309 integer digits, the point and kMaxPrecision.
  char buf[400];
  const int width = static_cast<int>(conv.width);
  const int digits = static_cast<int>(precision);
  int n = 0;
  if (conv.left) {
    n = std::snprintf(buf, sizeof buf, "%-*.*f", width, digits, d);
  } else if (conv.zero) {
    n = std::snprintf(buf, sizeof buf, "%0*.*f", width, digits, d);
  } else {
    n = std::snprintf(buf, sizeof buf, "%*.*f", width, digits, d);
  }
  if (n > 0)
    out.put(buf, static_cast<std::size_t>(n) < sizeof buf ? static_cast<std::size_t>(n) : sizeof buf - 1);
}

}  // namespace

std::size_t format_to(char* out, std::size_t room, const char* format, const FormatArg* args,
                      std::size_t lead, std::size_t* needed) {
  // Without room the sink takes nothing and only counts.
  Sink sink{out, room == 0 ? out : out + room - 1};
  sink.copy(format, lead);
  const char* f = format + lead;
  for (;;) {
    f = sink.put_until(f, '%');
    if (*f == '\0') break;
    ++f;
    if (*f == '%') {
      sink.put("%", 1);
      ++f;
      continue;
    }
    const FormatArg& arg = *args++;
    // The report's commonest conversions, without width or precision.
    if (*f == 'u') {
      char buf[16];
      char* const end = buf + sizeof buf;
      const char* p = decimal_digits(arg.u, end);
      sink.put(p, static_cast<std::size_t>(end - p));
      ++f;
      continue;
    }
    if (*f == 's') {
      const std::string_view text = text_of(arg);
      sink.copy(text.data(), text.size());
      ++f;
      continue;
    }
    Conversion conv;
    f = parse_conversion(f, conv);
    switch (conv.letter) {
      case 'u':
      case 'x':
      case 'X':
        put_unsigned(sink, conv, arg.u);
        break;
      case 's':
        put_text(sink, conv, text_of(arg));
        break;
      default:
        put_real(sink, conv, arg.f);
        break;
    }
  }
  if (room != 0) *sink.at = '\0';
  const auto written = static_cast<std::size_t>(sink.at - out);
  if (needed != nullptr) *needed = written + sink.dropped;
  return written;
}

}  // namespace tolvik::detail
