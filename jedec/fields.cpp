// The JEDEC parameter page as the standard lays it out: every field of bytes
// 0-511 with its name, its reading and the names of its bits, the timing
// families, and the parse of a page into the model. Which revision brought
// which field is not documented, so every field counts as defined.
#include <cstring>
#include <iterator>

#include "decode/fields.h"
#include "jedec/layout.h"

namespace tolvik {
namespace jedec {
namespace {

using detail::field_row;
using detail::flags;
using detail::kind_row;
using detail::modes;
using detail::number;
using detail::reserved;

constexpr FlagText kRevisionBits[] = {
    {1, 1, "vendor specific parameter page"},
    {2, 1, "parameter page rev 1.0"},
};

// Only the interface lines (bits 5 and 6) show at level 1.
constexpr FlagText kFeatureBits[] = {
    {0, 2, " 16-bit data bus width\n"},
    {1, 2, " multiple LUN operations\n"},
    {2, 2, " non-sequential page programming\n"},
    {3, 2, " multi-plane program and erase operations\n"},
    {4, 2, " multi-plane read operations\n"},
    {5, 1, " Synchronous DDR\n"},
    {6, 1, " Toggle Mode DDR\n"},
    {7, 2, " external Vpp\n"},
    {8, 2, " program page register clear enhancement\n"},
    {9, 2, " supports changing pin function between WP_n and ODT_n\n"},
};

// Bits 11-23 of the 24-bit field have no name. The blank before the line end
// of bit 10 is part of the report text.
constexpr FlagText kOptionalCommandBits[] = {
    {0, 2, " Page Cache Program command\n"},
    {1, 2, " Read Cache commands\n"},
    {2, 2, " Get Features and Set Features\n"},
    {3, 2, " Read Status Enhanced (Primary)\n"},
    {4, 2, " Copyback\n"},
    {5, 2, " Read Unique ID\n"},
    {6, 2, " Random Data Out (Primary)\n"},
    {7, 2, " Multi-plane Copyback Program (Primary)\n"},
    {8, 2, " Small Data Move\n"},
    {9, 2, " Reset LUN (Primary)\n"},
    {10, 2, " Synchronous Reset \n"},
};

// Only the low byte has names; the high byte shows in the value alone.
constexpr FlagText kSecondaryCommandBits[] = {
    {0, 2, " Multi-plane Read\n"},          {1, 2, " Multi-plane Read Cache Random\n"},
    {2, 2, " Multi-plane Copyback Read\n"}, {3, 2, " Random Data Out\n"},
    {4, 2, " Multi-plane Program\n"},       {5, 2, " Multi-plane Copyback Program\n"},
    {6, 2, " Multi-plane Block Erase\n"},   {7, 2, " Read Status Enhanced\n"},
};

// Bits 3-7 show only in the value.
constexpr FlagText kMultiPlaneBits[] = {
    {0, 2, " No multi-plane block address restrictions\n"},
    {1, 2, " program cache supported\n"},
    {2, 2, " read cache supported\n"},
};

// Bits 2-7 show only in the value.
constexpr FlagText kSyncDdrFeatureBits[] = {
    {0, 2, " tCAD value to use\n"},
    {1, 2, " Device supports CK stopped for data input\n"},
};

// Bits 5-7 show only in the value.
constexpr FlagText kDriverStrengthBits[] = {
    {0, 2, " supports 35 Ohm and 50 Ohm drive strength, Default is 35 Ohm\n"},
    {1, 2, " supports 25 Ohm drive strength\n"},
    {2, 2, " supports 18 Ohm drive strength\n"},
    {3, 2, " supports 37.5 Ohm and 50 Ohm drive strength, Default is 37.5 Ohm\n"},
    {4, 2, " supports 35 Ohm, 37.5 Ohm and 50 Ohm drive strength, Default is 35 Ohm\n"},
};

static_assert(detail::flags_ascending(kFeatureBits) && detail::flags_ascending(kOptionalCommandBits) &&
              detail::flags_ascending(kSecondaryCommandBits) && detail::flags_ascending(kMultiPlaneBits) &&
              detail::flags_ascending(kSyncDdrFeatureBits) && detail::flags_ascending(kDriverStrengthBits));

// ECC and endurance information block k, 8 bytes from 211 + 8k. Its
// endurance's encoding is not documented for JEDEC pages; the report reads
// it as ONFI's mantissa and decimal exponent.
constexpr std::uint16_t ecc_at(unsigned k) {
  return static_cast<std::uint16_t>(kEccBlocks + k * kEccBlockSize);
}
constexpr detail::FieldRow ecc_row(unsigned k, EccField which) {
  const std::uint16_t at = ecc_at(k);
  switch (which) {
    case EccBits:
      return field_row(at, at, FieldKind::Number, Unit::None, "Number of bits ECC correctability",
                       "ecc_bits");
    case EccCodewordSize:
      return kind_row(at + 1, at + 1, FieldKind::CodewordSize, "Codeword size", "codeword_size");
    case EccMaxBadBlocks:
      return number(at + 2, at + 3, Unit::None, "Bad blocks maximum per LUN", "max_bad_blocks_per_lun");
    case EccEndurance:
      return kind_row(at + 4, at + 5, FieldKind::Endurance, "Block endurance", "block_endurance");
    case EccReserved:
      break;
  }
  return reserved(at + 6, at + 7);
}

constexpr std::span<const FlagText> kBitLists[] = {
    kRevisionBits,   kFeatureBits,        kOptionalCommandBits, kSecondaryCommandBits,
    kMultiPlaneBits, kSyncDdrFeatureBits, kDriverStrengthBits,
};

constexpr detail::FieldRow kRows[] = {
    kind_row(0, 3, FieldKind::Signature, "Parameter page signature", "signature"),
    field_row(4, 5, FieldKind::Revision, Unit::None, "Revision number", "revision", {}, kRevisionBits),
    flags(6, 7, "Features supported", "features", kFeatureBits),
    flags(8, 10, "Optional commands supported", "optional_commands", kOptionalCommandBits),
    flags(11, 12, "Secondary commands supported", "secondary_commands", kSecondaryCommandBits),
    number(13, 13, Unit::None, "Number of parameter pages", "parameter_page_count"),
    reserved(14, 31),

    kind_row(32, 43, FieldKind::Text, "Device manufacturer", "manufacturer"),
    kind_row(44, 63, FieldKind::Text, "Device model", "model"),
    // Six bytes; how continuation codes fill them is not documented, and the
    // makers put their one byte first.
    kind_row(64, 69, FieldKind::MakerId, "JEDEC manufacturer ID", "jedec_manufacturer_id"),
    reserved(70, 79),

    number(80, 83, Unit::Bytes, "Number of data bytes per page", "data_bytes_per_page"),
    number(84, 85, Unit::Bytes, "Number of spare bytes per page", "spare_bytes_per_page"),
    reserved(86, 91),
    number(92, 95, Unit::None, "Number of pages per block", "pages_per_block"),
    number(96, 99, Unit::None, "Number of blocks per logical unit", "blocks_per_lun"),
    number(100, 100, Unit::None, "Number of logical units", "luns"),
    kind_row(101, 101, FieldKind::AddressCycles, "Number of address cycles", "address_cycles"),
    kind_row(102, 102, FieldKind::CellBits, "Number of bits per cell", "bits_per_cell"),
    number(103, 103, Unit::None, "Number of programs per page", "programs_per_page"),
    kind_row(104, 104, FieldKind::PlaneBits, "Multi-plane addressing", "plane_address_bits"),
    flags(105, 105, "Multi-plane operation attributes", "multi_plane_attributes", kMultiPlaneBits),
    reserved(106, 143),

    modes(144, 145, "Asynchronous SDR speed grade", "async_sdr_speed_grades"),
    modes(146, 147, "Toggle DDR speed grade", "toggle_ddr_speed_grades"),
    modes(148, 149, "Synchronous DDR speed grade", "sync_ddr_speed_grades"),
    flags(150, 150, "Asynchronous SDR features", "async_sdr_features", {}),
    flags(151, 151, "Toggle-mode DDR features", "toggle_ddr_features", {}),
    flags(152, 152, "Synchronous DDR features", "sync_ddr_features", kSyncDdrFeatureBits),
    // The unit of the array times is not documented for JEDEC pages.
    number(153, 154, Unit::None, "tPROG maximum page program time", "t_prog_max"),
    number(155, 156, Unit::None, "tBERS maximum block erase time", "t_bers_max"),
    number(157, 158, Unit::None, "tR maximum page read time", "t_r_max"),
    number(159, 160, Unit::None, "tR maximum multi-plane page read time", "t_r_multi_plane_max"),
    number(161, 162, Unit::None, "tCCS minimum change column setup time", "t_ccs_min"),
    number(163, 164, Unit::Tenths, "I/O pin capacitance, typical", "io_capacitance_typ"),
    number(165, 166, Unit::Tenths, "Input pin capacitance, typical", "input_capacitance_typ"),
    number(167, 168, Unit::Tenths, "CK pin capacitance, typical", "ck_capacitance_typ"),
    flags(169, 169, "Driver strength support", "driver_strength", kDriverStrengthBits),
    number(170, 171, Unit::Nanoseconds, "tADL", "t_adl_ns"),
    modes(172, 175, "Toggle DDR3 speed grade", "toggle_ddr3_speed_grades"),
    modes(176, 179, "Toggle DDR4 speed grade", "toggle_ddr4_speed_grades"),
    reserved(180, 207),

    number(208, 208, Unit::None, "Guaranteed valid blocks at beginning of target", "guaranteed_valid_blocks"),
    kind_row(209, 210, FieldKind::Endurance, "Block endurance for guaranteed valid blocks",
             "guaranteed_valid_block_endurance"),
    ecc_row(0, EccBits),
    ecc_row(0, EccCodewordSize),
    ecc_row(0, EccMaxBadBlocks),
    ecc_row(0, EccEndurance),
    ecc_row(0, EccReserved),
    ecc_row(1, EccBits),
    ecc_row(1, EccCodewordSize),
    ecc_row(1, EccMaxBadBlocks),
    ecc_row(1, EccEndurance),
    ecc_row(1, EccReserved),
    ecc_row(2, EccBits),
    ecc_row(2, EccCodewordSize),
    ecc_row(2, EccMaxBadBlocks),
    ecc_row(2, EccEndurance),
    ecc_row(2, EccReserved),
    ecc_row(3, EccBits),
    ecc_row(3, EccCodewordSize),
    ecc_row(3, EccMaxBadBlocks),
    ecc_row(3, EccEndurance),
    ecc_row(3, EccReserved),
    reserved(243, 271),
    reserved(272, 419),

    number(420, 421, Unit::None, "Vendor specific revision number", "vendor_revision"),
    field_row(422, 509, FieldKind::Vendor, Unit::None, "Vendor specific", "vendor_specific"),
    kind_row(510, 511, FieldKind::Crc, "Integrity CRC", "crc"),
};

static_assert(std::size(kRows) == kFieldCount && detail::covers_in_order(kRows, 0, 512));
static_assert(kRows[ecc_field(3, EccReserved)].last == 242);

constexpr auto kCompiled =
    detail::compile_fields<detail::text_size(kRows)>(kRows, detail::FieldTable::Jedec, kBitLists);
constexpr auto kText = kCompiled.text;
constexpr detail::TableTexts kTexts{kText.data(), kBitLists};

}  // namespace

constexpr std::array<FieldInfo, kFieldCount> kFields = kCompiled.fields;

// Speeds in MHz by mode bit; the last entry is the family's top bit.
constexpr SpeedText kAsyncSpeeds[] = {"10", "20", "28", "33", "40", "50"};
constexpr SpeedText kToggleDdr2Speeds[] = {"33",  "40",  "66",  "83",  "100", "133", "166",
                                           "200", "266", "333", "400", "533", "667", "800"};
constexpr SpeedText kSyncDdrSpeeds[] = {"20", "33", "50", "66", "83", "100"};
// Toggle DDR3 and DDR4 share one table; note bit 12 is 600 here, not 667.
constexpr SpeedText kToggleDdr34Speeds[] = {"33",  "40",   "66",   "83",   "100",  "133",  "166",
                                            "200", "266",  "333",  "400",  "533",  "600",  "800",
                                            "900", "1000", "1100", "1200", "1400", "1600", "1800"};
static_assert(std::size(kAsyncSpeeds) == 6 && std::size(kToggleDdr2Speeds) == 14 &&
              std::size(kSyncDdrSpeeds) == 6 && std::size(kToggleDdr34Speeds) == 21);

// Every JEDEC family's speed is a clock rate.
constexpr TimingFamilyInfo kFamilies[kFamilyCount] = {
    {"Asynchronous SDR", "async_sdr", kAsyncSpeeds, "MHz"},
    {"Toggle DDR2", "toggle_ddr2", kToggleDdr2Speeds, "MHz"},
    {"Synchronous DDR", "sync_ddr", kSyncDdrSpeeds, "MHz"},
    {"Toggle DDR3", "toggle_ddr3", kToggleDdr34Speeds, "MHz"},
    {"Toggle DDR4", "toggle_ddr4", kToggleDdr34Speeds, "MHz"},
};

}  // namespace jedec

namespace detail {

const TableTexts& jedec_texts() { return jedec::kTexts; }

}  // namespace detail

void parse_jedec_page(std::span<const std::uint8_t> bytes, JedecPage& page) noexcept {
  using namespace jedec;
  detail::parse_page_common(bytes, page, kFields, Revision, Manufacturer, Model, JedecId, Crc);

  const Field* f = page.fields;
  const std::uint32_t masks[kFamilyCount] = {f[AsyncSdrModes].raw, f[ToggleDdrModes].raw, f[SyncDdrModes].raw,
                                             f[ToggleDdr3Modes].raw, f[ToggleDdr4Modes].raw};
  for (unsigned k = 0; k < kFamilyCount; ++k)
    page.families[k] = detail::timing_family(kFamilies[k], masks[k]);
}

FieldList list_fields(const JedecPage& page) noexcept {
  FieldList list{Layout::Jedec, page.revision, page.bytes, {}, 0};
  for (unsigned i = 0; i < jedec::kFieldCount; ++i)
    list.items[list.count++] = {&jedec::kFields[i], &page.fields[i]};
  return list;
}

}  // namespace tolvik
