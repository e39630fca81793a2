// The web page's entry points: one call decodes the input the script put
// into tolvik_web_input() as the command would, and leaves every view the
// page shows in static buffers that tolvik_web_decode's result points at.
//
// What the command does, exactly: an input that a listing form reads is a
// hex listing (-x; the text area always is), an input longer than one page
// of the layout its first bytes name (512 bytes when they name none) is a
// whole dump (-a), and the messages are the command's, in the order of its
// JSON document.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "decode/report.h"
#include "decode/text.h"
#include "tolvik.h"

namespace {

using tolvik::Layout;
using tolvik::detail::Report;
using tolvik::detail::report_append;

// Bytes of the extended page the hex view shows; a real one holds 48 to a
// few hundred.
constexpr std::size_t kExtendedShown = 4096;
constexpr std::size_t kViewMax = tolvik::kPageSize + kExtendedShown;
constexpr std::size_t kNameMax = 1024;
// The command's JSON head: its version, the file name and three messages
// (a message is at most 160 bytes, and a byte escaped six characters).
constexpr std::size_t kJsonHead = 256 + 6 * (kNameMax + 3 * 160);

std::uint8_t g_input[tolvik::kHexTextLimit];
std::uint8_t g_listed[tolvik::kDumpLimit];
char g_name[kNameMax + 1];
tolvik::PageModel g_page;
tolvik::Dump g_dump;
tolvik::Findings g_findings;
// The messages (at most 224 characters) and the report.
char g_report[256 + tolvik::kDumpReportCapacity];
char g_check[tolvik::kFindingsMax * 256 + 64];
char g_document[tolvik::kJsonCapacity];
char g_json[tolvik::kJsonCapacity + kJsonHead];
std::uint8_t g_view[kViewMax];
std::uint8_t g_marks[kViewMax];

// What the page reads back: 32-bit words, pointers into the buffers above.
struct Views {
  std::uint32_t dump;    // 1: read as a whole dump (-a)
  std::uint32_t hex;     // 1: read as a hex listing (-x)
  std::uint32_t layout;  // 0 none, 1 ONFI, 2 JEDEC
  std::uint32_t report, report_length;
  std::uint32_t check, check_length;
  std::uint32_t json, json_length;
  // The page decoded (or, without one, the input's first bytes), then the
  // extended page used, and a mark per byte.
  std::uint32_t view, page_length, extended_length, marks;
};
Views g_views;

constexpr std::uint8_t kMarkReserved = 1;  // a reserved byte that is not 0
constexpr std::uint8_t kMarkFinding = 2;   // named by a check finding

std::uint32_t address(const void* p) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p));
}

std::size_t page_size(Layout layout) { return layout == Layout::Jedec ? 512 : 256; }

struct Message {
  const char* text;
  const char* severity;
};

// The input's bytes, as the command's load() reads them.
struct Loaded {
  std::span<const std::uint8_t> bytes;
  char message[48] = "";
  bool readable = false;
  bool hex = false;
};

Loaded load(std::size_t size, bool listing) {
  Loaded loaded;
  const std::string_view text(reinterpret_cast<const char*>(g_input), size);
  const tolvik::HexResult hex = tolvik::read_hex_listing(text, g_listed);
  if (listing || hex.ok()) {
    loaded.hex = true;
    if (!tolvik::hex_listing_error(hex, loaded.message)) {
      loaded.readable = true;
      loaded.bytes = {g_listed, std::min(hex.size, sizeof g_listed)};
    }
    return loaded;
  }
  loaded.readable = true;
  loaded.bytes = {g_input, std::min(size, tolvik::kDumpLimit)};
  return loaded;
}

// The marks of one page's or extended page's fields: bytes that are not 0
// where the revision the page claims reserves them (a reserved range, or a
// field that only a later revision defines).
void mark_reserved(std::span<const tolvik::FieldRef> fields, std::span<const std::uint8_t> bytes,
                   std::uint8_t* marks) {
  for (const tolvik::FieldRef& ref : fields) {
    const bool undefined = ref.field != nullptr && !ref.field->defined;
    if (ref.info->kind != tolvik::FieldKind::Reserved && !undefined) continue;
    for (std::size_t at = ref.base + ref.info->first; at <= ref.base + ref.info->last && at < bytes.size();
         ++at) {
      if (bytes[at] != 0) marks[at] |= kMarkReserved;
    }
  }
}

