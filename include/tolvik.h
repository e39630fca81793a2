// tolvik: decoder for NAND flash parameter pages (ONFI and JEDEC layouts).
//
// Public interface of the decoder library. A caller fills a ParamPage with the
// first 512 bytes of a saved parameter page (zero-filled when shorter), hands
// it to decode_parameter_page (or decode_page) with a report buffer and a
// report level, and gets back the report as one NUL-terminated text. A whole
// read of the parameter page area (every copy, the extended parameter page)
// goes to decode_dump; a hex listing of either becomes bytes through
// read_hex_listing. Every entry point writes nothing beyond the buffer it is
// given and says how long the whole report would be.
//
// The values themselves come from the page model (tolvik_model.h):
// parse_page, parse_dump and list_fields hand out every field of a page as a
// typed value, and render_page/render_dump write a parsed page's report. C
// programs get the same through tolvik_c.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "tolvik_model.h"
#include "tolvik_version.h"

namespace tolvik {

// The version text as the tool prints it ("v0.17"), from the header.
inline constexpr const char* kVersion = "v" TOLVIK_VERSION_STRING;

// The version text of the library that was linked, to compare with kVersion.
[[nodiscard]] const char* version() noexcept;

// A JEDEC page fills all 512 bytes; an ONFI page uses bytes 0 to 255.
inline constexpr std::size_t kPageSize = 512;

// Room for any text report of one page, its NUL included. The longest
// reports are 2,737 characters (ONFI) and 2,611 (JEDEC), found by
// fuzz/longest_report.cpp; the fuzz target fails on anything longer.
inline constexpr std::size_t kReportCapacity = 4096;

// Room for any text report of a whole dump (decode_dump), its NUL included.
// The longest is 11,832 characters: an ONFI dump whose extended page has
// eight full ECC sections, found by fuzz/longest_dump.cpp; the dump fuzz
// target fails on anything longer. The timing view (View::Timings) of a
// page or a dump fits in it too: the longest found is 4,043 characters
// (every family listed, SDR and NV-DDR with every note).
inline constexpr std::size_t kDumpReportCapacity = 16384;

// Room for any JSON document of decode_page, decode_dump, render_page or
// render_dump, its NUL included. The longest page documents are 6,700
// characters (ONFI: Micron's vendor block by name, a revision that leaves
// 26 fields undefined) and 4,756 (JEDEC), found by fuzz/longest_report.cpp
// --json; the page fuzz target fails on anything longer. The longest
// whole-dump document found (fuzz/longest_dump.cpp --json: eight
// extended-page sections of eight ECC blocks each, behind such an ONFI page)
// is 25,124; the dump fuzz target fails on anything past this room. The
// views (-m, -T) and the check (-c) add their members to the same document:
// 64 KiB, two and a half times the longest dump, leaves them room, and they
// measure their longest against it.
inline constexpr std::size_t kJsonCapacity = 65536;

// Room for any byte map (View::Map) of a page or a whole dump, as text or
// as the JSON document that holds it, its NUL included. The longest known
// are about 43,400 characters of text and 75,100 of JSON: an ONFI dump of
// a megabyte whose extended page has eight ECC sections of eight kept
// blocks each, behind a page of every flag (the tests build it). The room
// leaves a margin for the check's members and block beside the map.
inline constexpr std::size_t kMapCapacity = 131072;

// The JSON document's format: 2 since every field of the model is in it.
inline constexpr unsigned kJsonFormatVersion = 2;

struct ParamPage {
  std::uint8_t bytes[kPageSize];
};

// Report levels: 0 shows the least, 2 everything. Any int is accepted; below 0
// acts as 0 and above 2 as 2. JSON output ignores the level: it always holds
// every field.
inline constexpr int kDefaultLevel = 2;

enum class Output : std::uint8_t {
  Text,  // the report, lines ending in "\n"
  Json,  // one JSON object, no line end after it
};

// What a decoding call found, beside the text it wrote.
struct DecodeResult {
  // Characters written into the buffer, the NUL not counted.
  std::size_t length = 0;
  // Characters the whole report takes. More than length when the buffer was
  // too small: the text then stops short (still NUL-terminated).
  std::size_t needed = 0;
  Layout layout = Layout::None;
  // Of the page decoded: its stored CRC, the CRC computed over it, and
  // whether they match. All zero/false without a layout.
  std::uint16_t stored_crc = 0;
  std::uint16_t computed_crc = 0;
  bool crc_ok = false;
  // decode_dump: the page decoded passes its CRC and, where it announces an
  // extended parameter page, a valid copy of that was used. decode_page:
  // the same as crc_ok.
  bool verified = false;

