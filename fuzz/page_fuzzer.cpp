// libFuzzer target: any bytes as a page image, decoded at every report level
// and as JSON, with the report's invariants checked on every input. A
// violation aborts, so libFuzzer keeps the input as a crash artifact.
//
// The input is handled as the tool handles a file: its first 512 bytes are the
// page, and a shorter input is followed by zeros.
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
constexpr std::size_t kLongestJsonOnfi = 3673;
constexpr std::size_t kLongestJsonJedec = 3407;
static_assert(kLongestJsonOnfi < tolvik::kJsonCapacity && kLongestJsonJedec < tolvik::kJsonCapacity);
const std::string kNoLayoutJson = std::string(R"({"version":")") + tolvik::kVersion +
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
char pristine[2 * tolvik::kJsonCapacity];

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

// The JSON document gets twice the tool's room, like the report.
struct Document {
  char text[2 * tolvik::kJsonCapacity];
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

// A JSON string's code points as the bytes they stand for (each below 256).
bool page_bytes(const nlohmann::json& value, std::string& bytes) {
  if (!value.is_string()) return false;
  const std::string& utf8 = value.get_ref<const std::string&>();
  bytes.clear();
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      bytes += static_cast<char>(c);
    } else if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size()) {
      bytes += static_cast<char>((c & 0x03U) << 6 | (static_cast<unsigned char>(utf8[++i]) & 0x3FU));
    } else {
      return false;
    }
  }
  return true;
}

// The document parses, holds the required members, and agrees with the
// level-2 text on layout, CRC, manufacturer and model; the level does not
// change it.
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
  nlohmann::json parsed = nlohmann::json::parse(document, nullptr, false);
  if (parsed.is_discarded() || !parsed.is_object()) violated("JSON does not parse", 2);
  for (const char* member : {"version", "layout", "crc", "manufacturer", "model"}) {
    if (!parsed.contains(member)) violated("JSON lacks a required member", 2);
  }
  if (parsed["version"] != tolvik::kVersion) violated("JSON version", 2);
  if (parsed["layout"] != (jedec ? "JEDEC" : "ONFI")) violated("JSON layout differs", 2);
  const tolvik::DecodeResult& result = json_doc.result;
  nlohmann::json& crc = parsed["crc"];
  if (!crc.is_object() || crc["stored"] != result.stored_crc || crc["computed"] != result.computed_crc ||
      crc["ok"] != result.crc_ok) {
    violated("JSON CRC differs from the decoder's", 2);
  }
  // The header line: label, manufacturer, model, then the stored CRC and
  // its marker at the end of the line.
  std::string manufacturer;
  std::string model;
  if (!page_bytes(parsed["manufacturer"], manufacturer) || !page_bytes(parsed["model"], model)) {
    violated("JSON text field is not a string of bytes", 2);
  }
  const std::string head =
      std::string(jedec ? "JEDEC     : " : "ONFI      : ") + manufacturer + " " + model + " ";
  if (!text.starts_with(head)) violated("JSON manufacturer or model differs from the text", 2);
  char stamp[16];
  std::snprintf(stamp, sizeof stamp, "[%04X%s]\n", result.stored_crc, result.crc_ok ? "" : "*");
  const std::size_t line_end = text.find('\n', head.size());
  if (line_end == std::string_view::npos || !text.substr(0, line_end + 1).ends_with(stamp)) {
    violated("JSON CRC differs from the text's", 2);
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
