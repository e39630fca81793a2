// The report framework: level gating, bounded appends, flag and speed tables,
// text fields and recognition of the two layouts.
#include "decode/report.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "decode/page.h"
#include "test_support.h"

namespace tolvik::test {
namespace {

TEST(ReportLevels, MinimumLevelsAgainstReportLevels) {
  // Columns: min level 0, 1, 2.
  const struct {
    int level;
    bool shows[3];
  } cases[] = {
      {INT_MIN, {true, false, false}}, {-1, {true, false, false}}, {0, {true, false, false}},
      {1, {true, true, false}},        {2, {true, true, true}},    {INT_MAX, {true, true, true}},
  };
  for (const auto& c : cases) {
    char buffer[64];
    Report report{buffer, 0, c.level};
    for (int min = 0; min <= 2; ++min)
      EXPECT_EQ(report_shows(report, min), c.shows[min]) << c.level << "/" << min;
  }
}

TEST(ReportAppend, NeverWritesPastTheBufferAndKeepsLengthEqualToText) {
  char storage[16];
  std::memset(storage, '#', sizeof storage);
  Report report{std::span<char>(storage, 8), 0, 2};
  report_append(report, 0, "abc%u\n", 12U);
  EXPECT_EQ(report.length, 6U);
  report_append(report, 0, "%s", "overflowing");
  EXPECT_EQ(report.length, 7U);
  EXPECT_STREQ(storage, "abc12\no");
  report_append(report, 0, "more");
  EXPECT_EQ(report.length, 7U);
  for (std::size_t i = 8; i < sizeof storage; ++i) EXPECT_EQ(storage[i], '#') << i;

  Report empty{std::span<char>(), 0, 2};
  report_append(empty, 0, "x");
  EXPECT_EQ(empty.length, 0U);
}

TEST(ReportAppend, SkippedPieceLeavesNothingBehind) {
  char buffer[32] = "unchanged";
  Report report{buffer, 0, 0};
  report_append(report, 1, "level one\n");
  report_append(report, 2, "level two\n");
  EXPECT_EQ(report.length, 0U);
  EXPECT_STREQ(buffer, "unchanged");
}

constexpr FlagText kSample[] = {{0, 2, " zero\n"}, {1, 1, " one\n"}, {3, 0, " three\n"}, {31, 2, " top\n"}};
static_assert(flags_ascending(kSample));

TEST(ReportFlags, SetBitsInAscendingOrderEachFromItsLevel) {
  const struct {
    std::uint32_t value;
    int level;
    const char* expected;
  } cases[] = {
      {0x8000000FU, 2, " zero\n one\n three\n top\n"},
      {0x8000000FU, 1, " one\n three\n"},
      {0x8000000FU, 0, " three\n"},
      {0x00000004U, 2, ""},  // bit without a text
      {0x80000000U, 2, " top\n"},
      {0U, 2, ""},
  };
  for (const auto& c : cases) {
    char buffer[128];
    Report report{buffer, 0, c.level};
    buffer[0] = '\0';
    report_flags(report, c.value, kSample);
    EXPECT_STREQ(buffer, c.expected) << std::hex << c.value << " at " << c.level;
  }
}

constexpr const char* kSpeeds[] = {"10", "20", "28", "33", "40", "50"};

TEST(ReportTopSpeed, HighestSetBitUpToTheTableTop) {
  const struct {
    std::uint32_t mask;
    const char* expected;
  } cases[] = {
      {0x01, "upto 10 MHz"},
      {0x3F, "upto 50 MHz"},
      {0x21, "upto 50 MHz"},
      {0x06, "upto 28 MHz"},
      {0x40, ""},
      {0xFFFFFFC0, ""},
      {0xFFFFFFC8, "upto 33 MHz"},
      {0, ""},
  };
  for (const auto& c : cases) {
    char buffer[64];
    buffer[0] = '\0';
    Report report{buffer, 0, 2};
    report_top_speed(report, 1, c.mask, kSpeeds, "upto %s MHz");
    EXPECT_STREQ(buffer, c.expected) << std::hex << c.mask;
  }
}

TEST(PageFields, TextFieldsStopAtZeroOrWidthAndKeepEveryOtherByte) {
  const struct {
    std::string bytes;
    std::string expected;
  } cases[] = {
      {"            ", "            "},     {std::string("AB\0DEFGHIJKL", 12), "AB"},
      {"ABCDEFGHIJKLMNOP", "ABCDEFGHIJKL"}, {"\x01\x1f\x7f\x80\xff  ", "\x01\x1f\x7f\x80\xff  "},
      {std::string("\0BC", 3), ""},
  };
  for (const auto& c : cases) {
    const ParamPage page = PageBuilder().text(32, c.bytes).page();
    EXPECT_EQ(std::string(page_text(page, 32, 12).text), c.expected);
  }
  const ParamPage full = PageBuilder().fill(0, kPageSize, 'M').page();
  EXPECT_EQ(std::string(page_text(full, 44, 20).text), std::string(20, 'M'));
  EXPECT_EQ(page_le16(full, kPageSize - 1), 'M') << "the byte past the page reads as zero";
  EXPECT_EQ(page_le32(full, kPageSize), 0U);
}

TEST(PageFields, ScaledValuesWrapAtThirtyTwoBits) {
  const struct {
    std::uint32_t mantissa, exponent, expected;
  } cases[] = {
      {5, 2, 500},
      {7, 0, 7},
      {1, 9, 1000000000},
      {5, 9, 705032704},
      {1, 32, 0},
      {255, 255, 0},
      {255, 10, 3084393472U},
  };
  for (const auto& c : cases) EXPECT_EQ(scaled_value(c.mantissa, c.exponent), c.expected);
}

TEST(Endurance, ImplausibleFiguresShowTheRawValue) {
  const struct {
    std::uint32_t mantissa, exponent;
    const char* expected;
  } cases[] = {
      {1, 5, "Endurance : 100000\n"},     {2, 5, "Endurance : 200000 (1282?)\n"},
      {0, 6, "Endurance : 0 (1536?)\n"},  {3, 2, "Endurance : 300\n"},
      {1, 32, "Endurance : 0 (8193?)\n"}, {101, 3, "Endurance : 101000 (869?)\n"},
  };
  for (const auto& c : cases) {
    char buffer[64];
    Report report{buffer, 0, 0};
    report_endurance(report, 0, c.mantissa, c.exponent);
    EXPECT_STREQ(buffer, c.expected);
  }
}

TEST(Recognition, OnlyExactSignaturesAreDecoded) {
  const struct {
    const char* signature;
    const char* header_prefix;  // nullptr: not recognised
  } cases[] = {
      {"JESD", "JEDEC     : "},
      {"ONFI", "ONFI      : "},
      {"jesd", nullptr},
      {"Onfi", nullptr},
      {"ONF", nullptr},
      {"\0\0\0\0", nullptr},
      {"JESDONFI", "JEDEC     : "},
      {"ONFIJESD", "ONFI      : "},
  };
  for (const auto& c : cases) {
    const ParamPage page = PageBuilder().text(0, c.signature).page();
    char buffer[kReportCapacity];
    std::memset(buffer, '#', sizeof buffer);
    const std::size_t length = decode_parameter_page(page, buffer, 2);
    if (c.header_prefix == nullptr) {
      EXPECT_EQ(length, 0U) << c.signature;
      EXPECT_EQ(buffer[0], '#') << "unrecognised page must leave the buffer untouched";
    } else {
      EXPECT_EQ(std::string(buffer, std::strlen(c.header_prefix)), c.header_prefix) << c.signature;
    }
  }
}

TEST(Recognition, CrcMarkerFollowsTheLayoutsOwnCoverage) {
  PageBuilder onfi = PageBuilder::onfi().text(32, "MAKER").fix_crc();
  EXPECT_EQ(lines(decode(onfi, 0))[0].find('*'), std::string::npos);
  onfi.u8(200, 1);
  EXPECT_NE(lines(decode(onfi, 0))[0].find("*]"), std::string::npos) << "one changed byte must show";

  PageBuilder jedec = PageBuilder::jedec().fix_crc();
  EXPECT_EQ(lines(decode(jedec, 0))[0].find('*'), std::string::npos);
  // An ONFI-style CRC (bytes 0..253) in the JEDEC field does not match.
  const ParamPage& p = jedec.page();
  jedec.le16(510, crc16_param_page(p.bytes, 254, kParamPageCrcSeed));
  EXPECT_NE(lines(decode(jedec, 0))[0].find("*]"), std::string::npos);
}

TEST(Recognition, ZeroCapacityBufferGetsNothing) {
  const ParamPage page = PageBuilder::onfi().page();
  EXPECT_EQ(decode_parameter_page(page, std::span<char>(), 2), 0U);
}

}  // namespace
}  // namespace tolvik::test
