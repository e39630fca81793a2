// libFuzzer target for read_hex_listing. Each input is used twice:
//  - as text: read into buffers of two sizes, which must agree (the smaller
//    holds a prefix of the larger, nothing is written past either);
//  - as bytes: written out in every listing form by the small writers below,
//    which must read back to exactly those bytes.
// A violation aborts, so libFuzzer keeps the input as a crash artifact.
#include <algorithm>
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
  const char* line_end = "\n";
  unsigned salt = 0;     // picks separators of bare hex and radices of C literals
  bool decimal = false;  // od's offsets in decimal instead of octal
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

void end_line(std::string& s, const Style& style) { s += style.line_end; }

char shown(std::uint8_t b) { return b >= 0x20 && b < 0x7f ? static_cast<char>(b) : '.'; }

enum class Dump { Xxd, HexdumpC, OdText, OdBytes, Words };

// Whether the writer below folds the line holding byte at into '*'. A
// first line repeated at once is never folded where the form leaves the
// offsets' radix to the listing: the next offset would then step alike in
// more than one radix, and the reader refuses it (hex_test shows it).
bool folded(const Bytes& data, Dump form, const Style& style, std::size_t at) {
  const bool squeeze = style.squeeze && form != Dump::OdText;
  const std::size_t line = at / 16 * 16;
  const std::size_t n = data.size() - line < 16 ? data.size() - line : 16;
  const bool last = line + n == data.size();
  const bool radix_told = form == Dump::Xxd || form == Dump::HexdumpC;
  return squeeze && line >= (radix_told ? 16 : 32) && n == 16 && !(last && form == Dump::Xxd) &&
         std::memcmp(&data[line], &data[line - 16], 16) == 0;
}

// The listings with an offset column, 16 bytes a line, as the tools print
// them; Words as hexdump prints 16-bit words on a little-endian machine when
// swapped is set, in the order of the bytes otherwise.
std::string write_dump(const Bytes& data, Dump form, const Style& style, bool swapped) {
  std::string s;
  const unsigned radix = form != Dump::OdBytes ? 16 : style.decimal ? 10 : 8;
  const std::size_t width = form == Dump::Xxd || form == Dump::HexdumpC ? 8 : form == Dump::OdText ? 6 : 7;
  const auto add_offset = [&](std::size_t at) {
    add(s, style.base + at, radix, width);
    if (form == Dump::Xxd) s += ':';
    if (form == Dump::HexdumpC) s += ' ';
  };
  const bool closing = form != Dump::Xxd;
  bool in_fold = false;
  for (std::size_t at = 0; at < data.size(); at += 16) {
    const std::size_t n = data.size() - at < 16 ? data.size() - at : 16;
    if (folded(data, form, style, at)) {
      if (!in_fold) {
        s += "*";
        end_line(s, style);
      }
      in_fold = true;
      continue;
    }
    in_fold = false;
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

// The places a page may begin, where the reader looks for a signature to
// tell in which order a listing prints the bytes of a group.
constexpr std::size_t kPlaces[] = {0, 256, 512, 1024};

bool near_place(std::size_t at) {
  for (const std::size_t place : kPlaces) {
    if (at >= place && at < place + 4) return true;
  }
  return false;
}

bool is_signature(const std::uint8_t* four) {
  return std::memcmp(four, "ONFI", 4) == 0 || std::memcmp(four, "JESD", 4) == 0;
}

// The data with each group of size bytes turned round (a short last one
// too; a word's missing byte is the zero the writer pads with).
Bytes group_reversed(const Bytes& data, std::size_t size, bool padded) {
  Bytes out = data;
  if (padded && out.size() % size != 0) out.resize(out.size() + size - out.size() % size, 0);
  for (std::size_t at = 0; at < out.size(); at += size) {
    const std::size_t end = at + size < out.size() ? at + size : out.size();
    std::reverse(out.begin() + static_cast<long>(at), out.begin() + static_cast<long>(end));
  }
  return out;
}

// Whether the reader turns the groups of a listing round: at the first
// place the listing shows whole, not folded, where a signature stands as
// the groups are written or turned round. shown: the bytes as the listing
// writes them, group by group; turned: each group turned round.
bool reads_reversed(const Bytes& data, Dump form, const Style& style, const Bytes& shown,
                    const Bytes& turned) {
  for (const std::size_t place : kPlaces) {
    if (place + 4 > data.size() || folded(data, form, style, place) || folded(data, form, style, place + 3)) {
      continue;
    }
    if (is_signature(&shown[place])) return false;
    if (is_signature(&turned[place])) return true;
  }
  return false;
}

// Bare hex: pairs with or without 0x, runs, commas, braces and comments, or
// a C array as xxd -i writes it.
std::string write_bare(const Bytes& data, bool array, const Style& style) {
  std::string s = array ? "// made by hand\nunsigned char page[] = {" : "# bare\n";
  const char* const separators[] = {" ", ", ", ",", "\t", " /* c */ "};
  unsigned salt = style.salt;
  for (std::size_t i = 0; i < data.size(); ++i) {
    salt = salt * 1103515245u + 12345u;
    const bool prefixed = (salt >> 8 & 1) != 0;
    const bool upper = (salt >> 9 & 1) != 0;
    if (array) {
      // C's literals: hex, octal or decimal.
      const unsigned radix = (salt >> 10) % 3;
      if (radix == 0) s += upper ? "0X" : "0x";
      if (radix == 1 && data[i] != 0) s += '0';
      add(s, data[i], radix == 0 ? 16 : radix == 1 ? 8 : 10, radix == 0 ? 2 : 1, upper);
    } else {
      if (prefixed) s += upper ? "0X" : "0x";
      add(s, data[i], 16, 2, upper);
    }
    // Not where a page may begin: runs of four digits there decide whether
    // every such run is a word printed little-endian.
    if (!array && !prefixed && (salt >> 10 & 3) == 0 && i + 1 < data.size() && !near_place(i) &&
        !near_place(i + 1)) {
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
  style.line_end = (input[1] & 0x18) == 0 ? "\n" : (input[1] & 0x18) == 8 ? "\r\n" : "\r";
  style.decimal = (input[1] & 0x20) != 0;
  style.salt = static_cast<unsigned>(input[2]) << 8 | input[3];
  const Bytes data(input + 4, input + size);
  // Groups of more than one byte: a signature where a page may begin tells
  // their order. Bytes that show a signature only with their groups turned
  // round cannot be told from a listing printed that way: xxd then writes
  // single bytes, hexdump is left out.
  const Bytes in_words = group_reversed(data, 2, true);
  if (style.group > 1 &&
      reads_reversed(data, Dump::Xxd, style, data, group_reversed(data, style.group, false))) {
    style.group = 1;
  }

  round_trip(data, write_dump(data, Dump::Xxd, style, false), "xxd");
  round_trip(data, write_dump(data, Dump::HexdumpC, style, false), "hexdump -C");
  round_trip(data, write_dump(data, Dump::OdText, style, false), "od -A x -t x1z");
  round_trip(data, write_dump(data, Dump::OdBytes, style, false), "od -t x1");
  round_trip(data, write_bare(data, false, style), "bare hex");
  round_trip(data, write_bare(data, true, style), "C array");
  // Printed as a little-endian machine prints words when that reads back.
  const bool swapped = reads_reversed(data, Dump::Words, style, in_words, data);
  if (swapped || !reads_reversed(data, Dump::Words, style, data, in_words)) {
    round_trip(data, write_dump(data, Dump::Words, style, swapped), "hexdump");
  }
  return 0;
}
