// The ONFI report after its identification section: organisation, timing
// modes, electrical parameters and how the sections meet.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "onfi/layout.h"
#include "test_support.h"

namespace tolvik::test {
namespace {

using namespace onfi;

// The revision number's high byte: bits 4, 5 and 6 are revisions 5.0, 5.1 and the next.
constexpr std::size_t kRevisionHigh = kRevision + 1;

bool has_line(const std::string& report, const std::string& line) {
  const auto all = lines(report);
  return std::find(all.begin(), all.end(), line) != all.end();
}

bool has_prefix(const std::string& report, const std::string& prefix) {
  const auto all = lines(report);
  return std::any_of(all.begin(), all.end(), [&](const std::string& l) { return l.starts_with(prefix); });
}

// One page at one level: lines that must appear whole, and line beginnings
// that must not appear at all.
struct Case {
  const char* what;
  PageBuilder page;
  int level;
  std::vector<std::string> present;
  std::vector<std::string> absent;
};

void check(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    const std::string report = decode(c.page, c.level);
    for (const std::string& line : c.present)
      EXPECT_TRUE(has_line(report, line)) << c.what << ": " << line << report;
    for (const std::string& line : c.absent) EXPECT_FALSE(has_prefix(report, line)) << c.what << ": " << line;
  }
}

PageBuilder partial_page() {
  return PageBuilder::onfi()
      .le32(kPartialPageData, 512)
      .le16(kPartialPageSpare, 16)
      .u8(kPartialProgramming, 3);
}
PageBuilder ez_nand(std::uint32_t revision_high) {
  return PageBuilder::onfi().u8(kRevisionHigh, revision_high).u8(kEzNand, 0x07);
}
PageBuilder endurance(std::uint32_t mantissa, std::uint32_t exponent) {
  return PageBuilder::onfi().u8(kEnduranceMantissa, mantissa).u8(kEnduranceExponent, exponent);
}
PageBuilder late_ddr3(std::uint32_t high) {
  return PageBuilder::onfi().u8(kRevisionHigh, 0x10).le16(kNvDdr3ModesHigh, high);
}

// clang-format off
TEST(OnfiOrganisation, RevisionGatesAndValues) {
  check({
      {"partial page", partial_page(), 2, {"Partial page size : 528 (512+16)\n", "PartPrgAtt: 3\n"}, {}},
      {"partial page level 0", partial_page(), 0, {"Partial page size : 528 (512+16)\n"}, {"PartPrgAtt"}},
      {"partial page 5.0", partial_page().u8(kRevisionHigh, 0x10), 2, {}, {"Partial page size", "PartPrgAtt"}},
      {"partial page 5.1 only", partial_page().u8(kRevisionHigh, 0x20), 2, {"PartPrgAtt: 3\n"}, {"EZ NAND support"}},
      {"partial data 0", partial_page().le32(kPartialPageData, 0), 2, {}, {"Partial page size", "PartPrgAtt"}},
      {"size wraps", PageBuilder::onfi().le32(kPageData, 0xFFFFFFFF).le16(kPageSpare, 2), 0, {"Page size : 1 (4294967295+2)\n"}, {}},
      {"ez nand", ez_nand(0x00), 2, {"EZ NAND support: 0x07\n", " supports enable/disable of automatic retries\n", " Requires Copyback Adjacency\n"}, {}},
      {"ez nand level 1", ez_nand(0x00), 1, {"EZ NAND support: 0x07\n"}, {" supports enable/disable", " Requires Copyback"}},
      {"ez nand level 0", ez_nand(0x00), 0, {}, {"EZ NAND support"}},
      {"ez nand 4.2, bit 15", ez_nand(0x88), 2, {"EZ NAND support: 0x07\n"}, {}},
      {"ez nand 5.0", ez_nand(0x10), 2, {}, {"EZ NAND support", " supports enable/disable"}},
      {"ez nand 5.1", ez_nand(0x20), 2, {}, {"EZ NAND support"}},
      {"ez nand bit 14", ez_nand(0x40), 2, {}, {"EZ NAND support"}},
      {"endurance 1e5", endurance(1, 5), 0, {"Endurance : 100000\n"}, {}},
      {"endurance 2e5", endurance(2, 5), 0, {"Endurance : 200000 (1282?)\n"}, {}},
      {"endurance 255e4", endurance(255, 4), 0, {"Endurance : 2550000 (1279?)\n"}, {}},
      {"endurance 0e6", endurance(0, 6), 0, {"Endurance : 0 (1536?)\n"}, {}},
      {"endurance 1e32", endurance(1, 32), 0, {"Endurance : 0 (8193?)\n"}, {}},
      {"valid endurance", PageBuilder::onfi().u8(kValidMantissa, 1).u8(kValidExponent, 6), 2, {"ValidEndur: 1000000\n"}, {}},
      {"ecc, cycles", PageBuilder::onfi().u8(kEccBits, 255).u8(kAddressCycles, 0x23), 2, {"BitCorrECC: See EPP\n", "Row+ColAdr: 3+2\n"}, {}},
      {"planes, cells", PageBuilder::onfi().u8(kPlaneAddressBits, 0xF3).u8(kBitsPerCell, 3), 0, {"PlanAdrBit: 3 (upto 8 plane)\n", "Bit/Cell  : 3 (TLC)\n"}, {}},
      {"multi-plane level 1", PageBuilder::onfi().u8(kMultiPlane, 0xFF), 1, {"Multi-plane operation attributes: 0xff\n", " program cache supported\n", " read cache supported\n"}, {" Overlapped", " no block", " Address restrictions", " lower bit"}},
  });
}

TEST(OnfiTimingModes, MasksAndTopSpeeds) {
  auto modes = [](std::size_t offset, std::uint32_t value) { return PageBuilder::onfi().le16(offset, value); };
  check({
      {"async", modes(kAsyncModes, 0x3F), 1, {"Async     : 0x03f (upto 50 MHz)\n"}, {"NV-"}},
      {"async above top", modes(kAsyncModes, 0x40), 1, {"Async     : 0x040 ()\n"}, {}},
      {"nv-ddr above top", PageBuilder::onfi().u8(kNvDdrModes, 0xC1), 1, {"NV-DDR    : 0x0c1 (upto 40 MT)\n"}, {}},
      {"nv-ddr2 low", PageBuilder::onfi().u8(kNvDdr2Modes, 0x01), 1, {"NV-DDR2   : 0x001 (upto 66 MT)\n"}, {}},
      {"nv-ddr2 top", PageBuilder::onfi().u8(kNvDdr2ModesHigh, 0x04), 1, {"NV-DDR2   : 0x400 (upto 800 MT)\n"}, {}},
      {"nv-ddr2 above top", PageBuilder::onfi().u8(kNvDdr2ModesHigh, 0x08), 1, {"NV-DDR2   : 0x800 ()\n"}, {}},
      {"own tables", modes(kAsyncModes, 0x20).u8(kNvDdrModes, 0x20).u8(kNvDdr2Modes, 0x20).u8(kNvDdr3Modes, 0x20).u8(kNvLpddr4Modes, 0x40), 2,
       {"Async     : 0x020 (upto 50 MHz)\n", "NV-DDR    : 0x020 (upto 200 MT)\n", "NV-DDR2   : 0x020 (upto 266 MT)\n", "NV-DDR3   : 0x020 (upto 533 MT)\n", "NV-LPDDR4 : 0x040 (upto 667 MT)\n"}, {}},
      {"nv-ddr3 low half", modes(kNvDdr3Modes, 0x01FF), 1, {"NV-DDR3   : 0x1ff (upto 1066 MT)\n"}, {}},
      {"nv-ddr3 bit 16", late_ddr3(0x01), 1, {"NV-DDR3   : 0x10000 (upto 2400 MT)\n"}, {}},
      {"nv-ddr3 bit 19", late_ddr3(0x08), 1, {"NV-DDR3   : 0x80000 (upto 3600 MT)\n"}, {}},
      {"nv-ddr3 bit 20", late_ddr3(0x10), 1, {"NV-DDR3   : 0x100000 ()\n"}, {}},
      {"nv-ddr3 both halves", late_ddr3(0x8000).u8(kNvDdr3Modes, 0x01), 1, {"NV-DDR3   : 0x80000001 (upto 166 MT)\n"}, {}},
      {"nv-ddr3 bit 14 is late", late_ddr3(0x01).u8(kRevisionHigh, 0x40), 1, {"NV-DDR3   : 0x10000 (upto 2400 MT)\n"}, {}},
      {"nv-ddr3 5.1 is late", late_ddr3(0x01).u8(kRevisionHigh, 0x20), 1, {"NV-DDR3   : 0x10000 (upto 2400 MT)\n"}, {}},
      {"nv-ddr3 early", late_ddr3(0x01).u8(kRevisionHigh, 0x08), 1, {}, {"NV-DDR3"}},
      {"nv-ddr3 early keeps low half", late_ddr3(0x01).u8(kRevisionHigh, 0x88).u8(kNvDdr3Modes, 0x02), 1, {"NV-DDR3   : 0x002 (upto 200 MT)\n"}, {}},
      {"nv-lpddr4 high, early", PageBuilder::onfi().u8(kNvLpddr4ModesHigh, 0x01), 1, {"NV-LPDDR4 : 0x10000 (upto 2400 MT)\n"}, {}},
      {"nv-lpddr4 both", modes(kNvLpddr4Modes, 0x0003).u8(kNvLpddr4ModesHigh, 0x10), 1, {"NV-LPDDR4 : 0x100003 (upto 200 MT)\n"}, {}},
      {"level 0", modes(kAsyncModes, 0x3F), 0, {}, {"Async"}},
  });
}

TEST(OnfiElectrical, ValuesAndVendorBlock) {
  const PageBuilder page = PageBuilder::onfi().u8(kWarmupCycles, 0x21).le16(kTProg, 600).le16(kTBers, 0xFFFF)
      .u8(kIoCapacitanceMax, 45).le16(kClkCapacitanceTyp, 45).le16(kIoCapacitanceTyp, 5)
      .le16(kInputCapacitanceTyp, 65535).u8(kInputCapacitanceMax, 200).le16(kVendorRevision, 0x0102)
      .u8(kReadRetry, 7).u8(kParamPageRevision, 9);
  check({{"values", page, 2,
          {"warmup i/o: 2/1\n", "Max tProg : 600\n", "Max tBers : 65535\n", "Max I/O C : 45\n",
           "Typ CLK C : 4.5\n", "Typ I/O C : 0.5\n", "Typ Inp C : 6553.5\n", "Max Inp C : 200\n"}, {}},
         {"typical zero", PageBuilder::onfi(), 2, {"Typ CLK C : 0.0\n", "warmup i/o: 0/0\n"}, {}}});
  PageBuilder fixed = page;
  fixed.fix_crc();
  const std::string tail = "Vendor Block:\nVendorRev : 258\nParPageRev: 9\nReadRetry : 7\nCRC16     : 0x";
  EXPECT_TRUE(decode(page, 1).ends_with(tail + "0000 - Wrong\n"));
  const std::string ok = decode(fixed, 1);
  EXPECT_TRUE(ok.ends_with(" - Ok\n")) << ok;
  EXPECT_NE(ok.find(tail), std::string::npos);
}

// Every line of a rich page with the lowest level that shows it, in report
// order: each line appears exactly from its level on, and in this order.
TEST(OnfiReport, LevelGatingAndSectionOrder) {
  const PageBuilder page = PageBuilder::onfi().u8(kRevision, 0x02).le16(kFeatures, 0x0021)
      .le16(kPageData, 2048).le16(kPageSpare, 64).le32(kPartialPageData, 512).le32(kPagesPerBlock, 64)
      .u8(kAddressCycles, 0x23).u8(kBitsPerCell, 2).le16(kMaxBadBlocks, 20).u8(kEnduranceMantissa, 3)
      .u8(kEnduranceExponent, 4).u8(kMultiPlane, 0x05).u8(kEzNand, 0x01).u8(kAsyncModes, 0x1F).le16(kTR, 25)
      .u8(kWarmupCycles, 0x11).fix_crc();
  const std::vector<std::pair<std::string, int>> expected = {
      {" NV-DDR\n", 1}, {"EPP Len   : 0\n", 2}, {"Page size : 2112 (2048+64)\n", 0},
      {"Partial page size : 512 (512+0)\n", 0}, {"Page/Block: 64\n", 0}, {"Row+ColAdr: 3+2\n", 2},
      {"Bit/Cell  : 2 (MLC)\n", 0}, {"MaxBB/LUN : 20\n", 1}, {"Endurance : 30000\n", 0}, {"ValidEndur: 0\n", 2},
      {"PartPrgAtt: 0\n", 2}, {"BitCorrECC: 0\n", 2}, {"PlanAdrBit: 0 (1 plane)\n", 0},
      {"Multi-plane operation attributes: 0x05\n", 1}, {" Overlapped / concurrent multi-plane support\n", 2},
      {" program cache supported\n", 1}, {"EZ NAND support: 0x01\n", 1},
      {" supports enable/disable of automatic retries\n", 2}, {"Async     : 0x01f (upto 40 MHz)\n", 1},
      {"warmup i/o: 1/1\n", 2}, {"Max tR    : 25\n", 1}, {"Min tAdl  : 0\n", 2}, {"Typ Inp C : 0.0\n", 2},
      {"Vendor Block:\n", 1}, {"ReadRetry : 0\n", 1},
  };
  for (int level : {-1, 0, 1, 2, 5}) {
    const std::string report = decode(page, level);
    const auto all = lines(report);
    auto from = all.begin();
    for (const auto& [line, min_level] : expected) {
      const auto at = std::find(from, all.end(), line);
      EXPECT_EQ(at != all.end(), level >= min_level || min_level == 0) << "level " << level << ": " << line;
      if (at != all.end()) from = at;
    }
    EXPECT_EQ(report.ends_with(" - Ok\n"), level >= 1) << level;
  }
  EXPECT_EQ(decode(page, -1), decode(page, 0));
  EXPECT_EQ(decode(page, 5), decode(page, 2));
}

// clang-format on

TEST(OnfiReport, IgnoresSecondHalfOfPage) {
  const PageBuilder page = PageBuilder::onfi().fill(4, 254, 0x5A).fix_crc();
  PageBuilder filled = page;
  filled.fill(256, kPageSize, 0xFF);
  for (int level : {0, 1, 2}) EXPECT_EQ(decode(page, level), decode(filled, level)) << level;
}

TEST(OnfiReport, AllOnesPageDecodesWhole) {
  const PageBuilder page = PageBuilder::onfi().fill(4, 256, 0xFF);
  const std::string report = decode(page, 2);
  for (const char* line :
       {"NV-DDR3   : 0xffffffff (upto 3600 MT)\n", "NV-LPDDR4 : 0xffffff (upto 3600 MT)\n",
        "Endurance : 0 (65535?)\n", "Typ CLK C : 6553.5\n", "CRC16     : 0xFFFF - Wrong\n"}) {
    EXPECT_TRUE(has_line(report, line)) << line;
  }
  EXPECT_FALSE(has_prefix(report, "EZ NAND support"));
  EXPECT_FALSE(has_prefix(report, "Partial page"));
  EXPECT_EQ(report.size(), 2515U);
}

}  // namespace
}  // namespace tolvik::test
