// libFuzzer target: any bytes as a whole dump of the parameter page area,
// decoded at every report level and as JSON, with the report's invariants
// checked on every input. A violation aborts, so libFuzzer keeps the input.
#include <algorithm>
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

// Twice the room the tool gives, so that a report too long for the tool's
// buffer shows as too long instead of being cut short.
constexpr std::size_t kTextRoom = 2 * tolvik::kDumpReportCapacity;
constexpr std::size_t kJsonRoom = 2 * tolvik::kJsonCapacity;

// The longest -a report, measured with tolvik_longest_dump
// (longest_dump.cpp) and stated beside kDumpReportCapacity.
constexpr std::size_t kLongestDump = 11832;
static_assert(kLongestDump < tolvik::kDumpReportCapacity);

constexpr char kUntouched = '\x5A';

[[noreturn]] void violated(const char* what, int level) {
  std::fprintf(stderr, "invariant violated at level %d: %s\n", level, what);
  std::abort();
}

char text[kJsonRoom];
char page_text[tolvik::kReportCapacity];

tolvik::DecodeResult decode(std::span<const std::uint8_t> dump, int level, tolvik::Output output) {
  const std::size_t room = output == tolvik::Output::Json ? kJsonRoom : kTextRoom;
  std::memset(text, kUntouched, room);
  const tolvik::DecodeResult r = tolvik::decode_dump(dump, {text, room}, level, output);
  if (r.needed != r.length) violated("a report that fits was cut short", level);
  if (output == tolvik::Output::Json) {
    if (r.length >= tolvik::kJsonCapacity) violated("JSON document beyond kJsonCapacity", level);
    return r;
  }
  if (r.layout == tolvik::Layout::None) {
    if (r.length != 0 || text[0] != kUntouched) violated("a dump without layout wrote", level);
    return r;
  }
  if (r.length > kLongestDump) violated("report longer than the measured longest", level);
  if (text[r.length] != '\0') violated("no NUL at the returned length", level);
  if (std::memchr(text, '\0', r.length) != nullptr) violated("NUL before the returned length", level);
  if (text[r.length + 1] != kUntouched) violated("wrote past the report's NUL", level);
  if (std::string_view(text, r.length).find("Raw size  : ") == std::string_view::npos)
    violated("no size lines", level);
  if (r.verified && !r.crc_ok) violated("verified without a passing page", level);
  return r;
}

// When copy 1 passes and carries the signature of the layout found, the page
// part of the report (after the copy and decoded lines) is the page's own.
void check_page_part(std::span<const std::uint8_t> dump, tolvik::Layout layout, int level) {
  const bool jedec = layout == tolvik::Layout::Jedec;
  const std::size_t size = jedec ? 512 : 256;
  if (dump.size() < 4 || std::memcmp(dump.data(), jedec ? "JESD" : "ONFI", 4) != 0) return;
  tolvik::ParamPage page{};
  std::memcpy(page.bytes, dump.data(), std::min(dump.size(), size));
  const std::uint16_t stored = static_cast<std::uint16_t>(page.bytes[size - 2] | page.bytes[size - 1] << 8);
  if (tolvik::crc16_param_page(page.bytes, size - 2, tolvik::kParamPageCrcSeed) != stored) return;
  const std::size_t n = tolvik::decode_parameter_page(page, page_text, level);
  // Copy lines, one per whole copy (at least one, at most three), then the
  // decoded line.
  const std::size_t copies = std::clamp<std::size_t>(dump.size() / size, 1, 3);
  std::string_view rest(text);
  for (std::size_t line = 0; line < copies + 1; ++line) rest.remove_prefix(rest.find('\n') + 1);
  if (!rest.starts_with(std::string_view(page_text, n)))
    violated("page part differs from the page's report", level);
}

// A size line of the level-2 text against its member: the exact figure, or
// null where the text says it passes 64 bits.
bool size_agrees(std::string_view report, const char* label, const nlohmann::json& size) {
  // The last such line: the maker and model texts may hold one too.
  const std::size_t at = report.rfind(label);
  if (at == std::string_view::npos) return false;
  const std::string_view figure = report.substr(at + std::strlen(label));
  if (size.is_null()) return figure.starts_with("more than ");
  return size.is_number_unsigned() &&
         figure.starts_with(std::to_string(size.get<std::uint64_t>()) + " bytes");
}

// The document parses with each key once per object, begins with its format
// version, holds the members of its layout and those of -a, and agrees with
// the decoder's result on layout and CRC and with the level-2 text on the
// sizes.
void check_json(const tolvik::DecodeResult& r, std::string_view report) {
  const std::string_view document(text, r.length);
  if (!document.starts_with("{\"format_version\":2,"))
    violated("JSON does not begin with its format version", 2);
  nlohmann::json d = fuzz_json::parse_unique(document);
  if (d.is_discarded() || !d.is_object()) violated("JSON does not parse, or has a key twice", 2);
  for (const char* member : {"version", "layout", "crc", "manufacturer", "model", "copies", "decoded",
                             "extended_page", "data_size_bytes", "raw_size_bytes"}) {
    if (!d.contains(member)) violated("JSON lacks a required member or one of -a", 2);
  }
  if (r.layout == tolvik::Layout::None) {
    if (!d["layout"].is_null() || !d["crc"].is_null() || !d["decoded"].is_null() || !d["copies"].empty())
      violated("JSON of a dump without layout", 2);
    return;
  }
  if (d["layout"] != (r.layout == tolvik::Layout::Jedec ? "JEDEC" : "ONFI") || !d.contains("timing_modes"))
    violated("JSON layout differs", 2);
  nlohmann::json& crc = d["crc"];
  if (crc["stored"] != r.stored_crc || crc["computed"] != r.computed_crc || crc["ok"] != r.crc_ok ||
      d["decoded"]["ok"] != r.crc_ok) {
    violated("JSON CRC differs from the decoder's", 2);
  }
  if (!size_agrees(report, "\nData size : ", d["data_size_bytes"]) ||
      !size_agrees(report, "\nRaw size  : ", d["raw_size_bytes"])) {
    violated("JSON sizes differ from the text's", 2);
  }
}

// The check of the dump, or the diagnosis of an input without a page; the
// whole-dump document with every finding still fits.
void check_findings(std::span<const std::uint8_t> dump) {
  static tolvik::Dump model;
  static tolvik::Findings findings;
  tolvik::parse_dump(dump, model);
  if (model.layout == tolvik::Layout::None) {
    tolvik::check_no_page(dump, findings);
  } else {
    tolvik::check_dump(model, findings);
  }
  check_fuzz::findings_hold(findings);
  tolvik::RenderOptions options;
  options.output = tolvik::Output::Json;
  options.check = true;
  options.findings = &findings;
  check_fuzz::json_holds(tolvik::render_dump(model, {text, kJsonRoom}, options), text, findings);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> dump(data, size);
  std::string level2;
  for (int level = 0; level <= 2; ++level) {
    const tolvik::DecodeResult r = decode(dump, level, tolvik::Output::Text);
    if (r.layout != tolvik::Layout::None) check_page_part(dump, r.layout, level);
    if (level == 2) level2.assign(text, r.length);
  }
  check_json(decode(dump, 2, tolvik::Output::Json), level2);
  check_findings(dump);
  return 0;
}
