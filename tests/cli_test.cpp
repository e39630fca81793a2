// The command end to end: the built binary's whole standard output, exit
// status and saved report file.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "test_support.h"

namespace tolvik::test {
namespace {

const std::string kBanner = "JEDEC/ONFI NAND parameter page decoder v0.17\n";
const std::string kUsage =
    "Use:\ntolvik file.bin [level[t]]\n\tlevel=0(less)/1/2(more,default)\n\tt - save report to file.bin.txt";
const std::string kTvk = "TVK: v0.17\n";
const std::string kSample = "mt29f1g08abbda3w.onfi.bin";

TEST(Command, NoArgumentsPrintsBannerAndUsage) {
  const RunResult run = run_tolvik({});
  EXPECT_EQ(run.out, kBanner + kUsage);
  EXPECT_EQ(run.status, 2);
}

TEST(Command, SecondArgumentSelectsLevelAndSaving) {
  const struct {
    const char* argument;  // nullptr: absent
    bool save;
    int level;
  } cases[] = {
      {nullptr, false, 2}, {"0", false, 0},   {"1", false, 1},           {"2", false, 2},
      {"5", false, 5},     {"-1", false, -1}, {"x", false, 0},           {"t", true, 2},
      {"T", true, 2},      {"1t", true, 1},   {"1T", true, 1},           {"0t", true, 0},
      {"t1", true, 0},     {"tt", true, 0},   {"99999999999", false, 2}, {"-99999999999t", true, 0},
  };
  TempDir dir;
  const std::string input = dir.file("dump.bin");
  const std::string page_bytes = read_file(kSamples + "/" + kSample);
  write_file(input, page_bytes);
  const ParamPage page = PageBuilder::from_file(input).page();
  for (const auto& c : cases) {
    std::filesystem::remove(input + ".txt");
    std::vector<std::string> args = {input};
    if (c.argument != nullptr) {
      args.push_back(c.argument);
      args.push_back("ignored");
    }
    const RunResult run = run_tolvik(args);
    const std::string report = decode(page, c.level);
    std::string expected =
        kBanner + kTvk + "Read file Error\n" + report + "\nlen=" + std::to_string(report.size()) + "\n";
    if (c.save) expected += "Save to " + input + ".txt\n";
    const char* shown = c.argument == nullptr ? "(absent)" : c.argument;
    EXPECT_EQ(run.out, expected) << shown;
    EXPECT_EQ(run.status, 0) << shown;
    EXPECT_EQ(std::filesystem::exists(input + ".txt"), c.save) << shown;
    if (c.save) {
      EXPECT_EQ(read_file(input + ".txt"), "v0.17\n" + report) << shown;
    }
  }
}

TEST(Command, PageLengthDecidesTheReadMessage) {
  const ParamPage page = PageBuilder::onfi().text(32, "BIGFILE").fix_crc();
  const std::string page_bytes(reinterpret_cast<const char*>(page.bytes), kPageSize);
  const std::string report = decode(page, 2);
  const struct {
    std::string content;
    const char* message;
  } cases[] = {
      {page_bytes, ""},
      {page_bytes + std::string(100000, '\xAA'), ""},
      {page_bytes.substr(0, 256), "Read file Error\n"},
  };
  TempDir dir;
  for (const auto& c : cases) {
    write_file(dir.file("p.bin"), c.content);
    const RunResult run = run_tolvik({dir.file("p.bin")});
    EXPECT_EQ(run.out, kBanner + kTvk + c.message + report + "\nlen=" + std::to_string(report.size()) + "\n");
    EXPECT_EQ(run.status, 0);
  }
}

TEST(Command, FailuresPrintTheirMessageAndExitOne) {
  TempDir dir;
  write_file(dir.file("blank.bin"), std::string(512, '\0'));
  const struct {
    std::string input;
    const char* message;
  } cases[] = {
      {dir.file("missing.bin"), "Open file Error\n"},
      {dir.path(), "Open file Error\n"},
      {dir.file("blank.bin"), ""},
  };
  for (const auto& c : cases) {
    const RunResult run = run_tolvik({c.input});
    EXPECT_EQ(run.out, kBanner + kTvk + c.message + "\nlen=0\n") << c.input;
    EXPECT_EQ(run.status, 1) << c.input;
  }
}

TEST(Command, MissingInputWithSaveFlagStillSavesTheEmptyReport) {
  TempDir dir;
  const std::string input = dir.file("missing.bin");
  const RunResult run = run_tolvik({input, "t"});
  EXPECT_EQ(run.out, kBanner + kTvk + "Open file Error\n\nlen=0\nSave to " + input + ".txt\n");
  EXPECT_EQ(read_file(input + ".txt"), "v0.17\n");
  EXPECT_EQ(run.status, 1);
}

TEST(Command, ReportFileThatCannotBeWrittenIsAnError) {
  TempDir dir;
  const std::string input = dir.file("dump.bin");
  write_file(input, read_file(kSamples + "/" + kSample));
  std::filesystem::create_directory(input + ".txt");
  const RunResult run = run_tolvik({input, "0t"});
  const std::string report = decode(PageBuilder::from_file(input), 0);
  EXPECT_EQ(run.out, kBanner + kTvk + "Read file Error\n" + report + "\nlen=" +
                         std::to_string(report.size()) + "\nSave to " + input + ".txt\nSave file Error\n");
  EXPECT_EQ(run.status, 1);
}

TEST(Command, LongInputNamesAreNeitherRefusedNorCut) {
  TempDir dir;
  const std::string sub = dir.file(std::string(200, 'd'));
  std::filesystem::create_directory(sub);
  const std::string input = sub + "/" + std::string(240, 'f') + ".bin";
  ASSERT_GT(input.size(), 400U);
  write_file(input, read_file(kSamples + "/" + kSample));
  const RunResult run = run_tolvik({input, "1t"});
  const std::string report = decode(PageBuilder::from_file(input), 1);
  EXPECT_EQ(run.out, kBanner + kTvk + "Read file Error\n" + report +
                         "\nlen=" + std::to_string(report.size()) + "\nSave to " + input + ".txt\n");
  EXPECT_EQ(read_file(input + ".txt"), "v0.17\n" + report);
  EXPECT_EQ(run.status, 0);
}

TEST(Command, InputIsOnlyRead) {
  TempDir dir;
  const std::string input = dir.file("ro.bin");
  const std::string bytes = read_file(kSamples + "/" + kSample);
  write_file(input, bytes);
  chmod(input.c_str(), 0444);
  const RunResult run = run_tolvik({input});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(read_file(input), bytes);
}

// Start-up cost: no dynamic loader, no C++ runtime to load, no iostreams.
TEST(Command, BinaryIsStaticAndFreeOfIostreams) {
  if (!TOLVIK_STATIC_BINARY) GTEST_SKIP() << "built without TOLVIK_STATIC (sanitizer builds)";
  const std::string elf = read_file(TOLVIK_BINARY);
  ASSERT_GT(elf.size(), 64U);
  ASSERT_EQ(elf.substr(0, 4), "\177ELF");
  ASSERT_EQ(elf[4], 2) << "64-bit ELF expected";
  auto field = [&](std::size_t offset, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = width; i-- > 0;) value = value << 8 | static_cast<unsigned char>(elf.at(offset + i));
    return value;
  };
  const std::uint64_t table = field(32, 8);
  const std::uint64_t entry_size = field(54, 2);
  const std::uint64_t count = field(56, 2);
  constexpr std::uint64_t kDynamic = 2;
  constexpr std::uint64_t kInterpreter = 3;
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::uint64_t type = field(table + i * entry_size, 4);
    EXPECT_NE(type, kDynamic) << "tolvik is linked dynamically";
    EXPECT_NE(type, kInterpreter) << "tolvik needs a dynamic loader";
  }
  EXPECT_EQ(elf.find("ios_base"), std::string::npos) << "iostreams are linked in";
}

}  // namespace
}  // namespace tolvik::test
