// libFuzzer target: any bytes as a page image, decoded at every report level
// and as JSON, with the report's invariants checked on every input. A
// violation aborts, so libFuzzer keeps the input as a crash artifact.
//
// The input is handled as the tool handles a file: its first 512 bytes are the
// page, and a shorter input is followed by zeros.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "check_invariants.h"
#include "json_unique.h"
#include "tolvik.h"

namespace {

// The report gets twice the room the tool gives it, so that a report too long
// for the tool's buffer shows as too long instead of being cut short.
constexpr std::size_t kRoom = 2 * tolvik::kReportCapacity;

// The longest reports any page gives, measured with tolvik_longest
// (longest_report.cpp) and stated beside kReportCapacity. A longer report
// means a decoder changed: measure again and update both places.
constexpr std::size_t kLongestOnfi = 2737;
constexpr std::size_t kLongestJedec = 2611;
static_assert(kLongestOnfi < tolvik::kReportCapacity && kLongestJedec < tolvik::kReportCapacity);

// The longest JSON documents, measured with tolvik_longest --json and stated
// beside kJsonCapacity; the document of a page without signature.
constexpr std::size_t kLongestJsonOnfi = 6700;
constexpr std::size_t kLongestJsonJedec = 4756;
static_assert(kLongestJsonOnfi < tolvik::kJsonCapacity && kLongestJsonJedec < tolvik::kJsonCapacity);
// Twice the longest: a longer document shows as too long, not as cut short.
// (The tool's whole room would cost every input a 128 KiB fill.)
constexpr std::size_t kJsonRoom = 2 * kLongestJsonOnfi;
const std::string kJsonHead = "{\"format_version\":" + std::to_string(tolvik::kJsonFormatVersion) + ",";
const std::string kNoLayoutJson = kJsonHead + R"("version":")" + tolvik::kVersion +
                                  R"(","layout":null,"crc":null,"manufacturer":null,"model":null})";

// Bytes the decoder must leave alone hold this value.
constexpr char kUntouched = '\x5A';

// Longest report and document this run saw per layout, printed when it ends.
std::size_t longest_onfi = 0;
std::size_t longest_jedec = 0;
std::size_t longest_json_onfi = 0;
std::size_t longest_json_jedec = 0;

void print_longest() {
  std::fprintf(stderr, "longest report: ONFI %zu, JEDEC %zu characters\n", longest_onfi, longest_jedec);
  std::fprintf(stderr, "longest JSON: ONFI %zu, JEDEC %zu characters\n", longest_json_onfi,
               longest_json_jedec);
}

[[noreturn]] void violated(const char* what, int level) {
  std::fprintf(stderr, "invariant violated at level %d: %s\n", level, what);
  std::abort();
}

struct Decoded {
  char text[kRoom];
  std::size_t length;

  std::string_view view() const { return {text, length}; }
};

// A buffer as the decoder found it, to compare with.
char pristine[kJsonRoom > kRoom ? kJsonRoom : kRoom];

bool untouched(const char* from, const char* to) {
  return std::memcmp(from, pristine, static_cast<std::size_t>(to - from)) == 0;
}

// longest: the layout's longest report, 0 for a page without signature.
void decode(const tolvik::ParamPage& page, int level, std::size_t longest, Decoded& out) {
  std::memset(out.text, kUntouched, sizeof out.text);
  out.length = tolvik::decode_parameter_page(page, out.text, level);
  const std::size_t n = out.length;
  if (longest == 0) {
    if (n != 0) violated("a page without signature returned a length", level);
    if (!untouched(out.text, out.text + kRoom)) violated("a page without signature wrote", level);
    return;
  }
  if (n == 0) violated("a recognised page gave no report", level);
  if (n > longest) violated("report longer than the measured longest", level);
  if (out.text[n] != '\0') violated("no NUL at the returned length", level);
  if (std::memchr(out.text, '\0', n) != nullptr) violated("NUL before the returned length", level);
  if (!untouched(out.text + n + 1, out.text + kRoom)) violated("wrote past the report's NUL", level);
  if (out.text[n - 1] != '\n') violated("report does not end with a newline", level);
}

std::vector<std::string_view> lines(std::string_view text) {
  std::vector<std::string_view> result;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::size_t stop = end == std::string_view::npos ? text.size() : end + 1;
    result.push_back(text.substr(0, stop));
    text.remove_prefix(stop);
  }
  return result;
}

