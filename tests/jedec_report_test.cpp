// The JEDEC report as a whole: every line in order, each at its own level.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "test_support.h"

namespace tolvik::test {
namespace {

// Neighbouring fields hold different values, so a field read one byte off
// shows in the text. ECC blocks 1 (219) and 3 (235) are set, 0 and 2 empty.
constexpr struct {
  std::size_t offset, width;
  std::uint32_t value;
} kRichFields[] = {
    {4, 2, 0x0006},   {6, 2, 0x0261},   {8, 1, 0x41},      {9, 1, 0x04},   {10, 1, 0x01},  {11, 2, 0x0290},
    {13, 1, 3},       {64, 1, 0xAD},    {80, 4, 16384},    {84, 2, 1952},  {92, 4, 384},   {96, 4, 2192},
    {100, 1, 2},      {101, 1, 0x23},   {102, 1, 3},       {103, 1, 1},    {104, 1, 0x12}, {105, 1, 0x05},
    {144, 2, 0x003F}, {146, 2, 0x00FF}, {148, 2, 0x001F},  {152, 1, 0x03}, {153, 2, 2200}, {155, 2, 10000},
    {157, 2, 85},     {159, 2, 90},     {161, 2, 400},     {163, 2, 35},   {165, 2, 42},   {167, 2, 17},
    {169, 1, 0x15},   {170, 2, 300},    {172, 4, 0x1FFFF}, {176, 4, 1},    {208, 1, 1},    {209, 1, 5},
    {210, 1, 2},      {219, 1, 24},     {220, 1, 10},      {221, 2, 100},  {223, 1, 3},    {224, 1, 3},
    {235, 1, 8},      {236, 1, 9},      {237, 2, 40},      {239, 1, 1},    {240, 1, 4},    {420, 2, 0x0103},
};

PageBuilder rich_page() {
  PageBuilder page = PageBuilder::jedec().text(32, "ACME MEMORY ").text(44, "ZX9-64G");
  for (const auto& f : kRichFields) {
    if (f.width == 1) page.u8(f.offset, f.value);
    if (f.width == 2) page.le16(f.offset, f.value);
    if (f.width == 4) page.le32(f.offset, f.value);
  }
  return page.fix_crc();
}

std::string stored_crc(const ParamPage& page) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "%04X", page.bytes[510] | page.bytes[511] << 8U);
  return hex;
}

