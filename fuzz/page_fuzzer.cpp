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

// A text field of the page: its bytes up to the first zero, at most width.
std::string field_bytes(const tolvik::ParamPage& page, std::size_t offset, std::size_t width) {
  std::string bytes;
  for (std::size_t i = offset; i < offset + width && page.bytes[i] != 0; ++i)
    bytes += static_cast<char>(page.bytes[i]);
  return bytes;
}

// Whether the string member name of the document stands for bytes: its
// text between the quotes with each escape undone. \u0080 to \u009f stand
// for a stray byte of that value or for the C1 control it is in UTF-8.
bool member_is(std::string_view document, std::string_view name, std::string_view bytes) {
  const std::string key = "\"" + std::string(name) + "\":\"";
  std::size_t at = document.find(key);
  if (at == std::string_view::npos) return false;
  std::size_t i = 0;
  for (at += key.size(); at < document.size() && document[at] != '"'; ++at) {
    if (document[at] != '\\') {
      if (i == bytes.size() || bytes[i++] != document[at]) return false;
    } else if (document[++at] == 'u') {
      const auto value = std::stoul(std::string(document.substr(at + 1, 4)), nullptr, 16);
      const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
      at += 4;
      if (value >= 0x80 && value <= 0x9F && i + 1 < bytes.size() && byte(i) == 0xC2 && byte(i + 1) == value)
        ++i;
      if (i == bytes.size() || byte(i++) != value) return false;
    } else if (i == bytes.size() || bytes[i++] != document[at]) {
      return false;
    }
  }
  return i == bytes.size();
}

// The field as the text shows it: control bytes as dots.
std::string dotted(std::string text) {
  for (char& c : text) {
    if ((c > 0 && c < 0x20) || c == 0x7F) c = '.';
  }
  return text;
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
  // The members hold the page's fields; the header line shows them (their
  // control bytes as dots) after its label, then the stored CRC and its
  // marker at the end of the line.
  const std::string manufacturer = field_bytes(page, 32, 12);
  const std::string model = field_bytes(page, 44, 20);
  if (!member_is(document, "manufacturer", manufacturer) || !member_is(document, "model", model)) {
    violated("JSON manufacturer or model differs from the page", 2);
  }
  const std::string head =
      std::string(jedec ? "JEDEC     : " : "ONFI      : ") + dotted(manufacturer) + " " + dotted(model) + " ";
  if (!text.starts_with(head)) violated("the text's manufacturer or model differs from the page", 2);
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
