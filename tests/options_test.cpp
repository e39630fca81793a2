// Options before the file argument, standard input, and the runs that end
// before any input is read.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "test_support.h"

namespace tolvik::test {
namespace {

using cli::Action;

const std::string kBanner = kBannerLine;
const std::string kUsage =
    "Use:\ntolvik file.bin [level[t]]\n\tlevel=0(less)/1/2(more,default)\n\tt - save report to file.bin.txt";
const std::string kSample = kSamples + "/mt29f1g08abbda3w.onfi.bin";

TEST(CommandLine, OptionsStandBeforeTheFile) {
  const struct {
    std::vector<const char*> args;
    Action action;
    const char* flags;  // the options taken: a, x, j
    const char* file;
    const char* unknown;
    int level;
    bool save;
  } cases[] = {
      {{"p.bin"}, Action::Run, "", "p.bin", nullptr, 2, false},
      {{"-a", "p.bin", "1t"}, Action::Run, "a", "p.bin", nullptr, 1, true},
      {{"-ax", "-j", "p.bin"}, Action::Run, "axj", "p.bin", nullptr, 2, false},
      {{"--all", "--hex", "--json", "-"}, Action::Run, "axj", "-", nullptr, 2, false},
      // After the file nothing is an option: atoi reads "-1" and "-t".
      {{"p.bin", "-1"}, Action::Run, "", "p.bin", nullptr, -1, false},
      {{"p.bin", "-t"}, Action::Run, "", "p.bin", nullptr, 0, true},
      {{"p.bin", "-a"}, Action::Run, "", "p.bin", nullptr, 0, false},
      {{"--", "-t"}, Action::Run, "", "-t", nullptr, 2, false},
      {{"-a", "--", "-", "0"}, Action::Run, "a", "-", nullptr, 0, false},
      {{"-"}, Action::Run, "", "-", nullptr, 2, false},
      {{}, Action::Usage, "", nullptr, nullptr, 2, false},
      {{"-a"}, Action::Usage, "a", nullptr, nullptr, 2, false},
      {{"--"}, Action::Usage, "", nullptr, nullptr, 2, false},
      // The first option that ends the run decides, read left to right.
      {{"-h", "-q", "p.bin"}, Action::Help, "", nullptr, nullptr, 2, false},
      {{"-q", "-h", "p.bin"}, Action::Unknown, "", nullptr, "-q", 2, false},
      {{"-ahq"}, Action::Help, "a", nullptr, nullptr, 2, false},
      {{"-aqh"}, Action::Unknown, "a", nullptr, "-aqh", 2, false},
      {{"--version", "--help"}, Action::Version, "", nullptr, nullptr, 2, false},
      {{"-V"}, Action::Version, "", nullptr, nullptr, 2, false},
      {{"--al", "p.bin"}, Action::Unknown, "", nullptr, "--al", 2, false},
      {{"--all=1", "p.bin"}, Action::Unknown, "", nullptr, "--all=1", 2, false},
      {{"---", "p.bin"}, Action::Unknown, "", nullptr, "---", 2, false},
      {{"-j", "p.bin", "t"}, Action::SaveWithJson, "j", "p.bin", nullptr, 2, true},
      // After an unknown option, --json is still looked for among the options.
      {{"-q", "-aj", "p.bin"}, Action::Unknown, "j", nullptr, "-q", 2, false},
      {{"-qj", "p.bin"}, Action::Unknown, "j", nullptr, "-qj", 2, false},
      {{"--jq", "p.bin"}, Action::Unknown, "", nullptr, "--jq", 2, false},
      {{"-q", "--", "--json"}, Action::Unknown, "", nullptr, "-q", 2, false},
      {{"-j", "p.bin", "2"}, Action::Run, "j", "p.bin", nullptr, 2, false},
  };
  for (const auto& c : cases) {
    std::vector<const char*> argv = {"tolvik"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    std::string shown;
    for (const char* arg : c.args) shown += std::string(arg) + " ";
    const cli::CommandLine line = cli::parse_command_line(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(line.action, c.action) << shown;
    const std::string flags =
        std::string(line.all ? "a" : "") + (line.hex ? "x" : "") + (line.json ? "j" : "");
    EXPECT_EQ(flags, c.flags) << shown;
    EXPECT_STREQ(line.file, c.file) << shown;
    EXPECT_STREQ(line.unknown, c.unknown) << shown;
    if (c.action == Action::Run || c.action == Action::SaveWithJson) {
      EXPECT_EQ(line.options.level, c.level) << shown;
      EXPECT_EQ(line.options.save, c.save) << shown;
    }
  }
}

TEST(CommandLine, RunsThatEndBeforeReadingAnything) {
  const std::string help_head = kBanner + kUsage + "\n\nOptions (before the file):\n";
  const std::string kUsageError =
      R"({"format_version":2,"version":")" + kVersionText + R"(","messages":[{"text":")";
  const std::string kUsageErrorEnd = R"(","severity":"error"}]})"
                                     "\n";
  const struct {
    std::vector<std::string> args;
    std::string out;  // whole output, or its start when prefix
    bool prefix;
    int status;
  } cases[] = {
      {{"--version"}, "tolvik " + kVersionText + "\n", false, 0},
      {{"-V", "missing.bin"}, "tolvik " + kVersionText + "\n", false, 0},
      {{"--help"}, help_head, true, 0},
      {{"-xh", "missing.bin", "t"}, help_head, true, 0},
      {{"-k", "missing.bin", "t"}, kBanner + "Unknown option: -k\n" + kUsage, false, 2},
      {{"--hex-dump", "missing.bin"}, kBanner + "Unknown option: --hex-dump\n" + kUsage, false, 2},
      // With --json among the options, usage errors print one document.
      {{"-j", "missing.bin", "1t"},
       kUsageError + "The save flag does not go with --json: redirect standard output" + kUsageErrorEnd,
       false,
       2},
      {{"-j"}, kUsageError + "No file argument" + kUsageErrorEnd, false, 2},
      {{"-x", "-\xFF\x01", "--json"},
       kUsageError + "Unknown option: -\\u00ff\\u0001" + kUsageErrorEnd,
       false,
       2},
      {{"-j", "-V"}, "tolvik " + kVersionText + "\n", false, 0},
      {{"--json", "-h"}, help_head, true, 0},
  };
  for (const auto& c : cases) {
    const RunResult run = run_tolvik(c.args);
    if (c.prefix) {
      EXPECT_EQ(run.out.substr(0, c.out.size()), c.out) << c.args[0];
    } else {
      EXPECT_EQ(run.out, c.out) << c.args[0];
    }
    EXPECT_EQ(run.status, c.status) << c.args[0];
    EXPECT_FALSE(std::filesystem::exists("missing.bin.txt")) << c.args[0];
  }
  const std::string help = run_tolvik({"-h"}).out;
  for (const char* item : {"-a, --all", "-x, --hex", "-j, --json", "-c, --check", "-h, --help",
                           "-V, --version", "\n  --  ", "\n  -  ", "\n  3  ", "\n  4  "}) {
    EXPECT_NE(help.find(item), std::string::npos) << item;
  }
}

