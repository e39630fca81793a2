// Header line, revision, features and command support of an ONFI page.
#include <array>

#include "decode/page.h"
#include "onfi/layout.h"
#include "onfi/onfi.h"

namespace tolvik::detail {
namespace {

using namespace onfi;

// Revision names, highest first: only the newest revision a page claims is
// named. Bits 0, 14 and 15 have no name.
struct RevisionName {
  std::uint8_t bit;
  const char* text;
};
constexpr RevisionName kRevisionNames[] = {
    {13, " 5.1"}, {12, " 5.0"}, {11, " 4.2"}, {10, " 4.1"}, {9, " 4.0"}, {8, " 3.2"}, {7, " 3.1"},
    {6, " 3.0"},  {5, " 2.3"},  {4, " 2.2"},  {3, " 2.1"},  {2, " 2.0"}, {1, " 1.0"},
};

// Feature bit 9 meant EZ NAND until revision 5.0 gave it to NV-LPDDR4.
constexpr std::array<FlagText, 16> onfi_features(std::string_view bit9) {
  return {{
      {0, 1, " 16-bit data bus width\n"},
      {1, 2, " multiple LUN operations\n"},
      {2, 2, " non-sequential page programming\n"},
      {3, 2, " multi-plane program and erase operations\n"},
      {4, 2, " odd to even page Copyback\n"},
      {5, 1, " NV-DDR\n"},
      {6, 2, " multi-plane read operations\n"},
      {7, 2, " extended parameter page\n"},
      {8, 2, " program page register clear enhancement\n"},
      {9, 1, bit9},
      {10, 1, " NV-DDR2\n"},
      {11, 2, " Volume addressing\n"},
      {12, 2, " external Vpp\n"},
      {13, 1, " NV-DDR3\n"},
      {14, 2, " ZQ calibration\n"},
      {15, 2, " Package Electrical Specification\n"},
  }};
}
constexpr auto kFeatureFlags = onfi_features(" EZ NAND\n");
constexpr auto kFeatureFlagsRev50 = onfi_features(" NV-LPDDR4\n");

constexpr FlagText kOptionalCommandsFlags[] = {
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

constexpr FlagText kJtgCommandsFlags[] = {
    {0, 2, " supports Random Data Out\n"},
    {1, 2, " supports Multi-plane Page Program\n"},
    {2, 2, " supports Multi-plane Copyback Program\n"},
    {3, 2, " supports Multi-plane Block Erase\n"},
};

constexpr FlagText kTrainingCommandsFlags[] = {
    {0, 2, " supports Explicit DCC Training\n"},
    {1, 2, " supports Implicit (command based) DCC training\n"},
    {2, 2, " supports Read DQ training\n"},
    {3, 2, " supports Write TX DQ training\n"},
    {4, 2, " supports Write RX DQ training\n"},
    {5, 2, " supports Internal vrefq Training\n"},
    {6, 2, " supports Per-Pin Vrefq Training (offset method)\n"},
    {7, 2, " supports Per-Pin Vrefq Training (Absolute Value method)\n"},
};

constexpr FlagText kTrainingCommands2Flags[] = {
    {0, 2, " supports Write Duty Cycle Adjustment Training (WDCA)\n"},
};

static_assert(flags_ascending(kFeatureFlags) && flags_ascending(kFeatureFlagsRev50) &&
              flags_ascending(kOptionalCommandsFlags) && flags_ascending(kJtgCommandsFlags) &&
              flags_ascending(kTrainingCommandsFlags) && flags_ascending(kTrainingCommands2Flags));

const char* revision_name(std::uint32_t revision) {
  for (const RevisionName& name : kRevisionNames) {
    if ((revision >> name.bit & 1U) != 0) return name.text;
  }
  return "";
}

// The header line: manufacturer and model belong to the document's top,
// the manufacturing date to the identification section.
void report_header(const ParamPage& page, Report& report, std::uint16_t computed_crc) {
  PageText manufacturer = page_text(page, kManufacturer, kManufacturerWidth);
  PageText model = page_text(page, kModel, kModelWidth);
  if (!report_is_json(report)) {
    manufacturer = terminal_safe(manufacturer);
    model = terminal_safe(model);
  }
  const std::uint32_t year = page_u8(page, kDateYear);
  const std::uint32_t week = page_u8(page, kDateWeek);
  const std::uint32_t stored = page_le16(page, kCrc);
  const char* marker = crc_marker(stored, computed_crc);
  if (year == 0 && week == 0) {
    report_field(report, 0, {"manufacturer", "model", "", ""}, "ONFI      : %s %s [%04X%s]\n",
                 manufacturer.text, model.text, stored, marker);
  } else {
    report_field(report, 0, {"manufacturer", "model", "", "", "", ""},
                 "ONFI      : %s %s (20%02u-%02u) [%04X%s]\n", manufacturer.text, model.text, year, week,
                 stored, marker);
  }
}

// The date of the header line, inside the identification section.
void report_date(const ParamPage& page, Report& report) {
  if (!report_is_json(report)) return;
  const std::uint32_t year = page_u8(page, kDateYear);
  const std::uint32_t week = page_u8(page, kDateWeek);
  if (year == 0 && week == 0) {
    report_json_null(report, "date");
    return;
  }
  report_object_begin(report, "date");
  report_json_number(report, "year_of_century", year);
  report_json_number(report, "week", week);
  report_object_end(report);
}

}  // namespace

void report_onfi_identification(const ParamPage& page, Report& report, std::uint16_t computed_crc) {
  report_header(page, report, computed_crc);
  report_object_begin(report, "identification");
  report_date(page, report);
  report_field(report, 2, "jedec_manufacturer_id", "JEDEC MID : 0x%02X\n", page_u8(page, kJedecId));

  const std::uint32_t revision = page_le16(page, kRevision);
  report_named_field(report, 1, "revision", "ONFI ver  : 0x%x (%s)\n", revision, revision_name(revision));

  report_flag_field(report, 1, "features", "Features supported: 0x%04x\n", page_le16(page, kFeatures),
                    (revision & kRevision50) != 0 ? kFeatureFlagsRev50 : kFeatureFlags);
  report_flag_field(report, 2, "optional_commands", "Optional commands supported: 0x%04x\n",
                    page_le16(page, kOptionalCommands), kOptionalCommandsFlags);
  report_flag_field(report, 2, "jtg_commands", "ONFI-JEDEC JTG primary advanced command support: 0x%04x\n",
                    page_u8(page, kJtgCommands), kJtgCommandsFlags);
  report_flag_field(report, 2, "training_commands", "Training commands supported: 0x%04x\n",
                    page_u8(page, kTrainingCommands), kTrainingCommandsFlags);
  report_flag_field(report, 2, "training_commands_2", "Training commands supported[15]: 0x%04x\n",
                    page_u8(page, kTrainingCommands2), kTrainingCommands2Flags);

  report_field(report, 2, "extended_page_length_bytes", "EPP Len   : %u\n",
               page_le16(page, kEppLength) * 16U);
  report_field(report, 2, "parameter_page_count", "PP Num    : %u\n", page_u8(page, kParamPageCount));
  report_object_end(report);
}

}  // namespace tolvik::detail
