#include "cli/report_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tolvik.h"

namespace tolvik::cli {
namespace {

bool write_all(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

bool save_report(const char* path, const Input& input, const char* report, std::size_t length) {
  // Not even opened when it is something else than a regular file: opening
  // some devices acts on them (a tape rewinds, a watchdog starts).
  struct stat named {};
  if (stat(path, &named) == 0 && !S_ISREG(named.st_mode)) return false;
  // Opened without truncating and without waiting for a FIFO's reader, so
  // that what the name leads to can be checked before anything changes.
  const int fd = open(path, O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  struct stat info {};
  const bool is_input =
      input.identified && fstat(fd, &info) == 0 && info.st_dev == input.device && info.st_ino == input.inode;
  const bool usable = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && !is_input;
  const bool written = usable && ftruncate(fd, 0) == 0 && write_all(fd, kVersion, std::strlen(kVersion)) &&
                       write_all(fd, "\n", 1) && write_all(fd, report, length);
  return close(fd) == 0 && written;
}

}  // namespace tolvik::cli
