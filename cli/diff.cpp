#include "cli/diff.h"

namespace tolvik::cli {

int run_diff(const CommandLine& /*line*/) { return 2; }

}  // namespace tolvik::cli
