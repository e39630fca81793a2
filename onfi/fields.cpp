// The ONFI parameter page as the standard lays it out: every field of bytes
// 0-255 with its name, its reading, the names of its bits and the revisions
// that define it, the vendor blocks of makers that document theirs, the
// timing-mode families, and the parse of a page into the model.
#include <cstring>
#include <iterator>

#include "decode/fields.h"
#include "onfi/layout.h"

namespace tolvik {
namespace onfi {
namespace {

using detail::field_row;
using detail::flags;
using detail::kind_row;
using detail::modes;
using detail::number;
using detail::reserved;
using detail::Revisions;

// Revisions by their bits: 1.0 is bit 1, 2.1 bit 3, 2.2 bit 4, 3.0 bit 6,
// 4.0 bit 9; the late revisions (5.0, 5.1 and bit 14) are bits 12-14. A
// field "since" a revision is defined by it and every later one.
constexpr Revisions kSince21{0x7FF8, 0};
constexpr Revisions kSince22{0x7FF0, 0};
constexpr Revisions kSince30{0x7FC0, 0};
constexpr Revisions kSince40{0x7E00, 0};
constexpr Revisions kLate{kLateRevisions, 0};
// Revision 5.0 dropped the partial page fields; the late revisions dropped
// EZ NAND.
constexpr Revisions kBefore50{0, kRevision50};
constexpr Revisions kEzNandRevisions{0x7FC0, kLateRevisions};

// Revision names: a page names the highest it claims. Bits 0, 14 and 15
// have no name.
constexpr FlagText kRevisionBits[] = {
    {1, 1, " 1.0"},  {2, 1, " 2.0"},  {3, 1, " 2.1"},  {4, 1, " 2.2"}, {5, 1, " 2.3"},
    {6, 1, " 3.0"},  {7, 1, " 3.1"},  {8, 1, " 3.2"},  {9, 1, " 4.0"}, {10, 1, " 4.1"},
    {11, 1, " 4.2"}, {12, 1, " 5.0"}, {13, 1, " 5.1"},
};

// Feature bit 9 meant EZ NAND until revision 5.0 gave it to NV-LPDDR4; only
// the 5.0 bit itself decides.
constexpr FlagText kFeatureBits[] = {
    {0, 1, " 16-bit data bus width\n"},
    {1, 2, " multiple LUN operations\n"},
    {2, 2, " non-sequential page programming\n"},
    {3, 2, " multi-plane program and erase operations\n"},
    {4, 2, " odd to even page Copyback\n"},
    {5, 1, " NV-DDR\n"},
    {6, 2, " multi-plane read operations\n"},
    {7, 2, " extended parameter page\n"},
    {8, 2, " program page register clear enhancement\n"},
    {9, 1, " EZ NAND\n", 0, kRevision50},
    {9, 1, " NV-LPDDR4\n", kRevision50, 0},
    {10, 1, " NV-DDR2\n"},
    {11, 2, " Volume addressing\n"},
    {12, 2, " external Vpp\n"},
    {13, 1, " NV-DDR3\n"},
    {14, 2, " ZQ calibration\n"},
    {15, 2, " Package Electrical Specification\n"},
};

constexpr FlagText kOptionalCommandBits[] = {
    {0, 2, " Page Cache Program command\n"},
    {1, 2, " Read Cache commands\n"},
    {2, 2, " Get Features and Set Features\n"},
    {3, 2, " Read Status Enhanced\n"},
    {4, 2, " Copyback\n"},
    {5, 2, " Read Unique ID\n"},
    {6, 2, " Change Read Column Enhanced\n"},
    {7, 2, " Change Row Address\n"},
    {8, 2, " Small Data Move\n"},
    {9, 2, " Reset LUN\n"},
    {10, 2, " Volume Select\n"},
    {11, 2, " ODT Configure\n"},
    {12, 2, " LUN Get and LUN Set Features\n"},
    {13, 2, " ZQ calibration (Long and Short)\n"},
};

constexpr FlagText kJtgCommandBits[] = {
    {0, 2, " supports Random Data Out\n"},
    {1, 2, " supports Multi-plane Page Program\n"},
    {2, 2, " supports Multi-plane Copyback Program\n"},
    {3, 2, " supports Multi-plane Block Erase\n"},
};

constexpr FlagText kTrainingCommandBits[] = {
    {0, 2, " supports Explicit DCC Training\n"},
    {1, 2, " supports Implicit (command based) DCC training\n"},
    {2, 2, " supports Read DQ training\n"},
    {3, 2, " supports Write TX DQ training\n"},
    {4, 2, " supports Write RX DQ training\n"},
    {5, 2, " supports Internal vrefq Training\n"},
    {6, 2, " supports Per-Pin Vrefq Training (offset method)\n"},
    {7, 2, " supports Per-Pin Vrefq Training (Absolute Value method)\n"},
};

constexpr FlagText kTrainingCommand2Bits[] = {
    {0, 2, " supports Write Duty Cycle Adjustment Training (WDCA)\n"},
};

constexpr FlagText kMultiPlaneBits[] = {
    {0, 2, " Overlapped / concurrent multi-plane support\n"},
    {1, 2, " no block address restrictions\n"},
    {2, 1, " program cache supported\n"},
    {3, 2, " Address restrictions for cache operations\n"},
    {4, 1, " read cache supported\n"},
    {5, 2, " lower bit XNOR block address restriction\n"},
};

constexpr FlagText kEzNandBits[] = {
    {0, 2, " supports enable/disable of automatic retries\n"},
    {1, 2, " supports Copyback for other planes & LUNs\n"},
    {2, 2, " Requires Copyback Adjacency\n"},
};

// The report shows none of the fields below; their bits are named as the
// reference sources name them.
constexpr FlagText kNvDdrFeatureBits[] = {
    {0, 2, " tCAD value to use (1: the fast tCAD)\n"},
    {1, 2, " typical capacitance values present\n"},
    {2, 2, " device supports CLK stopped for data input\n"},
    {3, 2, " device requires Vpp enablement sequence\n"},
};

constexpr FlagText kDriverStrengthBits[] = {
    {0, 2, " supports driver strength settings\n"},
    {1, 2, " supports 25 Ohm drive strength\n"},
    {2, 2, " supports 18 Ohm drive strength\n"},
};

constexpr FlagText kNvDdr2FeatureBits[] = {
    {0, 2, " supports self-termination ODT\n"},
    {1, 2, " supports matrix termination ODT\n"},
    {2, 2, " supports ODT value of 30 Ohms\n"},
    {3, 2, " supports differential signaling for RE_n\n"},
    {4, 2, " supports differential signaling for DQS\n"},
    {5, 2, " external VREFQ required for >= 200 MT/s\n"},
};

static_assert(detail::flags_ascending(kFeatureBits) && detail::flags_ascending(kOptionalCommandBits) &&
              detail::flags_ascending(kJtgCommandBits) && detail::flags_ascending(kTrainingCommandBits) &&
              detail::flags_ascending(kMultiPlaneBits) && detail::flags_ascending(kEzNandBits) &&
              detail::flags_ascending(kNvDdrFeatureBits) && detail::flags_ascending(kDriverStrengthBits) &&
              detail::flags_ascending(kNvDdr2FeatureBits) && detail::flags_ascending(kRevisionBits));

constexpr std::span<const FlagText> kBitLists[] = {
    kRevisionBits,        kFeatureBits,          kOptionalCommandBits, kJtgCommandBits,
    kTrainingCommandBits, kTrainingCommand2Bits, kMultiPlaneBits,      kEzNandBits,
    kNvDdrFeatureBits,    kDriverStrengthBits,   kNvDdr2FeatureBits,
};

// In byte order. Where the report reads a field, its bytes, arithmetic and
// bit names are the report's; the others follow the published layouts.
constexpr detail::FieldRow kRows[] = {
    kind_row(0, 3, FieldKind::Signature, "Parameter page signature", "signature"),
    field_row(4, 5, FieldKind::Revision, Unit::None, "Revision number", "revision", {}, kRevisionBits),
    flags(6, 7, "Features supported", "features", kFeatureBits),
    flags(8, 9, "Optional commands supported", "optional_commands", kOptionalCommandBits),
    flags(10, 10, "ONFI-JEDEC JTG primary advanced command support", "jtg_primary_advanced_commands",
          kJtgCommandBits, kSince30),
    flags(11, 11, "Training commands supported", "training_commands", kTrainingCommandBits, kSince40),
    field_row(12, 13, FieldKind::Number, Unit::Bytes, "Extended parameter page length",
              "extended_parameter_page_length_bytes", kSince21, {}, 16),
    number(14, 14, Unit::None, "Number of parameter pages", "parameter_page_count", kSince21),
    flags(15, 15, "Training commands supported (second byte)", "training_commands_2", kTrainingCommand2Bits,
          kLate),
    reserved(16, 31),

    kind_row(32, 43, FieldKind::Text, "Device manufacturer", "manufacturer"),
    kind_row(44, 63, FieldKind::Text, "Device model", "model"),
    kind_row(64, 64, FieldKind::MakerId, "JEDEC manufacturer ID", "jedec_manufacturer_id"),
    kind_row(65, 66, FieldKind::Date, "Date code", "date_code"),
    reserved(67, 79),

    number(80, 83, Unit::Bytes, "Number of data bytes per page", "data_bytes_per_page"),
    number(84, 85, Unit::Bytes, "Number of spare bytes per page", "spare_bytes_per_page"),
    number(86, 89, Unit::Bytes, "Number of data bytes per partial page", "data_bytes_per_partial_page",
           kBefore50),
    number(90, 91, Unit::Bytes, "Number of spare bytes per partial page", "spare_bytes_per_partial_page",
           kBefore50),
    number(92, 95, Unit::None, "Number of pages per block", "pages_per_block"),
    number(96, 99, Unit::None, "Number of blocks per logical unit", "blocks_per_lun"),
    number(100, 100, Unit::None, "Number of logical units", "luns"),
    kind_row(101, 101, FieldKind::AddressCycles, "Number of address cycles", "address_cycles"),
    kind_row(102, 102, FieldKind::CellBits, "Number of bits per cell", "bits_per_cell"),
    number(103, 104, Unit::None, "Bad blocks maximum per LUN", "max_bad_blocks_per_lun"),
    kind_row(105, 106, FieldKind::Endurance, "Block endurance", "block_endurance"),
    number(107, 107, Unit::None, "Guaranteed valid blocks at beginning of target", "guaranteed_valid_blocks"),
    kind_row(108, 109, FieldKind::Endurance, "Block endurance for guaranteed valid blocks",
             "guaranteed_valid_block_endurance"),
    number(110, 110, Unit::None, "Number of programs per page", "programs_per_page"),
    flags(111, 111, "Partial programming attributes", "partial_programming_attributes", {}, kBefore50),
    kind_row(112, 112, FieldKind::EccBits, "Number of bits ECC correctability", "ecc_bits"),
    kind_row(113, 113, FieldKind::PlaneBits, "Number of plane address bits", "plane_address_bits"),
    flags(114, 114, "Multi-plane operation attributes", "multi_plane_attributes", kMultiPlaneBits),
    flags(115, 115, "EZ NAND support", "ez_nand", kEzNandBits, kEzNandRevisions),
    modes(116, 117, "NV-DDR3 timing mode support, modes 16-31", "nv_ddr3_timing_modes_16_31", kLate, 16),
    flags(118, 119, "NV-LPDDR4 timing mode support (bits not documented)",
          "nv_lpddr4_timing_modes_bytes_118_119", {}, kLate),
    modes(120, 120, "NV-LPDDR4 timing mode support, modes 16-23", "nv_lpddr4_timing_modes_16_23", kLate, 16),
    flags(121, 121, "NV-LPDDR4 timing mode support (bits not documented)", "nv_lpddr4_timing_modes_byte_121",
          {}, kLate),
    reserved(122, 127),

    number(128, 128, Unit::Picofarads, "I/O pin capacitance per chip enable, maximum",
           "io_capacitance_max_pf"),
    modes(129, 130, "SDR timing mode support", "sdr_timing_modes"),
    modes(131, 132, "SDR program cache timing mode support (obsolete)", "sdr_program_cache_timing_modes"),
    number(133, 134, Unit::Microseconds, "tPROG maximum page program time", "t_prog_max_us"),
    number(135, 136, Unit::Microseconds, "tBERS maximum block erase time", "t_bers_max_us"),
    number(137, 138, Unit::Microseconds, "tR maximum page read time", "t_r_max_us"),
    number(139, 140, Unit::Nanoseconds, "tCCS minimum change column setup time", "t_ccs_min_ns"),
    modes(141, 141, "NV-DDR timing mode support", "nv_ddr_timing_modes", kSince22),
    modes(142, 142, "NV-DDR2 timing mode support", "nv_ddr2_timing_modes", kSince30),
    flags(143, 143, "NV-DDR / NV-DDR2 features", "nv_ddr_features", kNvDdrFeatureBits, kSince22),
    number(144, 145, Unit::TenthPicofarads, "CLK input pin capacitance, typical", "clk_capacitance_typ_pf",
           kSince22),
    number(146, 147, Unit::TenthPicofarads, "I/O pin capacitance, typical", "io_capacitance_typ_pf",
           kSince22),
    number(148, 149, Unit::TenthPicofarads, "Input pin capacitance, typical", "input_capacitance_typ_pf",
           kSince22),
    number(150, 150, Unit::Picofarads, "Input pin capacitance, maximum", "input_capacitance_max_pf",
           kSince22),
    flags(151, 151, "Driver strength support", "driver_strength", kDriverStrengthBits, kSince22),
    number(152, 153, Unit::Microseconds, "tR maximum multi-plane page read time", "t_r_multi_plane_max_us",
           kSince22),
    number(154, 155, Unit::Nanoseconds, "tADL program page register clear enhancement tADL value", "t_adl_ns",
           kSince22),
    number(156, 157, Unit::Microseconds, "tR typical page read time for EZ NAND", "t_r_ez_nand_typ_us",
           kSince30),
    flags(158, 158, "NV-DDR2/3 features", "nv_ddr2_features", kNvDdr2FeatureBits, kSince30),
    kind_row(159, 159, FieldKind::WarmupCycles, "NV-DDR2/3 warmup cycles", "warmup_cycles", kSince30),
    modes(160, 161, "NV-DDR3 timing mode support", "nv_ddr3_timing_modes", kSince40),
    modes(162, 162, "NV-DDR2 timing mode support, modes 8-15", "nv_ddr2_timing_modes_8_15", kSince40, 8),
    reserved(163, 163),

    number(164, 165, Unit::None, "Vendor specific revision number", "vendor_revision"),
    field_row(166, 235, FieldKind::Vendor, Unit::None, "Vendor specific", "vendor_specific"),
    // The report reads NV-LPDDR4 modes 0-15 here, inside the vendor block of
    // every layout the reference sources show.
    modes(236, 237, "NV-LPDDR4 timing mode support, modes 0-15", "nv_lpddr4_timing_modes", kLate),
    field_row(238, 253, FieldKind::Vendor, Unit::None, "Vendor specific", "vendor_specific_2"),
    kind_row(254, 255, FieldKind::Crc, "Integrity CRC", "crc"),
};

static_assert(std::size(kRows) == kFieldCount && detail::covers_in_order(kRows, 0, 256));

constexpr auto kCompiled =
    detail::compile_fields<detail::text_size(kRows)>(kRows, detail::FieldTable::Onfi, kBitLists);
constexpr auto kText = kCompiled.text;
constexpr detail::TableTexts kTexts{kText.data(), kBitLists};

}  // namespace

constexpr std::array<FieldInfo, kFieldCount> kFields = kCompiled.fields;

// Speeds by mode bit; each table's last row is the family's top bit.
constexpr SpeedText kSdrSpeeds[] = {"10", "20", "28", "33", "40", "50"};
constexpr SpeedText kNvDdrSpeeds[] = {"40", "66", "100", "133", "166", "200"};
constexpr SpeedText kNvDdr2Speeds[] = {"66",  "80",  "133", "166", "200", "266",
                                       "333", "400", "533", "667", "800"};
constexpr SpeedText kNvDdr3Speeds[] = {"166",  "200",  "266",  "333",  "400",  "533",  "667",
                                       "800",  "1066", "1200", "1333", "1466", "1600", "1800",
                                       "2000", "2200", "2400", "2800", "3200", "3600"};
constexpr SpeedText kNvLpddr4Speeds[] = {"166",  "200",  "266",  "333",  "400",  "533",  "667",
                                         "800",  "1066", "1200", "1333", "1466", "1600", "1800",
                                         "2000", "2200", "2400", "2800", "3200", "3600"};
static_assert(std::size(kSdrSpeeds) == 6 && std::size(kNvDdrSpeeds) == 6 && std::size(kNvDdr2Speeds) == 11 &&
              std::size(kNvDdr3Speeds) == 20 && std::size(kNvLpddr4Speeds) == 20);

constexpr TimingFamilyInfo kFamilies[kFamilyCount] = {
    {"SDR", "sdr", kSdrSpeeds, "MHz"},
    {"NV-DDR", "nv_ddr", kNvDdrSpeeds, "MT/s"},
    {"NV-DDR2", "nv_ddr2", kNvDdr2Speeds, "MT/s"},
    {"NV-DDR3", "nv_ddr3", kNvDdr3Speeds, "MT/s"},
    {"NV-LPDDR4", "nv_lpddr4", kNvLpddr4Speeds, "MT/s"},
};

namespace {

// Micron's vendor block, as Linux's nand_onfi_vendor_micron lays it out.
constexpr detail::FieldRow kMicronRows[] = {
    number(166, 166, Unit::None, "Two-plane page read support", "two_plane_read"),
    number(167, 167, Unit::None, "Read cache support", "read_cache"),
    number(168, 168, Unit::None, "Read unique ID support", "read_unique_id"),
    number(169, 169, Unit::None, "Programmable I/O drive strength support", "dq_impedance"),
    number(170, 170, Unit::None, "Number of I/O drive strength settings", "dq_impedance_settings"),
    number(171, 171, Unit::Address, "Feature address of I/O drive strength", "dq_impedance_feature_address"),
    number(172, 172, Unit::None, "R/B# pull-down strength support", "rb_pulldown_strength"),
    number(173, 173, Unit::Address, "Feature address of R/B# pull-down strength",
           "rb_pulldown_strength_feature_address"),
    number(174, 174, Unit::None, "Number of R/B# pull-down strength settings",
           "rb_pulldown_strength_settings"),
    number(175, 175, Unit::None, "OTP mode support", "otp_mode"),
    number(176, 176, Unit::None, "OTP page start", "otp_page_start"),
    number(177, 177, Unit::None, "OTP data protect address", "otp_data_protect_address"),
    number(178, 178, Unit::None, "Number of OTP pages", "otp_pages"),
    number(179, 179, Unit::Address, "OTP feature address", "otp_feature_address"),
    number(180, 180, Unit::None, "Number of read retry options", "read_retry_options"),
    reserved(181, 235),
    reserved(238, 252),
    number(253, 253, Unit::None, "Parameter page revision (Micron)", "micron_parameter_page_revision"),
};

constexpr FlagText kMacronixReliabilityBits[] = {
    {0, 2, " read retry supported\n"},
    {1, 2, " randomizer supported\n"},
};

// Macronix documents byte 167 only.
constexpr detail::FieldRow kMacronixRows[] = {
    field_row(166, 166, FieldKind::Vendor, Unit::None, "Vendor specific", "vendor_specific_166"),
    flags(167, 167, "Reliability functions", "reliability_functions", kMacronixReliabilityBits),
    field_row(168, 235, FieldKind::Vendor, Unit::None, "Vendor specific", "vendor_specific"),
    field_row(238, 253, FieldKind::Vendor, Unit::None, "Vendor specific", "vendor_specific_2"),
};

static_assert(std::size(kMicronRows) <= kVendorFieldsMax && std::size(kMacronixRows) <= kVendorFieldsMax);
static_assert(detail::covers_in_order(std::span(kMicronRows, 15), 166, 181));

constexpr auto kMicronCompiled =
    detail::compile_fields<detail::text_size(kMicronRows)>(kMicronRows, detail::FieldTable::Micron, {});
constexpr auto kMicronText = kMicronCompiled.text;
constexpr auto kMicronFields = kMicronCompiled.fields;
constexpr detail::TableTexts kMicronTexts{kMicronText.data(), {}};

constexpr std::span<const FlagText> kMacronixBitLists[] = {kMacronixReliabilityBits};
constexpr auto kMacronixCompiled = detail::compile_fields<detail::text_size(kMacronixRows)>(
    kMacronixRows, detail::FieldTable::Macronix, kMacronixBitLists);
constexpr auto kMacronixText = kMacronixCompiled.text;
constexpr auto kMacronixFields = kMacronixCompiled.fields;
constexpr detail::TableTexts kMacronixTexts{kMacronixText.data(), kMacronixBitLists};

constexpr VendorLayout kMicron{"Micron", kMicronFields};
constexpr VendorLayout kMacronix{"Macronix", kMacronixFields};

// A maker's vendor block layout, chosen by the JEDEC ID together with the
// maker text: a second source's page may carry a borrowed ID.
struct VendorChoice {
  std::uint8_t id;
  std::string_view text;
  const VendorLayout* layout;
};
constexpr VendorChoice kVendorLayouts[] = {
    {0x2C, "MICRON", &kMicron},
    {0xC2, "MACRONIX", &kMacronix},
};

bool same_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    if (upper(a[i]) != upper(b[i])) return false;
  }
  return true;
}

const VendorLayout* vendor_layout(std::uint8_t id, std::string_view manufacturer) {
  for (const VendorChoice& choice : kVendorLayouts) {
    if (choice.id == id && same_ignoring_case(choice.text, manufacturer)) return choice.layout;
  }
  return nullptr;
}

}  // namespace
}  // namespace onfi

