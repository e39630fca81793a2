// tolvik: prints the report of a saved NAND parameter page.
//
// Output goes to standard output only. Exit status: 2 for a usage error, 0
// when a report was written (and saved, if asked), 3 with --all when the
// report was written but the page or its extended page failed its check, 4
// in place of 0 or 3 when --check found a failure, 1 otherwise.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>

#include "cli/arguments.h"
#include "cli/console.h"
#include "cli/diff.h"
#include "cli/input.h"
#include "cli/report_file.h"
#include "decode/report.h"
#include "decode/text.h"
#include "tolvik.h"

namespace {

using tolvik::cli::Action;
using tolvik::cli::CommandLine;
using tolvik::cli::Loaded;
using tolvik::cli::Parsed;

constexpr int kExitReport = 0;
constexpr int kExitNoReport = 1;
constexpr int kExitUsage = 2;
constexpr int kExitUnverified = 3;
constexpr int kExitCheckFailed = 4;
// --diff: trouble, as cmp has it (0 and 1 say identical and different).
constexpr int kExitDiffTrouble = 2;

// The status of a run whose output could not be written.
int g_output_failed = kExitNoReport;

constexpr const char* kUsage =
    "Use:\ntolvik file.bin [level[t]]\n\tlevel=0(less)/1/2(more,default)\n\tt - save report to file.bin.txt";

void print(const char* text) { std::fputs(text, stdout); }

void print_banner() { std::printf("JEDEC/ONFI NAND parameter page decoder %s\n", tolvik::kVersion); }

void print_help() {
  print_banner();
  print(kUsage);
  print("\n\nOptions (before the file):\n");
  for (const tolvik::cli::OptionInfo& option : tolvik::cli::kOptionTable) {
    std::printf("  -%c, --%-8.*s %.*s\n", option.letter, static_cast<int>(option.name.size()),
                option.name.data(), static_cast<int>(option.help.size()), option.help.data());
  }
  print(
      "  --             end of the options: the next argument is the file\n"
      "  -              as the file: standard input (the report file is then stdin.txt)\n"
      "\nExit status:\n"
      "  0  a report was written (and saved, when asked)\n"
      "  1  no report (no input, no signature, an unreadable hex listing), the report file\n"
      "     could not be written, or standard output failed\n"
      "  2  usage error: no file argument, an unknown option, the save flag with --json,\n"
      "     options that do not go together (-m, -T, -d; -d with -c), --diff without two\n"
      "     inputs, a --timings=FAMILY:MODE the tool has no table for\n"
      "  3  with --all: a report was written, but neither a copy of the page nor their majority\n"
      "     passes its CRC, or no valid copy of the announced extended page was found\n"
      "  4  with --check: a report was written, and the check found at least one failure\n"
      "With --diff, as cmp: 0 the pages are identical, 1 they differ (in layout too), 2 trouble:\n"
      "  a usage error, an input that cannot be read or holds no page\n");
}

// The buffers of one run. A page's room is in the image; the megabytes that
// only a dump (-a) or a listing (-x) needs are taken when asked for: even
// untouched, they slow the start of every run of a static-pie image. No
// C++ allocation or string anywhere in the command, so that no exception
// machinery is linked in: it would cost every run at start-up.
std::uint8_t g_page[tolvik::kPageSize];
// The parsed input, and room for the check's findings. Findings is an
// aggregate, so an object of it lives in this room from the start (C++20's
// implicit object creation) and needs no constructor, which would write
// twelve kilobytes into pages the run then touches for nothing. See run().
Parsed g_parsed;
alignas(tolvik::Findings) unsigned char g_findings_room[sizeof(tolvik::Findings)];
tolvik::cli::InputBuffers g_buffers{g_page};
char g_report_room[tolvik::kJsonCapacity];
// The byte map of a whole dump needs more room than any report: taken with -m.
char* g_report = g_report_room;
std::size_t g_report_size = sizeof g_report_room;

// The shortest input that is not short: one copy of the layout found (a
// page without signature counts as ONFI-sized with --all), or a whole page.
std::size_t short_below(const CommandLine& line, tolvik::Layout layout) {
  if (!line.all) return tolvik::kPageSize;
  return layout == tolvik::Layout::Jedec ? 512 : 256;
}

// The bytes of one page of a layout.
std::size_t page_size(tolvik::Layout layout) { return layout == tolvik::Layout::Jedec ? 512 : 256; }

// A console message and how grave it is, for the JSON document.
struct Message {
  const char* text;
  const char* severity;  // "info", "warning" or "error"
};

tolvik::DecodeResult render(const CommandLine& line, const Loaded& loaded, const Parsed& parsed,
                            const tolvik::Findings* findings, tolvik::Output output) {
  const std::span<char> report(g_report, line.map                         ? g_report_size
                                         : output == tolvik::Output::Json ? tolvik::kJsonCapacity
                                         : line.all || line.timings       ? tolvik::kDumpReportCapacity
                                                                          : tolvik::kReportCapacity);
  tolvik::RenderOptions options;
  options.level = line.options.level;
  options.output = output;
  options.view = line.map ? tolvik::View::Map : line.timings ? tolvik::View::Timings : tolvik::View::Report;
  // Nothing read, nothing checked.
  options.check = line.check && loaded.readable;
  options.findings = findings;
  options.timing_mode = line.timing_mode;
  return line.all ? tolvik::render_dump(parsed.dump, report, options)
                  : tolvik::render_page(parsed.page, report, options);
}

int run(const CommandLine& line) {
  const tolvik::Output output = line.json ? tolvik::Output::Json : tolvik::Output::Text;
  if (!line.json) {
    print_banner();
    std::printf("TVK: %s\n", tolvik::kVersion);
  }

  // A page's map fits the usual room (about 15 KB with the check, JSON
  // included); only a whole dump's, with its extended page, needs more.
  if (line.map && line.all) {
    if (char* room = static_cast<char*>(std::malloc(tolvik::kMapCapacity)); room != nullptr) {
      g_report = room;
      g_report_size = tolvik::kMapCapacity;
    }
  }
  const Loaded loaded = load(line, line.file, g_buffers);
  Message messages[3] = {};
  std::size_t message_count = 0;
  if (loaded.message[0] != '\0') messages[message_count++] = {loaded.message, "error"};
  tolvik::DecodeResult result;
  // Only what the mode uses is touched: each page of memory a run touches
  // first costs it a fault. These are large, so they are kept out of the
  // stack, where the calls below them would land on pages of their own.
  Parsed& parsed = g_parsed;
  if (line.all) {
    parsed.dump.layout = tolvik::Layout::None;
  } else {
    parsed.page.layout = tolvik::Layout::None;
  }
  if (loaded.readable) parse(line, loaded, parsed);
  const tolvik::Layout layout = line.all ? parsed.dump.layout : parsed.page.layout;
  // An input without a page says what it holds instead, in the check and,
  // as an error, in the JSON document's messages; the text report without
  // the check stays as it was. An input that was not read has nothing to
  // say but its own message.
  const bool no_page = loaded.readable && layout == tolvik::Layout::None;
  tolvik::Findings* findings = nullptr;
  if (line.check || (no_page && line.json)) {
    findings = std::launder(reinterpret_cast<tolvik::Findings*>(g_findings_room));
    findings->count = 0;
    findings->failures = findings->warnings = 0;
  }
  if (no_page && findings != nullptr) {
    tolvik::check_no_page(loaded.bytes, *findings);
  } else if (layout != tolvik::Layout::None && line.check) {
    if (line.all) {
      tolvik::check_dump(parsed.dump, *findings);
    } else {
      tolvik::check_page(parsed.page, *findings);
    }
  }
  if (loaded.readable) {
    result = render(line, loaded, parsed, findings, output);
    if (loaded.bytes.size() < short_below(line, result.layout)) {
      // A short read that still holds the whole page of the layout found
      // lost nothing: a 256-byte ONFI page is complete. Without a layout
      // there is no page to be whole.
      const bool whole =
          result.layout != tolvik::Layout::None && loaded.bytes.size() >= page_size(result.layout);
      messages[message_count++] = {"Read file Error", whole ? "info" : "warning"};
    }
  } else if (line.json) {
    // The document of an empty input: no layout, nothing decoded.
    result = render(line, loaded, parsed, findings, output);
  }
  // After what the reading says: what the input holds instead of a page.
  if (no_page && line.json && findings->count != 0) {
    messages[message_count++] = {findings->items[0].message, "error"};
  }
  const bool reported = result.layout != tolvik::Layout::None;
  int status = !reported                               ? kExitNoReport
               : line.check && findings->failures != 0 ? kExitCheckFailed
               : (line.all && !result.verified)        ? kExitUnverified
                                                       : kExitReport;

  if (line.json) {
    // The library's document begins with its version member; the run's own
    // members follow it.
    const std::string_view document(g_report, result.length);
    char head[64];
    std::snprintf(head, sizeof head, "{\"format_version\":%u,\"version\":\"%s\"", tolvik::kJsonFormatVersion,
                  tolvik::kVersion);
    std::printf("%s,\"file\":", head);
    tolvik::cli::print_json_string(line.file);
    print(",\"messages\":[");
    for (std::size_t i = 0; i < message_count; ++i) {
      if (i != 0) print(",");
      print("{\"text\":");
      tolvik::cli::print_json_string(messages[i].text);
      std::printf(",\"severity\":\"%s\"}", messages[i].severity);
    }
    print("]");
    const std::string_view rest =
        document.starts_with(head) ? tolvik::detail::slice(document, std::strlen(head)) : "}";
    std::fwrite(rest.data(), 1, rest.size(), stdout);
    print("\n");
    return status;
  }

  for (std::size_t i = 0; i < message_count; ++i) std::printf("%s\n", messages[i].text);
  std::fwrite(g_report, 1, result.length, stdout);
  std::printf("\nlen=%zu\n", result.length);
  // The check block follows the report in the buffer, so that the report
  // file gets both in one piece; len= counts the report alone.
  std::size_t saved = result.length;
  if (line.check && loaded.readable) {
    const std::span<char> rest(g_report + result.length, g_report_size - result.length);
    saved += tolvik::render_findings(*findings, rest).length;
    std::fwrite(g_report + result.length, 1, saved - result.length, stdout);
  }

  if (line.options.save) {
    // Any length: the input's name is used unchanged.
    const bool standard = tolvik::cli::is_standard_input(line.file);
    const std::size_t length = standard ? 0 : std::strlen(line.file);
    char* report_name =
        static_cast<char*>(std::malloc(standard ? sizeof "stdin.txt" : length + sizeof ".txt"));
    if (report_name != nullptr) {
      if (standard) {
        std::memcpy(report_name, "stdin.txt", sizeof "stdin.txt");
      } else {
        std::memcpy(report_name, line.file, length);
        std::memcpy(report_name + length, ".txt", sizeof ".txt");
      }
    }
    std::printf("Save to %s%s\n", standard ? "stdin" : line.file, ".txt");
    // The console lines so far go out before the file is touched.
    std::fflush(stdout);
    if (report_name == nullptr || !tolvik::cli::save_report(report_name, loaded.input, g_report, saved)) {
      print("Save file Error\n");
      status = kExitNoReport;
    }
    std::free(report_name);
  }
  return status;
}

// What --timings=FAMILY:MODE takes, from the tables the library holds.
void print_unknown_timing_mode(const char* family_mode) {
  std::printf("Unknown timing mode: %s (tables:", family_mode);
  const char* separator = " ";
  for (const tolvik::TimingTable& table : tolvik::timing_tables()) {
    std::printf("%s%.*s:0-%zu", separator, static_cast<int>(table.key.size()), table.key.data(),
                tolvik::kTimingTableModes - 1);
    separator = ", ";
  }
  print(")\n");
}

// A usage error with --json: one document that holds the message. Its
// messages are objects with a severity, as every document's will be in
// format 2.
constexpr const char* kDiffArguments =
    "--diff compares two inputs, at most one of them standard input: tolvik -d A B";

int usage_error_json(const char* text, const char* argument) {
  std::printf("{\"format_version\":2,\"version\":\"%s\",\"messages\":[{\"text\":", tolvik::kVersion);
  if (argument == nullptr) {
    tolvik::cli::print_json_string(text);
  } else {
    // The argument as given: any bytes.
    print("\"");
    tolvik::cli::print_json_chars(text);
    tolvik::cli::print_json_chars(argument);
    print("\"");
  }
  print(",\"severity\":\"error\"}]}\n");
  return kExitUsage;
}

int dispatch(int argc, char** argv) {
  const CommandLine line = tolvik::cli::parse_command_line(argc, argv);
  if (line.json) {
    char text[64];
    switch (line.action) {
      case Action::Usage:
        return usage_error_json("No file argument", nullptr);
      case Action::Unknown:
        return usage_error_json("Unknown option: ", line.unknown);
      case Action::SaveWithJson:
        return usage_error_json("The save flag does not go with --json: redirect standard output", nullptr);
      case Action::Conflict:
        std::snprintf(text, sizeof text, "Options -%c and -%c do not go together", line.conflict[0],
                      line.conflict[1]);
        return usage_error_json(text, nullptr);
      case Action::DiffArguments:
        return usage_error_json(kDiffArguments, nullptr);
      case Action::Run:
        if (!tolvik::timing_mode_known(line.timing_mode))
          return usage_error_json("Unknown timing mode: ", line.timing_mode);
        break;
      case Action::Help:
      case Action::Version:
        break;
    }
  }
  switch (line.action) {
    case Action::Run:
      if (!tolvik::timing_mode_known(line.timing_mode)) {
        print_banner();
        print_unknown_timing_mode(line.timing_mode);
        print(kUsage);
        return kExitUsage;
      }
      if (line.diff) {
        g_output_failed = kExitDiffTrouble;
        return tolvik::cli::run_diff(line);
      }
      return run(line);
    case Action::Help:
      print_help();
      return kExitReport;
    case Action::Version:
      std::printf("tolvik %s\n", tolvik::kVersion);
      return kExitReport;
    case Action::Usage:
      print_banner();
      print(kUsage);
      return kExitUsage;
    case Action::Unknown:
      print_banner();
      std::printf("Unknown option: %s\n", line.unknown);
      print(kUsage);
      return kExitUsage;
    case Action::SaveWithJson:  // answered above: it comes with --json only
      return kExitUsage;
    case Action::Conflict:
      print_banner();
      std::printf("Options -%c and -%c do not go together\n", line.conflict[0], line.conflict[1]);
      print(kUsage);
      return kExitUsage;
    case Action::DiffArguments:
      print_banner();
      std::printf("%s\n", kDiffArguments);
      print(kUsage);
      return kExitUsage;
  }
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  // A reader that went away must not cost the report file: writes to it fail
  // instead, and the run ends with status 1.
  std::signal(SIGPIPE, SIG_IGN);
  // Nor a file size limit: the write fails instead, and the earlier report
  // file stays as it was.
  std::signal(SIGXFSZ, SIG_IGN);
  // The whole console text fits: it goes out in one write at the end (or
  // before the report file is saved), and stdio need not probe the terminal.
  static char output[tolvik::kJsonCapacity + 4096];
  std::setvbuf(stdout, output, _IOFBF, sizeof output);
  const int status = dispatch(argc, argv);
  // Output that could not be written must not pass for success.
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) return g_output_failed;
  return status;
}
