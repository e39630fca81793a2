#include "decode/format.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace tolvik::detail {
namespace {

template <class... Args>
std::string ours(Format<Args...> format, Args... args) {
  char out[512];
  const FormatArg packed[sizeof...(Args) + 1] = {FormatArg(args)...};
  const std::size_t n = format_to(out, sizeof out, format.text, packed);
  EXPECT_EQ(n, std::char_traits<char>::length(out));
  return out;
}

template <class... Args>
std::string libc(const char* format, Args... args) {
  char out[512];
  std::snprintf(out, sizeof out, format, args...);
  return out;
}

#define EXPECT_LIKE_PRINTF(fmt, ...) EXPECT_EQ(ours(fmt, __VA_ARGS__), libc(fmt, __VA_ARGS__)) << fmt

TEST(Format, UnsignedConversionsMatchPrintf) {
  for (const unsigned v : {0U, 1U, 9U, 10U, 0xABU, 0xFFFFU, 0x10000U, 123456789U, 0xFFFFFFFFU}) {
    EXPECT_LIKE_PRINTF("%u", v);
    EXPECT_LIKE_PRINTF("%x", v);
    EXPECT_LIKE_PRINTF("%X", v);
    EXPECT_LIKE_PRINTF("%02X", v);
    EXPECT_LIKE_PRINTF("%02x", v);
    EXPECT_LIKE_PRINTF("%03x", v);
    EXPECT_LIKE_PRINTF("%04x", v);
    EXPECT_LIKE_PRINTF("%04X", v);
    EXPECT_LIKE_PRINTF("%02u", v);
    EXPECT_LIKE_PRINTF("[%-6u]", v);
    EXPECT_LIKE_PRINTF("[%8x]", v);
    EXPECT_LIKE_PRINTF("[%.0u]", v);
    EXPECT_LIKE_PRINTF("[%08.3u]", v);
    EXPECT_LIKE_PRINTF("[%-08x]", v);
  }
}

TEST(Format, TextConversionsMatchPrintf) {
  for (const char* s : {"", "a", "MICRON      ", "\x01\x7f\xff"}) {
    EXPECT_LIKE_PRINTF("<%s>", s);
    EXPECT_LIKE_PRINTF("<%5s>", s);
    EXPECT_LIKE_PRINTF("<%-5s>", s);
    EXPECT_LIKE_PRINTF("<%.2s>", s);
    EXPECT_LIKE_PRINTF("100%% %s", s);
    // A string_view ends at its length, not at a NUL further on.
    const std::string padded = std::string(s) + "tail";
    const std::string_view view(padded.data(), std::strlen(s));
    EXPECT_EQ(ours("<%s>", view), libc("<%s>", s));
    EXPECT_EQ(ours("<%-6.3s|%5s>", view, view), libc("<%-6.3s|%5s>", s, s));
  }
}

TEST(Format, TenthsMatchPrintfForEverySixteenBitValue) {
  for (unsigned v = 0; v <= 0xFFFF; ++v) {
    const double d = v * 0.1;
    ASSERT_EQ(ours("%.1f", d), libc("%.1f", d)) << v;
  }
}

TEST(Format, OtherRealsMatchPrintf) {
  for (const double d : {-0.05, -0.0, 0.05, 0.25, 1e300, -3.75, 6553.6, 1.0 / 3}) {
    EXPECT_LIKE_PRINTF("%.1f", d);
    EXPECT_LIKE_PRINTF("%f", d);
    EXPECT_LIKE_PRINTF("[%08.2f]", d);
    EXPECT_LIKE_PRINTF("[%-9.1f]", d);
  }
}

// Every room cuts the text where snprintf cuts it: inside literals, numbers
// and texts alike, never writing past the room; no room gets nothing at all.
TEST(Format, EveryRoomCutsLikeSnprintf) {
  constexpr unsigned kBlocks = 4294967295U;
  constexpr unsigned kCrc = 0xBEEFU;
  const char* const flag = " multi-plane program and erase operations";
  const FormatArg args[] = {FormatArg(kBlocks), FormatArg("MICRON"), FormatArg(kCrc), FormatArg(flag)};
#define TOLVIK_CUT_FORMAT "Page/Block: %u [%s] 0x%04X%% %s\n"
  char full[128];
  const auto length = static_cast<std::size_t>(
      std::snprintf(full, sizeof full, TOLVIK_CUT_FORMAT, kBlocks, "MICRON", kCrc, flag));
  for (std::size_t room = 1; room <= length + 2; ++room) {
    char out[128];
    std::memset(out, '#', sizeof out);
    const std::size_t n = format_to(out, room, TOLVIK_CUT_FORMAT, args);
    char expected[128];
    std::snprintf(expected, room, TOLVIK_CUT_FORMAT, kBlocks, "MICRON", kCrc, flag);
    ASSERT_STREQ(out, expected) << "room " << room;
    ASSERT_EQ(n, std::char_traits<char>::length(expected)) << "room " << room;
    ASSERT_EQ(out[room], '#') << "wrote past room " << room;
  }
  char untouched = 'q';
  EXPECT_EQ(format_to(&untouched, 0, TOLVIK_CUT_FORMAT, args), 0U);
  EXPECT_EQ(untouched, 'q');
#undef TOLVIK_CUT_FORMAT
}

}  // namespace
}  // namespace tolvik::detail
