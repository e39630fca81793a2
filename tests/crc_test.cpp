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

// The table-driven CRC takes eight bytes at a time and the rest one by one:
// every length and seed must give what the bit-by-bit definition gives.
std::uint16_t bitwise_crc(const std::uint8_t* bytes, std::size_t count, std::uint16_t crc) {
  for (std::size_t i = 0; i < count; ++i) {
    crc = static_cast<std::uint16_t>(crc ^ bytes[i] << 8);
    for (int bit = 0; bit < 8; ++bit) {
      crc = static_cast<std::uint16_t>((crc & 0x8000U) != 0 ? crc << 1 ^ 0x8005U : crc << 1);
    }
  }
  return crc;
}

TEST(Crc16, MatchesTheBitwiseDefinitionForEveryLength) {
  std::uint8_t bytes[kPageSize];
  std::uint32_t state = 12345;
  for (std::uint8_t& b : bytes) {
    state = state * 1103515245U + 12345U;
    b = static_cast<std::uint8_t>(state >> 16);
  }
  for (const std::uint16_t seed : {std::uint16_t{0}, kParamPageCrcSeed, std::uint16_t{0xFFFF}}) {
    for (std::size_t count = 0; count <= kPageSize; ++count) {
      ASSERT_EQ(crc16_param_page(bytes, count, seed), bitwise_crc(bytes, count, seed))
          << "count " << count << " seed " << seed;
    }
  }
}

}  // namespace
}  // namespace tolvik::test
