// Single ONFI fields at their edges: the date text, revision names, the
// revision gates, timing-mask composition and the page's second half. Whole
// reports are in the golden files.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "onfi/layout.h"
#include "test_support.h"

namespace tolvik::test {
namespace {

using namespace onfi;

PageBuilder onfi_page() { return PageBuilder::onfi(); }
// The revision number's high byte: bits 4, 5 and 6 are revision bits 12 (5.0), 13 (5.1) and 14.
PageBuilder revision_high(std::uint32_t value) { return onfi_page().u8(kRevision + 1, value); }

TEST(OnfiHeader, DateTextOnlyWithoutBothBytesZero) {
  const auto dated = [](std::uint32_t year, std::uint32_t week) {
    return onfi_page()
        .text(32, "ACME        ")
        .text(44, "NAND-1G-X8")
        .u8(kDateYear, year)
        .u8(kDateWeek, week);
  };
  expect_reports({
      {"no date", dated(0, 0), 0, "ONFI      : ACME         NAND-1G-X8 [0000*]\n"},
      {"year zero", dated(0, 52), 0, "ONFI      : ACME         NAND-1G-X8 (2000-52) [0000*]\n"},
      {"week zero", dated(9, 0), 0, "ONFI      : ACME         NAND-1G-X8 (2009-00) [0000*]\n"},
  });
}

TEST(OnfiRevision, OnlyTheNewestClaimedRevisionIsNamed) {
  const char* const names[16] = {"",     " 1.0", " 2.0", " 2.1", " 2.2", " 2.3", " 3.0", " 3.1",
                                 " 3.2", " 4.0", " 4.1", " 4.2", " 5.0", " 5.1", "",     ""};
  for (unsigned bit = 0; bit < 16; ++bit) {
    char line[40];
    std::snprintf(line, sizeof line, "\nONFI ver  : 0x%x (%s)\n", 1U << bit, names[bit]);
    expect_reports({{"one bit", onfi_page().le16(kRevision, 1U << bit), 1, line}});
  }
  expect_reports({
      {"none", onfi_page(), 1, "\nONFI ver  : 0x0 ()\n"},
      {"several", onfi_page().le16(kRevision, 0x03FE), 1, "\nONFI ver  : 0x3fe ( 4.0)\n"},
      {"unnamed high bits", onfi_page().le16(kRevision, 0xC003), 1, "\nONFI ver  : 0xc003 ( 1.0)\n"},
  });
}

// Revision bit 12 (5.0) alone renames feature bit 9 and drops the partial
// page lines, which also need a non-zero 32-bit data count; bits 12 to 14 all
// drop EZ NAND and add NV-DDR3 modes 16-31. The golden pages show 4.2 with
// bit 15, 5.0 and 5.1 with bits 1 to 13.
TEST(OnfiRevisionGates, FiveOneAndBitFourteen) {
  const auto page = [](std::uint32_t high) {
    return revision_high(high)
        .le16(kFeatures, 0x0200)
        .le32(kPartialPageData, 512)
        .u8(kPartialProgramming, 3)
        .u8(kEzNand, 0x07)
        .le16(kNvDdr3ModesHigh, 0x0001);
  };
  const auto partial = [](std::uint32_t data) {
    return onfi_page().le32(kPartialPageData, data).le16(kPartialPageSpare, 16);
  };
  expect_reports({
      {"5.1 keeps EZ NAND for bit 9", page(0x20), 1, "Features supported: 0x0200\n EZ NAND\n"},
      {"bit 14 keeps EZ NAND for bit 9", page(0x40), 1, "Features supported: 0x0200\n EZ NAND\n"},
      {"5.1 keeps the partial page", page(0x20), 2, "\nPartPrgAtt: 3\n"},
      {"5.1 drops EZ NAND", page(0x20), 2, "!EZ NAND support"},
      {"bit 14 drops EZ NAND", page(0x40), 2, "!EZ NAND support"},
      {"5.1 adds NV-DDR3 modes 16-31", page(0x20), 1, "\nNV-DDR3   : 0x10000 (upto 2400 MT)\n"},
      {"bit 14 adds NV-DDR3 modes 16-31", page(0x40), 1, "\nNV-DDR3   : 0x10000 (upto 2400 MT)\n"},
      {"partial data count 0", partial(0), 2, "!\nPart"},
      {"32-bit partial data count", partial(0x10000), 0, "\nPartial page size : 65552 (65536+16)\n"},
      {"nv-ddr3 halves, above top", revision_high(0x10).le16(kNvDdr3ModesHigh, 0x8000).u8(kNvDdr3Modes, 0x01),
       1, "\nNV-DDR3   : 0x80000001 (upto 166 MT)\n"},
  });
}

TEST(OnfiReport, IgnoresSecondHalfOfPage) {
  const PageBuilder page = onfi_page().fill(4, 254, 0x5A).fix_crc();
  PageBuilder filled = page;
  filled.fill(256, kPageSize, 0xFF);
  for (int level : {0, 1, 2}) EXPECT_EQ(decode(page, level), decode(filled, level)) << level;
}

}  // namespace
}  // namespace tolvik::test