// The hex view's bytes and marks: the page decoded, the extended page used.
void fill_view(bool dump, Layout layout, std::span<const std::uint8_t> input) {
  std::memset(g_marks, 0, sizeof g_marks);
  g_views.extended_length = 0;
  const tolvik::PageModel& page = dump ? g_dump.page : g_page;
  if (layout == Layout::None) {
    g_views.page_length = static_cast<std::uint32_t>(std::min(input.size(), tolvik::kPageSize));
    if (!input.empty()) std::memcpy(g_view, input.data(), g_views.page_length);
    return;
  }
  const tolvik::FieldList list =
      layout == Layout::Onfi ? tolvik::list_fields(page.onfi) : tolvik::list_fields(page.jedec);
  g_views.page_length = static_cast<std::uint32_t>(list.bytes.size());
  std::memcpy(g_view, list.bytes.data(), list.bytes.size());
  mark_reserved(list.fields(), list.bytes, g_marks);
  for (const tolvik::Finding& finding : g_findings.list()) {
    if (!finding.has_range) continue;
    for (std::size_t at = finding.first; at <= finding.last && at < list.bytes.size(); ++at) {
      g_marks[at] |= kMarkFinding;
    }
  }
  const tolvik::ExtendedPage& extended = g_dump.extended;
  if (!dump || extended.state != tolvik::ExtendedPage::State::Read) return;
  const std::size_t length = std::min<std::size_t>(extended.length, kExtendedShown);
  std::uint8_t* bytes = g_view + list.bytes.size();
  for (std::size_t at = 0; at < length; ++at) bytes[at] = extended.byte(at);
  g_views.extended_length = static_cast<std::uint32_t>(length);
  // The header's reserved bytes and those of each ECC block.
  tolvik::FieldRef refs[1 + tolvik::epp::kSectionCount * tolvik::epp::kEccBlocksKept];
  std::size_t count = 0;
  for (const tolvik::FieldInfo& info : tolvik::epp::kHeaderFields) {
    if (info.kind == tolvik::FieldKind::Reserved) refs[count++] = {&info, nullptr, 0};
  }
  for (std::size_t k = 0; k < extended.block_count && count < std::size(refs); ++k) {
    refs[count++] = {&tolvik::epp::kEccFields[tolvik::epp::EccReserved], nullptr, extended.blocks[k].offset};
  }
  mark_reserved({refs, count}, {bytes, length}, g_marks + list.bytes.size());
}

// The command's -j document: its head, the file name and the messages in
// front of the library's document, and a line end.
void write_json(std::string_view document, std::span<const Message> messages) {
  Report json{g_json};
  char head[64];
  std::snprintf(head, sizeof head, "{\"format_version\":%u,\"version\":\"%s\"", tolvik::kJsonFormatVersion,
                tolvik::kVersion);
  report_append(json, 0, "%s,\"file\":\"", head);
  tolvik::detail::report_json_chars(json, g_name);
  report_append(json, 0, "\",\"messages\":[");
  for (std::size_t i = 0; i < messages.size(); ++i) {
    report_append(json, 0, "%s", i == 0 ? "{\"text\":\"" : ",{\"text\":\"");
    tolvik::detail::report_json_chars(json, messages[i].text);
    report_append(json, 0, "\",\"severity\":\"%s\"}", messages[i].severity);
  }
  report_append(json, 0, "]");
  const std::string_view rest =
      document.starts_with(head) ? tolvik::detail::slice(document, std::strlen(head)) : "}";
  report_append(json, 0, "%s\n", rest);
  g_views.json = address(g_json);
  g_views.json_length = static_cast<std::uint32_t>(json.length);
}

}  // namespace

