// Single JEDEC fields at their edges: widths, gates, numbering and the CRC
// line. Whole reports are in the golden files.
#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace tolvik::test {
namespace {

PageBuilder jesd() { return PageBuilder::jedec(); }

// Edges the golden reports do not reach. A following line shows what does not
// come between.
TEST(JedecFields, EdgesOfSingleFields) {
  const auto rev10 = [] { return jesd().le16(4, 0x0004); };
  expect_reports({
      {"vendor specific", jesd().le16(4, 2), 2, "\nJEDEC ver : 0x2 (vendor specific parameter page)\n"},
      {"zero fields write no blocks", jesd(), 2, "\nJEDEC ver : 0x0 ()\nParPageNum"},
      {"24-bit commands, byte 10 alone", jesd().u8(10, 0x01), 2,
       "\nOptional commands supported: 0x10000\nParPageNum"},
      {"byte 12 alone", jesd().u8(12, 0x01), 2, "\nSecondary commands supported: 0x0100\nParPageNum"},
      {"sum wraps to 0", jesd().le32(80, 0xFFFFFFFF).le16(84, 1), 0, "\nPage size : 0 (4294967295+1)\n"},
      {"ddr2 bit 12", jesd().le16(146, 0x1000), 1, "\nToggleDDR2: 0x1000 (upto 667 MHz)\n"},
      {"ddr3 bit 12", jesd().le32(172, 0x1000), 1, "\nToggleDDR3: 0x1000 (upto 600 MHz)\n"},
      {"valid endurance wraps, no doubt", jesd().u8(209, 255).u8(210, 9), 2, "\nValidEndur: 1596929536\n"},
      {"block 0 reserved byte", jesd().u8(218, 1), 2,
       "\nValidEndur: 0\nECC and endurance information block 0:\nBitCorrECC: 0\nCodewordSz: 0\n"
       "MaxBB/LUN : 0\nEndurance : 0\nVendor Rev"},
      {"block 2 alone keeps its number", jesd().u8(233, 1), 2,
       "\nValidEndur: 0\nECC and endurance information block 2:\n"},
      {"CRC line, ok", rev10().fix_crc(), 1, " - Ok\n"},
      {"CRC line, wrong", rev10().le16(510, 0x1234), 1, "\nCRC16     : 0x1234 - Wrong\n"},
      {"no CRC line at level 0", rev10().fix_crc(), 0, "!CRC16"},
      {"no CRC line for rev 0x0002", jesd().le16(4, 0x0002).fix_crc(), 2, "!CRC16"},
      {"no CRC line without bit 2", jesd().le16(4, 0xFFFB).fix_crc(), 2, "!CRC16"},
      {"no CRC line for bit 10", jesd().le16(4, 0x0400).fix_crc(), 2, "!CRC16"},
  });
}

// The longest report: the all-ones page with a ten-digit page size sum and
// five ten-digit endurance figures instead of wrapped ones.
// The longest reports found by the fuzz corpus's search; the bound the fuzz
// target enforces and the report buffer's margin rest on these figures.
TEST(Limits, LongestReportsOfEachLayout) {
  PageBuilder jedec_page = jesd().fill(4, kPageSize, 0xFF).le32(80, 0xFFFF0000).u8(210, 7);
  for (std::size_t block = 211; block < 243; block += 8) jedec_page.u8(block + 5, 7);
  EXPECT_EQ(decode(jedec_page, 2).size(), 2611U);
  EXPECT_EQ(decode(PageBuilder::from_file(kFuzzCorpus + "/longest.jedec.bin"), 2).size(), 2611U);
  EXPECT_EQ(decode(PageBuilder::from_file(kFuzzCorpus + "/longest.onfi.bin"), 2).size(), 2737U);
}

}  // namespace
}  // namespace tolvik::test
