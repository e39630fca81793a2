#include "cli/console.h"

#include <cstdio>

#include "decode/report.h"
#include "decode/text.h"

namespace tolvik::cli {

void print_json_chars(std::string_view text) {
  constexpr std::size_t kPiece = 512;
  char escaped[kPiece * 6 + 1];
  for (std::size_t at = 0; at < text.size();) {
    // A piece ends before a UTF-8 sequence, not inside it: three bytes at
    // most follow a sequence's lead byte.
    std::size_t end = at + kPiece < text.size() ? at + kPiece : text.size();
    for (int k = 0; k < 3 && end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0U) == 0x80; ++k)
      --end;
    tolvik::detail::Report report{escaped};
    tolvik::detail::report_json_chars(report, tolvik::detail::slice(text, at, end - at));
    std::fwrite(escaped, 1, report.length, stdout);
    at = end;
  }
}

void print_json_string(std::string_view text) {
  std::fputs("\"", stdout);
  print_json_chars(text);
  std::fputs("\"", stdout);
}

}  // namespace tolvik::cli
