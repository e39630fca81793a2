// Saving the report file beside the input.
#pragma once

#include <cstddef>

#include "cli/input.h"

namespace tolvik::cli {

// Saves the version text, a newline and the report as path: written whole
// to a new file in the same folder, flushed, and renamed over the name, so
// that the earlier report stays intact until the new one is complete; on any
// failure nothing changes. A symbolic link stays and the file it leads to is
// replaced. Refuses when path leads (directly, by a symlink or a hard link)
// to the input itself or to anything but a regular file, checked on what is
// there without opening it; never blocks on a FIFO. An existing file keeps
// its permission bits; a new one gets 0666 less the umask.
bool save_report(const char* path, const Input& input, const char* report, std::size_t length);

}  // namespace tolvik::cli
