// The command end to end: the built binary's whole standard output, exit
// status and saved report file.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

namespace tolvik::test {
namespace {

// The version text comes from the project version, as the tool's does.
const std::string kVersionLine = kVersionText + "\n";
const std::string kBanner = kBannerLine;
const std::string kUsage =
    "Use:\ntolvik file.bin [level[t]]\n\tlevel=0(less)/1/2(more,default)\n\tt - save report to file.bin.txt";
const std::string kTvk = "TVK: " + kVersionLine;
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
      EXPECT_EQ(read_file(input + ".txt"), kVersionLine + report) << shown;
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
  EXPECT_EQ(read_file(input + ".txt"), kVersionLine);
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
  EXPECT_EQ(read_file(input + ".txt"), kVersionLine + report);
  EXPECT_EQ(run.status, 0);
}

TEST(Command, InputIsOnlyRead) {
  // Root may write a read-only file, so the bytes and the time stamps are
  // what tells, with and without a report file beside it.
  TempDir dir;
  const std::string input = dir.file("ro.bin");
  const std::string bytes = read_file(kSamples + "/" + kSample);
  for (const char* argument : {"2", "0t"}) {
    write_file(input, bytes);
    chmod(input.c_str(), 0444);
    struct stat before {};
    ASSERT_EQ(stat(input.c_str(), &before), 0);
    const RunResult run = run_tolvik({input, argument});
    EXPECT_EQ(run.status, 0) << argument;
    EXPECT_EQ(read_file(input), bytes) << argument;
    struct stat after {};
    ASSERT_EQ(stat(input.c_str(), &after), 0);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec) << argument;
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec) << argument;
    EXPECT_EQ(after.st_ctim.tv_sec, before.st_ctim.tv_sec) << argument;
    EXPECT_EQ(after.st_ctim.tv_nsec, before.st_ctim.tv_nsec) << argument;
    std::filesystem::remove(input);
  }
}

// What a program needs from the system to start, as its ELF program headers
// tell: a dynamic loader (PT_INTERP), shared libraries (DT_NEEDED in
// PT_DYNAMIC; a static-pie program has the segment but needs nothing).
struct ElfLinkage {
  bool readable = false;
  bool position_independent = false;  // ET_DYN: loaded at a random address
  bool interpreter = false;
  bool needs_libraries = false;
};

ElfLinkage inspect_elf(const std::string& elf) {
  ElfLinkage linkage;
  if (elf.size() < 64 || elf.compare(0, 4, "\177ELF") != 0) return linkage;
  const bool wide = elf[4] == 2;
  const bool big_endian = elf[5] == 2;
  bool in_bounds = true;
  auto field = [&](std::uint64_t offset, std::size_t width) {
    std::uint64_t value = 0;
    if (offset > elf.size() || elf.size() - offset < width) {
      in_bounds = false;
      return value;
    }
    for (std::size_t i = 0; i < width; ++i) {
      const std::size_t at = big_endian ? i : width - 1 - i;
      value = value << 8 | static_cast<unsigned char>(elf[offset + at]);
    }
    return value;
  };
  const std::size_t word = wide ? 8 : 4;
  constexpr std::uint64_t kDynamic = 2, kInterpreter = 3, kSharedObject = 3, kNeeded = 1;
  linkage.position_independent = field(16, 2) == kSharedObject;
  const std::uint64_t table = field(wide ? 32 : 28, word);
  const std::uint64_t entry_size = field(wide ? 54 : 42, 2);
  const std::uint64_t count = field(wide ? 56 : 44, 2);
  for (std::uint64_t i = 0; i < count && in_bounds; ++i) {
    const std::uint64_t header = table + i * entry_size;
    const std::uint64_t type = field(header, 4);
    if (type == kInterpreter) linkage.interpreter = true;
    if (type != kDynamic) continue;
    const std::uint64_t offset = field(header + (wide ? 8 : 4), word);
    const std::uint64_t size = field(header + (wide ? 32 : 16), word);
    for (std::uint64_t at = offset; at + 2 * word <= offset + size && in_bounds; at += 2 * word) {
      const std::uint64_t tag = field(at, word);
      if (tag == 0) break;
      if (tag == kNeeded) linkage.needs_libraries = true;
    }
  }
  linkage.readable = in_bounds;
  return linkage;
}

// A minimal ELF image: header, program headers, then each segment's content.
struct Segment {
  std::uint32_t type;
  std::vector<std::uint64_t> words;  // the dynamic section: tag, value, ...
};

