// tolvik: prints the report of a saved NAND parameter page.
//
// Output goes to standard output only. Exit status: 2 without a file
// argument, 0 when a report was written (and saved, if asked), 1 otherwise.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/arguments.h"
#include "decode/tolvik.h"

namespace {

constexpr int kExitReport = 0;
constexpr int kExitNoReport = 1;
constexpr int kExitUsage = 2;

void print(const char* text) { std::fputs(text, stdout); }

enum class ReadResult { Complete, Short, NotOpened };

// Reads the first page-size bytes of the file into page. A directory counts
// as not opened; a FIFO without a writer reads as empty instead of blocking.
ReadResult read_page(const char* path, tolvik::ParamPage& page) {
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return ReadResult::NotOpened;
  struct stat info {};
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    close(fd);
    return ReadResult::NotOpened;
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  std::size_t got = 0;
  while (got < tolvik::kPageSize) {
    const ssize_t n = read(fd, page.bytes + got, tolvik::kPageSize - got);
    if (n > 0) {
      got += static_cast<std::size_t>(n);
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  close(fd);
  return got == tolvik::kPageSize ? ReadResult::Complete : ReadResult::Short;
}

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

// The report file: the version text, a newline, then the report as printed.
bool save_report(const char* path, const char* report, std::size_t length) {
  const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  const bool written = write_all(fd, tolvik::kVersion, std::strlen(tolvik::kVersion)) &&
                       write_all(fd, "\n", 1) && write_all(fd, report, length);
  return close(fd) == 0 && written;
}

int run(int argc, char** argv) {
  std::printf("JEDEC/ONFI NAND parameter page decoder %s\n", tolvik::kVersion);
  if (argc < 2) {
    print(
        "Use:\ntolvik file.bin [level[t]]\n\tlevel=0(less)/1/2(more,default)\n\tt - save report to "
        "file.bin.txt");
    return kExitUsage;
  }
  const char* input = argv[1];
  const tolvik::cli::Options options = tolvik::cli::parse_options(argc > 2 ? argv[2] : nullptr);
  std::printf("TVK: %s\n", tolvik::kVersion);

  tolvik::ParamPage page{};
  switch (read_page(input, page)) {
    case ReadResult::NotOpened:
      print("Open file Error\n");
      break;
    case ReadResult::Short:
      print("Read file Error\n");
      break;
    case ReadResult::Complete:
      break;
  }

  char report[tolvik::kReportCapacity] = {};
  const std::size_t length = tolvik::decode_parameter_page(page, report, options.level);
  std::fwrite(report, 1, length, stdout);
  std::printf("\nlen=%zu\n", length);
  int status = length > 0 ? kExitReport : kExitNoReport;

  if (options.save) {
    const std::string report_name = std::string(input) + ".txt";
    std::printf("Save to %s\n", report_name.c_str());
    // The console lines so far go out before the file is touched.
    std::fflush(stdout);
    if (!save_report(report_name.c_str(), report, length)) {
      print("Save file Error\n");
      status = kExitNoReport;
    }
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const int status = run(argc, argv);
  // Output that could not be written must not pass for success.
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) return kExitNoReport;
  return status;
}
