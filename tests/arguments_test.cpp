#include "cli/arguments.h"

#include <gtest/gtest.h>

#include <climits>

namespace tolvik::cli {
namespace {

struct OptionsCase {
  const char* argument;
  bool save;
  int level;
};

TEST(Arguments, SecondArgumentGivesSaveFlagAndLevel) {
  // The common forms run end to end in cli_test.cpp; these are the odd ones.
  const OptionsCase cases[] = {
      {" \t+7", false, 7}, {"", false, 0}, {"2 t", true, 2}, {"- 1", false, 0}, {"12x3", false, 12},
  };
  for (const OptionsCase& c : cases) {
    const Options options = parse_options(c.argument);
    const char* shown = c.argument == nullptr ? "(absent)" : c.argument;
    EXPECT_EQ(options.save, c.save) << shown;
    EXPECT_EQ(options.level, c.level) << shown;
  }
}

TEST(Arguments, LevelSaturatesOutsideTheIntRange) {
  const struct {
    const char* text;
    int level;
  } cases[] = {
      {"2147483647", INT_MAX},      {"2147483648", INT_MAX},
      {"99999999999", INT_MAX},     {"-2147483648", INT_MIN},
      {"-2147483649", INT_MIN},     {"-99999999999", INT_MIN},
      {"000000000000000000001", 1}, {"99999999999999999999999999999t", INT_MAX},
  };
  for (const auto& c : cases) EXPECT_EQ(parse_level(c.text), c.level) << c.text;
}

}  // namespace
}  // namespace tolvik::cli
