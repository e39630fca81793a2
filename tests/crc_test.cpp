#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "test_support.h"

namespace tolvik::test {
namespace {

std::uint16_t crc_of(const std::string& bytes, std::uint16_t seed = kParamPageCrcSeed) {
  return crc16_param_page(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), seed);
}

TEST(Crc16, KnownValues) {
  EXPECT_EQ(crc_of("abc"), 0x6B11);
  EXPECT_EQ(crc_of(""), 0x4F4E);
  EXPECT_EQ(crc_of("", 0x1234), 0x1234);
  // CRC-16/BUYPASS ("123456789", seed 0) pins down the polynomial and bit
  // order independently of the page seed.
  EXPECT_EQ(crc_of("123456789", 0), 0xFEE8);
}

TEST(Crc16, RealSamplePagesCarryTheirOwnCrc) {
  for (const char* name : {"mt29f1g08abbda3w.onfi.bin", "mt29f32g08abcdbj4.onfi.bin"}) {
    const ParamPage page = PageBuilder::from_file(kSamples + "/" + name).page();
    const std::uint32_t stored = page.bytes[254] | page.bytes[255] << 8;
    EXPECT_EQ(crc16_param_page(page.bytes, 254, kParamPageCrcSeed), stored) << name;
  }
}

}  // namespace
}  // namespace tolvik::test
