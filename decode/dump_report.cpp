// The text report of a whole dump: every copy's CRC verdict, which copy was
// decoded, the page's report, the extended parameter page (its copies, the
// one used, its sections and ECC blocks) and the device's size.
#include <iterator>
#include <string_view>

#include "decode/decode.h"
#include "decode/page.h"
#include "decode/report.h"
#include "tolvik.h"

namespace tolvik {
namespace detail {
namespace {

// The texts one kind of choice is told with.
struct ChoiceTexts {
  Format<std::uint32_t> copy;
  Format<> majority;
  Format<std::uint32_t> none_of_some;
  Format<std::uint32_t> none_of_three;
};

constexpr ChoiceTexts kPageChoiceTexts = {
    "Decoded   : copy %u\n",
    "Decoded   : majority of copies 1-3\n",
    "Decoded   : copy %u, no copy passes the CRC\n",
    "Decoded   : copy %u, neither a copy nor the majority passes the CRC\n",
};

constexpr ChoiceTexts kEppChoiceTexts = {
    "Ext used  : copy %u\n",
    "Ext used  : majority of copies 1-3\n",
    "Ext used  : copy %u, no copy is valid\n",
    "Ext used  : copy %u, neither a copy nor the majority is valid\n",
};

void report_choice(Report& report, const CopyChoice& choice, std::size_t count, const ChoiceTexts& texts) {
  if (choice.majority) {
    report_append(report, 0, texts.majority);
  } else if (choice.ok) {
    report_append(report, 0, texts.copy, choice.copy);
  } else {
    report_append(report, 0, count == kCopiesRead ? texts.none_of_three : texts.none_of_some, choice.copy);
  }
}

void report_epp_copy(Report& report, std::uint32_t k, const EppCopy& copy) {
  if (copy.valid()) {
    report_append(report, 0, "Ext copy %u: 0x%04X - Ok\n", k, std::uint32_t{copy.stored});
  } else if (copy.stored != copy.computed) {
    report_append(report, 0, "Ext copy %u: 0x%04X - Wrong (computed 0x%04X)\n", k, std::uint32_t{copy.stored},
                  std::uint32_t{copy.computed});
  } else {
    report_append(report, 0, "Ext copy %u: 0x%04X - Wrong (no EPPS signature)\n", k,
                  std::uint32_t{copy.stored});
  }
}

void report_ecc_block(Report& report, const EppEccBlock& block) {
  report_append(report, 0, "ECC information block %u:\n", block.index);
  report_append(report, 0, "BitCorrECC: %u\n", u32(block.fields[epp::EccBits]));
  const std::uint32_t codeword = block.fields[epp::EccCodewordSize].raw;
  if (codeword >= 1 && codeword <= 31) {
    report_append(report, 0, "CodewordSz: %u (%u bytes)\n", codeword, 1U << codeword);
  } else {
    report_append(report, 0, "CodewordSz: %u\n", codeword);
  }
  report_append(report, 0, "MaxBB/LUN : %u\n", u32(block.fields[epp::EccMaxBadBlocks]));
  report_endurance(report, 0, block.fields[epp::EccEndurance]);
}

void report_extended_page(Report& report, const ExtendedPage& epp) {
  report_extended_place(epp, report);
  if (epp.state != ExtendedPage::State::Read) return;
  for (std::uint32_t k = 0; k < epp.copy_count; ++k) report_epp_copy(report, k + 1, epp.copies[k]);
  report_extended_choice(epp, report);
  for (std::uint32_t s = 0; s < epp.section_count; ++s) {
    const EppSection& section = epp.sections[s];
    report_section_line(section, report);
    for (std::uint32_t b = 0; b < section.block_count; ++b)
      report_ecc_block(report, epp.blocks[section.first_block + b]);
    if (section.blocks_not_kept != 0) {
      report_append(report, 0, "ECC blocks: %u more not shown\n", section.blocks_not_kept);
    }
  }
}

// "N bytes", with the figure in the largest binary unit not above it.
void report_size_line(Report& report, Format<std::string_view> format, std::uint64_t bytes, bool exact) {
  if (!exact) {
    report_append(report, 0, format, std::string_view("more than 18446744073709551615 bytes"));
    return;
  }
  constexpr const char* kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  char digits[24];
  char* first = digits + sizeof digits;
  std::uint64_t rest = bytes;
  do {
    *--first = static_cast<char>('0' + rest % 10);
    rest /= 10;
  } while (rest != 0);
  char room[64];
  Report text{room};
  report_append(text, 0, "%s bytes",
                std::string_view(first, static_cast<std::size_t>(digits + sizeof digits - first)));
  std::size_t unit = 0;
  while (unit < std::size(kUnits) && bytes >> (10 * (unit + 1)) != 0) ++unit;
  if (unit != 0) {
    const auto divisor = static_cast<double>(std::uint64_t{1} << (10 * unit));
    report_append(text, 0, " (%.1f %s)", static_cast<double>(bytes) / divisor, kUnits[unit - 1]);
  }
  report_append(report, 0, format, std::string_view(room, text.length));
}

}  // namespace

void report_page_choice(const Dump& dump, Report& report) {
  report_choice(report, dump.decoded, dump.copy_count, kPageChoiceTexts);
}

void report_extended_place(const ExtendedPage& epp, Report& report) {
  switch (epp.state) {
    case ExtendedPage::State::NotAnnounced:
      return;
    case ExtendedPage::State::TooShort:
      report_append(report, 0, "Ext page  : %u bytes at %u, too short\n", epp.length, epp.offset);
      return;
    case ExtendedPage::State::NotInInput:
      report_append(report, 0, "Ext page  : %u bytes at %u, not in the input\n", epp.length, epp.offset);
      return;
    case ExtendedPage::State::Read:
      break;
  }
  report_append(report, 0, "Ext page  : %u bytes at %u\n", epp.length, epp.offset);
}

void report_extended_choice(const ExtendedPage& epp, Report& report) {
  report_choice(report, epp.used, epp.copy_count, kEppChoiceTexts);
}

void report_section_line(const EppSection& section, Report& report) {
  if (section.past_end) {
    report_append(report, 0, "Section %u : type %u, %u bytes, past the end\n", std::uint32_t{section.index},
                  std::uint32_t{section.type}, section.length);
  } else {
    report_append(report, 0, "Section %u : type %u, %u bytes\n", std::uint32_t{section.index},
                  std::uint32_t{section.type}, section.length);
  }
}

void report_dump_text(const Dump& dump, Report& report) {
  if (dump.layout == Layout::None) return;
  for (std::uint32_t k = 0; k < dump.copy_count; ++k) {
    const CopyCheck& copy = dump.copies[k];
    if (copy.ok) {
      report_append(report, 0, "Copy %u    : 0x%04X - Ok\n", k + 1, std::uint32_t{copy.stored});
    } else {
      report_append(report, 0, "Copy %u    : 0x%04X - Wrong (computed 0x%04X)\n", k + 1,
                    std::uint32_t{copy.stored}, std::uint32_t{copy.computed});
    }
  }
  report_page_choice(dump, report);
  report_page_text(dump.page, report);
  report_extended_page(report, dump.extended);
  report_size_line(report, "Data size : %s\n", dump.data_bytes, dump.data_bytes_exact);
  report_size_line(report, "Raw size  : %s\n", dump.raw_bytes, dump.raw_bytes_exact);
}

}  // namespace detail
}  // namespace tolvik
