#include "report.h"

#include <iterator>

#include "page.h"

namespace tolvik {

void report_append_args(Report& report, const char* format, std::size_t lead, const FormatArg* args) {
  if (report.length >= report.buffer.size()) return;
  report.length += format_to(report.buffer.data() + report.length, report.buffer.size() - report.length,
                             format, args, lead);
}

void report_flags(Report& report, std::uint32_t value, std::span<const FlagText> table) {
  for (const FlagText& flag : table) {
    if ((value >> flag.bit & 1U) != 0) report_append(report, flag.min_level, "%s", flag.text);
  }
}

void report_top_speed(Report& report, int min_level, std::uint32_t mask, SpeedTable speeds,
                      Format<const char*> unit) {
  for (std::size_t bit = speeds.size(); bit-- > 0;) {
    if ((mask >> bit & 1U) != 0) {
      report_append(report, min_level, unit, speeds[bit]);
      return;
    }
  }
}

void report_timing_mode_line(Report& report, Format<std::uint32_t> head, std::uint32_t mask,
                             SpeedTable speeds, Format<const char*> unit) {
  if (mask == 0) return;
  report_append(report, 1, head, mask);
  report_top_speed(report, 1, mask, speeds, unit);
  report_append(report, 1, ")\n");
}

void report_size_sum(Report& report, int min_level,
                     Format<std::uint32_t, std::uint32_t, std::uint32_t> format, std::uint32_t data,
                     std::uint32_t spare) {
  report_append(report, min_level, format, data + spare, data, spare);
}

namespace {

constexpr const char* kCellTypes[] = {"", "SLC", "MLC", "TLC", "QLC", "PLC"};

}  // namespace

void report_cell_type(Report& report, std::uint32_t bits_per_cell) {
  const char* name = "";
  if (bits_per_cell < std::size(kCellTypes)) name = kCellTypes[bits_per_cell];
  if (bits_per_cell == 255) name = "Not specified";
  report_append(report, 0, "Bit/Cell  : %u (%s)\n", bits_per_cell, name);
}

void report_plane_address_bits(Report& report, std::uint32_t field) {
  const std::uint32_t bits = field & 0x0FU;
  report_append(report, 0, "PlanAdrBit: %u (%s%u plane)\n", bits, bits >= 3 ? "upto " : "", 1U << bits);
}

void report_endurance(Report& report, int min_level, std::uint32_t mantissa, std::uint32_t exponent) {
  constexpr std::uint32_t kMostPlausible = 100000;
  const std::uint32_t value = scaled_value(mantissa, exponent);
  if (value > kMostPlausible || exponent > 5) {
    report_append(report, min_level, "Endurance : %u (%u?)\n", value, exponent << 8 | mantissa);
  } else {
    report_append(report, min_level, "Endurance : %u\n", value);
  }
}

void report_crc_line(Report& report, int min_level, std::uint32_t stored, std::uint16_t computed) {
  report_append(report, min_level, "CRC16     : 0x%04X%s", stored,
                stored == computed ? " - Ok\n" : " - Wrong\n");
}

}  // namespace tolvik
