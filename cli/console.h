// What the command prints around the library's text, shared by its modes.
#pragma once

#include <string_view>

namespace tolvik::cli {

// A JSON string of any text, as the document writes every string, in
// pieces: a file name may be of any length.
void print_json_string(std::string_view text);
// The same without the quotes: a piece of a longer string.
void print_json_chars(std::string_view text);

}  // namespace tolvik::cli
