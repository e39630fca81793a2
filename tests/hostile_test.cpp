// Hostile inputs to the command: odd files, odd paths, report files that
// cannot be written and standard output that fails. None may crash the tool,
// hang it, corrupt its output or end in success when it failed.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "test_support.h"

namespace tolvik::test {
namespace {

const std::string kHead = "JEDEC/ONFI NAND parameter page decoder v0.17\nTVK: v0.17\n";
const std::string kEmptyReport = "\nlen=0\n";

// A run that blocks (reading a FIFO or an endless device) kills the test
// process instead of hanging the suite.
class Deadline {
 public:
  explicit Deadline(unsigned seconds) { alarm(seconds); }
  ~Deadline() { alarm(0); }
  Deadline(const Deadline&) = delete;
  Deadline& operator=(const Deadline&) = delete;
};

std::string page_bytes(const ParamPage& page) {
  return std::string(reinterpret_cast<const char*>(page.bytes), kPageSize);
}

std::string report_output(const ParamPage& page, int level) {
  const std::string report = decode(page, level);
  return report + "\nlen=" + std::to_string(report.size()) + "\n";
}

const ParamPage& sample_page() {
  static const ParamPage page = PageBuilder::onfi().text(32, "HOSTILE").text(44, "PAGE").fix_crc();
  return page;
}

TEST(Hostile, InputsThatHoldNoPage) {
  TempDir dir;
  write_file(dir.file("empty.bin"), "");
  ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
  std::string beyond_path_max = dir.path();
  while (beyond_path_max.size() <= PATH_MAX) beyond_path_max += "/.";
  beyond_path_max += "/empty.bin";
  const struct {
    std::string input;
    const char* message;
  } cases[] = {
      {dir.file("empty.bin"), "Read file Error\n"},
      {"/dev/null", "Read file Error\n"},
      {dir.file("fifo"), "Read file Error\n"},  // no writer: empty, not a wait
      {"/dev/zero", ""},                        // endless: only one page is read
      {dir.file("missing.bin"), "Open file Error\n"},
      {dir.path(), "Open file Error\n"},
      {beyond_path_max, "Open file Error\n"},
  };
  for (const auto& c : cases) {
    const Deadline deadline(20);
    const RunResult run = run_tolvik({c.input, "2"});
    EXPECT_EQ(run.out, kHead + c.message + kEmptyReport) << c.input;
    EXPECT_EQ(run.status, 1) << c.input;
  }
}

TEST(Hostile, OnlyTheFirstPageOfAHugeFileIsRead) {
  TempDir dir;
  const std::string page = page_bytes(sample_page());
  // A tool that read on would end with a different page in its image.
  std::string content = page + std::string(10 * 1024 * 1024 - 2 * kPageSize, '\xFF');
  content += page_bytes(PageBuilder::jedec().text(32, "TAIL").fix_crc());
  write_file(dir.file("huge.bin"), content);
  const auto start = std::chrono::steady_clock::now();
  const RunResult run = run_tolvik({dir.file("huge.bin")});
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(run.out, kHead + report_output(sample_page(), 2));
  EXPECT_EQ(run.status, 0);
  EXPECT_LT(elapsed, std::chrono::seconds(2));
}

TEST(Hostile, AFifoIsReadUpToOnePageWithoutWaitingForItsEnd) {
  TempDir dir;
  const std::string fifo = dir.file("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // Held open for writing throughout: a read past the page would block.
  const int fd = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  const std::string content = page_bytes(sample_page()) + "more";
  ASSERT_EQ(write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
  {
    const Deadline deadline(20);
    const RunResult run = run_tolvik({fifo});
    EXPECT_EQ(run.out, kHead + report_output(sample_page(), 2));
    EXPECT_EQ(run.status, 0);
  }
  close(fd);
}

// Deep enough for a path of exactly length characters below base.
std::string make_long_path(const std::string& base, std::size_t length) {
  std::string path = base;
  while (path.size() + 1 + 200 + 1 + 8 < length) {
    path += "/" + std::string(200, 'd');
    std::filesystem::create_directory(path);
  }
  return path + "/" + std::string(length - path.size() - 1, 'f');
}

TEST(Hostile, UnusualPathsAreUsedUnchanged) {
  TempDir dir;
  const std::string paths[] = {
      make_long_path(dir.path(), 4000),
      dir.file("with  spaces .bin"),
      dir.file("non-ascii \xC3\xA9\xFF\x01\x7F.bin"),
  };
  for (const std::string& input : paths) {
    write_file(input, page_bytes(sample_page()));
    const RunResult run = run_tolvik({input, "1t"});
    EXPECT_EQ(run.out, kHead + report_output(sample_page(), 1) + "Save to " + input + ".txt\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(read_file(input + ".txt"), "v0.17\n" + decode(sample_page(), 1));
  }
  ASSERT_EQ(paths[0].size(), 4000U);
}

TEST(Hostile, ReportFileThatCannotBeWritten) {
  TempDir dir;
  write_file(dir.file("full.bin"), page_bytes(sample_page()));
  // The report file is a link to a device that takes no data.
  ASSERT_EQ(symlink("/dev/full", dir.file("full.bin.txt").c_str()), 0);
  write_file(dir.file("nowhere.bin"), page_bytes(sample_page()));
  ASSERT_EQ(symlink("/nonexistent/dir/report", dir.file("nowhere.bin.txt").c_str()), 0);
  write_file(dir.file("plain"), "not a directory");
  const struct {
    std::string input;
    std::string before_save;  // everything up to the "Save to" line
  } cases[] = {
      {dir.file("full.bin"), kHead + report_output(sample_page(), 2)},
      {dir.file("nowhere.bin"), kHead + report_output(sample_page(), 2)},
      // Neither root nor anyone else can add a file to /proc.
      {"/proc/version", kHead + "Read file Error\n" + kEmptyReport},
      {dir.file("plain/dump.bin"), kHead + "Open file Error\n" + kEmptyReport},
  };
  for (const auto& c : cases) {
    const RunResult run = run_tolvik({c.input, "t"});
    EXPECT_EQ(run.out, c.before_save + "Save to " + c.input + ".txt\nSave file Error\n") << c.input;
    EXPECT_EQ(run.status, 1) << c.input;
  }
}

// Runs tolvik through the shell with its standard output redirected as
// given; returns the exit status. Standard error must stay empty.
int run_with_stdout(const TempDir& dir, const std::string& args, const std::string& redirect) {
  const std::string err = dir.file("stderr");
  const std::string command = "exec '" TOLVIK_BINARY "' " + args + " " + redirect + " 2>'" + err + "'";
  const int status = std::system(command.c_str());
  EXPECT_EQ(read_file(err), "") << command;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

TEST(Hostile, FailingStandardOutputIsNotSuccess) {
  TempDir dir;
  const std::string input = dir.file("dump.bin");
  write_file(input, page_bytes(sample_page()));
  EXPECT_EQ(run_with_stdout(dir, "'" + input + "' 0", ">/dev/full"), 1);
  EXPECT_EQ(run_with_stdout(dir, "'" + input + "' t", ">/dev/full"), 1);
  EXPECT_EQ(read_file(input + ".txt"), "v0.17\n" + decode(sample_page(), 2));
  // With standard output closed, the files the tool opens take its number;
  // console text must still not end up in the report file.
  std::filesystem::remove(input + ".txt");
  EXPECT_EQ(run_with_stdout(dir, "'" + input + "' 1t", ">&-"), 1);
  EXPECT_EQ(read_file(input + ".txt"), "v0.17\n" + decode(sample_page(), 1));
}

TEST(Hostile, TextFieldBytesAreCopiedUnchanged) {
  // Every byte value from 0x01 to 0x1F and 0x80 to 0xFF, spread over the
  // manufacturer (12 bytes) and model (20 bytes) fields of a few pages.
  std::string bytes;
  for (int b = 0x01; b <= 0x1F; ++b) bytes += static_cast<char>(b);
  for (int b = 0x80; b <= 0xFF; ++b) bytes += static_cast<char>(b);
  TempDir dir;
  const std::string input = dir.file("dump.bin");
  for (std::size_t at = 0, n = 0; at < bytes.size(); at += 32, ++n) {
    const bool jedec = n % 2 == 1;
    const std::string manufacturer = bytes.substr(at, 12);
    const std::string model = bytes.size() > at + 12 ? bytes.substr(at + 12, 20) : "";
    const ParamPage page =
        (jedec ? PageBuilder::jedec() : PageBuilder::onfi()).text(32, manufacturer).text(44, model).fix_crc();
    write_file(input, page_bytes(page));
    const RunResult run = run_tolvik({input, "0t"});
    const std::string header = (jedec ? "JEDEC     : " : "ONFI      : ") + manufacturer + " " + model + " [";
    EXPECT_EQ(run.out.find(kHead + header), 0U) << n;
    EXPECT_EQ(read_file(input + ".txt").find("v0.17\n" + header), 0U) << n;
    EXPECT_EQ(run.status, 0) << n;
  }
}

}  // namespace
}  // namespace tolvik::test
