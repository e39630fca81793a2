// tolvik: decoder for NAND flash parameter pages (ONFI and JEDEC layouts).
//
// Public interface of the decoder library. A caller fills a ParamPage with the
// first 512 bytes of a saved parameter page (zero-filled when shorter), hands
// it to decode_parameter_page with a report buffer and a report level, and
// gets back the report as one NUL-terminated text and its length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tolvik {

inline constexpr const char* kVersion = "v0.17";

// A JEDEC page fills all 512 bytes; an ONFI page uses bytes 0 to 255.
inline constexpr std::size_t kPageSize = 512;

// Room for any report, its NUL included. The longest reports are 2,737
// characters (ONFI) and 2,611 (JEDEC), found by fuzz/longest_report.cpp; the
// fuzz target fails on anything longer. The buffer keeps a wide margin and
// every append is bounded by it anyway.
inline constexpr std::size_t kReportCapacity = 4096;

struct ParamPage {
  std::uint8_t bytes[kPageSize];
};

// Report levels: 0 shows the least, 2 everything. Any int is accepted; below 0
// acts as 0 and above 2 as 2.
inline constexpr int kDefaultLevel = 2;

// Recognises the page by its signature ("JESD", then "ONFI"), checks its
// CRC-16 and writes the report from report[0]. Returns the number of
// characters written, the NUL not counted. A page with neither signature
// leaves the buffer untouched and returns 0. Nothing is ever written beyond
// report.size() bytes; an empty span gets nothing.
std::size_t decode_parameter_page(const ParamPage& page, std::span<char> report, int level);

// CRC-16 of the parameter page layouts: polynomial 0x8005, MSB first, no
// reflection, no final XOR. Both layouts seed it with kParamPageCrcSeed.
inline constexpr std::uint16_t kParamPageCrcSeed = 0x4F4E;
std::uint16_t crc16_param_page(const std::uint8_t* bytes, std::size_t count, std::uint16_t initial);

}  // namespace tolvik
