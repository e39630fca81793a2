// Single JEDEC fields at their edges: bit order, widths, lookups, arithmetic.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>

#include "test_support.h"

namespace tolvik::test {
namespace {

struct Case {
  const char* what;
  PageBuilder page;
  // Consecutive lines of the level-2 report; the leading "\n" pins the first
  // to a line start, and a following line shows what does not come between.
  const char* expected;
};

void expect_all(std::initializer_list<Case> cases) {
  for (const Case& c : cases) {
    const std::string report = decode(c.page, 2);
    EXPECT_NE(report.find(c.expected), std::string::npos) << c.what << "\n" << report;
  }
}

PageBuilder jesd() { return PageBuilder::jedec(); }

TEST(JedecFields, RevisionAndCommandBlocks) {
  expect_all({
      {"vendor specific", jesd().le16(4, 2), "\nJEDEC ver : 0x2 (vendor specific parameter page)\n"},
      {"unnamed bit", jesd().le16(4, 1), "\nJEDEC ver : 0x1 ()\n"},
      {"zero", jesd(), "\nJEDEC ver : 0x0 ()\nParPageNum"},
      {"unnamed feature bits", jesd().le16(6, 0xFC00), "\nFeatures supported: 0xfc00\nParPageNum"},
      {"byte 10 alone", jesd().u8(10, 0x01), "\nOptional commands supported: 0x10000\nParPageNum"},
      {"24 bits set", jesd().le16(8, 0xFFFF).u8(10, 0xFF),
       "\nOptional commands supported: 0xffffff\n Page Cache Program command\n Read Cache commands\n"
       " Get Features and Set Features\n Read Status Enhanced (Primary)\n Copyback\n Read Unique ID\n"
       " Random Data Out (Primary)\n Multi-plane Copyback Program (Primary)\n Small Data Move\n"
       " Reset LUN (Primary)\n Synchronous Reset \nParPageNum"},
      {"byte 12 alone", jesd().u8(12, 0x01), "\nSecondary commands supported: 0x0100\nParPageNum"},
  });
}

TEST(JedecFields, Organisation) {
  expect_all({
      {"sum wraps", jesd().le32(80, 0xFFFFFFFF).le16(84, 1), "\nPage size : 0 (4294967295+1)\n"},
      {"no cell name", jesd().u8(102, 6), "\nBit/Cell  : 6 ()\n"},
      {"unspecified cell", jesd().u8(102, 255), "\nBit/Cell  : 255 (Not specified)\n"},
      {"3 plane bits", jesd().u8(104, 0x03), "\nPlanAdrBit: 3 (upto 8 plane)\n"},
      {"high nibble", jesd().u8(104, 0xF0), "\nPlanAdrBit: 0 (1 plane)\n"},
      {"15 plane bits", jesd().u8(104, 0x0F), "\nPlanAdrBit: 15 (upto 32768 plane)\n"},
      {"unnamed multi-plane bits", jesd().u8(105, 0xFA),
       "\nMulti-plane operation attributes: 0xfa\n program cache supported\nMax tProg"},
  });
}

TEST(JedecFields, TopSpeedOfEachFamily) {
  expect_all({
      {"async bit 0", jesd().le16(144, 0x0001), "\nAsync     : 0x1 (upto 10 MHz)\n"},
      {"async top", jesd().le16(144, 0x0060), "\nAsync     : 0x60 (upto 50 MHz)\n"},
      {"async above top", jesd().le16(144, 0x0040), "\nAsync     : 0x40 ()\n"},
      {"ddr2 top", jesd().le16(146, 0x3FFF), "\nToggleDDR2: 0x3fff (upto 800 MHz)\n"},
      {"ddr2 bit 12", jesd().le16(146, 0x1000), "\nToggleDDR2: 0x1000 (upto 667 MHz)\n"},
      {"ddr2 above top", jesd().le16(146, 0xC000), "\nToggleDDR2: 0xc000 ()\n"},
      {"sync top", jesd().le16(148, 0x0021), "\nSync-DDR  : 0x21 (upto 100 MHz)\n"},
      {"sync above top", jesd().le16(148, 0x0040), "\nSync-DDR  : 0x40 ()\n"},
      {"ddr3 top", jesd().le32(172, 0x1FFFFF), "\nToggleDDR3: 0x1fffff (upto 1800 MHz)\n"},
      {"ddr3 byte 175", jesd().le32(172, 0x80000000), "\nToggleDDR3: 0x80000000 ()\n"},
      {"ddr3 bit 12", jesd().le32(172, 0x1000), "\nToggleDDR3: 0x1000 (upto 600 MHz)\n"},
      {"ddr4 bit 12", jesd().le32(176, 0x1000), "\nToggleDDR4: 0x1000 (upto 600 MHz)\n"},
      {"ddr4 above top", jesd().le32(176, 0xFFE00000), "\nToggleDDR4: 0xffe00000 ()\n"},
  });
}

TEST(JedecFields, ElectricalAndEndurance) {
  expect_all({
      {"capacitances", jesd().le16(165, 0xFFFF), "\nTyp I/O C : 0.0\nTyp Inp C : 6553.5\nTyp CK C  : 0.0\n"},
      {"unnamed drivers", jesd().u8(169, 0xE2),
       "\nDriver strength support: 0xe2\n supports 25 Ohm drive strength\nValid Beg"},
      {"valid exponent 0", jesd().u8(209, 7), "\nValidEndur: 7\n"},
      {"valid wraps, no doubt", jesd().u8(209, 255).u8(210, 9), "\nValidEndur: 1596929536\n"},
      {"bound", jesd().u8(215, 1).u8(216, 5), "\nEndurance : 100000\n"},
      {"bound by mantissa", jesd().u8(215, 100).u8(216, 3), "\nEndurance : 100000\n"},
      {"above bound", jesd().u8(215, 101).u8(216, 3), "\nEndurance : 101000 (869?)\n"},
      {"exponent 5", jesd().u8(215, 2).u8(216, 5), "\nEndurance : 200000 (1282?)\n"},
      {"exponent 6", jesd().u8(216, 6), "\nEndurance : 0 (1536?)\n"},
      {"plain", jesd().u8(215, 3).u8(216, 2), "\nEndurance : 300\n"},
      {"wraps", jesd().u8(215, 255).u8(216, 9), "\nEndurance : 1596929536 (2559?)\n"},
      {"wraps again", jesd().u8(215, 3).u8(216, 10), "\nEndurance : 4230196224 (2563?)\n"},
      {"block 0 reserved byte", jesd().u8(218, 1),
       "\nValidEndur: 0\nECC and endurance information block 0:\nBitCorrECC: 0\nCodewordSz: 0\n"
       "MaxBB/LUN : 0\nEndurance : 0\nVendor Rev"},
      {"block 2 alone", jesd().u8(233, 1), "\nValidEndur: 0\nECC and endurance information block 2:\n"},
      {"block 3 fields", jesd().u8(235, 40).u8(236, 9).le16(237, 0x1234).u8(239, 7).u8(240, 1),
       "\nECC and endurance information block 3:\nBitCorrECC: 40\nCodewordSz: 9\nMaxBB/LUN : 4660\n"
       "Endurance : 70\nVendor Rev: 0\n"},
  });
}

TEST(JedecCrcLine, OnlyForRevisionBitTwoWithItsVerdict) {
  const struct {
    std::uint32_t revision;
    bool damage;
    int level;
    const char* verdict;  // nullptr: no CRC line
  } cases[] = {
      {0x0004, false, 1, " - Ok\n"}, {0x0004, true, 2, " - Wrong\n"}, {0x0004, false, 0, nullptr},
      {0x0002, false, 2, nullptr},   {0xFFFB, false, 2, nullptr},     {0x0400, false, 2, nullptr},
  };
  for (const auto& c : cases) {
    PageBuilder page = jesd().le16(4, c.revision).fix_crc();
    if (c.damage) page.u8(509, 0x5A);
    char line[64];
    std::snprintf(line, sizeof line, "CRC16     : 0x%04X",
                  page.page().bytes[510] | page.page().bytes[511] << 8U);
    const std::string report = decode(page, c.level);
    const std::string last = lines(report).back();
    if (c.verdict == nullptr) {
      EXPECT_EQ(report.find("CRC16"), std::string::npos) << c.revision << " level " << c.level;
    } else {
      EXPECT_EQ(last, std::string(line) + c.verdict) << c.revision;
    }
  }
}

}  // namespace
}  // namespace tolvik::test
