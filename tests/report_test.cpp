// The report framework and the lines both layouts share: bounded appends,
// flag and speed tables, text fields, scaled values, endurance, cell type,
// plane addressing, and recognition of the two layouts.
#include "decode/report.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "decode/fields.h"
#include "decode/page.h"
#include "test_support.h"

namespace tolvik::test {
namespace {

// A field as the parser leaves it, from its stored number.
Field stored(std::uint32_t raw) { return Field{raw, raw, true, true}; }

// What one call writes into a fresh report at a level.
std::string written(int level, const std::function<void(Report&)>& write) {
  char buffer[128] = "";
  Report report{buffer, 0, level};
  write(report);
  EXPECT_EQ(report.length, std::strlen(buffer));
  return buffer;
}

TEST(ReportAppend, NeverWritesPastTheBufferAndKeepsLengthEqualToText) {
  char storage[16];
  std::memset(storage, '#', sizeof storage);
  Report report{std::span<char>(storage, 8), 0, 2};
  report_append(report, 0, "abc%u\n", 12U);
  report_append(report, 0, "%s", "overflowing");
  report_append(report, 0, "more");
  EXPECT_EQ(report.length, 7U);
  EXPECT_STREQ(storage, "abc12\no");
  for (std::size_t i = 8; i < sizeof storage; ++i) EXPECT_EQ(storage[i], '#') << i;
  Report empty{std::span<char>(), 0, 2};
  report_append(empty, 0, "x");
  EXPECT_EQ(empty.length, 0U);
  EXPECT_EQ(decode_parameter_page(PageBuilder::onfi(), std::span<char>(), 2), 0U);
}

TEST(ReportFlags, SetBitsInAscendingOrderEachFromItsLevel) {
  static constexpr FlagText kTable[] = {
      {0, 2, " zero\n"}, {1, 1, " one\n"}, {3, 0, " three\n"}, {31, 2, " top\n"}};
  const struct {
    std::uint32_t value;
    int level;
    const char* expected;
  } cases[] = {
      {0x8000000FU, 2, " zero\n one\n three\n top\n"},
      {0x8000000FU, 1, " one\n three\n"},
      {0x8000000FU, 0, " three\n"},  // a skipped line leaves nothing, later ones still follow
      {0x00000004U, 2, ""},          // a set bit without a text
      {0x80000000U, 2, " top\n"},
      {0U, 2, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(written(c.level, [&](Report& r) { report_flags(r, c.value, kTable, 0); }), c.expected)
        << std::hex << c.value << " at " << c.level;
}

TEST(ReportTopSpeed, HighestSetBitUpToTheTableTop) {
  static constexpr SpeedText kSpeeds[] = {"10", "20", "28", "33", "40", "50"};
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
  for (const auto& c : cases)
    EXPECT_EQ(written(1, [&](Report& r) { report_top_speed(r, 1, c.mask, kSpeeds, "upto %s MHz"); }),
              c.expected)
        << std::hex << c.mask;
}

// Trailing blanks, a NUL inside and a full width show in the golden reports.
TEST(PageFields, TextFieldsStopAtZeroAndKeepEveryOtherByte) {
  const std::pair<std::string, std::string> cases[] = {{std::string("\0BC", 3), ""},
                                                       {"\x01\x1f\x7f\x80\xff  ", "\x01\x1f\x7f\x80\xff  "}};
  for (const auto& [bytes, text] : cases)
    EXPECT_EQ(page_text(PageBuilder().text(32, bytes).page().bytes, onfi::kFields[onfi::Manufacturer]).text,
              text);
  const ParamPage full = PageBuilder().fill(0, kPageSize, 'M').page();
  EXPECT_EQ(read_le(full.bytes, kPageSize - 1, 2), 'M') << "the byte past the page reads as zero";
  EXPECT_EQ(read_le(full.bytes, kPageSize, 4), 0U);
}

TEST(PageFields, ScaledValuesWrapAtThirtyTwoBits) {
  const struct {
    std::uint32_t mantissa, exponent, expected;
  } cases[] = {
      {5, 2, 500}, {7, 0, 7},     {1, 9, 1000000000},     {5, 9, 705032704},
      {1, 32, 0},  {255, 255, 0}, {255, 10, 3084393472U},
  };
  for (const auto& c : cases) EXPECT_EQ(scaled_value(c.mantissa, c.exponent), c.expected);
}

// Above 100000 or an exponent above 5 is implausible and shows the raw field.
TEST(SharedLines, EnduranceBound) {
  const struct {
    std::uint32_t mantissa, exponent;
    const char* expected;
  } cases[] = {
      {1, 5, "Endurance : 100000\n"},          {100, 3, "Endurance : 100000\n"},
      {101, 3, "Endurance : 101000 (869?)\n"}, {2, 5, "Endurance : 200000 (1282?)\n"},
      {0, 6, "Endurance : 0 (1536?)\n"},       {3, 2, "Endurance : 300\n"},
      {1, 32, "Endurance : 0 (8193?)\n"},      {255, 9, "Endurance : 1596929536 (2559?)\n"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(written(0, [&](Report& r) { report_endurance(r, 0, stored(c.exponent << 8 | c.mantissa)); }),
              c.expected);
}

// The golden reports show names 1 to 4 and 255, and the plane-bit edges.
TEST(SharedLines, CellTypesAtTheTableEnds) {
  const std::pair<std::uint32_t, const char*> cases[] = {
      {0, "Bit/Cell  : 0 ()\n"}, {5, "Bit/Cell  : 5 (PLC)\n"}, {6, "Bit/Cell  : 6 ()\n"}};
  for (const auto& c : cases)
    EXPECT_EQ(written(0, [&](Report& r) { report_cell_type(r, stored(c.first)); }), c.second);
}

// Byte for byte and case-sensitive; nothing after the signature decides.
TEST(Recognition, OnlyExactSignaturesAreDecoded) {
  for (const char* signature : {"jesd", "Onfi", "ONF", "JESd", ""}) {
    char buffer[kReportCapacity];
    buffer[0] = '#';
    EXPECT_EQ(decode_parameter_page(PageBuilder().text(0, signature), buffer, 2), 0U) << signature;
    EXPECT_EQ(buffer[0], '#') << "an unrecognised page must leave the buffer untouched";
  }
  EXPECT_TRUE(decode(PageBuilder().text(0, "JESDONFI"), 0).starts_with("JEDEC     : "));
  EXPECT_TRUE(decode(PageBuilder().text(0, "ONFIJESD"), 0).starts_with("ONFI      : "));
}

TEST(Recognition, CrcMarkerFollowsTheLayoutsOwnCoverage) {
  PageBuilder onfi = PageBuilder::onfi().text(32, "MAKER").fix_crc();
  EXPECT_EQ(decode(onfi, 0).find('*'), std::string::npos);
  onfi.u8(200, 1);
  EXPECT_NE(decode(onfi, 0).find("*]\n"), std::string::npos) << "one changed byte must show";
  PageBuilder jedec = PageBuilder::jedec().fix_crc();
  EXPECT_EQ(decode(jedec, 0).find('*'), std::string::npos);
  // An ONFI-style CRC (bytes 0..253) in the JEDEC field does not match.
  jedec.le16(510, crc16_param_page(jedec.page().bytes, 254, kParamPageCrcSeed));
  EXPECT_NE(decode(jedec, 0).find("*]\n"), std::string::npos);
}

}  // namespace
}  // namespace tolvik::test
