// libFuzzer target for read_hex_listing. Each input is used twice:
//  - as text: read into buffers of two sizes, which must agree (the smaller
//    holds a prefix of the larger, nothing is written past either);
//  - as bytes: written out in every listing form by the small writers below,
//    which must read back to exactly those bytes.
// A violation aborts, so libFuzzer keeps the input as a crash artifact.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tolvik.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

[[noreturn]] void violated(const char* what, const char* form) {
  std::fprintf(stderr, "invariant violated (%s): %s\n", form, what);
  std::abort();
}

// How one listing is written.
struct Style {
  std::size_t base = 0;  // offset of the first byte
  std::size_t group = 2;
  bool squeeze = false;  // fold runs of equal lines into '*'
  bool crlf = false;
  unsigned salt = 0;  // picks separators of bare hex
};

// value in radix, zero-padded to width digits.
void add(std::string& s, std::uint64_t value, unsigned radix, std::size_t width, bool upper = false) {
  char digits[24];
  std::size_t n = 0;
  do {
    digits[n++] = (upper ? "0123456789ABCDEF" : "0123456789abcdef")[value % radix];
    value /= radix;
  } while (value != 0);
  while (n < width) digits[n++] = '0';
  while (n > 0) s += digits[--n];
}

void end_line(std::string& s, const Style& style) { s += style.crlf ? "\r\n" : "\n"; }

char shown(std::uint8_t b) { return b >= 0x20 && b < 0x7f ? static_cast<char>(b) : '.'; }

enum class Dump { Xxd, HexdumpC, OdText, OdBytes, Words };

// The listings with an offset column, 16 bytes a line, as the tools print
// them; Words as hexdump prints 16-bit words on a little-endian machine when
// swapped is set, in the order of the bytes otherwise.
std::string write_dump(const Bytes& data, Dump form, const Style& style, bool swapped) {
  std::string s;
  const bool octal = form == Dump::OdBytes;
  const std::size_t width = form == Dump::Xxd || form == Dump::HexdumpC ? 8 : form == Dump::OdText ? 6 : 7;
  const auto add_offset = [&](std::size_t at) {
    add(s, style.base + at, octal ? 8 : 16, width);
    if (form == Dump::Xxd) s += ':';
    if (form == Dump::HexdumpC) s += ' ';
  };
  const bool closing = form != Dump::Xxd;
  const bool squeeze = style.squeeze && form != Dump::OdText;
  bool folded = false;
  for (std::size_t at = 0; at < data.size(); at += 16) {
    const std::size_t n = data.size() - at < 16 ? data.size() - at : 16;
    // xxd has no closing offset, so its last line is never folded.
    const bool last = at + n == data.size();
    if (squeeze && at >= 16 && n == 16 && !(last && form == Dump::Xxd) &&
        std::memcmp(&data[at], &data[at - 16], 16) == 0) {
      if (!folded) {
        s += "*";
        end_line(s, style);
      }
      folded = true;
      continue;
    }
    folded = false;
    add_offset(at);
    if (form == Dump::Words) {
      for (std::size_t i = 0; i < n; i += 2) {
        const unsigned first = data[at + i];
        const unsigned second = i + 1 < n ? data[at + i + 1] : 0;
        s += ' ';
        add(s, swapped ? second << 8 | first : first << 8 | second, 16, 4);
      }
    } else {
      const std::size_t group = form == Dump::Xxd ? style.group : 1;
      for (std::size_t i = 0; i < n; ++i) {
        if (i % group == 0 || form != Dump::Xxd) s += ' ';
        if (form == Dump::HexdumpC && i == 8) s += ' ';
        add(s, data[at + i], 16, 2);
      }
      if (form != Dump::OdBytes) {
        s.append(3 * (16 - n) + 2, ' ');
        if (form != Dump::Xxd) s += form == Dump::HexdumpC ? '|' : '>';
        for (std::size_t i = 0; i < n; ++i) s += shown(data[at + i]);
        if (form != Dump::Xxd) s += form == Dump::HexdumpC ? '|' : '<';
      }
    }
    end_line(s, style);
  }
  if (closing) {
    add_offset(data.size());
    end_line(s, style);
  }
  return s;
}