namespace detail {

const TableTexts& onfi_texts() { return onfi::kTexts; }
const TableTexts& micron_texts() { return onfi::kMicronTexts; }
const TableTexts& macronix_texts() { return onfi::kMacronixTexts; }

}  // namespace detail

void parse_onfi_page(std::span<const std::uint8_t> bytes, OnfiPage& page) noexcept {
  using namespace onfi;
  detail::parse_page_common(bytes, page, kFields, Revision, Manufacturer, Model, JedecId, Crc);
  const std::span<const std::uint8_t> own(page.bytes);
  const auto id = static_cast<std::uint8_t>(page.fields[JedecId].raw);
  page.vendor = vendor_layout(id, page.manufacturer);
  if (page.vendor != nullptr)
    detail::parse_fields(page.vendor->fields, own, page.revision, page.vendor_fields);

  // The families' masks as the report builds them: NV-DDR2 modes 8-15 in
  // byte 162, NV-DDR3 modes 16-31 only for a late revision, NV-LPDDR4 modes
  // 16-23 in byte 120 for every revision.
  const Field* f = page.fields;
  const bool late = (page.revision & kLateRevisions) != 0;
  const std::uint32_t masks[kFamilyCount] = {
      f[SdrModes].raw,
      f[NvDdrModes].raw,
      f[NvDdr2ModesHigh].raw << 8 | f[NvDdr2Modes].raw,
      f[NvDdr3Modes].raw | (late ? f[NvDdr3ModesHigh].raw << 16 : 0U),
      f[NvLpddr4ModesHigh].raw << 16 | f[NvLpddr4Modes].raw,
  };
  for (unsigned k = 0; k < kFamilyCount; ++k)
    page.families[k] = detail::timing_family(kFamilies[k], masks[k]);
}

FieldList list_fields(const OnfiPage& page) noexcept {
  FieldList list{Layout::Onfi, page.revision, page.bytes, {}, 0};
  for (unsigned i = 0; i < onfi::kFieldCount; ++i) {
    const FieldInfo& info = onfi::kFields[i];
    if (info.kind == FieldKind::Vendor && page.vendor != nullptr) {
      // The maker's own fields in place of the raw block.
      const std::span<const FieldInfo> vendor = page.vendor->fields;
      for (std::size_t v = 0; v < vendor.size(); ++v) {
        if (vendor[v].first >= info.first && vendor[v].last <= info.last) {
          list.items[list.count++] = {&vendor[v], &page.vendor_fields[v]};
        }
      }
      continue;
    }
    list.items[list.count++] = {&info, &page.fields[i]};
  }
  return list;
}

}  // namespace tolvik
