#include "cli/input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "cli/arguments.h"

namespace tolvik::cli {

Input read_input(const char* path, std::span<std::uint8_t> buffer) {
  Input input;
  const bool standard = is_standard_input(path);
  const int fd = standard ? STDIN_FILENO : open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return input;
  struct stat info {};
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    if (!standard) close(fd);
    return input;
  }
  input.opened = true;
  input.identified = true;
  input.device = info.st_dev;
  input.inode = info.st_ino;
  // Only a FIFO or a device reads differently without blocking; a regular
  // file keeps the flag, which saves two calls on every run.
  if (!standard && !S_ISREG(info.st_mode)) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  }
  while (input.size < buffer.size()) {
    const ssize_t n = read(fd, buffer.data() + input.size, buffer.size() - input.size);
    if (n > 0) {
      input.size += static_cast<std::size_t>(n);
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  if (!standard) close(fd);
  return input;
}

Loaded load(const CommandLine& line, const char* file, InputBuffers& buffers) {
  Loaded loaded;
  // One byte past the limit tells a text that is longer.
  const std::size_t text_limit = line.all ? tolvik::kDumpHexTextLimit : tolvik::kHexTextLimit;
  if (line.all) buffers.bytes = static_cast<std::uint8_t*>(std::malloc(tolvik::kDumpLimit));
  if (line.hex) buffers.input = static_cast<std::uint8_t*>(std::malloc(text_limit + 1));
  if (buffers.bytes == nullptr || (line.hex && buffers.input == nullptr)) {
    std::strcpy(loaded.message, "Open file Error");
    return loaded;
  }
  const std::size_t wanted = line.all ? tolvik::kDumpLimit : tolvik::kPageSize;
  if (!line.hex) {
    loaded.input = tolvik::cli::read_input(file, {buffers.bytes, wanted});
    loaded.bytes = {buffers.bytes, loaded.input.size};
    loaded.readable = loaded.input.opened;
    if (!loaded.input.opened) std::strcpy(loaded.message, "Open file Error");
    return loaded;
  }
  loaded.input = tolvik::cli::read_input(file, {buffers.input, text_limit + 1});
  if (!loaded.input.opened) {
    std::strcpy(loaded.message, "Open file Error");
    return loaded;
  }
  if (loaded.input.size > text_limit) {
    std::snprintf(loaded.message, sizeof loaded.message, "Hex text Error: longer than %u MiB",
                  static_cast<unsigned>(text_limit >> 20));
    return loaded;
  }
  const std::string_view text(reinterpret_cast<const char*>(buffers.input), loaded.input.size);
  const tolvik::HexResult hex = tolvik::read_hex_listing(text, {buffers.bytes, wanted});
  if (!tolvik::hex_listing_error(hex, loaded.message)) {
    loaded.readable = true;
    loaded.bytes = {buffers.bytes, hex.size < wanted ? hex.size : wanted};
  }
  return loaded;
}

void parse(const CommandLine& line, const Loaded& loaded, Parsed& parsed) {
  if (line.all) {
    tolvik::parse_dump(loaded.bytes, parsed.dump);
    return;
  }
  // A short input is zero-filled to a page, as a short file always was.
  tolvik::ParamPage page{};
  // Nothing read (a file that did not open) has no data pointer to copy from.
  if (!loaded.bytes.empty()) std::memcpy(page.bytes, loaded.bytes.data(), loaded.bytes.size());
  tolvik::parse_page(page.bytes, parsed.page);
}

}  // namespace tolvik::cli