// Bare hex: pairs with or without 0x, runs, commas, braces and comments, or
// a C array as xxd -i writes it.
std::string write_bare(const Bytes& data, bool array, const Style& style) {
  std::string s = array ? "// made by hand\nunsigned char page[] = {" : "# bare\n";
  const char* const separators[] = {" ", ", ", ",", "\t", " /* c */ "};
  unsigned salt = style.salt;
  for (std::size_t i = 0; i < data.size(); ++i) {
    salt = salt * 1103515245u + 12345u;
    const bool prefixed = array || (salt >> 8 & 1) != 0;
    const bool upper = (salt >> 9 & 1) != 0;
    if (prefixed) s += upper ? "0X" : "0x";
    add(s, data[i], 16, 2, upper);
    // Not among the first two: runs of four digits there decide whether
    // every such run is a swapped word.
    if (!prefixed && (salt >> 10 & 3) == 0 && i >= 4 && i + 1 < data.size()) {
      add(s, data[++i], 16, 2);  // a run of two pairs
    }
    if ((salt >> 12 & 7) == 0) {
      if ((salt >> 15 & 1) != 0) s += " // note";
      end_line(s, style);
    } else {
      s += separators[(salt >> 16) % 5];
    }
  }
  if (array) {
    s += "};";
    end_line(s, style);
    s += "unsigned int page_len = ";
    add(s, data.size(), 10, 1);
    s += ';';
  }
  end_line(s, style);
  return s;
}

void round_trip(const Bytes& data, const std::string& text, const char* form) {
  Bytes out(data.size());
  const tolvik::HexResult r = tolvik::read_hex_listing(text, out);
  if (r.error_line != 0) violated("a line of the listing was refused", form);
  if (r.size != data.size()) violated("the listing read back to another length", form);
  if (out != data) violated("the listing read back to other bytes", form);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
  // As text: the result must not depend on the room given.
  const std::string_view text(reinterpret_cast<const char*>(input), size);
  Bytes small(size == 0 ? 0 : input[0] % 64);
  Bytes large(4096);
  const tolvik::HexResult a = tolvik::read_hex_listing(text, small);
  const tolvik::HexResult b = tolvik::read_hex_listing(text, large);
  if (a.size != b.size || a.error_line != b.error_line) violated("the result depends on the room", "text");
  const std::size_t stored = a.size < small.size() ? a.size : small.size();
  if (stored != 0 && std::memcmp(small.data(), large.data(), stored) != 0)
    violated("the stored bytes depend on the room", "text");

  // As bytes: the first four choose the style.
  if (size < 5) return 0;
  Style style;
  style.base = static_cast<std::size_t>(input[0]) * (input[1] & 0x80 ? 256 : 1);
  style.group = std::size_t{1} << (input[1] & 3);
  style.squeeze = (input[1] & 4) != 0;
  style.crlf = (input[1] & 8) != 0;
  style.salt = static_cast<unsigned>(input[2]) << 8 | input[3];
  const Bytes data(input + 4, input + size);
  // Words: a page's signature shows they are swapped; bytes that would read
  // as a swapped signature in the order written ("NOIF" prints as
  // "4e4f 4946", "EJDS" as "454a 4453") cannot be told apart.
  const auto starts = [&](const char* four) {
    return data.size() >= 4 && std::memcmp(data.data(), four, 4) == 0;
  };
  const bool signature = starts("ONFI") || starts("JESD");
  const bool looks_swapped = starts("NOIF") || starts("EJDS");
  if (looks_swapped && style.group == 2) style.group = 1;

  round_trip(data, write_dump(data, Dump::Xxd, style, false), "xxd");
  round_trip(data, write_dump(data, Dump::HexdumpC, style, false), "hexdump -C");
  round_trip(data, write_dump(data, Dump::OdText, style, false), "od -A x -t x1z");
  round_trip(data, write_dump(data, Dump::OdBytes, style, false), "od -t x1");
  round_trip(data, write_bare(data, false, style), "bare hex");
  round_trip(data, write_bare(data, true, style), "C array");
  if (!looks_swapped) round_trip(data, write_dump(data, Dump::Words, style, signature), "hexdump");
  return 0;
}
