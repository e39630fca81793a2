// The optional second argument: a report level and/or the save flag.
#pragma once

#include "decode/tolvik.h"

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

}  // namespace tolvik::cli
