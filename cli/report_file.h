// Saving the report file beside the input.
#pragma once

#include <cstddef>

#include "cli/input.h"

namespace tolvik::cli {

// Writes the version text, a newline and the report to path. Refuses, and
// writes nothing, when path leads (directly, by a symlink or a hard link) to
// the input itself or to anything but a regular file; never blocks on a
// FIFO. An absent file is created, a regular one replaced.
bool save_report(const char* path, const Input& input, const char* report, std::size_t length);

}  // namespace tolvik::cli
