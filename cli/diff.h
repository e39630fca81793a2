// --diff: two pages compared field by field.
#pragma once

#include "cli/arguments.h"

namespace tolvik::cli {

// Reads both inputs as the other options say, prints the differences and
// returns the exit status: 0 identical, 1 different, 2 trouble.
int run_diff(const CommandLine& line);

}  // namespace tolvik::cli
