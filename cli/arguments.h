// The command line: options before the file argument, then the file, then
// the optional level argument (a report level and/or the save flag).
#pragma once

#include <string_view>

#include "tolvik.h"

namespace tolvik::cli {

struct Options {
  int level = kDefaultLevel;
  bool save = false;
};

// A 't' or 'T' anywhere asks for the report file; a bare letter keeps the
// default level. Otherwise the level is read as atoi reads it, saturating at
// the int range instead of overflowing. A null argument gives the defaults.
Options parse_options(const char* argument);

// atoi's reading (leading white space, a sign, digits up to the first other
// character, 0 without digits), clamped to the int range.
int parse_level(const char* text);

// What the command line asks for.
enum class Action {
  Run,            // decode the file
  Usage,          // no file argument
  Help,           // -h, --help
  Version,        // -V, --version
  Unknown,        // an argument before the file that is no option
  SaveWithJson,   // a save flag in the level argument together with --json
  Conflict,       // two options that do not go together (conflict names them)
  DiffArguments,  // --diff without exactly two inputs after the options, or both "-"
};

struct CommandLine {
  Action action = Action::Run;
  bool all = false;               // -a: the whole dump
  bool hex = false;               // -x: the input is a hex listing
  bool json = false;              // -j: one JSON document instead of the report
  bool check = false;             // -c: the check block after the report
  bool map = false;               // -m: the byte map instead of the report
  bool diff = false;              // -d: compare file with file2
  bool timings = false;           // -T: the timing view instead of the report
  const char* timing_mode = "";   // --timings=FAMILY:MODE, or empty for the fastest modes
  const char* file = nullptr;     // "-" is standard input
  const char* file2 = nullptr;    // --diff: the second input
  const char* unknown = nullptr;  // the argument that is no option
  char conflict[2] = {};          // Conflict: the two option letters
  const char* level_argument = nullptr;
  Options options;
};

// One option: its letter, its long name and the line --help gives it.
struct OptionInfo {
  char letter;
  std::string_view name;
  std::string_view help;
};
extern const OptionInfo kOptionTable[9];

// Options are read left to right up to the file argument, "--" or "-"; the
// first that ends the run (help, version, an unknown one) decides. Short
// options may be bundled ("-ax"). Only --timings takes a value
// ("--timings=sdr:3"). The views (-m, -T, -d) exclude one another, and
// --diff takes no check; --diff takes exactly two inputs and no level.
// After an unknown option json still tells whether --json (or a bundle
// with j) stands among the options.
CommandLine parse_command_line(int argc, const char* const* argv);

// The report file of an input: its name with ".txt" appended, or stdin.txt
// in the current folder for standard input.
bool is_standard_input(const char* file);

}  // namespace tolvik::cli
