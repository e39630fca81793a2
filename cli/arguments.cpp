#include "cli/arguments.h"

#include <climits>
#include <cstring>

namespace tolvik::cli {

int parse_level(const char* text) {
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  // Past this every further digit only saturates.
  constexpr long long kBeyondInt = static_cast<long long>(INT_MAX) + 1;
  long long magnitude = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    magnitude = magnitude * 10 + (*p - '0');
    if (magnitude > kBeyondInt) magnitude = kBeyondInt;
  }
  if (negative) return static_cast<int>(-magnitude);
  return magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
}

Options parse_options(const char* argument) {
  Options options;
  if (argument == nullptr) return options;
  options.save = std::strchr(argument, 'T') != nullptr || std::strchr(argument, 't') != nullptr;
  if (!(options.save && std::strlen(argument) == 1)) options.level = parse_level(argument);
  return options;
}

}  // namespace tolvik::cli
