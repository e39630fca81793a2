// Slicing texts without string_view::substr: its range check would link the
// C++ exception runtime into the tool, whose relocations cost every run at
// start-up. Callers stay within the text; a start past its end gives an
// empty slice.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace tolvik::detail {

constexpr std::string_view slice(std::string_view text, std::size_t from,
                                 std::size_t count = std::string_view::npos) {
  from = std::min(from, text.size());
  return {text.data() + from, std::min(count, text.size() - from)};
}

}  // namespace tolvik::detail
