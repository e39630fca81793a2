// tolvik: what a timing mode means in nanoseconds. The timing tables of the
// ONFI interfaces whose values are on record (SDR and NV-DDR, modes 0-5) as
// constant data, and a page's timings: the table of its fastest mode (or of
// a mode asked for) with the page's own figures in place of the table's,
// and the settings a NAND controller is configured with.
//
// Times are integer picoseconds, so that fractions of a nanosecond (NV-DDR's
// 2.5, 1.7, 0.85 ns) stay exact.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace tolvik {

struct PageModel;
struct ExtendedPage;
struct TimingFamilyInfo;
struct FieldInfo;

inline constexpr std::size_t kTimingTableModes = 6;
// A mode the reference gives no value for.
inline constexpr std::uint64_t kNoTiming = UINT64_MAX;

// Whether a time is the least or the most the host may count on.
enum class TimingLimit : std::uint8_t { Min, Max };

// What a value's line adds: the conflict the reference records that the
// value settles, or what the page's figure is.
enum class TimingNote : std::uint8_t {
  None,
  SdrTAdl,           // 400 ns of the newer tables, over the older ones'
  NvDdrTAdl,         // 400 ns of the newer tables, over earlier revisions'
  RawNandTRst,       // SDR mode 0: 5 ms for raw NAND, over Linux's 250 ms
  ClearEnhancement,  // the page's tADL, as it announces register clear enhancement
  PageZero,          // the page's figure is 0: the table's value stays
  FastTCad,          // byte 143 bit 0 asks for the fast tCAD
};
[[nodiscard]] std::string_view timing_note_text(TimingNote note) noexcept;

// One parameter of a timing table, by mode. Plain data without pointers, so
// that the tables cost a run nothing until they are read.
struct TimingParameter {
  char name[8];  // "tRC", NUL-terminated
  TimingLimit limit;
  // Where the reference records a conflict: what the value was chosen over,
  // for the modes of note_modes (bit n: mode n).
  TimingNote note;
  std::uint8_t note_modes;
  std::uint64_t ps[kTimingTableModes];  // kNoTiming where the reference has none

  [[nodiscard]] constexpr std::string_view label() const { return name; }
};

// The table of one interface family.
struct TimingTable {
  std::string_view family;  // as the family's TimingFamilyInfo names it: "SDR", "NV-DDR"
  std::string_view key;     // the FAMILY of --timings=FAMILY:MODE: "sdr", "nv-ddr"
  std::span<const TimingParameter> parameters;
};

// Every table the tool holds, and the one a key names (ignoring case), or
// null.
[[nodiscard]] std::span<const TimingTable> timing_tables() noexcept;
[[nodiscard]] const TimingTable* find_timing_table(std::string_view key) noexcept;

// A "FAMILY:MODE" text (sdr:3, nv-ddr:2) that names a mode of a table, or
// false.
struct TimingMode {
  const TimingTable* table;
  unsigned mode;
};
[[nodiscard]] bool parse_timing_mode(std::string_view text, TimingMode& mode) noexcept;

// A page's timings.

enum class TimingSource : std::uint8_t { Table, Page };

// Plain data, like the families below: a PageTimings is kilobytes that
// need no constructing.
struct Timing {
  char name[8];
  TimingLimit limit;
  TimingSource source;
  TimingNote note;
  std::uint64_t ps;
  // Where the page gives the figure (or the choice): its field; else null.
  const FieldInfo* field;

  [[nodiscard]] constexpr std::string_view label() const { return name; }
};

enum class FamilyState : std::uint8_t {
  Timings,      // a table mode: its timings follow
  NoMode,       // the mask is 0
  NoModeTable,  // the mode (the mask's highest bit, or the one asked for) has no table
  NoTable,      // the reference holds no table of the family
  NotApplied,   // an ONFI table asked for on a JEDEC page: its speed grades are no ONFI modes
};

inline constexpr std::size_t kTimingsMax = 48;
inline constexpr std::size_t kTimingFamiliesMax = 5;

struct FamilyTimings {
  // The family (for NotApplied, ONFI's family of the table asked for).
  const TimingFamilyInfo* info;
  const TimingTable* table;  // null without one
  FamilyState state;
  std::uint32_t mask;  // the page's mask of the family
  int mode;            // -1: none
  // The mode's rate in rate_unit(); 0 when none is named.
  std::uint16_t rate;
  bool asked;      // the mode came from FAMILY:MODE
  bool supported;  // the page's mask holds the mode
  // ONFI: the features word names the family (NV-DDR: bit 5); always true
  // for SDR and for JEDEC's families, whose features name none of them.
  bool announced;
  Timing items[kTimingsMax];
  std::size_t count;

  [[nodiscard]] std::span<const Timing> timings() const { return {items, count}; }
  // The family's name ("SDR", "Toggle DDR2") and its rate's unit.
  [[nodiscard]] std::string_view name() const noexcept;
  [[nodiscard]] std::string_view rate_unit() const noexcept;
};

// Where the ECC requirement comes from, or why it is unknown.
enum class EccSource : std::uint8_t {
  Page,                      // ONFI byte 112 (per 512 bytes), or JEDEC's ECC block 0
  ExtendedPage,              // the first ECC block of the extended parameter page
  ExtendedPageNotRead,       // byte 112 is 255 and no whole dump was read
  ExtendedPageNotAnnounced,  // byte 112 is 255, but feature bit 7 is clear
  ExtendedPageMissing,       // announced, but shorter than its header or not in the dump
  ExtendedPageInvalid,       // no copy (nor the majority) passes its check
  NoEccBlock,                // the extended page holds no ECC block
  CodewordInvalid,           // a codeword size Linux rejects, or past 2^31 bytes
};

struct ControllerSettings {
  std::uint32_t data_bytes;
  std::uint32_t spare_bytes;
  std::uint32_t pages_per_block;
  std::uint32_t blocks_per_lun;
  std::uint32_t luns;
  std::uint32_t planes;
  std::uint32_t bus_width;  // 8 or 16
  std::uint32_t row_cycles;
  std::uint32_t column_cycles;
  EccSource ecc_source;
  // Bits corrected per codeword and the codeword's bytes: Linux's ECC
  // requirement, and the device tree's nand-ecc-strength and
  // nand-ecc-step-size. Both 0 unless ecc_known().
  std::uint32_t ecc_bits;
  std::uint32_t ecc_codeword;

  [[nodiscard]] bool ecc_known() const {
    return ecc_source == EccSource::Page || ecc_source == EccSource::ExtendedPage;
  }
};

struct PageTimings {
  FamilyTimings families[kTimingFamiliesMax];
  std::size_t family_count;
  ControllerSettings controller;

  [[nodiscard]] std::span<const FamilyTimings> list() const { return {families, family_count}; }
};

// The timings of a page with a layout: for every family it supports (SDR
// always, another when its mask is not 0 or the features name it) the
// fastest mode, or only the mode family_mode names ("sdr:3"; empty: the
// fastest of each). extended: the extended page of a whole dump, or null.
// A family_mode that names no table mode gives no family.
void page_timings(const PageModel& page, const ExtendedPage* extended, std::string_view family_mode,
                  PageTimings& timings) noexcept;

}  // namespace tolvik
