// One row of a command-line tool's argument table, and the check that
// every table shares: the outcome, and an error text exactly when the
// arguments are refused (containing errorHas).
#pragma once
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tools/parse_outcome.h"

struct ArgsCase {
  const char* name;
  std::vector<std::string> args;
  ParseOutcome outcome;
  const char* errorHas = "";  // Part of the error text; "" when none is expected.
};

inline void PrintTo(const ArgsCase& c, std::ostream* os) { *os << c.name; }

template <typename Options>
void ExpectParse(ParseOutcome (*parse)(const std::vector<std::string>&, Options*, std::string*),
                 const ArgsCase& c) {
  Options options;
  std::string error;
  EXPECT_EQ(parse(c.args, &options, &error), c.outcome);
  EXPECT_NE(error.find(c.errorHas), std::string::npos) << error;
  EXPECT_EQ(error.empty(), c.outcome != ParseOutcome::kUsageError) << error;
}
