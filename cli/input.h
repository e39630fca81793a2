// Reading the input: a file or standard input, up to a limit, into the
// caller's buffer.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <span>

namespace tolvik::cli {

struct Input {
  bool opened = false;
  std::size_t size = 0;  // bytes read
  // Which file it was, so that the report file is never the input.
  bool identified = false;
  dev_t device = 0;
  ino_t inode = 0;
};

// Reads from the start of the file named path ("-": standard input) until
// buffer is full or the input ends. A directory counts as not opened; a FIFO
// without a writer reads as empty instead of blocking; nothing past the
// buffer is waited for.
Input read_input(const char* path, std::span<std::uint8_t> buffer);

}  // namespace tolvik::cli
