#include "cli/arguments.h"

#include <climits>
#include <cstring>

#include "decode/text.h"

namespace tolvik::cli {

using detail::slice;

int parse_level(const char* text) {
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  // Past this every further digit only saturates.
  constexpr long long kBeyondInt = static_cast<long long>(INT_MAX) + 1;
  long long magnitude = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    magnitude = magnitude * 10 + (*p - '0');
    if (magnitude > kBeyondInt) magnitude = kBeyondInt;
  }
  if (negative) return static_cast<int>(-magnitude);
  return magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
}

Options parse_options(const char* argument) {
  Options options;
  if (argument == nullptr) return options;
  options.save = std::strchr(argument, 'T') != nullptr || std::strchr(argument, 't') != nullptr;
  if (!(options.save && std::strlen(argument) == 1)) options.level = parse_level(argument);
  return options;
}

constexpr OptionInfo kOptionTable[9] = {
    {'a', "all", "whole dump: every copy checked, the extended page decoded, the size"},
    {'x', "hex", "the input is a hex listing (xxd, hexdump, od, hex pairs, a C array)"},
    {'j', "json", "one JSON document with every field instead of the report"},
    {'c', "check", "after the report, the check: failures and warnings of the page"},
    {'m', "map", "instead of the report, every byte of the page: its field and value"},
    {'d', "diff", "compare two pages field by field: tolvik -d A B"},
    {'T', "timings",
     "instead of the report, the fastest modes' timings in ns and the\n"
     "                 controller settings (--timings=FAMILY:MODE: that mode)"},
    {'h', "help", "print this help and exit"},
    {'V', "version", "print the version and exit"},
};

namespace {

// Sets what option letter asks for; false for a letter that is no option.
bool apply(char letter, CommandLine& line) {
  switch (letter) {
    case 'a':
      line.all = true;
      return true;
    case 'x':
      line.hex = true;
      return true;
    case 'j':
      line.json = true;
      return true;
    case 'c':
      line.check = true;
      return true;
    case 'm':
      line.map = true;
      return true;
    case 'd':
      line.diff = true;
      return true;
    case 'T':
      line.timings = true;
      return true;
    case 'h':
      line.action = Action::Help;
      return true;
    case 'V':
      line.action = Action::Version;
      return true;
    default:
      return false;
  }
}

// The letter of a long option, or 0.
char letter_of(std::string_view name) {
  for (const OptionInfo& option : kOptionTable) {
    if (option.name == name) return option.letter;
  }
  return 0;
}

// The first pair of options that exclude each other, as two letters.
const char* conflicting_options(const CommandLine& line) {
  if (line.diff && line.map) return "dm";
  if (line.diff && line.timings) return "dT";
  if (line.diff && line.check) return "dc";
  if (line.map && line.timings) return "mT";
  return nullptr;
}

// Whether --json or a bundle with j stands among the options from argv[i]
// on, up to the file argument.
bool json_among(int argc, const char* const* argv, int i) {
  for (; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--" || !arg.starts_with('-') || arg == "-") return false;
    if (arg == "--json" || (!arg.starts_with("--") && arg.find('j') != std::string_view::npos)) return true;
  }
  return false;
}

}  // namespace

bool is_standard_input(const char* file) { return std::strcmp(file, "-") == 0; }

CommandLine parse_command_line(int argc, const char* const* argv) {
  CommandLine line;
  int i = 1;
  for (; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--") {
      ++i;
      break;
    }
    if (!arg.starts_with('-') || arg == "-") break;
    bool known = true;
    if (arg.starts_with("--")) {
      const std::string_view rest = slice(arg, 2);
      const std::size_t equals = rest.find('=');
      const char letter = letter_of(slice(rest, 0, equals));
      known = letter != 0 && (equals == std::string_view::npos || letter == 'T') && apply(letter, line);
      if (known && equals != std::string_view::npos) line.timing_mode = argv[i] + 2 + equals + 1;
    } else {
      // A bundle is read letter by letter too: "-hq" is help, "-qh" unknown.
      for (const char letter : arg.substr(1)) {
        known = apply(letter, line);
        if (!known || line.action != Action::Run) break;
      }
    }
    if (!known) {
      line.action = Action::Unknown;
      line.unknown = argv[i];
      // The run still answers in JSON when that was asked for anywhere.
      line.json = line.json || json_among(argc, argv, i);
    }
    if (line.action != Action::Run) return line;
  }
  if (i >= argc) {
    line.action = Action::Usage;
    return line;
  }
  line.file = argv[i];
  if (const char* conflict = conflicting_options(line); conflict != nullptr) {
    line.action = Action::Conflict;
    line.conflict[0] = conflict[0];
    line.conflict[1] = conflict[1];
    return line;
  }
  if (line.diff) {
    // Two inputs, no level and no save flag; standard input can be one of
    // them only.
    if (argc - i != 2 || (is_standard_input(argv[i]) && is_standard_input(argv[i + 1]))) {
      line.action = Action::DiffArguments;
      return line;
    }
    line.file2 = argv[i + 1];
    return line;
  }
  line.level_argument = i + 1 < argc ? argv[i + 1] : nullptr;
  line.options = parse_options(line.level_argument);
  if (line.json && line.options.save) line.action = Action::SaveWithJson;
  return line;
}

}  // namespace tolvik::cli
