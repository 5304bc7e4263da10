// What the command-line tools make of their arguments, and how each answers.
#pragma once
#include <cstdio>
#include <string>

enum class ParseOutcome { kRun, kHelp, kUsageError };

// The help on standard output (exit status 0), or the error and a pointer to
// --help on standard error (exit status 2); -1 for kRun: the program goes on.
inline int AnswerParse(ParseOutcome outcome, const char* program, const char* help,
                       const std::string& error) {
  switch (outcome) {
    case ParseOutcome::kHelp:
      std::fputs(help, stdout);
      return 0;
    case ParseOutcome::kUsageError:
      std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", program, error.c_str(), program);
      return 2;
    case ParseOutcome::kRun:
      break;
  }
  return -1;
}
