// Reading the input: a file or standard input, up to a limit, into the
// caller's buffer; then as the options say (a page, a whole dump, a hex
// listing of either) into the model.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <span>

#include "cli/arguments.h"
#include "tolvik.h"

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

// Everything the input gives: the bytes the mode decodes and the messages
// that go before the report.
struct Loaded {
  Input input;
  std::span<const std::uint8_t> bytes;
  char message[48] = "";  // "Open file Error", "Hex text Error: line 3", ... or empty
  bool readable = false;  // there are bytes to decode (else: an empty report)
};

// Where one input is read to: a page's room, given; with -a a dump's and
// with -x the listing's text, taken when asked for. Even untouched, such
// megabytes in the image would slow the start of every run.
struct InputBuffers {
  std::uint8_t* bytes;
  std::uint8_t* input = nullptr;
};

// Reads file as the options say: a page, a whole dump (-a), a hex listing
// of either (-x).
Loaded load(const CommandLine& line, const char* file, InputBuffers& buffers);

// The parsed input: a page, or a whole dump and the page it decodes.
struct Parsed {
  tolvik::PageModel page;
  tolvik::Dump dump;
};

void parse(const CommandLine& line, const Loaded& loaded, Parsed& parsed);

}  // namespace tolvik::cli
