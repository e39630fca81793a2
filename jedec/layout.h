// Byte offsets of the JEDEC parameter page fields the report reads, in page
// order, grouped like the page. Multi-byte fields are little-endian.
#pragma once

#include <cstddef>

namespace tolvik::jedec {

// Revision information and features block
inline constexpr std::size_t kSignature = 0;           // "JESD"
inline constexpr std::size_t kRevision = 4;            // 16 bits
inline constexpr std::size_t kFeatures = 6;            // 16 bits
inline constexpr std::size_t kOptionalCommands = 8;    // 24 bits
inline constexpr std::size_t kSecondaryCommands = 11;  // 16 bits
inline constexpr std::size_t kParamPageCount = 13;     // 8 bits

// Manufacturer information block
inline constexpr std::size_t kManufacturer = 32;  // 12 characters
inline constexpr std::size_t kManufacturerWidth = 12;
inline constexpr std::size_t kModel = 44;  // 20 characters
inline constexpr std::size_t kModelWidth = 20;
inline constexpr std::size_t kJedecId = 64;  // 8 bits

// Stored CRC of bytes 0..509
inline constexpr std::size_t kCrc = 510;  // 16 bits

}  // namespace tolvik::jedec