  [[nodiscard]] bool complete() const noexcept { return needed == length; }
};

// Recognises the page by its signature ("JESD", then "ONFI"), checks its
// CRC-16 and writes the report from report[0]. Returns the number of
// characters written, the NUL not counted. A page with neither signature
// leaves the buffer untouched and returns 0. Nothing is ever written beyond
// report.size() bytes; an empty span gets nothing.
[[nodiscard]] std::size_t decode_parameter_page(const ParamPage& page, std::span<char> report, int level);

// The same decoding, as text or as JSON, with what the decoder found. A page
// with neither signature writes no text (the buffer stays untouched) and a
// JSON document with a null layout.
[[nodiscard]] DecodeResult decode_page(const ParamPage& page, std::span<char> report, int level,
                                       Output output = Output::Text);

// A whole read of the parameter page area, of any length: every copy of the
// page checked, a good copy (or the bit-wise majority of three) decoded, the
// ONFI extended parameter page decoded, and the device's size. Bytes beyond
// kDumpLimit are not looked at.
[[nodiscard]] DecodeResult decode_dump(std::span<const std::uint8_t> dump, std::span<char> report, int level,
                                       Output output = Output::Text);

// What a rendering call writes: the report, or a view of the page in its
// place.
enum class View : std::uint8_t {
  Report,   // the text report at its level
  Map,      // every byte of the page (and of the extended page used): its field, name and value
  Timings,  // the timing values of the page's fastest modes and a controller's settings
};

struct RenderOptions {
  int level = kDefaultLevel;
  Output output = Output::Text;
  View view = View::Report;
  // JSON: the check's members ("check" and "findings") in the document,
  // from `findings` where given, else from checking the page. The text
  // check block comes from render_findings.
  bool check = false;
  const struct Findings* findings = nullptr;
  // Timings: "FAMILY:MODE" (sdr:3, nv-ddr:2) for that mode's table; empty
  // for the fastest mode of each family.
  std::string_view timing_mode = {};
};

// A parsed page or dump, rendered: as text, the view asked for; as JSON, one
// document with every field of the model and the members of the view (and
// the check) asked for. The same bounds as decode_page.
[[nodiscard]] DecodeResult render_page(const PageModel& page, std::span<char> out,
                                       const RenderOptions& options);
[[nodiscard]] DecodeResult render_dump(const Dump& dump, std::span<char> out, const RenderOptions& options);

// Two pages compared field by field, in byte order. A field differs when
// its bytes do. The stored CRC follows from the other bytes: it is listed
// only when it is the only difference. Where the vendor blocks of the two
// pages have different documented layouts, the field lists part; from
// where they part to where both reach the same byte again is one range,
// compared byte by byte (no field of either page is named for it).
struct Difference {
  std::uint16_t first;  // bytes, inclusive
  std::uint16_t last;
  FieldRef a;  // the field in each page; both infos null for a range where the lists part
  FieldRef b;
};
struct Comparison {
  bool comparable;    // both pages have the same layout; otherwise nothing is compared
  std::size_t count;  // differences; those beyond the span given are counted, not stored
};
// More than any comparison finds: no page has more fields.
inline constexpr std::size_t kDifferencesMax = kFieldListMax;
[[nodiscard]] Comparison compare_pages(const PageModel& a, const PageModel& b,
                                       std::span<Difference> out) noexcept;

// Whether a --timings=FAMILY:MODE text names a table the tool holds.
[[nodiscard]] bool timing_mode_known(std::string_view family_mode) noexcept;

// The check: conformance failures and plausibility warnings of a page, each
// naming its rule and the bytes it looked at.
enum class Severity : std::uint8_t { Failure, Warning };

// One rule of the check: its id, how grave a finding of it is, what it
// checks and the reference that states it, as NUL-terminated texts. (Texts
// held in place, not pointed to: pointers in a table cost every run of a
// position-independent program a relocation at start.)
struct CheckRule {
  char id[16];  // "crc", "reserved", ...
  Severity severity;
  char what[192];
  char source[128];
};
// Every rule, in the order the man page lists them.
[[nodiscard]] std::span<const CheckRule> check_rules() noexcept;

struct Finding {
  Severity severity;
  std::string_view rule;  // the rule's id, in check_rules()
  // first and last name the page bytes it is about; findings about a copy
  // of the page or the extended page, or the input as a whole, have none.
  bool has_range;
  std::uint16_t first;
  std::uint16_t last;
  char message[160];  // the values involved, NUL-terminated
};
inline constexpr std::size_t kFindingsMax = 64;
// The counts come first, beside the first findings: a run that checks a
// good page then touches one page of memory for them, not two.
struct Findings {
  std::size_t count;
  std::uint32_t failures;
  std::uint32_t warnings;
  Finding items[kFindingsMax];

