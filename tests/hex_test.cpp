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

std::string with_crlf(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\n') out.push_back('\r');
    out.push_back(c);
  }
  return out;
}

struct Tool {
  const char* command;
  bool words;  // prints 16-bit words: only a page's signature tells their order
};
constexpr Tool kTools[] = {
    {"xxd", false},        {"xxd -p", false},     {"xxd -i", false},
    {"xxd -a -g1", false}, {"hexdump -C", false}, {"od -A x -t x1z -v", false},
    {"od -t x1", false},   {"hexdump", true},     {"od -x", true},
};

TEST(HexListing, RealToolsListingsReadBackToTheBinary) {
  TempDir dir;
  const Bytes dump = file_bytes(kSamples + "/mt29f32g08abcdbj4.onfi-dump.bin");
  // Odd lengths, and runs of equal lines the tools fold into '*'.
  Bytes zeros(100, 0);
  zeros.insert(zeros.begin(), {'O', 'N', 'F', 'I'});
  zeros.push_back(0x41);
  struct Input {
    std::string name;
    Bytes bytes;
    bool signature;
  };
  const std::vector<Input> inputs = {
      {"onfi.bin", file_bytes(kSamples + "/mt29f1g08abbda3w.onfi.bin"), true},
      {"jedec.bin", file_bytes(kSamples + "/tv256g08mdt4b.jedec.bin"), true},
      {"dump.bin", dump, true},
      {"odd.bin", Bytes(dump.begin(), dump.begin() + 255), true},
      {"zeros.bin", zeros, true},
      {"three.bin", {0x61, 0x62, 0x63}, false},
  };
  for (const Input& input : inputs) {
    write_file(dir.file(input.name), std::string(input.bytes.begin(), input.bytes.end()));
    for (const Tool& tool : kTools) {
      if (tool.words && !input.signature) continue;
      const std::string listing = shell("cd " + dir.path() + " && " + tool.command + " " + input.name);
      for (const std::string& text : {listing, with_crlf(listing)}) {
        Bytes out(2048, 0xEE);
        const HexResult r = read_hex_listing(text, out);
        SCOPED_TRACE(std::string(tool.command) + " " + input.name + (text == listing ? "" : " (CRLF)"));
        EXPECT_EQ(r.error_line, 0u);
        ASSERT_EQ(r.size, input.bytes.size());
        EXPECT_EQ(Bytes(out.begin(), out.begin() + static_cast<long>(r.size)), input.bytes);
      }
    }
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

  // Text beyond the limit is not read; the line the limit cuts is dropped.
  const std::string big = "ab\n" + std::string(kHexTextLimit - 4, ' ') + "cd\nzz\n";
  EXPECT_EQ(read_hex_listing(big, out).error_line, 0u);
  EXPECT_EQ(read_hex_listing(big, out).size, 1u);
}

}  // namespace
}  // namespace tolvik::test