extern "C" {

// Where the script puts the input (at most its capacity) and the file's
// name (UTF-8, NUL-terminated; "-" for the text area).
std::uint8_t* tolvik_web_input() { return g_input; }
std::uint32_t tolvik_web_input_capacity() { return sizeof g_input; }
char* tolvik_web_name() { return g_name; }
std::uint32_t tolvik_web_name_capacity() { return sizeof g_name; }

// Decodes the input's first `size` bytes as the command would, the text
// report at `level`, and returns the views.
const Views* tolvik_web_decode(std::uint32_t size, int listing, int level) {
  g_name[kNameMax] = '\0';
  const Loaded loaded = load(std::min<std::size_t>(size, sizeof g_input), listing != 0);
  const Layout named = tolvik::page_layout(loaded.bytes);
  const bool dump = loaded.bytes.size() > (named == Layout::None ? tolvik::kPageSize : page_size(named));
  // A page is read as the command reads a file: its first 512 bytes.
  const std::span<const std::uint8_t> bytes =
      dump ? loaded.bytes : loaded.bytes.first(std::min(loaded.bytes.size(), tolvik::kPageSize));

  Layout layout = Layout::None;
  g_page.layout = Layout::None;
  g_dump.layout = Layout::None;
  if (loaded.readable && dump) {
    tolvik::parse_dump(bytes, g_dump);
    layout = g_dump.layout;
  } else if (loaded.readable) {
    std::uint8_t page[tolvik::kPageSize] = {};
    if (!bytes.empty()) std::memcpy(page, bytes.data(), bytes.size());
    layout = tolvik::parse_page(page, g_page);
  }

  Message messages[3] = {};
  std::size_t count = 0;
  if (loaded.message[0] != '\0') messages[count++] = {loaded.message, "error"};
  g_findings.count = 0;
  g_findings.failures = g_findings.warnings = 0;
  // An input that was not read has nothing to say but its own message.
  if (loaded.readable && layout == Layout::None) {
    tolvik::check_no_page(bytes, g_findings);
  } else if (layout != Layout::None && dump) {
    tolvik::check_dump(g_dump, g_findings);
  } else if (layout != Layout::None) {
    tolvik::check_page(g_page, g_findings);
  }
  // The short read, as the command words it: a page short of 512 bytes, a
  // dump short of one copy; a page is whole only where a layout was found.
  const std::size_t short_below = !dump ? tolvik::kPageSize : page_size(layout);
  if (loaded.readable && bytes.size() < short_below) {
    const bool whole = layout != Layout::None && bytes.size() >= page_size(layout);
    messages[count++] = {"Read file Error", whole ? "info" : "warning"};
  }
  // Then what the input holds instead of a page.
  if (loaded.readable && layout == Layout::None && g_findings.count != 0) {
    messages[count++] = {g_findings.items[0].message, "error"};
  }

  tolvik::RenderOptions options;
  options.level = level;
  Report report{g_report};
  for (std::size_t i = 0; i < count; ++i) report_append(report, 0, "%s\n", messages[i].text);
  if (loaded.readable) {
    const std::span<char> rest(g_report + report.length, sizeof g_report - report.length);
    report.length +=
        (dump ? tolvik::render_dump(g_dump, rest, options) : tolvik::render_page(g_page, rest, options))
            .length;
  }
  // Never an empty report: an input without a page says so even where the
  // check finds no words for it.
  if (report.length == 0) report_append(report, 0, "No parameter page found\n");
  g_views.report = address(g_report);
  g_views.report_length = static_cast<std::uint32_t>(report.length);

  g_views.check = address(g_check);
  // Nothing read, nothing checked: the command prints no check block then.
  g_views.check_length =
      loaded.readable ? static_cast<std::uint32_t>(tolvik::render_findings(g_findings, g_check).length) : 0U;

  options.output = tolvik::Output::Json;
  options.view = tolvik::View::Map;
  options.check = true;
  options.findings = &g_findings;
  const tolvik::DecodeResult document = dump ? tolvik::render_dump(g_dump, g_document, options)
                                             : tolvik::render_page(g_page, g_document, options);
  write_json({g_document, document.length}, {messages, count});

  fill_view(dump, layout, bytes);
  g_views.dump = dump ? 1 : 0;
  g_views.hex = loaded.hex ? 1 : 0;
  g_views.layout = static_cast<std::uint32_t>(layout);
  g_views.view = address(g_view);
  g_views.marks = address(g_marks);
  return &g_views;
}

}  // extern "C"
