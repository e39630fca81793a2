#include "cli/console.h"

#include <cstdio>

#include "decode/report.h"
#include "decode/text.h"

namespace tolvik::cli {

void print_json_string(std::string_view text) {
  constexpr std::size_t kPiece = 512;
  char escaped[kPiece * 6 + 1];
  std::fputs("\"", stdout);
  for (std::size_t at = 0; at < text.size(); at += kPiece) {
    tolvik::detail::Report report{escaped};
    tolvik::detail::report_json_chars(report, tolvik::detail::slice(text, at, kPiece));
    std::fwrite(escaped, 1, report.length, stdout);
  }
  std::fputs("\"", stdout);
}

}  // namespace tolvik::cli
