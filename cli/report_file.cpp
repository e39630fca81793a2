#include "cli/report_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iterator>

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

// A new text of the first n characters of a and all of b; nullptr when there
// is no memory. Names may be of any length.
char* joined(const char* a, std::size_t n, const char* b) {
  const std::size_t tail = std::strlen(b);
  auto* text = static_cast<char*>(std::malloc(n + tail + 1));
  if (text == nullptr) return nullptr;
  std::memcpy(text, a, n);
  std::memcpy(text + n, b, tail + 1);
  return text;
}

// The length of name's folder part, its last '/' included; 0 for none.
std::size_t folder_length(const char* name) {
  const char* slash = std::strrchr(name, '/');
  return slash == nullptr ? 0 : static_cast<std::size_t>(slash - name) + 1;
}

// Symbolic links are followed this often at most, as the system does.
constexpr int kMaxLinks = 40;

// The name the report replaces: path with its chain of symbolic links
// followed to the end, so that a link stays and the file it leads to is
// replaced. A malloc'ed text, which may not exist yet; nullptr when a link
// cannot be read or the chain does not end.
char* link_target(const char* path) {
  char* name = joined(path, std::strlen(path), "");
  for (int hop = 0; name != nullptr && hop < kMaxLinks; ++hop) {
    struct stat info {};
    if (lstat(name, &info) != 0) {
      if (errno == ENOENT) return name;
      break;
    }
    if (!S_ISLNK(info.st_mode)) return name;
    // Some file systems report no length for a link: ask until it fits.
    std::size_t room = info.st_size > 0 ? static_cast<std::size_t>(info.st_size) + 1 : 256;
    char* target = nullptr;
    ssize_t n = 0;
    for (;;) {
      target = static_cast<char*>(std::malloc(room));
      n = target == nullptr ? -1 : readlink(name, target, room);
      if (n < 0 || static_cast<std::size_t>(n) < room) break;
      std::free(target);
      room *= 2;
    }
    if (n < 0) {
      std::free(target);
      break;
    }
    target[n] = '\0';
    // A relative target is relative to the link's folder.
    char* next = target[0] == '/' ? joined(target, static_cast<std::size_t>(n), "")
                                  : joined(name, folder_length(name), target);
    std::free(target);
    std::free(name);
    name = next;
  }
  std::free(name);
  return nullptr;
}

// The temporary file being written, removed when a signal stops the run
// meanwhile; a run killed outright may leave it behind, never a cut report.
char* g_temporary = nullptr;
constexpr int kStopSignals[] = {SIGHUP, SIGINT, SIGTERM};
struct sigaction g_before[std::size(kStopSignals)];

extern "C" void remove_temporary(int signal) {
  unlink(g_temporary);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

// While name is written: signals that would stop the run remove it first.
// Signals the run ignores stay ignored.
void guard(char* name) {
  g_temporary = name;
  struct sigaction action {};
  action.sa_handler = remove_temporary;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
    sigaction(kStopSignals[i], nullptr, &g_before[i]);
    if (g_before[i].sa_handler != SIG_IGN) sigaction(kStopSignals[i], &action, nullptr);
  }
}

void unguard() {
  for (std::size_t i = 0; i < std::size(kStopSignals); ++i) sigaction(kStopSignals[i], &g_before[i], nullptr);
  g_temporary = nullptr;
}

// Writes the report into a new file beside target and renames it over
// target; on any failure the new file is removed and target stays as it
// was.
bool replace(const char* target, const Input& input, const char* report, std::size_t length) {
  const mode_t mask = umask(0);
  umask(mask);
  mode_t mode = 0666 & ~mask;
  // What target is now, looked at through an object that is not opened for
  // reading or writing (O_PATH): no device acts on it, no FIFO blocks, and
  // what is checked is what is there, not what a name was.
#ifdef O_PATH
  const int fd = open(target, O_PATH | O_NOFOLLOW | O_CLOEXEC);
#else
  const int fd = open(target, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
#endif
  if (fd >= 0) {
    struct stat info {};
    const bool found = fstat(fd, &info) == 0;
    close(fd);
    const bool is_input = input.identified && info.st_dev == input.device && info.st_ino == input.inode;
    if (!found || !S_ISREG(info.st_mode) || is_input) return false;
    mode = info.st_mode & 0777;
  } else if (errno != ENOENT) {
    return false;
  }

  // A new file in target's folder, so that the rename cannot cross file
  // systems; flushed to the disk before it takes target's name.
  char* temporary = joined(target, folder_length(target), ".tolvik-XXXXXX");
  if (temporary == nullptr) return false;
  const int out = mkostemp(temporary, O_CLOEXEC);
  if (out < 0) {
    std::free(temporary);
    return false;
  }
  guard(temporary);
  bool saved = fchmod(out, mode) == 0 && write_all(out, kVersion, std::strlen(kVersion)) &&
               write_all(out, "\n", 1) && write_all(out, report, length) && fsync(out) == 0;
  saved = close(out) == 0 && saved && rename(temporary, target) == 0;
  if (!saved) unlink(temporary);
  unguard();
  std::free(temporary);
  return saved;
}

}  // namespace

bool save_report(const char* path, const Input& input, const char* report, std::size_t length) {
  char* target = link_target(path);
  const bool saved = target != nullptr && replace(target, input, report, length);
  std::free(target);
  return saved;
}

}  // namespace tolvik::cli