std::string make_elf(bool wide, bool big_endian, std::uint16_t type, const std::vector<Segment>& segments) {
  const std::size_t word = wide ? 8 : 4, header_size = wide ? 64 : 52, entry_size = wide ? 56 : 32;
  std::string elf(header_size + entry_size * segments.size(), '\0');
  auto put = [&](std::size_t offset, std::uint64_t value, std::size_t width) {
    if (elf.size() < offset + width) elf.resize(offset + width, '\0');
    for (std::size_t i = 0; i < width; ++i) {
      const std::size_t at = big_endian ? width - 1 - i : i;
      elf[offset + at] = static_cast<char>(value >> 8 * i & 0xFF);
    }
  };
  elf.replace(0, 4, "\177ELF");
  elf[4] = wide ? 2 : 1;
  elf[5] = big_endian ? 2 : 1;
  put(16, type, 2);
  put(wide ? 32 : 28, header_size, word);
  put(wide ? 54 : 42, entry_size, 2);
  put(wide ? 56 : 44, segments.size(), 2);
  for (std::size_t i = 0; i < segments.size(); ++i) {
    const std::size_t header = header_size + i * entry_size, content = elf.size();
    put(header, segments[i].type, 4);
    put(header + (wide ? 8 : 4), content, word);
    put(header + (wide ? 32 : 16), segments[i].words.size() * word, word);
    for (std::size_t w = 0; w < segments[i].words.size(); ++w)
      put(content + w * word, segments[i].words[w], word);
  }
  return elf;
}

TEST(Command, ElfLinkageIsReadForEveryClassAndByteOrder) {
  constexpr std::uint16_t kExec = 2, kDyn = 3;
  const Segment load{1, {}}, interp{3, {}};
  const Segment needs{2, {30, 1, 1, 5, 0, 0}};           // DT_FLAGS, DT_NEEDED, DT_NULL
  const Segment self_contained{2, {30, 8, 0, 0, 1, 5}};  // DT_NEEDED only after DT_NULL
  const struct {
    const char* what;
    bool wide, big_endian;
    std::uint16_t type;
    std::vector<Segment> segments;
    ElfLinkage expected;
  } cases[] = {
      {"static, 64-bit LE", true, false, kExec, {load}, {true, false, false, false}},
      {"static-pie, 64-bit BE", true, true, kDyn, {load, self_contained}, {true, true, false, false}},
      {"dynamic, 32-bit LE", false, false, kDyn, {interp, load, needs}, {true, true, true, true}},
      {"needs libraries, 32-bit BE", false, true, kExec, {load, needs}, {true, false, false, true}},
      {"interpreter only, 64-bit BE", true, true, kExec, {interp}, {true, false, true, false}},
  };
  for (const auto& c : cases) {
    const ElfLinkage got = inspect_elf(make_elf(c.wide, c.big_endian, c.type, c.segments));
    EXPECT_EQ(got.readable, c.expected.readable) << c.what;
    EXPECT_EQ(got.position_independent, c.expected.position_independent) << c.what;
    EXPECT_EQ(got.interpreter, c.expected.interpreter) << c.what;
    EXPECT_EQ(got.needs_libraries, c.expected.needs_libraries) << c.what;
  }
  // A program header table past the end of the file is not read as one.
  std::string cut = make_elf(true, false, kDyn, {load, needs});
  cut.resize(100);
  EXPECT_FALSE(inspect_elf(cut).readable);
}

// Start-up cost: no dynamic loader, no C++ runtime to load, no iostreams.
TEST(Command, BinaryIsStaticAndFreeOfIostreams) {
  const std::string mode = TOLVIK_LINK_MODE;
  if (mode == "dynamic") GTEST_SKIP() << "static linking not chosen (sanitizer builds, no static libraries)";
  const std::string elf = read_file(TOLVIK_BINARY);
  const ElfLinkage linkage = inspect_elf(elf);
  ASSERT_TRUE(linkage.readable);
  EXPECT_FALSE(linkage.interpreter) << "tolvik needs a dynamic loader";
  EXPECT_FALSE(linkage.needs_libraries) << "tolvik needs shared libraries";
  EXPECT_EQ(linkage.position_independent, mode == "static-pie") << mode;
  EXPECT_EQ(elf.find("ios_base"), std::string::npos) << "iostreams are linked in";
  // Nor the exception runtime, whose relocations every run would pay for.
  EXPECT_EQ(elf.find("terminate called after throwing"), std::string::npos) << "exception runtime linked in";
}

}  // namespace
}  // namespace tolvik::test
