// The ONFI timing tables and a page's timings: the table of a mode, the
// page's own figures in place of the table's defaults, and the controller
// settings.
//
// The values are those of the reference's timing-mode tables, which compare
// independent code written from the ONFI standard. Source keys as it uses
// them:
//   L   Linux drivers/mtd/nand/raw/nand_timings.c (onfi_sdr_timings[],
//       onfi_nvddr_timings[]); LN a recent mirror of it and of nand_onfi.c
//   P   phoenix-rtos plo devices/flash-nandfctrl2/onfi-4.c ("ONFI 4.0")
//   F   FMSH HPNFC driver fmsh_hpnfc_flash.c
//   R   riot-driver-mtd-nand onfi/timing.h (mode 0 only)
//   S   an older copy of Linux's SDR table (2016)
//   AM  the tADL comment of Linux's atmel nand-controller.c
#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>

#include "decode/fields.h"
#include "decode/text.h"
#include "tolvik.h"

namespace tolvik {
namespace {

using enum TimingLimit;

// One row as the reference writes it, in ns; kNone where it gives no value.
// Rounded to whole picoseconds, which every value of the tables is.
constexpr double kNone = -1.0;
constexpr TimingParameter row(std::string_view name, TimingLimit limit, const double (&ns)[kTimingTableModes],
                              TimingNote note = TimingNote::None, std::uint8_t note_modes = 0) {
  TimingParameter parameter{{}, limit, note, note_modes, {}};
  for (std::size_t i = 0; i < name.size() && i + 1 < sizeof parameter.name; ++i) parameter.name[i] = name[i];
  for (std::size_t mode = 0; mode < kTimingTableModes; ++mode) {
    parameter.ps[mode] = ns[mode] < 0 ? kNoTiming : static_cast<std::uint64_t>(ns[mode] * 1000.0 + 0.5);
  }
  return parameter;
}

constexpr std::uint8_t kAllModes = 0x3F;

// SDR (asynchronous) modes 0-5. Each row: the sources that agree on it.
constexpr TimingParameter kSdr[] = {
    // L, P, F, R; S (older) gives 200/100/100/100/70/70, and AM notes that
    // ONFI 4 raised it to 400 from the 100 or 200 of earlier revisions.
    row("tADL", Min, {400, 400, 400, 400, 400, 400}, TimingNote::SdrTAdl, kAllModes),
    row("tALH", Min, {20, 10, 10, 5, 5, 5}),                     // L, P, R
    row("tALS", Min, {50, 25, 15, 10, 10, 10}),                  // L, P, R
    row("tAR", Min, {25, 10, 10, 10, 10, 10}),                   // L, P, R
    row("tCEA", Max, {100, 45, 30, 25, 25, 25}),                 // L, P, R
    row("tCEH", Min, {20, 20, 20, 20, 20, 20}),                  // L, P, F, R
    row("tCH", Min, {20, 10, 10, 5, 5, 5}),                      // L, P, R
    row("tCHZ", Max, {100, 50, 50, 50, 30, 30}),                 // L, P, R
    row("tCLH", Min, {20, 10, 10, 5, 5, 5}),                     // L, P, R
    row("tCLR", Min, {20, 10, 10, 10, 10, 10}),                  // L, P, R
    row("tCLS", Min, {50, 25, 15, 10, 10, 10}),                  // L, P, R
    row("tCOH", Min, {0, 15, 15, 15, 15, 15}),                   // L, P, R
    row("tCR", Min, {10, 10, 10, 10, 10, 10}),                   // P, R
    row("tCR2", Min, {100, 100, 100, 100, 100, 100}),            // P, R
    row("tCS", Min, {70, 35, 25, 25, 20, 15}),                   // L, P, F, R
    row("tCS3", Min, {100, kNone, kNone, kNone, kNone, kNone}),  // R only, mode 0 only
    row("tDH", Min, {20, 10, 5, 5, 5, 5}),                       // L, P, R
    row("tDS", Min, {40, 20, 15, 10, 10, 7}),                    // L, P, R
    row("tFEAT", Max, {1000, 1000, 1000, 1000, 1000, 1000}),     // L, P, F, R
    row("tIR", Min, {10, 0, 0, 0, 0, 0}),                        // L, P, R
    row("tITC", Max, {1000, 1000, 1000, 1000, 1000, 1000}),      // L, P, F, R
    row("tRC", Min, {100, 50, 35, 30, 25, 20}),                  // L, P, F, R
    row("tREA", Max, {40, 30, 25, 20, 20, 16}),                  // L, P, F, R
    row("tREH", Min, {30, 15, 15, 10, 10, 7}),                   // L, P, F, R
    row("tRHOH", Min, {0, 15, 15, 15, 15, 15}),                  // L, P, R
    row("tRHW", Min, {200, 100, 100, 100, 100, 100}),            // L, P, F, R
    row("tRHZ", Max, {200, 100, 100, 100, 100, 100}),            // L, P, F, R
    row("tRLOH", Min, {0, 0, 0, 0, 5, 5}),                       // L, P, R
    row("tRP", Min, {50, 25, 17, 15, 12, 10}),                   // L, P, F, R
    row("tRR", Min, {40, 20, 20, 20, 20, 20}),                   // L, P, F, R
    // Modes 1-5: L, P. Mode 0: P (raw NAND) and R give 5 ms; L gives 250 ms,
    // which is P's figure for EZ NAND: a raw NAND part is what this reads.
    row("tRST", Max, {5000000, 500000, 500000, 500000, 500000, 500000}, TimingNote::RawNandTRst, 0x01),
    row("tWB", Max, {200, 100, 100, 100, 100, 100}),  // L, P, F, R
    row("tWC", Min, {100, 45, 35, 30, 25, 20}),       // L, P, F, R
    row("tWH", Min, {30, 15, 15, 10, 10, 7}),         // L, P, F, R
    row("tWHR", Min, {120, 80, 80, 80, 80, 80}),      // L, P, F, R
    row("tWP", Min, {50, 25, 17, 15, 12, 10}),        // L, P, F, R
    row("tWW", Min, {100, 100, 100, 100, 100, 100}),  // L, P, F, R
    // Defaults until the page is read (L, P, R): the page's figures replace
    // them.
    row("tCCS", Min, {500, 500, 500, 500, 500, 500}),
    row("tR", Max, {200000, 200000, 200000, 200000, 200000, 200000}),  // L, R
};

// NV-DDR modes 0-5: L, with F where it gives the parameter.
constexpr TimingParameter kNvDdr[] = {
    row("tAC", Min, {3, 3, 3, 3, 3, 3}),
    row("tAC", Max, {25, 25, 25, 25, 25, 25}),
    row("tADL", Min, {400, 400, 400, 400, 400, 400}, TimingNote::NvDdrTAdl, kAllModes),  // L, F; AM
    row("tCAD", Min, {45, 45, 45, 45, 45, 45}),  // L, F: the slow tCAD
    row("tCAH", Min, {10, 5, 4, 3, 2.5, 2}),
    row("tCALH", Min, {10, 5, 4, 3, 2.5, 2}),
    row("tCALS", Min, {10, 5, 4, 3, 2.5, 2}),
    row("tCAS", Min, {10, 5, 4, 3, 2.5, 2}),
    row("tCEH", Min, {20, 20, 20, 20, 20, 20}),  // L, F
    row("tCH", Min, {10, 5, 4, 3, 2.5, 2}),
    row("tCK", Min, {50, 30, 20, 15, 12, 10}),  // L, F (tCK_avg)
    row("tCS", Min, {35, 25, 15, 15, 15, 15}),  // L, F
    row("tDH", Min, {5, 2.5, 1.7, 1.3, 1.1, 0.9}),
    row("tDQSCK", Min, {3, 3, 3, 3, 3, 3}),        // L, F
    row("tDQSCK", Max, {25, 25, 25, 25, 25, 25}),  // L, F
    row("tDQSD", Min, {0, 0, 0, 0, 0, 0}),
    row("tDQSD", Max, {18, 18, 18, 18, 18, 18}),   // L, F
    row("tDQSHZ", Max, {20, 20, 20, 20, 20, 20}),  // L, F
    row("tDQSQ", Max, {5, 2.5, 1.7, 1.3, 1, 0.85}),
    row("tDS", Min, {5, 3, 2, 1.5, 1.1, 0.9}),
    row("tDSC", Min, {50, 30, 20, 15, 12, 10}),
    row("tFEAT", Max, {1000, 1000, 1000, 1000, 1000, 1000}),  // L, F
    row("tITC", Max, {1000, 1000, 1000, 1000, 1000, 1000}),   // L, F
    row("tQHS", Max, {6, 3, 2, 1.5, 1.2, 1}),
    row("tRHW", Min, {100, 100, 100, 100, 100, 100}),  // L, F
    row("tRR", Min, {20, 20, 20, 20, 20, 20}),         // L, F
    // L alone, 500 us in every mode, though its SDR table has 250 ms for
    // mode 0.
    row("tRST", Max, {500000, 500000, 500000, 500000, 500000, 500000}),
    row("tWB", Max, {100, 100, 100, 100, 100, 100}),  // L, F
    row("tWHR", Min, {80, 80, 80, 80, 80, 80}),       // L, F
    row("tWRCK", Min, {20, 20, 20, 20, 20, 20}),      // L, F
    row("tWW", Min, {100, 100, 100, 100, 100, 100}),  // L, F
    row("tCCS", Min, {500, 500, 500, 500, 500, 500}),
    row("tR", Max, {200000, 200000, 200000, 200000, 200000, 200000}),
};

// NV-DDR2/3 has a single source (F, not cross-checked) and no table here;
// NV-LPDDR4 and JEDEC's families have none on record.
constexpr TimingTable kTables[] = {
    {"SDR", "sdr", kSdr},
    {"NV-DDR", "nv-ddr", kNvDdr},
};

// The page's figures that replace the table's or add to it, as Linux takes
// them (L, LN): tPROG, tBERS and tR in us, tCCS in ns. Linux keeps the
// table's tADL; the page's own, of bytes 154-155, is the one to use where
// the page announces program page register clear enhancement (feature bit 8).
struct PageFigure {
  char name[8];
  TimingLimit limit;
  onfi::FieldId field;
  std::uint64_t ps_per_unit;
  bool clear_enhancement;
};
constexpr PageFigure kPageFigures[] = {
    {"tADL", Min, onfi::TAdl, 1000, true},       {"tCCS", Min, onfi::TCcs, 1000, false},
    {"tR", Max, onfi::TR, 1000000, false},       {"tPROG", Max, onfi::TProg, 1000000, false},
    {"tBERS", Max, onfi::TBers, 1000000, false},
};

constexpr unsigned kFeatureClearEnhancement = 8;
// Byte 143 bit 0 asks for the fast tCAD; Linux then uses 25 ns (LN).
constexpr std::uint64_t kFastTCadPs = 25000;

constexpr char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool has_row(const TimingTable& table, std::string_view name, TimingLimit limit) {
  return std::any_of(table.parameters.begin(), table.parameters.end(),
                     [&](const TimingParameter& p) { return p.label() == name && p.limit == limit; });
}

void push(FamilyTimings& family, const Timing& timing) {
  if (family.count < kTimingsMax) family.items[family.count++] = timing;
}

// A figure of the page in place of a table value, where the page gives one.
void apply_page_figure(const OnfiPage& page, const PageFigure& figure, Timing& timing) {
  if (figure.clear_enhancement && (page[onfi::Features].raw >> kFeatureClearEnhancement & 1U) == 0) return;
  const Field& field = page[figure.field];
  timing.field = &onfi::kFields[figure.field];
  if (field.value == 0) {
    timing.note = TimingNote::PageZero;
    return;
  }
  timing.ps = field.value * figure.ps_per_unit;
  timing.source = TimingSource::Page;
  timing.note = figure.clear_enhancement ? TimingNote::ClearEnhancement : TimingNote::None;
}

Timing make_timing(const char (&name)[8], TimingLimit limit, std::uint64_t ps) {
  Timing timing{};
  std::memcpy(timing.name, name, sizeof timing.name);
  timing.limit = limit;
  timing.source = TimingSource::Table;
  timing.note = TimingNote::None;
  timing.ps = ps;
  timing.field = nullptr;
  return timing;
}

void fill_table_timings(const OnfiPage& page, FamilyTimings& family) {
  const TimingTable& table = *family.table;
  const auto mode = static_cast<unsigned>(family.mode);
  for (const TimingParameter& parameter : table.parameters) {
    if (parameter.ps[mode] == kNoTiming) continue;
    Timing timing = make_timing(parameter.name, parameter.limit, parameter.ps[mode]);
    if ((parameter.note_modes >> mode & 1U) != 0) timing.note = parameter.note;
    for (const PageFigure& figure : kPageFigures) {
      if (std::string_view(figure.name) == parameter.label() && figure.limit == parameter.limit)
        apply_page_figure(page, figure, timing);
    }
    if (parameter.label() == "tCAD" && (page[onfi::NvDdrFeatures].raw & 1U) != 0) {
      timing.ps = kFastTCadPs;
      timing.source = TimingSource::Page;
      timing.field = &onfi::kFields[onfi::NvDdrFeatures];
      timing.note = TimingNote::FastTCad;
    }
    push(family, timing);
  }
  // Times no table holds: only the page gives them.
  for (const PageFigure& figure : kPageFigures) {
    if (has_row(table, figure.name, figure.limit)) continue;
    const Field& field = page[figure.field];
    if (field.value == 0) continue;
    Timing timing = make_timing(figure.name, figure.limit, field.value * figure.ps_per_unit);
    timing.source = TimingSource::Page;
    timing.field = &onfi::kFields[figure.field];
    push(family, timing);
  }
}

// A mode's rate as the family's speed texts name it, or 0.
std::uint16_t mode_rate(const TimingFamilyInfo& info, unsigned mode) {
  if (mode >= info.speeds.size()) return 0;
  unsigned rate = 0;
  for (const char* c = info.speeds[mode]; *c >= '0' && *c <= '9'; ++c)
    rate = rate * 10 + static_cast<unsigned>(*c - '0');
  return static_cast<std::uint16_t>(rate);
}

// The family's fastest mode (the mask's highest bit), or the one asked for.
void choose_mode(FamilyTimings& family, int asked) {
  family.asked = asked >= 0;
  family.mode = asked >= 0 ? asked : static_cast<int>(std::bit_width(family.mask)) - 1;
  family.supported = family.mode >= 0 && (family.mask >> family.mode & 1U) != 0;
  if (family.mode >= 0) family.rate = mode_rate(*family.info, static_cast<unsigned>(family.mode));
  if (family.mode < 0) {
    family.state = FamilyState::NoMode;
  } else if (family.table == nullptr) {
    family.state = FamilyState::NoTable;
  } else if (static_cast<unsigned>(family.mode) >= kTimingTableModes) {
    family.state = FamilyState::NoModeTable;
  } else {
    family.state = FamilyState::Timings;
  }
}

const TimingTable* table_of(const TimingFamilyInfo& info) {
  for (const TimingTable& table : kTables) {
    if (table.family == info.name()) return &table;
  }
  return nullptr;
}

// The next family's entry, filled in place: its timings are kilobytes that
// need no clearing.
FamilyTimings& start_family(PageTimings& timings, const TimingFamilyInfo& info, std::uint32_t mask) {
  FamilyTimings& out = timings.families[timings.family_count];
  out.info = &info;
  out.table = table_of(info);
  out.state = FamilyState::NoMode;
  out.mask = mask;
  out.mode = -1;
  out.rate = 0;
  out.asked = false;
  out.supported = false;
  out.announced = true;
  out.count = 0;
  return out;
}

// Whether the features word names the family, where it has a bit for it.
bool announced(const OnfiPage& page, std::string_view family) {
  for (const FlagText& flag : onfi::kFields[onfi::Features].bits()) {
    if (flag_name(flag) == family) return flag_set(flag, page[onfi::Features].value, page.revision);
  }
  return true;
}

void onfi_families(const OnfiPage& page, const TimingMode* asked, PageTimings& timings) {
  for (unsigned k = 0; k < onfi::kFamilyCount; ++k) {
    FamilyTimings& family = start_family(timings, *page.families[k].info, page.families[k].mask);
    family.announced = announced(page, family.name());
    if (asked != nullptr ? asked->table != family.table
                         : k != onfi::Sdr && family.mask == 0 && !family.announced) {
      continue;
    }
    choose_mode(family, asked != nullptr ? static_cast<int>(asked->mode) : -1);
    if (family.state == FamilyState::Timings) fill_table_timings(page, family);
    ++timings.family_count;
  }
}

void jedec_families(const JedecPage& page, const TimingMode* asked, PageTimings& timings) {
  if (asked != nullptr) {
    // ONFI's tables are not JEDEC's: a grade's cycle time matching an ONFI
    // mode's is an observation no source makes a rule of.
    for (const TimingFamilyInfo& info : onfi::kFamilies) {
      if (info.name() != asked->table->family) continue;
      FamilyTimings& family = start_family(timings, info, 0);
      choose_mode(family, static_cast<int>(asked->mode));
      family.state = FamilyState::NotApplied;
      family.supported = false;
      ++timings.family_count;
    }
    return;
  }
  for (unsigned k = 0; k < jedec::kFamilyCount; ++k) {
    if (k != jedec::AsyncSdr && page.families[k].mask == 0) continue;
    FamilyTimings& family = start_family(timings, *page.families[k].info, page.families[k].mask);
    family.table = nullptr;
    choose_mode(family, -1);
    ++timings.family_count;
  }
}

// A codeword of 2^exponent bytes, as a 32-bit device tree cell holds it.
bool codeword_bytes(std::uint32_t exponent, std::uint32_t& bytes) {
  if (exponent > 31) return false;
  bytes = 1U << exponent;
  return true;
}

void onfi_ecc(const OnfiPage& page, const ExtendedPage* extended, ControllerSettings& settings) {
  constexpr std::uint32_t kSeeExtendedPage = 255;
  constexpr std::uint32_t kBytesPerFigure = 512;
  const std::uint32_t bits = page[onfi::EccBits].raw;
  if (bits != kSeeExtendedPage) {
    settings.ecc_source = EccSource::Page;
    settings.ecc_bits = bits;
    settings.ecc_codeword = kBytesPerFigure;
    return;
  }
  settings.ecc_source = EccSource::ExtendedPageNotRead;
  if (extended == nullptr) return;
  using State = ExtendedPage::State;
  if (extended->state == State::NotAnnounced) {
    settings.ecc_source = EccSource::ExtendedPageNotAnnounced;
  } else if (extended->state != State::Read) {
    settings.ecc_source = EccSource::ExtendedPageMissing;
  } else if (!extended->used.ok) {
    settings.ecc_source = EccSource::ExtendedPageInvalid;
  } else if (extended->block_count == 0) {
    settings.ecc_source = EccSource::NoEccBlock;
  } else {
    const Field* block = extended->blocks[0].fields;
    // Linux rejects a codeword size of 0.
    const std::uint32_t exponent = block[epp::EccCodewordSize].raw;
    settings.ecc_source = EccSource::CodewordInvalid;
    if (exponent != 0 && codeword_bytes(exponent, settings.ecc_codeword)) {
      settings.ecc_source = EccSource::ExtendedPage;
      settings.ecc_bits = block[epp::EccBits].raw;
    }
  }
}

// Linux reads ECC block 0 only, and rejects codewords below 512 bytes.
void jedec_ecc(const JedecPage& page, ControllerSettings& settings) {
  constexpr std::uint32_t kLeastExponent = 9;
  const std::uint32_t exponent = page[jedec::ecc_field(0, jedec::EccCodewordSize)].raw;
  settings.ecc_source = EccSource::CodewordInvalid;
  if (exponent >= kLeastExponent && codeword_bytes(exponent, settings.ecc_codeword)) {
    settings.ecc_source = EccSource::Page;
    settings.ecc_bits = page[jedec::ecc_field(0, jedec::EccBits)].raw;
  }
}

// The organisation fields read alike in both layouts; the bus width is
// feature bit 0 in both.
ControllerSettings organisation(const Field& data, const Field& spare, const Field& pages,
                                const Field& blocks, const Field& luns, const Field& plane_bits,
                                const Field& features, const Field& cycles) {
  ControllerSettings settings{};
  settings.data_bytes = static_cast<std::uint32_t>(data.value);
  settings.spare_bytes = static_cast<std::uint32_t>(spare.value);
  settings.pages_per_block = static_cast<std::uint32_t>(pages.value);
  settings.blocks_per_lun = static_cast<std::uint32_t>(blocks.value);
  settings.luns = static_cast<std::uint32_t>(luns.value);
  settings.planes = 1U << (plane_bits.raw & 0x0FU);
  settings.bus_width = (features.raw & 1U) != 0 ? 16U : 8U;
  settings.row_cycles = cycles.raw & 0x0FU;
  settings.column_cycles = cycles.raw >> 4 & 0x0FU;
  return settings;
}

}  // namespace

std::string_view timing_note_text(TimingNote note) noexcept {
  switch (note) {
    case TimingNote::None:
      break;
    case TimingNote::SdrTAdl:
      return "newer tables; older ones give 200/100/100/100/70/70";
    case TimingNote::NvDdrTAdl:
      return "newer tables; earlier revisions had 100 or 200";
    case TimingNote::RawNandTRst:
      return "raw NAND, as two sources give it; Linux gives 250000000, the EZ NAND value";
    case TimingNote::ClearEnhancement:
      return "program page register clear enhancement";
    case TimingNote::PageZero:
      return "0 on the page, the table's value kept";
    case TimingNote::FastTCad:
      return "bit 0 asks for the fast tCAD, 25 ns as Linux takes it";
  }
  return {};
}

std::span<const TimingTable> timing_tables() noexcept { return kTables; }

std::string_view FamilyTimings::name() const noexcept { return info->name(); }
std::string_view FamilyTimings::rate_unit() const noexcept { return info->rate_unit(); }

const TimingTable* find_timing_table(std::string_view key) noexcept {
  for (const TimingTable& table : kTables) {
    if (same_ignoring_case(table.key, key)) return &table;
  }
  return nullptr;
}

bool parse_timing_mode(std::string_view text, TimingMode& mode) noexcept {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) return false;
  const TimingTable* table = find_timing_table(detail::slice(text, 0, colon));
  const std::string_view digits = detail::slice(text, colon + 1);
  if (table == nullptr || digits.empty()) return false;
  unsigned number = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + static_cast<unsigned>(c - '0');
    if (number >= kTimingTableModes) return false;
  }
  mode = {table, number};
  return true;
}

