// The outputs named on the command line: words that begin with "--", each
// output word followed by the options that shape it. The port's own words
// ("-p 378") are never read here, nor is any word that no "--" word takes
// as its argument.
#pragma once
#include "out/output_config.h"

struct OutputOptionError {
  char word[48];   // The word at fault, as written (cut to fit).
  char text[200];  // What is wrong with it, one line without the word.
};

struct OutputOptions {
  OutputConfig outputs[kMaxOutputs];  // The outputs that are right, in the order named.
  size_t count;
  bool help;        // "--help" was given.
  bool version;     // "--version" was given.
  bool hasError;
  OutputOptionError error;  // The first fault; every output with a fault is left out.
};

void ReadOutputOptions(const char* tail, OutputOptions* result);

// The options' summary, for --help and the manual.
extern const char kOutputOptionsUsage[];
