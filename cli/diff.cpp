// --diff: two inputs read as the other options say, their pages compared
// field by field. The output is the comparison alone, no banner: a line per
// input, a line per field that differs, a closing line; or one JSON object.
#include "cli/diff.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/console.h"
#include "cli/input.h"
#include "decode/decode.h"
#include "decode/report.h"
#include "tolvik.h"

namespace tolvik::cli {
namespace {

// As cmp and diff have it.
constexpr int kIdentical = 0;
constexpr int kDifferent = 1;
constexpr int kTrouble = 2;

// One input: what was read, the page compared, or why there is none. The
// parsed input comes last: its whole dump's room, tens of kilobytes, is
// touched only with -a, and the rest then stays on a few pages of memory.
struct Side {
  const char* file = nullptr;
  const PageModel* page = nullptr;
  const CopyChoice* decoded = nullptr;  // -a: which copy of the dump
  char error[200] = "";
  InputBuffers buffers{room};
  Loaded loaded;
  std::uint8_t room[kPageSize];
  Parsed parsed;
};

void read_side(const CommandLine& line, const char* file, Side& side) {
  side.file = file;
  side.loaded = load(line, file, side.buffers);
  if (!side.loaded.readable) {
    std::snprintf(side.error, sizeof side.error, "%s", side.loaded.message);
    return;
  }
  parse(line, side.loaded, side.parsed);
  const PageModel& page = line.all ? side.parsed.dump.page : side.parsed.page;
  if (page.layout == Layout::None || (line.all && side.parsed.dump.layout == Layout::None)) {
    // What the bytes hold instead, where the check can tell.
    Findings findings;
    check_no_page(side.loaded.bytes, findings);
    if (findings.count != 0) {
      std::snprintf(side.error, sizeof side.error, "no parameter page (%s)", findings.items[0].message);
    } else {
      std::snprintf(side.error, sizeof side.error, "no parameter page");
    }
    return;
  }
  side.page = &page;
  if (line.all) side.decoded = &side.parsed.dump.decoded;
}

const char* layout_name(Layout layout) { return layout == Layout::Jedec ? "JEDEC" : "ONFI"; }

// Made with the report's own formatting: printf's would cost the run as
// much as the comparison.
void print_side_text(char letter, const Side& side) {
  const char head[] = {letter, ':', ' ', '\0'};
  std::fputs(head, stdout);
  // Any length: the name goes out as it is.
  std::fputs(is_standard_input(side.file) ? "standard input" : side.file, stdout);
  char room[128];
  detail::Report line{room};
  if (side.page == nullptr) {
    detail::report_append(line, 0, ": %s\n", side.error);
  } else {
    detail::report_append(line, 0, ": %s, ", layout_name(side.page->layout));
    if (side.decoded != nullptr && side.decoded->majority) {
      detail::report_append(line, 0, "majority of copies 1-3, ");
    } else if (side.decoded != nullptr) {
      detail::report_append(line, 0, "copy %u, ", side.decoded->copy);
    }
    const PageCrc crc = detail::model_crc(*side.page);
    if (crc.ok) {
      detail::report_append(line, 0, "CRC 0x%04X - Ok\n", std::uint32_t{crc.stored});
    } else {
      detail::report_append(line, 0, "CRC 0x%04X - Wrong (computed 0x%04X)\n", std::uint32_t{crc.stored},
                            std::uint32_t{crc.computed});
    }
  }
  std::fwrite(room, 1, line.length, stdout);
}

void print_side_json(const char* name, const Side& side) {
  std::printf("\"%s\":{\"file\":", name);
  print_json_string(side.file);
  char room[512];
  detail::Report report{room, 0, kDefaultLevel, Output::Json, 0, true};
  if (side.page == nullptr) {
    detail::report_json_null(report, "layout");
    detail::report_json_null(report, "crc");
    detail::report_json_null(report, "decoded");
    detail::report_json_text(report, "error", side.error);
  } else {
    detail::report_json_text(report, "layout", layout_name(side.page->layout));
    const PageCrc crc = detail::model_crc(*side.page);
    detail::report_object_begin(report, "crc");
    detail::report_json_number(report, "stored", crc.stored);
    detail::report_json_number(report, "computed", crc.computed);
    detail::report_json_bool(report, "ok", crc.ok);
    detail::report_object_end(report);
    if (side.decoded == nullptr) {
      detail::report_json_null(report, "decoded");
    } else {
      detail::report_object_begin(report, "decoded");
      detail::report_json_text(report, "source", side.decoded->majority ? "majority" : "copy");
      if (side.decoded->majority) {
        detail::report_json_null(report, "copy");
      } else {
        detail::report_json_number(report, "copy", side.decoded->copy);
      }
      detail::report_json_bool(report, "ok", side.decoded->ok);
      detail::report_object_end(report);
    }
    detail::report_json_null(report, "error");
  }
  std::fwrite(room, 1, report.length, stdout);
  std::fputs("}", stdout);
}

// Room for one difference: a flag word's names in A and in B (the library
// builds a line in 2 KiB at most).
constexpr std::size_t kLineRoom = 2 * 1024 + 1;

int print_text(const Side& a, const Side& b, std::span<const Difference> differences,
               const Comparison& comparison) {
  print_side_text('A', a);
  print_side_text('B', b);
  if (a.page == nullptr || b.page == nullptr) return kTrouble;
  if (!comparison.comparable) {
    std::printf("Layouts differ: %s | %s\n", layout_name(a.page->layout), layout_name(b.page->layout));
    return kDifferent;
  }
  // The lines go out a few kilobytes at a time: a write each would cost
  // more than making them.
  char room[4 * kLineRoom];
  detail::Report lines{room};
  for (const Difference& difference : differences) {
    if (lines.length + kLineRoom > sizeof room) {
      std::fwrite(room, 1, lines.length, stdout);
      lines = detail::Report{room};
    }
    detail::report_difference_text(*a.page, *b.page, difference, lines);
  }
  std::fwrite(room, 1, lines.length, stdout);
  if (comparison.count == 0) {
    std::fputs("Identical\n", stdout);
    return kIdentical;
  }
  char count[32];
  detail::Report line{count};
  detail::report_append(line, 0, "%u fields differ\n", static_cast<std::uint32_t>(comparison.count));
  std::fwrite(count, 1, line.length, stdout);
  return kDifferent;
}

int print_json(const Side& a, const Side& b, std::span<const Difference> differences,
               const Comparison& comparison) {
  std::printf("{\"format_version\":%u,\"version\":\"%s\",", kJsonFormatVersion, kVersion);
  print_side_json("a", a);
  std::fputs(",", stdout);
  print_side_json("b", b);
  const bool compared = a.page != nullptr && b.page != nullptr && comparison.comparable;
  const int status = a.page == nullptr || b.page == nullptr ? kTrouble
                     : !compared || comparison.count != 0   ? kDifferent
                                                            : kIdentical;
  constexpr const char* kResults[] = {"identical", "different", "error"};
  const char* result = !compared && status == kDifferent ? "layouts_differ" : kResults[status];
  std::printf(",\"result\":\"%s\",\"count\":", result);
  if (compared) {
    std::printf("%zu", comparison.count);
  } else {
    std::fputs("null", stdout);
  }
  std::fputs(",\"differences\":[", stdout);
  for (std::size_t i = 0; i < differences.size(); ++i) {
    char room[kLineRoom];
    detail::Report element{room, 0, kDefaultLevel, Output::Json};
    detail::report_difference_json(*a.page, *b.page, differences[i], element);
    if (i != 0) std::fputs(",", stdout);
    std::fwrite(room, 1, element.length, stdout);
  }
  std::fputs("]}\n", stdout);
  return status;
}

}  // namespace

int run_diff(const CommandLine& line) {
  Side sides[2];
  Side& a = sides[0];
  Side& b = sides[1];
  read_side(line, line.file, a);
  read_side(line, line.file2, b);
  Difference differences[kDifferencesMax];
  Comparison comparison{false, 0};
  if (a.page != nullptr && b.page != nullptr) comparison = compare_pages(*a.page, *b.page, differences);
  const std::span<const Difference> listed(
      differences, comparison.comparable ? std::min(comparison.count, kDifferencesMax) : 0);
  const int status = line.json ? print_json(a, b, listed, comparison) : print_text(a, b, listed, comparison);
  // The megabytes -a and -x took for each input.
  for (Side& side : sides) {
    if (side.buffers.bytes != side.room) std::free(side.buffers.bytes);
    std::free(side.buffers.input);
  }
  return status;
}

}  // namespace tolvik::cli
