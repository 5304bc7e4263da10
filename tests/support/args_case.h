// One row of a command-line tool's argument table, and the check that
// every table shares: the outcome, and an error text exactly when the
// arguments are refused (containing errorHas).
#pragma once
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "protocol/short_text.h"
#include "tools/parse_outcome.h"

struct ArgsCase {
  const char* name;
  std::vector<std::string> args;
  ParseOutcome outcome;
  const char* errorHas = "";  // Part of the error text; "" when none is expected.
};

inline void PrintTo(const ArgsCase& c, std::ostream* os) { *os << c.name; }

inline void ExpectOutcome(ParseOutcome outcome, const std::string& error, const ArgsCase& c) {
  EXPECT_EQ(outcome, c.outcome);
  EXPECT_NE(error.find(c.errorHas), std::string::npos) << error;
  EXPECT_EQ(error.empty(), c.outcome != ParseOutcome::kUsageError) << error;
}

template <typename Options>
void ExpectParse(ParseOutcome (*parse)(const std::vector<std::string>&, Options*, std::string*),
                 const ArgsCase& c) {
  Options options;
  std::string error;
  const ParseOutcome outcome = parse(c.args, &options, &error);
  ExpectOutcome(outcome, error, c);
}

// The same for a parser of the arguments as main gets them (lightsend).
template <typename Options>
void ExpectParse(ParseOutcome (*parse)(int, const char* const*, Options*, ShortText*),
                 const ArgsCase& c) {
  std::vector<const char*> args;
  for (const std::string& arg : c.args) args.push_back(arg.c_str());
  Options options;
  ShortText error;
  const ParseOutcome outcome = parse(int(args.size()), args.data(), &options, &error);
  ExpectOutcome(outcome, error.c_str(), c);
}