  [[nodiscard]] std::span<const Finding> list() const { return {items, count}; }
};
// Failures first, each group in byte order, findings without a range last.
// A page or dump without a layout gets no findings (see check_no_page).
void check_page(const PageModel& page, Findings& findings) noexcept;
// The page decoded and, beside it, its copies and its extended page.
void check_dump(const Dump& dump, Findings& findings) noexcept;
// An input that holds no page: the failure no-page, its message saying what
// the bytes hold instead.
void check_no_page(std::span<const std::uint8_t> bytes, Findings& findings) noexcept;
// Room for any text block of render_findings, its NUL included.
inline constexpr std::size_t kCheckTextCapacity = 16384;
// The text block: "Check     : N failures, M warnings" and one line per
// finding, "FAIL crc bytes 254-255: ..." or "WARN copy-crc: ...".
[[nodiscard]] DecodeResult render_findings(const Findings& findings, std::span<char> out);

// A hex listing (xxd, hexdump, od, bare hex pairs, a C array) read back into
// the bytes it lists.
struct HexResult {
  // Bytes the listing stands for; those beyond out.size() are not stored.
  std::size_t size = 0;
  // The first line (1-based, every line counted) that no listing form
  // explains; 0 when every line was read.
  std::size_t error_line = 0;

  // The text was read and holds at least one byte.
  [[nodiscard]] bool ok() const noexcept { return error_line == 0 && size > 0; }
};
// The whole text is read, whatever its length. The tool refuses listings
// longer than kHexTextLimit, or kDumpHexTextLimit for a whole dump: every
// listing form of a dump of kDumpLimit bytes fits in that.
inline constexpr std::size_t kHexTextLimit = 4 * 1024 * 1024;
inline constexpr std::size_t kDumpHexTextLimit = 8 * 1024 * 1024;
[[nodiscard]] HexResult read_hex_listing(std::string_view text, std::span<std::uint8_t> out);
// The message for a listing that did not read ("Hex text Error: line 3",
// "Hex text Error: no bytes"), cut to fit `out` and terminated; false, and
// `out` untouched, when it read.
bool hex_listing_error(const HexResult& hex, std::span<char> out);

// CRC-16 of the parameter page layouts: polynomial 0x8005, MSB first, no
// reflection, no final XOR. Both layouts seed it with kParamPageCrcSeed.
inline constexpr std::uint16_t kParamPageCrcSeed = 0x4F4E;
[[nodiscard]] std::uint16_t crc16_param_page(const std::uint8_t* bytes, std::size_t count,
                                             std::uint16_t initial);

}  // namespace tolvik