// Runs a shell command in dir; returns the exit status.
int shell(const TempDir& dir, const std::string& command) {
  const std::string line = "cd '" + dir.path() + "' && " + command;
  const int status = std::system(line.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

TEST(StandardInput, DashReadsThePipeAndSavesToStdinTxt) {
  TempDir dir;
  const std::string expected_report = decode(PageBuilder::from_file(kSample), 1);
  const std::string tool = TOLVIK_BINARY;
  ASSERT_EQ(shell(dir, "'" + tool + "' - 1t <'" + kSample + "' >out.txt 2>err.txt"), 0);
  EXPECT_EQ(read_file(dir.file("out.txt")), kRunHead + "Read file Error\n" + expected_report +
                                                "\nlen=" + std::to_string(expected_report.size()) +
                                                "\nSave to stdin.txt\n");
  EXPECT_EQ(read_file(dir.file("stdin.txt")), kVersionText + "\n" + expected_report);
  EXPECT_EQ(read_file(dir.file("err.txt")), "");
  // A file named "-t" is reached behind "--", and is not standard input.
  write_file(dir.file("-t"), read_file(kSample));
  ASSERT_EQ(shell(dir, "'" + tool + "' -- -t 1 </dev/null >dash.txt"), 0);
  EXPECT_NE(read_file(dir.file("dash.txt")).find(expected_report), std::string::npos);
}

TEST(StandardInput, OnlyOnePageIsWaitedForWithoutOptions) {
  TempDir dir;
  const std::string tool = TOLVIK_BINARY;
  // The writer keeps the pipe open long after the page: a reader that waited
  // for its end would be stopped by timeout (status 124).
  const std::string page(reinterpret_cast<const char*>(PageBuilder::onfi().fix_crc().page().bytes), 512);
  write_file(dir.file("page.bin"), page + "tail");
  EXPECT_EQ(shell(dir, "mkfifo pipe && { (cat page.bin; sleep 20) >pipe 2>/dev/null & } && timeout 10 '" +
                           tool + "' - <pipe >out.txt; status=$?; kill %1 2>/dev/null; exit $status"),
            0);
  EXPECT_EQ(read_file(dir.file("out.txt")).find("Read file Error"), std::string::npos);
}

}  // namespace
}  // namespace tolvik::test
