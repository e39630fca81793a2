// tolvik: prints the report of a saved NAND parameter page.
//
// Output goes to standard output only. Exit status: 2 for a usage error, 0
// when a report was written (and saved, if asked), 3 with --all when the
// report was written but the page or its extended page failed its check, 1
// otherwise.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "cli/arguments.h"
#include "cli/input.h"
#include "cli/report_file.h"
#include "decode/report.h"
#include "tolvik.h"

namespace {

using tolvik::cli::Action;
using tolvik::cli::CommandLine;

constexpr int kExitReport = 0;
constexpr int kExitNoReport = 1;
constexpr int kExitUsage = 2;
constexpr int kExitUnverified = 3;

constexpr const char* kUsage =
    "Use:\ntolvik file.bin [level[t]]\n\tlevel=0(less)/1/2(more,default)\n\tt - save report to file.bin.txt";

void print(const char* text) { std::fputs(text, stdout); }

void print_banner() { std::printf("JEDEC/ONFI NAND parameter page decoder %s\n", tolvik::kVersion); }

void print_help() {
  print_banner();
  print(kUsage);
  print("\n\nOptions (before the file):\n");
  for (const tolvik::cli::OptionInfo& spec : tolvik::cli::kOptionTable) {
    std::printf("  -%c, --%-8.*s %.*s\n", spec.letter, static_cast<int>(spec.name.size()), spec.name.data(),
                static_cast<int>(spec.help.size()), spec.help.data());
  }
  print(
      "  --             end of the options: the next argument is the file\n"
      "  -              as the file: standard input (the report file is then stdin.txt)\n"
      "\nExit status:\n"
      "  0  a report was written (and saved, when asked)\n"
      "  1  no report (no input, no signature, an unreadable hex listing), the report file\n"
      "     could not be written, or standard output failed\n"
      "  2  usage error: no file argument, an unknown option, the save flag with --json\n"
      "  3  with --all: a report was written, but neither a copy of the page nor their majority\n"
      "     passes its CRC, or no valid copy of the announced extended page was found\n");
}

// Everything the input gives: the bytes the mode decodes and the messages
// that go before the report.
struct Loaded {
  tolvik::cli::Input input;
  std::span<const std::uint8_t> bytes;
  std::string message;    // "Open file Error", "Hex text Error: line 3", ... or empty
  bool readable = false;  // there are bytes to decode (else: an empty report)
};

// The buffers of one run. A page's room is in the image; the megabytes that
// only a dump (-a) or a listing (-x) needs are taken when asked for: even
// untouched, they slow the start of every run of a static-pie image.
std::uint8_t g_page[tolvik::kPageSize];
std::uint8_t* g_input = nullptr;
std::uint8_t* g_bytes = g_page;
char g_report[tolvik::kJsonCapacity];

Loaded load(const CommandLine& line) {
  Loaded loaded;
  if (line.all) g_bytes = new (std::nothrow) std::uint8_t[tolvik::kDumpLimit];
  if (line.hex) g_input = new (std::nothrow) std::uint8_t[tolvik::kHexTextLimit];
  if (g_bytes == nullptr || (line.hex && g_input == nullptr)) {
    loaded.message = "Open file Error";
    return loaded;
  }
  const std::size_t wanted = line.all ? tolvik::kDumpLimit : tolvik::kPageSize;
  if (!line.hex) {
    loaded.input = tolvik::cli::read_input(line.file, {g_bytes, wanted});
    loaded.bytes = {g_bytes, loaded.input.size};
    loaded.readable = loaded.input.opened;
    if (!loaded.input.opened) loaded.message = "Open file Error";
    return loaded;
  }
  loaded.input = tolvik::cli::read_input(line.file, {g_input, tolvik::kHexTextLimit});
  if (!loaded.input.opened) {
    loaded.message = "Open file Error";
    return loaded;
  }
  const std::string_view text(reinterpret_cast<const char*>(g_input), loaded.input.size);
  const tolvik::HexResult hex = tolvik::read_hex_listing(text, {g_bytes, wanted});
  if (hex.error_line != 0) {
    loaded.message = "Hex text Error: line " + std::to_string(hex.error_line);
  } else if (hex.size == 0) {
    loaded.message = "Hex text Error: no bytes";
  } else {
    loaded.readable = true;
    loaded.bytes = {g_bytes, hex.size < wanted ? hex.size : wanted};
  }
  return loaded;
}

// The shortest input that is not short: one copy of the layout found (a
// page without signature counts as ONFI-sized with --all), or a whole page.
std::size_t short_below(const CommandLine& line, tolvik::Layout layout) {
  if (!line.all) return tolvik::kPageSize;
  return layout == tolvik::Layout::Jedec ? 512 : 256;
}

tolvik::DecodeResult decode(const CommandLine& line, const Loaded& loaded, tolvik::Output output) {
  const std::span<char> report(g_report, output == tolvik::Output::Json ? tolvik::kJsonCapacity
                                         : line.all                     ? tolvik::kDumpReportCapacity
                                                                        : tolvik::kReportCapacity);
  if (line.all) return tolvik::decode_dump(loaded.bytes, report, line.options.level, output);
  tolvik::ParamPage page{};
  // Nothing read (a file that did not open) has no data pointer to copy from.
  if (!loaded.bytes.empty()) std::memcpy(page.bytes, loaded.bytes.data(), loaded.bytes.size());
  return tolvik::decode_page(page, report, line.options.level, output);
}

// A JSON string of any text, as the document writes every string.
std::string json_string(std::string_view text) {
  std::string out(text.size() * 6 + 3, '\0');
  tolvik::detail::Report report{out};
  tolvik::detail::report_json_string(report, text);
  out.resize(report.length);
  return out;
}

int run(const CommandLine& line) {
  const tolvik::Output output = line.json ? tolvik::Output::Json : tolvik::Output::Text;
  if (!line.json) {
    print_banner();
    std::printf("TVK: %s\n", tolvik::kVersion);
  }

  const Loaded loaded = load(line);
  std::string messages[2];
  std::size_t message_count = 0;
  if (!loaded.message.empty()) messages[message_count++] = loaded.message;
  tolvik::DecodeResult result;
  if (loaded.readable) {
    result = decode(line, loaded, output);
    if (loaded.bytes.size() < short_below(line, result.layout)) messages[message_count++] = "Read file Error";
  } else if (line.json) {
    // The document of an empty input: no layout, nothing decoded.
    result = decode(line, Loaded{}, output);
  }
  const bool reported = result.layout != tolvik::Layout::None;
  int status = !reported ? kExitNoReport : (line.all && !result.verified) ? kExitUnverified : kExitReport;

  if (line.json) {
    // The library's document begins with its version member; the run's own
    // members follow it.
    const std::string_view document(g_report, result.length);
    const std::string head = std::string("{\"version\":") + json_string(tolvik::kVersion);
    std::printf("%s,\"file\":%s,\"messages\":[", head.c_str(), json_string(line.file).c_str());
    for (std::size_t i = 0; i < message_count; ++i) {
      std::printf("%s%s", i == 0 ? "" : ",", json_string(messages[i]).c_str());
    }
    print("]");
    const std::string_view rest = document.starts_with(head) ? document.substr(head.size()) : "}";
    std::fwrite(rest.data(), 1, rest.size(), stdout);
    print("\n");
    return status;
  }

  for (std::size_t i = 0; i < message_count; ++i) std::printf("%s\n", messages[i].c_str());
  std::fwrite(g_report, 1, result.length, stdout);
  std::printf("\nlen=%zu\n", result.length);

  if (line.options.save) {
    const std::string report_name = tolvik::cli::is_standard_input(line.file)
                                        ? std::string("stdin.txt")
                                        : std::string(line.file) + ".txt";
    std::printf("Save to %s\n", report_name.c_str());
    // The console lines so far go out before the file is touched.
    std::fflush(stdout);
    if (!tolvik::cli::save_report(report_name.c_str(), loaded.input, g_report, result.length)) {
      print("Save file Error\n");
      status = kExitNoReport;
    }
  }
  return status;
}

int dispatch(int argc, char** argv) {
  const CommandLine line = tolvik::cli::parse_command_line(argc, argv);
  switch (line.action) {
    case Action::Run:
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
    case Action::SaveWithJson:
      print_banner();
      print("The save flag does not go with --json: redirect standard output\n");
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
  const int status = dispatch(argc, argv);
  // Output that could not be written must not pass for success.
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) return kExitNoReport;
  return status;
}
