// Hex listings: what the real tools print, read back to the bytes they were
// made from, and the hand-written forms and their failures.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "test_support.h"

namespace tolvik::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Standard output of a shell command; the test fails when it fails.
std::string shell(const std::string& command, int* status = nullptr) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("popen " + command);
  std::string out;
  char chunk[4096];
  std::size_t n = 0;
  while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) out.append(chunk, n);
  const int wstatus = pclose(pipe);
  const int code = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  if (status != nullptr) {
    *status = code;
  } else {
    EXPECT_EQ(code, 0) << command;
  }
  return out;
}

Bytes file_bytes(const std::string& path) {
  const std::string s = read_file(path);
  return Bytes(s.begin(), s.end());
}

// The listing with its line ends as another system saves them.
std::string with_line_end(const std::string& text, const std::string& end) {
  std::string out;
  for (const char c : text) {
    if (c == '\n') {
      out += end;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

struct Tool {
  const char* command;
  const char* filter;  // a shell pipe after the tool, or ""
  bool words;          // little-endian groups: only a page's signature tells their order
};
// Kernel logs and bootloader consoles print a dump behind a stamp and a tag.
constexpr const char* kLog = " | sed 's/^/[    2.000117] nand: /'";
constexpr Tool kTools[] = {
    {"xxd", "", false},
    {"xxd -p", "", false},
    {"xxd -i", "", false},
    {"xxd -a -g1", "", false},
    {"xxd -c 10 -g 4", "", false},
    {"xxd -g1", kLog, false},
    {"xxd -e", "", true},
    {"xxd -e -g8", kLog, true},
    {"hexdump -C", "", false},
    {"hexdump", "", true},
    {"od -A x -t x1z -v", "", false},
    {"od -A d -t x1z", "", false},
    {"od -t x1", "", false},
    {"od -A d -t x1", "", false},
    {"od -x", "", true},
    {"od -A d -x", "", true},
    {"od -t x2", "", true},
    {"od -t x4", "", true},
    {"od -A x -t x8", "", true},
};

TEST(HexListing, RealToolsListingsReadBackToTheBinary) {
  TempDir dir;
  const Bytes dump = file_bytes(kSamples + "/mt29f32g08abcdbj4.onfi-dump.bin");
  // Odd lengths, and runs of equal lines the tools fold into '*'.
  Bytes zeros(100, 0);
  zeros.insert(zeros.begin(), {'O', 'N', 'F', 'I'});
  zeros.push_back(0x41);
  // Copy 1's signature damaged: copies 2 and 3 tell the byte order.
  Bytes damaged = dump;
  damaged[1] = 'X';
  // A longer dump: the copies, then bytes that never repeat a line.
  Bytes longer = dump;
  for (std::uint32_t x = 1; longer.size() < 70000;) {
    x = x * 1103515245u + 12345u;
    longer.push_back(static_cast<std::uint8_t>(x >> 16));
  }
  struct Input {
    std::string name;
    Bytes bytes;
    bool signature;
  };
  const std::vector<Input> inputs = {
      {"onfi.bin", file_bytes(kSamples + "/mt29f1g08abbda3w.onfi.bin"), true},
      {"jedec.bin", file_bytes(kSamples + "/tv256g08mdt4b.jedec.bin"), true},
      {"dump.bin", dump, true},
      {"damaged.bin", damaged, true},
      {"longer.bin", longer, true},
      {"odd.bin", Bytes(dump.begin(), dump.begin() + 255), true},
      {"zeros.bin", zeros, true},
      {"three.bin", {0x61, 0x62, 0x63}, false},
  };
  for (const Input& input : inputs) {
    write_file(dir.file(input.name), std::string(input.bytes.begin(), input.bytes.end()));
    for (const Tool& tool : kTools) {
      if (tool.words && !input.signature) continue;
      const std::string listing =
          shell("cd " + dir.path() + " && " + tool.command + " " + input.name + tool.filter);
      for (const char* end : {"\n", "\r\n", "\r"}) {
        Bytes out(input.bytes.size() + 64, 0xEE);
        const HexResult r = read_hex_listing(with_line_end(listing, end), out);
        SCOPED_TRACE(std::string(tool.command) + tool.filter + " " + input.name + " line end " +
                     std::to_string(std::string(end).size() * 10 + (end[0] == '\r')));
        EXPECT_EQ(r.error_line, 0u);
        ASSERT_EQ(r.size, input.bytes.size());
        EXPECT_EQ(Bytes(out.begin(), out.begin() + static_cast<long>(r.size)), input.bytes);
      }
    }
  }
}

// A first line that the next '*' repeats: the offset after it steps in more
// than one radix. The tools' own habits settle it where they can; where
// they cannot, that line is refused rather than guessed.
TEST(HexListing, RealToolsListingsThatStartWithARepeatedLine) {
  TempDir dir;
  // Words that read alike in either byte order: only the radix is asked.
  Bytes bytes(32, 0);
  bytes.insert(bytes.end(), {'A', 'A', 'B', 'B'});
  write_file(dir.file("in.bin"), std::string(bytes.begin(), bytes.end()));
  const struct {
    const char* command;
    std::size_t error_line;
  } cases[] = {
      {"od -t x1", 0},       // octal offsets, the only radix od prints with seven digits but decimal
      {"od -A d -t x1", 0},  // "0000032": no octal step
      {"od -A x -t x1", 0},  // six digits: hex
      {"hexdump", 0},        // "0000020": 16 bytes on, too few for '*' in octal or decimal
      {"od -x", 3},          // "0000040": 32 bytes on in octal, 64 in hex; hexdump prints the same
  };
  for (const auto& c : cases) {
    Bytes out(64, 0xEE);
    const HexResult r = read_hex_listing(shell("cd " + dir.path() + " && " + c.command + " in.bin"), out);
    EXPECT_EQ(r.error_line, c.error_line) << c.command;
    if (c.error_line != 0) continue;
    ASSERT_EQ(r.size, bytes.size()) << c.command;
    EXPECT_EQ(Bytes(out.begin(), out.begin() + static_cast<long>(r.size)), bytes) << c.command;
  }
}

// The tool on a listing prints what it prints on the binary, also from a pipe.
TEST(HexListing, ToolDecodesListingsAsItDecodesTheBinary) {
  TempDir dir;
  const std::string dump = kSamples + "/mt29f32g08abcdbj4.onfi-dump.bin";
  write_file(dir.file("second.bin"), read_file(dump).substr(256));
  struct Case {
    std::string listing_command;
    std::string binary;
  };
  const Case cases[] = {
      {"xxd " + kSamples + "/mt29f1g08abbda3w.onfi.bin", kSamples + "/mt29f1g08abbda3w.onfi.bin"},
      {"hexdump -C " + kSamples + "/tv256g08mdt4b.jedec.bin", kSamples + "/tv256g08mdt4b.jedec.bin"},
      {"od -x " + dump, dump},
      // Made with an offset: the copy it shows is what is decoded.
      {"xxd -s 256 " + dump, dir.file("second.bin")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.listing_command);
    write_file(dir.file("listing.txt"), shell(c.listing_command));
    const RunResult binary = run_tolvik({c.binary, "1"});
    const RunResult from_file = run_tolvik({"-x", dir.file("listing.txt"), "1"});
    EXPECT_EQ(from_file.out, binary.out);
    EXPECT_EQ(from_file.status, binary.status);
    int status = -1;
    EXPECT_EQ(shell(std::string(TOLVIK_BINARY) + " -x - 1 < " + dir.file("listing.txt"), &status),
              binary.out);
    EXPECT_EQ(status, binary.status);
  }
}

TEST(HexListing, UnreadableListingsPrintTheirMessageAndExitOne) {
  TempDir dir;
  std::string bad = shell("xxd " + kSamples + "/mt29f1g08abbda3w.onfi.bin");
  const std::size_t line5 = bad.find("\n00000040: ");
  ASSERT_NE(line5, std::string::npos);
  bad[line5 + 12] = 'g';
  const std::pair<std::string, std::string> cases[] = {
      {bad, "Hex text Error: line 5\n"},
      {"# only a comment\n\n{ }\n", "Hex text Error: no bytes\n"},
  };
  for (const auto& [text, message] : cases) {
    write_file(dir.file("listing.txt"), text);
    const RunResult r = run_tolvik({"-x", dir.file("listing.txt")});
    EXPECT_EQ(r.out, kRunHead + message + "\nlen=0\n");
    EXPECT_EQ(r.status, 1);
  }
}

// Hand-written texts: the forms no tool prints, and what must fail.
TEST(HexListing, FormsAndFailures) {
  struct Case {
    const char* what;
    std::string text;
    Bytes bytes;
    std::size_t error_line;
  };
  const Case cases[] = {
      {"pairs, 0x, commas, braces, case",
       "0x4F,0x4e 46\n{49} 0XaB ,cd\n",
       {0x4f, 0x4e, 0x46, 0x49, 0xab, 0xcd},
       0},
      {"comments", "# head\n  // note\n01 /* 02 */ 03 // 04\n", {0x01, 0x03}, 0},
      {"comment across lines", "01 /* 02\n03 */ 04\n", {0x01, 0x04}, 0},
      {"comment left open", "01\n02 /* 03\n04\n", {}, 2},
      {"C array with code around",
       "#include <x.h>\nstatic const int n = 2;\nconst u8 p[] = { { 0x01, 0x2 },\n 0x03 }; int m = 4;\n5 6 "
       "7\n",
       {0x01, 0x02, 0x03},
       0},
      {"array left open reads like a short file", "u8 p[] = {\n 0x01,\n", {0x01}, 0},
      {"unbroken runs", "4f4e4649\n0102\n", {0x4f, 0x4e, 0x46, 0x49, 0x01, 0x02}, 0},
      {"odd run", "4f4e4\n", {}, 1},
      {"0x with three digits", "0x123\n", {}, 1},
      {"prose before a dump", "my page:\n00000000: 0102  ..\n", {}, 1},
      {"offset not where the lines lead", "00000000: 0102  ..\n00000004: 0304  ..\n", {}, 2},
      {"'*' before any line", "*\n00000000: 0102  ..\n", {}, 1},
      {"'*' back to an earlier offset", "0000000 01 02\n0000002 03 04\n*\n0000002\n", {}, 4},
      {"hexdump words, swapped by the signature",
       "0000000 4e4f 4946 0201\n0000005\n",
       {0x4f, 0x4e, 0x46, 0x49, 0x01},
       0},
      {"words without signature in the order written",
       "0000000 0102 0304\n0000004\n",
       {0x01, 0x02, 0x03, 0x04},
       0},
      {"closing offset two bytes short", "0000000 0102 0304\n0000002\n", {}, 2},
      {"octal offsets with '*'",
       "0000000 01 02 03 04 05 06 07 08\n*\n0000030 09\n0000031\n",
       {1, 2, 3, 4, 5, 6, 7, 8, 1, 2, 3, 4, 5, 6, 7, 8, 1, 2, 3, 4, 5, 6, 7, 8, 9},
       0},
      {"hex offsets tell by their digits",
       "0000000 01 02 03 04 05 06 07 08\n*\n000000c 09\n",
       {1, 2, 3, 4, 5, 6, 7, 8, 1, 2, 3, 4, 9},
       0},
      {"octal offset with a digit 8", "0000000 01 02 03 04 05 06 07 08\n0000010 09\n0000018 0a\n", {}, 3},
      {"one line, its offset not octal", "0000019 01 02\n", {0x01, 0x02}, 0},
      {"byte order mark",
       "\xEF\xBB\xBF"
       "4f 4e\r\n",
       {0x4f, 0x4e},
       0},
      {"empty od", "0000000\n", {}, 0},
      {"odd run of seven digits before bytes", "4f4e464\n4f 4e\n", {}, 1},
      {"C array literals as C reads them",
       "const u8 p[] = {79, 0x4E, 0106, 73, 0, 255};\n",
       {0x4f, 0x4e, 0x46, 0x49, 0x00, 0xff},
       0},
      {"hex without 0x is no C literal", "u8 p[] = {4f, 4e};\n", {}, 1},
      {"C literal beyond a byte", "u8 p[] = {1,\n 256};\n", {}, 2},
      // The kernel prints a short last line of a dump in 4-byte groups byte by byte.
      {"kernel log, little-endian groups",
       "[    1.234567] nand: 00000000: 49464e4f 00010002  ONFI....\n"
       "[    1.234570] nand: 00000008: 4d 49 43                 MIC\n",
       {'O', 'N', 'F', 'I', 0x02, 0x00, 0x01, 0x00, 'M', 'I', 'C'},
       0},
      {"bare hex behind a log tag", "nand: 4f 4e\nnand: 46 49\n", {0x4f, 0x4e, 0x46, 0x49}, 0},
      {"log prose among dump lines",
       "[    1.000000] nand: 00000000: 4f 4e  ON\n[    1.000001] nand: found\n",
       {},
       2},
      {"od -A n folds a line no offset explains", " 00 00\n*\n 00 01\n", {}, 2},
      {"a tag of hex letters is an offset", "beef: 01\nbef0: 02\n", {0x01, 0x02}, 0},
      {"xxd -i of an empty file", "unsigned char x[] = {\n};\nunsigned int x_len = 0;\n", {}, 0},
  };
  for (const Case& c : cases) {
    Bytes out(64, 0xEE);
    const HexResult r = read_hex_listing(c.text, out);
    EXPECT_EQ(r.error_line, c.error_line) << c.what;
    if (c.error_line != 0) continue;
    ASSERT_EQ(r.size, c.bytes.size()) << c.what;
    EXPECT_EQ(Bytes(out.begin(), out.begin() + static_cast<long>(r.size)), c.bytes) << c.what;
  }
}

TEST(HexListing, OutputAndWorkStayBounded) {
  // An offset of 2^60 after '*': counted, stored only as far as out goes.
  const std::string far = "00000000: 0102  ..\n*\n1000000000000000: 0304  ..\n";
  Bytes out(8, 0xEE);
  const auto started = std::chrono::steady_clock::now();
  // A span shorter than the vector: the bytes after it must stay as they are.
  const HexResult r = read_hex_listing(far, std::span<std::uint8_t>(out.data(), 4));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(100));
  EXPECT_EQ(r.size, (std::size_t{1} << 60) + 2);
  EXPECT_EQ(out, (Bytes{1, 2, 1, 2, 0xEE, 0xEE, 0xEE, 0xEE}));

  // The library reads a text of any length; the tool sets the limit.
  const std::string big = "ab\n" + std::string(kDumpHexTextLimit, ' ') + "cd\nzz\n";
  EXPECT_EQ(read_hex_listing(big, out).error_line, 3u);
  EXPECT_EQ(read_hex_listing(big, out).size, 2u);
}

// Listings longer than the tool reads are refused whole, never cut: 4 MiB
// for a page, 8 MiB with -a, which every form of a 1 MiB dump fits.
TEST(HexListing, ToolRefusesATextBeyondItsLimit) {
  TempDir dir;
  std::string dump(kDumpLimit, '\0');
  const std::string page = read_file(kSamples + "/mt29f32g08abcdbj4.onfi.bin");
  for (std::size_t at = 0; at < 3 * page.size(); at += page.size()) dump.replace(at, page.size(), page);
  for (std::size_t at = 3 * page.size(), x = 7; at < dump.size(); ++at) {
    x = x * 6364136223846793005u + 1442695040888963407u;
    dump[at] = static_cast<char>(x >> 56);
  }
  write_file(dir.file("dump.bin"), dump);
  shell("cd " + dir.path() + " && xxd dump.bin >dump.xxd && od -A x -t x1z -v dump.bin >dump.od");
  write_file(dir.file("huge.xxd"), read_file(dir.file("dump.xxd")) + read_file(dir.file("dump.xxd")));
  const RunResult binary = run_tolvik({"-a", dir.file("dump.bin"), "0"});
  const struct {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"-x", dir.file("dump.xxd")}, kRunHead + "Hex text Error: longer than 4 MiB\n\nlen=0\n"},
      {{"-a", "-x", dir.file("dump.xxd"), "0"}, binary.out},
      {{"-a", "-x", dir.file("dump.od"), "0"}, binary.out},
      {{"-a", "-x", dir.file("huge.xxd")}, kRunHead + "Hex text Error: longer than 8 MiB\n\nlen=0\n"},
  };
  for (const auto& c : cases) {
    const RunResult run = run_tolvik(c.args);
    EXPECT_EQ(run.out, c.out) << c.args[c.args.size() - 1];
    EXPECT_EQ(run.status, c.out == binary.out ? binary.status : 1);
  }
}

}  // namespace
}  // namespace tolvik::test
