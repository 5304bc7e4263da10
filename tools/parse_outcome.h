// What the command-line tools make of their arguments, and how each answers.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "res/product.h"
#include "res/version.h"

enum class ParseOutcome { kRun, kHelp, kVersion, kUsageError };

// The help or the version on standard output (exit status 0), or the error and a pointer to
// --help on standard error (exit status 2); -1 for kRun: the program goes on.
// fputs, not fprintf: mingw-w64's printf would add a tenth to lightsend.exe.
inline int AnswerParse(ParseOutcome outcome, const char* program, const char* help,
                       const char* error) {
  switch (outcome) {
    case ParseOutcome::kHelp:
      std::fputs(help, stdout);
      return 0;
    case ParseOutcome::kVersion:
      for (const char* part : {program, " " VERSION_DOTTED " (" APP_TITLE ")\n", LICENCE_NAME "\n"})
        std::fputs(part, stdout);
      return 0;
    case ParseOutcome::kUsageError:
      for (const char* part : {program, ": ", error, "\nTry '", program, " --help'.\n"})
        std::fputs(part, stderr);
      return 2;
    case ParseOutcome::kRun:
      break;
  }
  return -1;
}

// A tool's arguments through its parser into options, answered as above:
// -1 when the program goes on, else its exit status.
template <typename Options>
int ParseCommandLine(int argc, char** argv,
                     ParseOutcome (*parse)(const std::vector<std::string>&, Options*, std::string*),
                     const char* program, const char* help, Options* options) {
  std::string error;
  const ParseOutcome outcome = parse(std::vector<std::string>(argv + 1, argv + argc), options, &error);
  return AnswerParse(outcome, program, help, error.c_str());
}