// Every line of the shorter report, in order, among the lines of the longer.
bool lines_contained(std::string_view shorter, std::string_view longer) {
  const std::vector<std::string_view> wanted = lines(shorter);
  const std::vector<std::string_view> have = lines(longer);
  std::size_t at = 0;
  for (const std::string_view line : have) {
    if (at < wanted.size() && line == wanted[at]) ++at;
  }
  return at == wanted.size();
}

// Large enough for the reports of one input; static so each run reuses them.
Decoded by_level[3];
Decoded scratch;

struct Document {
  char text[kJsonRoom];
  tolvik::DecodeResult result;

  std::string_view view() const { return {text, result.length}; }
};
Document json_doc;
Document json_scratch;

void decode_json(const tolvik::ParamPage& page, int level, Document& out) {
  std::memset(out.text, kUntouched, sizeof out.text);
  out.result = tolvik::decode_page(page, out.text, level, tolvik::Output::Json);
  const std::size_t n = out.result.length;
  if (!out.result.complete()) violated("JSON document cut short", level);
  if (out.text[n] != '\0') violated("no NUL after the JSON document", level);
  if (!untouched(out.text + n + 1, out.text + sizeof out.text))
    violated("wrote past the document's NUL", level);
}

bool printable(const nlohmann::json& text) {
  if (!text.is_string()) return false;
  for (const char c : text.get_ref<const std::string&>()) {
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

// The header line: label, the maker and model the document holds, each
// padded with spaces, then the date where given and the stored CRC with its
// marker. Texts of other bytes than printable ASCII reach the terminal in
// another form: only their absence of padding is compared then.
bool header_agrees(std::string_view text, nlohmann::json& d, bool jedec) {
  const std::string_view label = jedec ? "JEDEC     : " : "ONFI      : ";
  const nlohmann::json& crc = d["crc"];
  char tail[48];
  const nlohmann::json& date = d["manufacturer_information"]["date_code"];
  int n = 0;
  if (!jedec && !date.is_null()) {
    n = std::snprintf(tail, sizeof tail, " (20%02u-%02u)", date["year_of_century"].get<unsigned>(),
                      date["week"].get<unsigned>());
  }
  std::snprintf(tail + n, sizeof tail - static_cast<std::size_t>(n), " [%04X%s]",
                crc["stored"].get<unsigned>(), crc["ok"].get<bool>() ? "" : "*");
  const std::string& manufacturer = d["manufacturer"].get_ref<const std::string&>();
  const std::string& model = d["model"].get_ref<const std::string&>();
  if (manufacturer.ends_with(' ') || model.ends_with(' ')) return false;
  if (!printable(d["manufacturer"]) || !printable(d["model"])) return true;
  std::string_view line = text.substr(0, text.find('\n'));
  if (!line.starts_with(label) || !line.ends_with(tail)) return false;
  // "%s %s": each text with its padding spaces.
  std::string_view middle = line.substr(label.size(), line.size() - label.size() - std::strlen(tail));
  if (!middle.starts_with(manufacturer)) return false;
  middle.remove_prefix(manufacturer.size());
  while (middle.ends_with(' ')) middle.remove_suffix(1);
  if (!middle.ends_with(model)) return false;
  middle.remove_suffix(model.size());
  return middle.find_first_not_of(' ') == std::string_view::npos;
}

// The document parses with each key once per object, begins with its
// format version, holds the members of its layout, and agrees with the
// level-2 text on layout, CRC, manufacturer and model and the page size;
// every field it marks undefined is there; the level does not change it.
void check_json(const tolvik::ParamPage& page, std::string_view text, bool jedec, bool onfi) {
  decode_json(page, 2, json_doc);
  const std::string_view document = json_doc.view();
  if (!jedec && !onfi) {
    if (document != kNoLayoutJson) violated("document of a page without signature", 2);
    return;
  }
  if (document.size() > (jedec ? kLongestJsonJedec : kLongestJsonOnfi)) {
    violated("JSON longer than the measured longest", 2);
  }
  if (!document.starts_with(kJsonHead)) violated("JSON does not begin with its format version", 2);
  nlohmann::json d = fuzz_json::parse_unique(document);
  if (d.is_discarded() || !d.is_object()) violated("JSON does not parse, or has a key twice", 2);
  for (const char* member : {"version", "layout", "crc", "manufacturer", "model", "fields_not_defined",
                             "revision_and_features", "manufacturer_information", "memory_organization",
                             "electrical_parameters", "vendor", "timing_modes"}) {
    if (!d.contains(member)) violated("JSON lacks a required member", 2);
  }
  if (d["version"] != tolvik::kVersion) violated("JSON version", 2);
  if (d["layout"] != (jedec ? "JEDEC" : "ONFI")) violated("JSON layout differs", 2);
  if (jedec != d.contains("ecc_and_endurance")) violated("JSON ECC blocks of the other layout", 2);
  const tolvik::DecodeResult& result = json_doc.result;
  nlohmann::json& crc = d["crc"];
  if (!crc.is_object() || crc["stored"] != result.stored_crc || crc["computed"] != result.computed_crc ||
      crc["ok"] != result.crc_ok) {
    violated("JSON CRC differs from the decoder's", 2);
  }
  if (!d["manufacturer"].is_string() || !d["model"].is_string() || !header_agrees(text, d, jedec)) {
    violated("JSON manufacturer, model or CRC differs from the text's header", 2);
  }
  for (const nlohmann::json& pointer : d["fields_not_defined"]) {
    if (!d.contains(nlohmann::json::json_pointer(pointer.get<std::string>())))
      violated("JSON marks a field undefined that it does not hold", 2);
  }
  // "Page size : total (data+spare)", the total wrapping at 32 bits.
  // The last such line: the maker and model texts may hold one too.
  const std::size_t at = text.rfind("\nPage size : ");
  unsigned total = 0;
  unsigned data = 0;
  unsigned spare = 0;
  const nlohmann::json& organization = d["memory_organization"];
  if (at == std::string_view::npos ||
      std::sscanf(text.data() + at, "\nPage size : %u (%u+%u)", &total, &data, &spare) != 3 ||
      organization["data_bytes_per_page"] != data || organization["spare_bytes_per_page"] != spare ||
      total != data + spare) {
    violated("JSON page size differs from the text's", 2);
  }

  decode_json(page, 0, json_scratch);
  if (json_scratch.view() != document) violated("the level changes the JSON document", 0);
  std::size_t& seen = jedec ? longest_json_jedec : longest_json_onfi;
  if (document.size() > seen) seen = document.size();
}

// The check of the page, or the diagnosis of an input without one.
void check_findings(const tolvik::ParamPage& page, std::span<const std::uint8_t> input) {
  static tolvik::PageModel model;
  static tolvik::Findings findings;
  tolvik::parse_page(page.bytes, model);
  if (model.layout == tolvik::Layout::None) {
    tolvik::check_no_page(input, findings);
    if (findings.count != 1 || findings.items[0].rule != "no-page") check_fuzz::violated("no diagnosis");
  } else {
    tolvik::check_page(model, findings);
  }
  check_fuzz::findings_hold(findings);
  tolvik::RenderOptions options;
  options.output = tolvik::Output::Json;
  options.check = true;
  options.findings = &findings;
  check_fuzz::json_holds(tolvik::render_page(model, json_scratch.text, options), json_scratch.text, findings);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::memset(pristine, kUntouched, sizeof pristine);
  std::atexit(print_longest);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tolvik::ParamPage page{};
  std::memcpy(page.bytes, data, size < tolvik::kPageSize ? size : tolvik::kPageSize);
  const bool jedec = std::memcmp(page.bytes, "JESD", 4) == 0;
  const bool onfi = !jedec && std::memcmp(page.bytes, "ONFI", 4) == 0;
  const std::size_t longest = jedec ? kLongestJedec : onfi ? kLongestOnfi : 0;

  for (int level = 0; level <= 2; ++level) decode(page, level, longest, by_level[level]);
  check_json(page, by_level[2].view(), jedec, onfi);
  check_findings(page, {data, size});
  if (longest == 0) return 0;

  if (!lines_contained(by_level[0].view(), by_level[1].view())) violated("level-0 line missing at 1", 1);
  if (!lines_contained(by_level[1].view(), by_level[2].view())) violated("level-1 line missing at 2", 2);

  // Levels beyond the named ones act as the nearest named one.
  decode(page, INT_MIN, longest, scratch);
  if (scratch.view() != by_level[0].view()) violated("report differs from level 0", INT_MIN);
  decode(page, INT_MAX, longest, scratch);
  if (scratch.view() != by_level[2].view()) violated("report differs from level 2", INT_MAX);

  if (onfi) {
    // Every byte from 256 on changed: an ONFI report must not notice.
    tolvik::ParamPage other = page;
    for (std::size_t i = 256; i < tolvik::kPageSize; ++i)
      other.bytes[i] = static_cast<std::uint8_t>(~page.bytes[i]);
    // Level 2 suffices: every lower level's line is among its lines.
    decode(other, 2, longest, scratch);
    if (scratch.view() != by_level[2].view()) violated("ONFI report depends on bytes 256-511", 2);
  }

  std::size_t& seen = jedec ? longest_jedec : longest_onfi;
  if (by_level[2].length > seen) seen = by_level[2].length;
  return 0;
}
