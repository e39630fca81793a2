// Two pages compared: a page against itself with one field changed names
// exactly that field; the command's output, exit statuses and usage errors
// end to end.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "decode/decode.h"
#include "test_support.h"

namespace tolvik::test {
namespace {

const std::string kOnfi = kSamples + "/mt29f32g08abcdbj4.onfi.bin";
const std::string kOnfi1g = kSamples + "/mt29f1g08abbda3w.onfi.bin";
const std::string kJedec = kSamples + "/tv256g08mdt4b.jedec.bin";

PageModel model_of(const ParamPage& page) {
  PageModel model;
  parse_page(page.bytes, model);
  return model;
}

std::string difference_line(const PageModel& a, const PageModel& b, const Difference& difference) {
  char room[4096];
  Report line{room};
  report_difference_text(a, b, difference, line);
  return {room, line.length};
}

TEST(Compare, OneFieldChangedNamesExactlyThatField) {
  const struct {
    const std::string& sample;
    std::size_t offset;  // the byte changed (its lowest bit flipped)
    unsigned first, last;
    const char* line;  // the difference's line, from its name on
  } cases[] = {
      {kOnfi, 6, 6, 7, "Features supported: 0x1DF8 ("},
      {kOnfi, 17, 16, 31, "reserved, byte 0x011: 00 | 01\n"},
      {kOnfi, 45, 44, 63, "Device model: \"MT29F32G08ABCDBJ4   \" | \"MU29F32G08ABCDBJ4   \"\n"},
      {kOnfi, 82, 80, 83, "Number of data bytes per page: 16384 bytes | 81920 bytes\n"},
      {kOnfi, 101, 101, 101, "Number of address cycles: 3 row, 2 column | 2 row, 2 column\n"},
      {kOnfi, 105, 105, 106, "Block endurance: 60000 cycles (6 x 10^4) | 70000 cycles (7 x 10^4)\n"},
      {kOnfi, 144, 144, 145, "CLK input pin capacitance, typical: 4.0 pF | 4.1 pF\n"},
      {kOnfi, 180, 180, 180, "Number of read retry options: 10 | 11\n"},
      {kOnfi, 200, 181, 235, "reserved, byte 0x0C8: 00 | 01\n"},
      {kOnfi, 237, 236, 237, "NV-LPDDR4 timing mode support, modes 0-15: 0x0000 | 0x0100 (modes 8)\n"},
      {kJedec, 8, 8, 10, "Optional commands supported: 0x0006FF ("},
      {kJedec, 66, 64, 69, "JEDEC manufacturer ID, byte 0x042: 00 | 01\n"},
      {kJedec, 150, 150, 150, "Asynchronous SDR features: 0x00 | 0x01\n"},
      {kJedec, 214, 213, 214, "Bad blocks maximum per LUN: 60 | 316\n"},
      {kJedec, 300, 272, 419, "reserved, byte 0x12C: 00 | 01\n"},
      {kJedec, 422, 422, 509, "vendor specific, byte 0x1A6: 54 | 55\n"},
  };
  for (const auto& c : cases) {
    const ParamPage original = PageBuilder::from_file(c.sample).page();
    PageBuilder changed = PageBuilder::from_file(c.sample);
    changed.u8(c.offset, original.bytes[c.offset] ^ 1U).fix_crc();
    const PageModel a = model_of(original);
    const PageModel b = model_of(changed);
    Difference differences[kDifferencesMax];
    const Comparison comparison = compare_pages(a, b, differences);
    // The CRC changed too, and follows from the field: not listed.
    ASSERT_TRUE(comparison.comparable);
    ASSERT_EQ(comparison.count, 1U) << c.offset;
    EXPECT_EQ(differences[0].first, c.first) << c.offset;
    EXPECT_EQ(differences[0].last, c.last) << c.offset;
    const std::string line = difference_line(a, b, differences[0]);
    EXPECT_EQ(line.substr(13, std::string(c.line).size()), c.line) << c.offset;
    EXPECT_EQ(compare_pages(b, b, differences).count, 0U) << c.offset;
  }
}

TEST(Compare, StoredCrcOnlyAloneAndVendorLayoutsThatPart) {
  const ParamPage onfi = PageBuilder::from_file(kOnfi).page();
  const PageModel a = model_of(onfi);
  Difference differences[kDifferencesMax];
  // Only the stored CRC differs: it is the one difference.
  const PageModel crc = model_of(PageBuilder::from_file(kOnfi).u8(254, 0x62));
  ASSERT_EQ(compare_pages(a, crc, differences).count, 1U);
  EXPECT_EQ(difference_line(a, crc, differences[0]),
            "0x0FE-0x0FF  Integrity CRC: 0x8A63 - Ok | 0x8A62 - Wrong (computed 0x8A63)\n");
  // Micron's vendor layout against Macronix's: the fields of both where they
  // agree, and byte 167, where the lists part, as a range of its own.
  const PageModel macronix =
      model_of(PageBuilder::from_file(kOnfi).text(32, "MACRONIX    ").u8(64, 0xC2).u8(167, 3).fix_crc());
  ASSERT_EQ(compare_pages(a, macronix, differences).count, 3U);
  EXPECT_EQ(differences[2].a.info, nullptr);
  EXPECT_EQ(difference_line(a, macronix, differences[2]),
            "0x0A7        vendor specific (Micron | Macronix): 00 | 03\n");
  // Pages of different layouts are not compared.
  EXPECT_FALSE(compare_pages(a, model_of(PageBuilder::from_file(kJedec)), differences).comparable);
}

// Runs a shell command line; returns the exit status.
int shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

TEST(DiffCommand, OutputAndExitStatusAsCmpHasThem) {
  TempDir dir;
  const std::string changed = dir.file("changed.bin");
  write_file(changed, std::string(reinterpret_cast<const char*>(
                                      PageBuilder::from_file(kOnfi).u8(180, 12).fix_crc().page().bytes),
                                  256));
  write_file(dir.file("blank.bin"), std::string(512, '\0'));
  // A bare hex listing of each page, for -x.
  for (const std::string* page : {&kOnfi, &kOnfi1g}) {
    std::string listing;
    for (const unsigned char b : read_file(*page))
      listing += "0123456789abcdef"[b >> 4] + std::string(1, "0123456789abcdef"[b & 15]) + " ";
    write_file(dir.file(page == &kOnfi ? "onfi.hex" : "onfi1g.hex"), listing);
  }
  const std::string a_line = "A: " + kOnfi + ": ONFI, CRC 0x8A63 - Ok\n";
  const std::string usage =
      kBannerLine + "--diff compares two inputs, at most one of them standard input: tolvik -d A B\n";
  const struct {
    std::vector<std::string> args;
    std::string out;  // the whole output, or (prefix) its start
    bool prefix;
    int status;
  } cases[] = {
      {{"-d", kOnfi, kOnfi}, a_line + "B: " + kOnfi + ": ONFI, CRC 0x8A63 - Ok\nIdentical\n", false, 0},
      {{"-d", kOnfi, changed},
       a_line + "B: " + changed +
           ": ONFI, CRC 0xF41D - Ok\n0x0B4        Number of read retry options: 10 | 12\n1 fields differ\n",
       false,
       1},
      {{"-d", kOnfi, kJedec},
       a_line + "B: " + kJedec + ": JEDEC, CRC 0x4977 - Ok\nLayouts differ: ONFI | JEDEC\n",
       false,
       1},
      {{"-d", kOnfi, dir.file("missing.bin")},
       a_line + "B: " + dir.file("missing.bin") + ": Open file Error\n",
       false,
       2},
      {{"-d", dir.file("blank.bin"), kOnfi}, "A: " + dir.file("blank.bin") + ": no parameter page", true, 2},
      {{"-xd", dir.file("onfi.hex"), dir.file("onfi1g.hex")},
       "A: " + dir.file("onfi.hex") + ": ONFI, CRC 0x8A63 - Ok\n",
       true,
       1},
      {{"-xd", dir.file("onfi.hex"), kOnfi},
       "A: " + dir.file("onfi.hex") + ": ONFI, CRC 0x8A63 - Ok\nB: " + kOnfi + ": Hex text Error: line 1\n",
       false,
       2},
      {{"-ad", kSamples + "/mt29f32g08abcdbj4.onfi-dump.bin", kOnfi},
       "A: " + kSamples + "/mt29f32g08abcdbj4.onfi-dump.bin: ONFI, copy 1, CRC 0x8A63 - Ok\nB: " + kOnfi +
           ": ONFI, copy 1, CRC 0x8A63 - Ok\nIdentical\n",
       false,
       0},
      {{"-d", kOnfi}, usage, true, 2},
      {{"-d", kOnfi, kOnfi, "t"}, usage, true, 2},
      {{"-d", "-", "-"}, usage, true, 2},
      {{"-dm", kOnfi, kOnfi}, kBannerLine + "Options -d and -m do not go together\n", true, 2},
  };
  for (const auto& c : cases) {
    const RunResult run = run_tolvik(c.args);
    EXPECT_EQ(c.prefix ? run.out.substr(0, c.out.size()) : run.out, c.out) << c.args[1];
    EXPECT_EQ(run.status, c.status) << c.args[1];
  }
  // One JSON object; standard input as one of the two; output that fails.
  const nlohmann::json document = nlohmann::json::parse(run_tolvik({"-jd", kOnfi, changed}).out);
  EXPECT_EQ(document.at("result"), "different");
  EXPECT_EQ(document.at("count"), 1);
  EXPECT_EQ(document.at("differences")[0],
            nlohmann::json::parse(
                R"({"first":180,"last":180,"name":"Number of read retry options","a":10,"b":12})"));
  EXPECT_EQ(document.at("b").at("file"), changed);
  const std::string tool = TOLVIK_BINARY;
  EXPECT_EQ(shell("'" + tool + "' -d '" + kOnfi + "' - <'" + kOnfi + "' >" + dir.file("out.txt")), 0);
  EXPECT_NE(read_file(dir.file("out.txt")).find("B: standard input: ONFI"), std::string::npos);
  EXPECT_EQ(shell("'" + tool + "' -d '" + kOnfi + "' '" + kOnfi + "' >&-"), 2);
}

}  // namespace
}  // namespace tolvik::test
