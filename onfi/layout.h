// Byte offsets of the ONFI parameter page fields the report reads, in page
// order, grouped like the page. Multi-byte fields are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tolvik::onfi {

// Revision information and features block
inline constexpr std::size_t kRevision = 4;            // 16 bits, one bit per revision
inline constexpr std::size_t kFeatures = 6;            // 16 bits
inline constexpr std::size_t kOptionalCommands = 8;    // 16 bits
inline constexpr std::size_t kJtgCommands = 10;        // 8 bits
inline constexpr std::size_t kTrainingCommands = 11;   // 8 bits
inline constexpr std::size_t kEppLength = 12;          // 16 bits, units of 16 bytes
inline constexpr std::size_t kParamPageCount = 14;     // 8 bits
inline constexpr std::size_t kTrainingCommands2 = 15;  // 8 bits

// Manufacturer information block
inline constexpr std::size_t kManufacturer = 32;  // 12 characters
inline constexpr std::size_t kManufacturerWidth = 12;
inline constexpr std::size_t kModel = 44;  // 20 characters
inline constexpr std::size_t kModelWidth = 20;
inline constexpr std::size_t kJedecId = 64;   // 8 bits
inline constexpr std::size_t kDateYear = 65;  // 8 bits, year within the century
inline constexpr std::size_t kDateWeek = 66;  // 8 bits, work week

// Memory organisation block
inline constexpr std::size_t kPageData = 80;             // 32 bits
inline constexpr std::size_t kPageSpare = 84;            // 16 bits
inline constexpr std::size_t kPartialPageData = 86;      // 32 bits
inline constexpr std::size_t kPartialPageSpare = 90;     // 16 bits
inline constexpr std::size_t kPagesPerBlock = 92;        // 32 bits
inline constexpr std::size_t kBlocksPerLun = 96;         // 32 bits
inline constexpr std::size_t kLunsPerChip = 100;         // 8 bits
inline constexpr std::size_t kAddressCycles = 101;       // row in bits 0-3, column in 4-7
inline constexpr std::size_t kBitsPerCell = 102;         // 8 bits
inline constexpr std::size_t kMaxBadBlocks = 103;        // 16 bits, per LUN
inline constexpr std::size_t kEnduranceMantissa = 105;   // 8 bits
inline constexpr std::size_t kEnduranceExponent = 106;   // 8 bits
inline constexpr std::size_t kValidBlocks = 107;         // 8 bits
inline constexpr std::size_t kValidMantissa = 108;       // 8 bits
inline constexpr std::size_t kValidExponent = 109;       // 8 bits
inline constexpr std::size_t kProgramsPerPage = 110;     // 8 bits
inline constexpr std::size_t kPartialProgramming = 111;  // 8 bits
inline constexpr std::size_t kEccBits = 112;             // 8 bits, 255: see the EPP
inline constexpr std::size_t kPlaneAddressBits = 113;    // bits 0-3
inline constexpr std::size_t kMultiPlane = 114;          // 8 bits
inline constexpr std::size_t kEzNand = 115;              // 8 bits
inline constexpr std::size_t kNvDdr3ModesHigh = 116;     // 16 bits, modes 16-31
inline constexpr std::size_t kNvLpddr4ModesHigh = 120;   // 8 bits, modes 16-23

// Electrical parameters block
inline constexpr std::size_t kIoCapacitanceMax = 128;     // 8 bits, pF
inline constexpr std::size_t kAsyncModes = 129;           // 16 bits
inline constexpr std::size_t kTProg = 133;                // 16 bits, us
inline constexpr std::size_t kTBers = 135;                // 16 bits, us
inline constexpr std::size_t kTR = 137;                   // 16 bits, us
inline constexpr std::size_t kTCcs = 139;                 // 16 bits, ns
inline constexpr std::size_t kNvDdrModes = 141;           // 8 bits
inline constexpr std::size_t kNvDdr2Modes = 142;          // 8 bits, modes 0-7
inline constexpr std::size_t kClkCapacitanceTyp = 144;    // 16 bits, 0.1 pF
inline constexpr std::size_t kIoCapacitanceTyp = 146;     // 16 bits, 0.1 pF
inline constexpr std::size_t kInputCapacitanceTyp = 148;  // 16 bits, 0.1 pF
inline constexpr std::size_t kInputCapacitanceMax = 150;  // 8 bits, pF
inline constexpr std::size_t kTRmp = 152;                 // 16 bits, us
inline constexpr std::size_t kTAdl = 154;                 // 16 bits, ns
inline constexpr std::size_t kWarmupCycles = 159;         // input in bits 4-7, output 0-3
inline constexpr std::size_t kNvDdr3Modes = 160;          // 16 bits, modes 0-15
inline constexpr std::size_t kNvDdr2ModesHigh = 162;      // 8 bits, modes 8-15

// Vendor block
inline constexpr std::size_t kVendorRevision = 164;     // 16 bits
inline constexpr std::size_t kReadRetry = 180;          // 8 bits, vendor specific
inline constexpr std::size_t kNvLpddr4Modes = 236;      // 16 bits, modes 0-15
inline constexpr std::size_t kParamPageRevision = 253;  // 8 bits, vendor specific
inline constexpr std::size_t kCrc = 254;                // 16 bits, CRC of bytes 0-253

}  // namespace tolvik::onfi
