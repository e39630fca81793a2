// Byte offsets of the JEDEC parameter page fields the report reads, in page
// order, grouped like the page. Multi-byte fields are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tolvik::jedec {

// Revision information and features block
inline constexpr std::size_t kRevision = 4;  // 16 bits
// Revision bits: 2 marks a revision 1.0 page (named, and closed by a CRC
// line), 1 a vendor specific one.
inline constexpr std::uint32_t kRevision10Bit = 2;
inline constexpr std::uint32_t kVendorSpecificBit = 1;
inline constexpr std::size_t kFeatures = 6;            // 16 bits
inline constexpr std::size_t kOptionalCommands = 8;    // 24 bits
inline constexpr std::size_t kSecondaryCommands = 11;  // 16 bits, only the low byte has bit names
inline constexpr std::size_t kParamPageCount = 13;     // 8 bits

// Manufacturer information block
inline constexpr std::size_t kManufacturer = 32;  // 12 characters
inline constexpr std::size_t kManufacturerWidth = 12;
inline constexpr std::size_t kModel = 44;  // 20 characters
inline constexpr std::size_t kModelWidth = 20;
inline constexpr std::size_t kJedecId = 64;  // 8 bits

// Memory organisation block
inline constexpr std::size_t kPageData = 80;           // 32 bits
inline constexpr std::size_t kPageSpare = 84;          // 16 bits
inline constexpr std::size_t kPagesPerBlock = 92;      // 32 bits
inline constexpr std::size_t kBlocksPerLun = 96;       // 32 bits
inline constexpr std::size_t kLunsPerChip = 100;       // 8 bits
inline constexpr std::size_t kAddressCycles = 101;     // row in bits 0-3, column in 4-7
inline constexpr std::size_t kBitsPerCell = 102;       // 8 bits
inline constexpr std::size_t kProgramsPerPage = 103;   // 8 bits
inline constexpr std::size_t kPlaneAddressBits = 104;  // bits 0-3
inline constexpr std::size_t kMultiPlane = 105;        // 8 bits

// Electrical parameters block
inline constexpr std::size_t kAsyncModes = 144;           // 16 bits
inline constexpr std::size_t kToggleDdr2Modes = 146;      // 16 bits
inline constexpr std::size_t kSyncDdrModes = 148;         // 16 bits
inline constexpr std::size_t kSyncDdrFeatures = 152;      // 8 bits
inline constexpr std::size_t kTProg = 153;                // 16 bits, us
inline constexpr std::size_t kTBers = 155;                // 16 bits, us
inline constexpr std::size_t kTR = 157;                   // 16 bits, us
inline constexpr std::size_t kTRmp = 159;                 // 16 bits
inline constexpr std::size_t kTCcs = 161;                 // 16 bits
inline constexpr std::size_t kIoCapacitanceTyp = 163;     // 16 bits, 0.1 pF
inline constexpr std::size_t kInputCapacitanceTyp = 165;  // 16 bits, 0.1 pF
inline constexpr std::size_t kClockCapacitanceTyp = 167;  // 16 bits, 0.1 pF
inline constexpr std::size_t kDriverStrength = 169;       // 8 bits
inline constexpr std::size_t kTAdl = 170;                 // 16 bits, ns
inline constexpr std::size_t kToggleDdr3Modes = 172;      // 32 bits
inline constexpr std::size_t kToggleDdr4Modes = 176;      // 32 bits

// ECC and endurance block
inline constexpr std::size_t kValidBlocks = 208;    // 8 bits, at the start of the target
inline constexpr std::size_t kValidMantissa = 209;  // 8 bits
inline constexpr std::size_t kValidExponent = 210;  // 8 bits
inline constexpr std::size_t kEccBlocks = 211;      // four blocks of kEccBlockSize bytes
inline constexpr std::size_t kEccBlockSize = 8;
// Within one ECC and endurance block; bytes 6-7 are reserved.
inline constexpr std::size_t kEccBits = 0;               // 8 bits
inline constexpr std::size_t kEccCodewordSize = 1;       // 8 bits
inline constexpr std::size_t kEccMaxBadBlocks = 2;       // 16 bits, per LUN
inline constexpr std::size_t kEccEnduranceMantissa = 4;  // 8 bits
inline constexpr std::size_t kEccEnduranceExponent = 5;  // 8 bits

// Vendor block
inline constexpr std::size_t kVendorRevision = 420;  // 16 bits

// Stored CRC of bytes 0..509
inline constexpr std::size_t kCrc = 510;  // 16 bits

}  // namespace tolvik::jedec