bool timing_mode_known(std::string_view family_mode) noexcept {
  TimingMode mode{};
  return family_mode.empty() || parse_timing_mode(family_mode, mode);
}

void page_timings(const PageModel& page, const ExtendedPage* extended, std::string_view family_mode,
                  PageTimings& timings) noexcept {
  timings.family_count = 0;
  timings.controller = {};
  TimingMode mode{};
  const bool asked = !family_mode.empty();
  const bool families = !asked || parse_timing_mode(family_mode, mode);
  if (page.layout == Layout::Onfi) {
    if (families) onfi_families(page.onfi, asked ? &mode : nullptr, timings);
    const OnfiPage& p = page.onfi;
    timings.controller = organisation(p[onfi::DataBytesPerPage], p[onfi::SpareBytesPerPage],
                                      p[onfi::PagesPerBlock], p[onfi::BlocksPerLun], p[onfi::Luns],
                                      p[onfi::PlaneAddressBits], p[onfi::Features], p[onfi::AddressCycles]);
    onfi_ecc(page.onfi, extended, timings.controller);
  } else if (page.layout == Layout::Jedec) {
    if (families) jedec_families(page.jedec, asked ? &mode : nullptr, timings);
    const JedecPage& p = page.jedec;
    timings.controller =
        organisation(p[jedec::DataBytesPerPage], p[jedec::SpareBytesPerPage], p[jedec::PagesPerBlock],
                     p[jedec::BlocksPerLun], p[jedec::Luns], p[jedec::PlaneAddressBits], p[jedec::Features],
                     p[jedec::AddressCycles]);
    jedec_ecc(page.jedec, timings.controller);
  }
}

}  // namespace tolvik
