#include "cli/input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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

}  // namespace tolvik::cli
