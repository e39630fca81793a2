// The first section of an ONFI report: header, revision, features, commands.
#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace tolvik::test {
namespace {

// The identification section: the report's lines before the page size line.
std::string identification(const ParamPage& page, int level) {
  const std::string report = decode(page, level);
  const std::size_t end = report.find("Page size : ");
  return end == std::string::npos ? report : report.substr(0, end);
}

PageBuilder named_page() {
  return PageBuilder::onfi().text(32, "ACME        ").text(44, "NAND-1G-X8          ");
}

TEST(OnfiHeader, DateTextAndCrcMarker) {
  const struct {
    std::uint32_t year, week;
    bool crc_ok;
    const char* expected;
  } cases[] = {
      {0, 0, true, "ONFI      : ACME         NAND-1G-X8           [%04X]\n"},
      {24, 7, true, "ONFI      : ACME         NAND-1G-X8           (2024-07) [%04X]\n"},
      {0, 52, true, "ONFI      : ACME         NAND-1G-X8           (2000-52) [%04X]\n"},
      {9, 0, false, "ONFI      : ACME         NAND-1G-X8           (2009-00) [%04X*]\n"},
      {255, 199, true, "ONFI      : ACME         NAND-1G-X8           (20255-199) [%04X]\n"},
  };
  for (const auto& c : cases) {
    PageBuilder page = named_page().u8(65, c.year).u8(66, c.week).fix_crc();
    const std::uint32_t stored = page.page().bytes[254] | page.page().bytes[255] << 8U;
    if (!c.crc_ok) page.u8(100, 0x5A);
    char expected[128];
    std::snprintf(expected, sizeof expected, c.expected, stored);
    for (const int level : {-1, 0, 2}) EXPECT_EQ(lines(decode(page, level))[0], expected) << level;
  }
}

TEST(OnfiHeader, FullWidthTextsWithoutNul) {
  const ParamPage page = PageBuilder::onfi().fill(32, 64, 'Z').le16(254, 0xBEEF).page();
  EXPECT_EQ(lines(decode(page, 0))[0], "ONFI      : ZZZZZZZZZZZZ ZZZZZZZZZZZZZZZZZZZZ [BEEF*]\n");
}

TEST(OnfiRevision, OnlyTheNewestClaimedRevisionIsNamed) {
  const struct {
    std::uint32_t revision;
    const char* line;
  } cases[] = {
      {0x0000, "ONFI ver  : 0x0 ()\n"},        {0x0001, "ONFI ver  : 0x1 ()\n"},
      {0x4000, "ONFI ver  : 0x4000 ()\n"},     {0x8000, "ONFI ver  : 0x8000 ()\n"},
      {0x0002, "ONFI ver  : 0x2 ( 1.0)\n"},    {0x03FE, "ONFI ver  : 0x3fe ( 4.0)\n"},
      {0x0004, "ONFI ver  : 0x4 ( 2.0)\n"},    {0x0008, "ONFI ver  : 0x8 ( 2.1)\n"},
      {0x0010, "ONFI ver  : 0x10 ( 2.2)\n"},   {0x0020, "ONFI ver  : 0x20 ( 2.3)\n"},
      {0x0040, "ONFI ver  : 0x40 ( 3.0)\n"},   {0x0080, "ONFI ver  : 0x80 ( 3.1)\n"},
      {0x0100, "ONFI ver  : 0x100 ( 3.2)\n"},  {0x0400, "ONFI ver  : 0x400 ( 4.1)\n"},
      {0x0800, "ONFI ver  : 0x800 ( 4.2)\n"},  {0x1000, "ONFI ver  : 0x1000 ( 5.0)\n"},
      {0xFFFF, "ONFI ver  : 0xffff ( 5.1)\n"}, {0xC003, "ONFI ver  : 0xc003 ( 1.0)\n"},
  };
  for (const auto& c : cases) {
    const auto report = lines(identification(PageBuilder::onfi().le16(4, c.revision), 1));
    ASSERT_GE(report.size(), 2U);
    EXPECT_EQ(report[1], c.line);
  }
}

TEST(OnfiFeatures, BitNineNamesNvLpddr4OnlyWithRevisionFivePointZero) {
  const struct {
    std::uint32_t revision;
    const char* bit9;
  } cases[] = {
      {0x0000, " EZ NAND\n"}, {0x0FFE, " EZ NAND\n"},   {0x2000, " EZ NAND\n"},
      {0x4000, " EZ NAND\n"}, {0x1000, " NV-LPDDR4\n"}, {0x3FFE, " NV-LPDDR4\n"},
  };
  for (const auto& c : cases) {
    const std::string text = identification(PageBuilder::onfi().le16(4, c.revision).le16(6, 0x0200), 1);
    EXPECT_NE(text.find(std::string("Features supported: 0x0200\n") + c.bit9), std::string::npos)
        << std::hex << c.revision << "\n"
        << text;
  }
}

TEST(OnfiFeatures, LevelOneShowsOnlyTheInterfaceBits) {
  const ParamPage page = PageBuilder::onfi().le16(6, 0xFFFF).page();
  EXPECT_EQ(identification(page, 1),
            "ONFI      :   [0000*]\n"
            "ONFI ver  : 0x0 ()\n"
            "Features supported: 0xffff\n"
            " 16-bit data bus width\n"
            " NV-DDR\n"
            " EZ NAND\n"
            " NV-DDR2\n"
            " NV-DDR3\n");
}

// Every flag of the section set, at level 2: every table row in bit order.
TEST(OnfiIdentification, EveryFlagAtLevelTwo) {
  const ParamPage page = PageBuilder::onfi()
                             .le16(4, 0x1002)
                             .le16(6, 0xFFFF)
                             .le16(8, 0xFFFF)
                             .u8(10, 0xFF)
                             .u8(11, 0xFF)
                             .le16(12, 0xFFFF)
                             .u8(14, 3)
                             .u8(15, 0xFF)
                             .u8(64, 0x2C)
                             .fix_crc();
  const std::string text = identification(page, 2);
  const std::string expected_tail =
      "JEDEC MID : 0x2C\n"
      "ONFI ver  : 0x1002 ( 5.0)\n"
      "Features supported: 0xffff\n"
      " 16-bit data bus width\n"
      " multiple LUN operations\n"
      " non-sequential page programming\n"
      " multi-plane program and erase operations\n"
      " odd to even page Copyback\n"
      " NV-DDR\n"
      " multi-plane read operations\n"
      " extended parameter page\n"
      " program page register clear enhancement\n"
      " NV-LPDDR4\n"
      " NV-DDR2\n"
      " Volume addressing\n"
      " external Vpp\n"
      " NV-DDR3\n"
      " ZQ calibration\n"
      " Package Electrical Specification\n"
      "Optional commands supported: 0xffff\n"
      " Page Cache Program command\n"
      " Read Cache commands\n"
      " Get Features and Set Features\n"
      " Read Status Enhanced\n"
      " Copyback\n"
      " Read Unique ID\n"
      " Change Read Column Enhanced\n"
      " Change Row Address\n"
      " Small Data Move\n"
      " Reset LUN\n"
      " Volume Select\n"
      " ODT Configure\n"
      " LUN Get and LUN Set Features\n"
      " ZQ calibration (Long and Short)\n"
      "ONFI-JEDEC JTG primary advanced command support: 0x00ff\n"
      " supports Random Data Out\n"
      " supports Multi-plane Page Program\n"
      " supports Multi-plane Copyback Program\n"
      " supports Multi-plane Block Erase\n"
      "Training commands supported: 0x00ff\n"
      " supports Explicit DCC Training\n"
      " supports Implicit (command based) DCC training\n"
      " supports Read DQ training\n"
      " supports Write TX DQ training\n"
      " supports Write RX DQ training\n"
      " supports Internal vrefq Training\n"
      " supports Per-Pin Vrefq Training (offset method)\n"
      " supports Per-Pin Vrefq Training (Absolute Value method)\n"
      "Training commands supported[15]: 0x00ff\n"
      " supports Write Duty Cycle Adjustment Training (WDCA)\n"
      "EPP Len   : 1048560\n"
      "PP Num    : 3\n";
  ASSERT_EQ(lines(text).size(), 1 + lines(expected_tail).size());
  EXPECT_EQ(text.substr(lines(text)[0].size()), expected_tail);
}

TEST(OnfiIdentification, LevelsBelowZeroAndAboveTwo) {
  const ParamPage page = PageBuilder::onfi().le16(4, 0x00FE).le16(6, 0x5A5A).le16(8, 0x1234).u8(10, 5).page();
  EXPECT_EQ(decode(page, -1), decode(page, 0));
  EXPECT_EQ(decode(page, INT32_MIN), decode(page, 0));
  EXPECT_EQ(decode(page, 5), decode(page, 2));
  EXPECT_EQ(decode(page, INT32_MAX), decode(page, 2));
  EXPECT_EQ(lines(identification(page, 0)).size(), 1U) << "level 0 writes the header line only";
}

}  // namespace
}  // namespace tolvik::test