TEST(JedecReport, EveryLineInOrderAtItsLevel) {
  const PageBuilder page = rich_page();
  const std::string crc = stored_crc(page);
  const std::vector<std::pair<int, std::string>> report = {
      {0, "JEDEC     : ACME MEMORY  ZX9-64G [" + crc + "]\n"},
      {2, "JEDEC MID : 0xAD\n"},
      {1, "JEDEC ver : 0x6 (parameter page rev 1.0)\n"},
      {1, "Features supported: 0x0261\n"},
      {2, " 16-bit data bus width\n"},
      {1, " Synchronous DDR\n"},
      {1, " Toggle Mode DDR\n"},
      {2, " supports changing pin function between WP_n and ODT_n\n"},
      {2, "Optional commands supported: 0x10441\n"},
      {2, " Page Cache Program command\n"},
      {2, " Random Data Out (Primary)\n"},
      {2, " Synchronous Reset \n"},
      {2, "Secondary commands supported: 0x0290\n"},
      {2, " Multi-plane Program\n"},
      {2, " Read Status Enhanced\n"},
      {1, "ParPageNum: 3\n"},
      {0, "Page size : 18336 (16384+1952)\n"},
      {0, "Page/Block: 384\n"},
      {0, "Block/LUN : 2192\n"},
      {0, "LUN/Chip  : 2\n"},
      {2, "Row+ColAdr: 3+2\n"},
      {0, "Bit/Cell  : 3 (TLC)\n"},
      {2, "ProgPage  : 1\n"},
      {0, "PlanAdrBit: 2 (4 plane)\n"},
      {2, "Multi-plane operation attributes: 0x05\n"},
      {2, " No multi-plane block address restrictions\n"},
      {2, " read cache supported\n"},
      {1, "Async     : 0x3f (upto 50 MHz)\n"},
      {1, "ToggleDDR2: 0x0ff (upto 200 MHz)\n"},
      {1, "Sync-DDR  : 0x1f (upto 83 MHz)\n"},
      {1, "ToggleDDR3: 0x1ffff (upto 1100 MHz)\n"},
      {1, "ToggleDDR4: 0x001 (upto 33 MHz)\n"},
      {2, "Synchronous DDR features: 0x03\n"},
      {2, " tCAD value to use\n"},
      {2, " Device supports CK stopped for data input\n"},
      {1, "Max tProg : 2200\n"},
      {1, "Max tBers : 10000\n"},
      {1, "Max tR    : 85\n"},
      {2, "Min tRmp  : 90\n"},
      {2, "Min tCCS  : 400\n"},
      {2, "Typ I/O C : 3.5\n"},
      {2, "Typ Inp C : 4.2\n"},
      {2, "Typ CK C  : 1.7\n"},
      {2, "tADL,ns   : 300\n"},
      {2, "Driver strength support: 0x15\n"},
      {2, " supports 35 Ohm and 50 Ohm drive strength, Default is 35 Ohm\n"},
      {2, " supports 18 Ohm drive strength\n"},
      {2, " supports 35 Ohm, 37.5 Ohm and 50 Ohm drive strength, Default is 35 Ohm\n"},
      {2, "Valid Beg : 1\n"},
      {2, "ValidEndur: 500\n"},
      {1, "ECC and endurance information block 1:\n"},
      {1, "BitCorrECC: 24\n"},
      {1, "CodewordSz: 10\n"},
      {1, "MaxBB/LUN : 100\n"},
      {0, "Endurance : 3000\n"},
      {1, "ECC and endurance information block 3:\n"},
      {1, "BitCorrECC: 8\n"},
      {1, "CodewordSz: 9\n"},
      {1, "MaxBB/LUN : 40\n"},
      {0, "Endurance : 10000\n"},
      {2, "Vendor Rev: 259\n"},
      {1, "CRC16     : 0x" + crc + " - Ok\n"},
  };
  for (const int level : {-1, 0, 1, 2, 5}) {
    std::string expected;
    for (const auto& [min_level, line] : report) {
      if (min_level <= 0 || level >= min_level) expected += line;
    }
    EXPECT_EQ(decode(page, level), expected) << "level " << level;
  }
}

// Every byte 0xFF: every block, flag and line is present, and the report
// still ends with its closing line.
TEST(JedecReport, AllOnesPageIsWhole) {
  PageBuilder page = PageBuilder::jedec().fill(4, 512, 0xFF);
  const std::string report = decode(page, 2);
  const std::vector<std::string> text = lines(report);
  ASSERT_EQ(text.size(), 95U);
  EXPECT_EQ(text.front(),
            "JEDEC     : " + std::string(12, '\xFF') + ' ' + std::string(20, '\xFF') + " [FFFF*]\n");
  EXPECT_EQ(text.back(), "CRC16     : 0xFFFF - Wrong\n");
  EXPECT_EQ(report.size(), 2565U);
  EXPECT_EQ(decode(page, 5), report);
  RecordProperty("all_ones_level2_length", static_cast<int>(report.size()));

  // The widest report: a page size sum and five endurance figures of ten
  // digits instead of wrapped ones.
  page.le32(80, 0xFFFF0000).u8(210, 7);
  for (std::size_t block = 211; block < 243; block += 8) page.u8(block + 5, 7);
  EXPECT_EQ(decode(page, 2).size(), 2611U);
}

}  // namespace
}  // namespace tolvik::test
