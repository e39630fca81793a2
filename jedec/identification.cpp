// Header line, revision, features and command support of a JEDEC page.
#include "decode/page.h"
#include "jedec/jedec.h"
#include "jedec/layout.h"

namespace tolvik::detail {
namespace {

using namespace jedec;

// Only the interface lines (bits 5 and 6) show at level 1.
constexpr FlagText kFeatureFlags[] = {
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
constexpr FlagText kOptionalCommandsFlags[] = {
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
constexpr FlagText kSecondaryCommandsFlags[] = {
    {0, 2, " Multi-plane Read\n"},          {1, 2, " Multi-plane Read Cache Random\n"},
    {2, 2, " Multi-plane Copyback Read\n"}, {3, 2, " Random Data Out\n"},
    {4, 2, " Multi-plane Program\n"},       {5, 2, " Multi-plane Copyback Program\n"},
    {6, 2, " Multi-plane Block Erase\n"},   {7, 2, " Read Status Enhanced\n"},
};

static_assert(flags_ascending(kFeatureFlags) && flags_ascending(kOptionalCommandsFlags) &&
              flags_ascending(kSecondaryCommandsFlags));

// Revision 1.0 wins over the vendor-specific bit; no other bit has a name.
const char* revision_name(std::uint32_t revision) {
  if ((revision >> kRevision10Bit & 1U) != 0) return "parameter page rev 1.0";
  if ((revision >> kVendorSpecificBit & 1U) != 0) return "vendor specific parameter page";
  return "";
}

}  // namespace

void report_jedec_identification(const ParamPage& page, Report& report, std::uint16_t computed_crc) {
  PageText manufacturer = page_text(page, kManufacturer, kManufacturerWidth);
  PageText model = page_text(page, kModel, kModelWidth);
  if (!report_is_json(report)) {
    manufacturer = terminal_safe(manufacturer);
    model = terminal_safe(model);
  }
  const std::uint32_t stored = page_le16(page, kCrc);
  // Manufacturer and model belong to the document's top.
  report_field(report, 0, {"manufacturer", "model", "", ""}, "JEDEC     : %s %s [%04X%s]\n",
               manufacturer.text, model.text, stored, crc_marker(stored, computed_crc));
  report_object_begin(report, "identification");
  report_field(report, 2, "jedec_manufacturer_id", "JEDEC MID : 0x%02X\n", page_u8(page, kJedecId));

  const std::uint32_t revision = page_le16(page, kRevision);
  report_named_field(report, 1, "revision", "JEDEC ver : 0x%x (%s)\n", revision, revision_name(revision));

  // A zero flag word has no line, and null in the document.
  const std::uint32_t features = page_le16(page, kFeatures);
  if (features != 0) {
    report_flag_field(report, 1, "features", "Features supported: 0x%04x\n", features, kFeatureFlags);
  } else {
    report_json_null(report, "features");
  }

  const std::uint32_t optional = page_le24(page, kOptionalCommands);
  if (optional != 0) {
    report_flag_field(report, 2, "optional_commands", "Optional commands supported: 0x%04x\n", optional,
                      kOptionalCommandsFlags);
  } else {
    report_json_null(report, "optional_commands");
  }

  const std::uint32_t secondary = page_le16(page, kSecondaryCommands);
  if (secondary != 0) {
    report_flag_field(report, 2, "secondary_commands", "Secondary commands supported: 0x%04x\n", secondary,
                      kSecondaryCommandsFlags);
  } else {
    report_json_null(report, "secondary_commands");
  }

  report_field(report, 1, "parameter_page_count", "ParPageNum: %u\n", page_u8(page, kParamPageCount));
  report_object_end(report);
}

}  // namespace tolvik::detail
