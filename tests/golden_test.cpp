// Whole reports compared with hand-written expected texts: the real ONFI
// sample pages and the JEDEC sample in samples/, and a built ONFI page of a
// late revision, each at levels 0, 1 and 2.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "test_support.h"

namespace tolvik::test {
namespace {

namespace fs = std::filesystem;

// An ONFI page claiming revision 5.0: fields that only older revisions report
// (partial page, EZ NAND) are filled and must stay out of the report, while
// the NV-DDR3 high modes and NV-LPDDR4 modes must show.
ParamPage late_revision_onfi_page() {
  return PageBuilder::onfi()
      .le16(4, 0x1FFE)   // revisions 1.0 to 5.0
      .le16(6, 0x66DA)   // features; bit 9 reads as NV-LPDDR4 under 5.0
      .le16(8, 0xF3C5)   // optional commands, bits 14 and 15 without text
      .u8(10, 0x15)      // JTG commands, bit 4 without text
      .u8(11, 0xA5)      // training commands
      .le16(12, 0x0030)  // extended parameter page: 48 units of 16 bytes
      .u8(14, 2)         // parameter pages
      .u8(15, 0x03)      // second training byte, bit 1 without text
      .text(32, "TOLVIK")
      .u8(38, 0)  // a NUL ends the manufacturer text before "SEMI"
      .text(39, "SEMI")
      .text(44, "TV1T08LPDDR4-NVQ5A01")  // full 20 characters, no NUL
      .u8(64, 0x5D)
      .u8(65, 24)  // date code 2024, week 7
      .u8(66, 7)
      .le32(80, 16384)
      .le16(84, 2208)
      .le32(86, 4096)  // partial page, not reported under 5.0
      .le16(90, 552)
      .le32(92, 1536)
      .le32(96, 1980)
      .u8(100, 2)
      .u8(101, 0x35)
      .u8(102, 3)
      .le16(103, 80)
      .u8(105, 3)  // endurance 3 * 10^6: beyond the plausible bound
      .u8(106, 6)
      .u8(107, 2)
      .u8(108, 5)  // valid-block endurance 5 * 10^6, always plain
      .u8(109, 6)
      .u8(110, 1)
      .u8(111, 0x02)  // partial programming, not reported under 5.0
      .u8(112, 120)
      .u8(113, 0x13)  // high nibble ignored: 3 plane address bits
      .u8(114, 0x35)
      .u8(115, 0x07)      // EZ NAND, not reported for a late revision
      .le16(116, 0x0003)  // NV-DDR3 modes 16 and 17
      .u8(120, 0x01)      // NV-LPDDR4 mode 16
      .u8(128, 6)
      .le16(129, 0x003F)
      .le16(133, 2200)
      .le16(135, 15000)
      .le16(137, 60)
      .le16(139, 400)
      .u8(142, 0xFF)
      .le16(144, 25)
      .le16(146, 43)
      .le16(148, 7)
      .u8(150, 4)
      .le16(152, 95)
      .le16(154, 150)
      .u8(159, 0x21)
      .le16(160, 0xFFFF)
      .u8(162, 0x0F)  // NV-DDR2 mode 11 lies beyond the last named mode
      .le16(164, 0x0105)
      .u8(180, 16)
      .le16(236, 0x3FFF)
      .u8(253, 2)
      .fill(256, kPageSize, 0xA5)  // beyond the ONFI page: must not matter
      .fix_crc();
}

ParamPage sample_page(const std::string& file) { return PageBuilder::from_file(kSamples + "/" + file); }

struct GoldenCase {
  std::string name;  // also the test name
  std::function<ParamPage()> page;
  int level;
  std::string golden;  // path of the expected report
};

void PrintTo(const GoldenCase& c, std::ostream* os) { *os << c.name << " at level " << c.level; }

const std::vector<std::string> kSampleStems = {"mt29f1g08abbda3w.onfi", "mt29f32g08abcdbj4.onfi",
                                               "tv256g08mdt4b.jedec"};

std::vector<GoldenCase> golden_cases() {
  std::vector<GoldenCase> cases;
  for (int level = 0; level <= 2; ++level) {
    const std::string suffix = ".level" + std::to_string(level) + ".txt";
    for (const std::string& stem : kSampleStems)
      cases.push_back(
          {stem, [stem] { return sample_page(stem + ".bin"); }, level, kSamples + "/" + stem + suffix});
    cases.push_back(
        {"onfi-late-revision", late_revision_onfi_page, level, kGolden + "/onfi-late-revision" + suffix});
  }
  return cases;
}

std::string visible(const std::string& line) {
  std::string out;
  for (const char c : line) out += c == '\n' ? std::string("\\n") : std::string(1, c);
  return "\"" + out + "\"";
}

// Names the first line where the report leaves the expected text.
std::string first_difference(const std::string& expected, const std::string& actual) {
  const std::vector<std::string> want = lines(expected);
  const std::vector<std::string> got = lines(actual);
  const std::size_t common = std::min(want.size(), got.size());
  for (std::size_t i = 0; i < common; ++i) {
    if (want[i] != got[i])
      return "line " + std::to_string(i + 1) + ":\n  expected " + visible(want[i]) + "\n  actual   " +
             visible(got[i]);
  }
  if (want.size() != got.size())
    return "line " + std::to_string(common + 1) + ":\n  expected " +
           (common < want.size() ? visible(want[common]) : "end of report") + "\n  actual   " +
           (common < got.size() ? visible(got[common]) : "end of report");
  return "same lines";
}

class GoldenReport : public testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenReport, MatchesHandWrittenReport) {
  const GoldenCase& c = GetParam();
  ASSERT_TRUE(fs::is_regular_file(c.golden)) << "missing " << c.golden;
  const std::string expected = read_file(c.golden);
  const std::string actual = decode(c.page(), c.level);
  EXPECT_EQ(actual, expected) << c.golden << "\nfirst difference at " << first_difference(expected, actual);
}

INSTANTIATE_TEST_SUITE_P(Pages, GoldenReport, testing::ValuesIn(golden_cases()),
                         [](const testing::TestParamInfo<GoldenCase>& param) {
                           std::string name = param.param.name + "_level" + std::to_string(param.param.level);
                           std::replace_if(
                               name.begin(), name.end(),
                               [](char c) { return std::isalnum(static_cast<unsigned char>(c)) == 0; }, '_');
                           return name;
                         });

// A page added to samples/ without expected reports would go untested.
TEST(GoldenFiles, EverySamplePageHasItsReports) {
  for (const fs::directory_entry& entry : fs::directory_iterator(kSamples)) {
    if (entry.path().extension() != ".bin") continue;
    const std::string stem = entry.path().stem().string();
    EXPECT_NE(std::find(kSampleStems.begin(), kSampleStems.end(), stem), kSampleStems.end())
        << stem << ".bin has no golden reports";
  }
  for (const std::string& stem : kSampleStems)
    EXPECT_EQ(fs::file_size(kSamples + "/" + stem + ".bin"), stem.ends_with(".jedec") ? 512U : 256U) << stem;
}

}  // namespace
}  // namespace tolvik::test
