// Hostile inputs to the command: odd files, odd paths, report files that
// cannot be written and standard output that fails. None may crash the tool,
// hang it, corrupt its output or end in success when it failed.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "test_support.h"

namespace tolvik::test {
namespace {

// The version text comes from the project version, as the tool's does.
const std::string kVersionLine = kVersionText + "\n";
const std::string kHead = kRunHead;
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
  const RunResult run = run_tolvik({dir.file("huge.bin")});
  EXPECT_EQ(run.out, kHead + report_output(sample_page(), 2));
  EXPECT_EQ(run.status, 0);
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
    EXPECT_EQ(read_file(input + ".txt"), kVersionLine + decode(sample_page(), 1));
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

// The report name leads to the input itself or to something that is not a
// regular file: nothing is written there, and the run neither blocks nor
// succeeds.
TEST(Hostile, ReportFileIsNeverTheInputNorAnythingButARegularFile) {
  const std::string page = page_bytes(sample_page());
  int reader = -1;  // the FIFO case's reader, held open during the run
  const struct {
    const char* what;
    void (*make)(const std::string& input, const std::string& report, int& reader);
  } cases[] = {
      {"symlink to the input", [](const std::string& input, const std::string& report,
                                  int&) { ASSERT_EQ(symlink(input.c_str(), report.c_str()), 0); }},
      {"hard link to the input", [](const std::string& input, const std::string& report,
                                    int&) { ASSERT_EQ(link(input.c_str(), report.c_str()), 0); }},
      {"FIFO without a reader", [](const std::string&, const std::string& report,
                                   int&) { ASSERT_EQ(mkfifo(report.c_str(), 0600), 0); }},
      {"FIFO with a reader",
       [](const std::string&, const std::string& report, int& fd) {
         ASSERT_EQ(mkfifo(report.c_str(), 0600), 0);
         fd = open(report.c_str(), O_RDONLY | O_NONBLOCK);
         ASSERT_GE(fd, 0);
       }},
      {"symlink to a character device", [](const std::string&, const std::string& report,
                                           int&) { ASSERT_EQ(symlink("/dev/null", report.c_str()), 0); }},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string input = dir.file("p.bin");
    write_file(input, page);
    c.make(input, input + ".txt", reader);
    {
      const Deadline deadline(20);
      const RunResult run = run_tolvik({input, "t"});
      EXPECT_EQ(run.out,
                kHead + report_output(sample_page(), 2) + "Save to " + input + ".txt\nSave file Error\n")
          << c.what;
      EXPECT_EQ(run.status, 1) << c.what;
    }
    EXPECT_EQ(read_file(input), page) << c.what;
    if (reader >= 0) {
      char byte = 0;
      EXPECT_LE(read(reader, &byte, 1), 0) << c.what << ": the FIFO got data";
      close(reader);
      reader = -1;
    }
  }
}

TEST(Hostile, ReportFileThatIsARegularFileIsReplaced) {
  const std::string report = kVersionLine + decode(sample_page(), 2);
  const struct {
    const char* what;
    bool through_symlink;
  } cases[] = {{"longer regular file", false}, {"symlink to another regular file", true}};
  for (const auto& c : cases) {
    TempDir dir;
    const std::string input = dir.file("p.bin");
    write_file(input, page_bytes(sample_page()));
    const std::string target = c.through_symlink ? dir.file("elsewhere.txt") : input + ".txt";
    write_file(target, std::string(8192, 'x'));
    if (c.through_symlink) {
      ASSERT_EQ(symlink(target.c_str(), (input + ".txt").c_str()), 0);
    }
    const RunResult run = run_tolvik({input, "t"});
    EXPECT_EQ(run.status, 0) << c.what;
    EXPECT_EQ(read_file(target), report) << c.what;
    EXPECT_EQ(std::filesystem::is_symlink(input + ".txt"), c.through_symlink) << c.what;
  }
}

// The report file is replaced whole or not at all: a write that fails
// leaves the earlier report as it was and no other file behind. An existing
// report keeps its permission bits, a new one gets 0666 less the umask.
TEST(Hostile, ReportFileIsReplacedWholeOrNotAtAll) {
  // Every flag set: a report longer than the 1 KiB file size limit below.
  const ParamPage page = PageBuilder::onfi().fill(4, 254, 0xFF).fix_crc();
  const std::string report = kVersionLine + decode(page, 2);
  ASSERT_GT(report.size(), 2048U);
  const std::string earlier = "the earlier report\n";
  const struct {
    const char* what;
    const char* shell;  // run before the tool, in bash
    int earlier_mode;   // of the report file there before, 0: none
    int status;
    int mode;  // of the report file after, 0: none
  } cases[] = {
      {"replaced", "", 0640, 0, 0640},
      {"created", "umask 027;", 0, 0, 0640},
      {"a file size limit cuts the write", "ulimit -f 1;", 0604, 1, 0604},
      {"a file size limit cuts a new file", "ulimit -f 1;", 0, 1, 0},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string input = dir.file("p.bin");
    write_file(input, page_bytes(page));
    if (c.earlier_mode != 0) {
      write_file(input + ".txt", earlier);
      ASSERT_EQ(chmod((input + ".txt").c_str(), static_cast<mode_t>(c.earlier_mode)), 0);
    }
    // The console goes through a pipe, out of the limit's reach.
    const std::string command = "cd '" + dir.path() + "' && { bash -c '" + c.shell +
                                " exec \"$0\" p.bin t' '" + TOLVIK_BINARY +
                                "' 2>&1; echo $? >status; } | cat >out";
    ASSERT_EQ(std::system(command.c_str()), 0) << c.what;
    EXPECT_EQ(read_file(dir.file("status")), std::to_string(c.status) + "\n") << c.what;
    const std::string saving = "Save to p.bin.txt\n";
    EXPECT_TRUE(read_file(dir.file("out")).ends_with(c.status == 0 ? saving : saving + "Save file Error\n"))
        << c.what;
    struct stat info {};
    const bool exists = stat((input + ".txt").c_str(), &info) == 0;
    EXPECT_EQ(exists ? static_cast<int>(info.st_mode & 0777) : 0, c.mode) << c.what;
    if (exists) {
      EXPECT_EQ(read_file(input + ".txt"), c.status == 0 ? report : earlier) << c.what;
    }
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, exists ? 4U : 3U) << c.what << ": a file left behind";
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
  EXPECT_EQ(read_file(input + ".txt"), kVersionLine + decode(sample_page(), 2));
  // With standard output closed, the files the tool opens take its number;
  // console text must still not end up in the report file.
  std::filesystem::remove(input + ".txt");
  EXPECT_EQ(run_with_stdout(dir, "'" + input + "' 1t", ">&-"), 1);
  EXPECT_EQ(read_file(input + ".txt"), kVersionLine + decode(sample_page(), 1));
}

// A reader that goes away before the tool writes: no death by SIGPIPE, the
// report file is saved all the same, and the run fails.
TEST(Hostile, ClosedPipeStillSavesTheReportFile) {
  TempDir dir;
  const std::string input = dir.file("p.bin");
  write_file(input, page_bytes(sample_page()));
  const std::string command = "{ sleep 0.3; '" TOLVIK_BINARY "' '" + input + "' t 2>'" + dir.file("stderr") +
                              "'; echo $? >'" + dir.file("status") + "'; } | true";
  const Deadline deadline(20);
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(read_file(dir.file("status")), "1\n");
  EXPECT_EQ(read_file(dir.file("stderr")), "");
  EXPECT_EQ(read_file(input + ".txt"), kVersionLine + decode(sample_page(), 2));
}

// A page's text fields cannot drive the terminal: every text output shows
// their control bytes as dots and every other byte as it is.
TEST(Hostile, TextFieldsShowControlBytesAsDots) {
  // Every byte value from 0x01 to 0x1F, 0x7F and 0x80 to 0xFF, spread over
  // the manufacturer (12 bytes) and model (20 bytes) fields of a few pages,
  // then the classic escape that recolours the terminal and rings its bell.
  std::string bytes;
  for (int b = 0x01; b <= 0x1F; ++b) bytes += static_cast<char>(b);
  bytes += '\x7F';
  for (int b = 0x80; b <= 0xFF; ++b) bytes += static_cast<char>(b);
  bytes += std::string((32 - bytes.size() % 32) % 32, ' ') + "MICRON\x1B[31m\a  MT29F\x1B]0;x\x07 ";
  const auto dotted = [](std::string text) {
    for (char& c : text) {
      if ((c > 0 && c < 0x20) || c == 0x7F) c = '.';
    }
    return text;
  };
  TempDir dir;
  const std::string input = dir.file("dump.bin");
  for (std::size_t at = 0, n = 0; at < bytes.size(); at += 32, ++n) {
    const bool jedec = n % 2 == 1;
    const std::string manufacturer = bytes.substr(at, 12);
    const std::string model = bytes.substr(at + 12, 20);
    const ParamPage page =
        (jedec ? PageBuilder::jedec() : PageBuilder::onfi()).text(32, manufacturer).text(44, model).fix_crc();
    write_file(input, page_bytes(page) + page_bytes(page));
    const std::string header =
        (jedec ? "JEDEC     : " : "ONFI      : ") + dotted(manufacturer) + " " + dotted(model) + " [";
    const RunResult run = run_tolvik({input, "0t"});
    EXPECT_EQ(run.out.find(kHead + header), 0U) << n;
    EXPECT_EQ(read_file(input + ".txt").find(kVersionLine + header), 0U) << n;
    EXPECT_EQ(run.status, 0) << n;
    const RunResult all = run_tolvik({"-a", input, "0"});
    EXPECT_NE(all.out.find("\n" + header), std::string::npos) << n;
    EXPECT_EQ(all.out.find_first_of("\x07\x1B"), std::string::npos) << n;
  }
}

}  // namespace
}  // namespace tolvik::test
