// The outputs named on the command line: words that begin with "--", each
// output word followed by the options that shape it. A tail without such a
// word names no output and is not read here at all: the port rule alone
// reads it. A tail with one is read word by word: the leading "-p ADDRESS"
// (or "-P") of the port rule, then outputs, their options and the values
// those take, and nothing else.
#pragma once
#include <cstdint>

#include "lightnet/output_config.h"

struct OutputOptionError {
  char word[48];   // The word at fault, as written (cut to fit).
  char text[200];  // What is wrong with it, one line without the word.
};

struct OutputOptions {
  OutputConfig outputs[kMaxOutputs];  // The outputs that are right, in the order named.
  size_t count;
  bool help;        // "--help" was given.
  bool version;     // "--version" was given.
  bool noWindow;    // "--no-window": the Linux program runs without a display.
  bool hasError;
  OutputOptionError error;  // The first fault; every output with a fault is left out.
};

// Whether an IPv4 address (host order) is one of this computer's own, for
// --interface: the front ends pass the platform's IsLocalAddress, tests a
// fake. nullptr leaves the address unchecked.
using LocalAddressCheck = bool (*)(uint32_t hostOrderIPv4);

// Whether a serial port of this name is there now, for --usbpro: the front
// ends pass the platform's CheckSerialPort, tests a fake; false with why
// filled. nullptr leaves the port unchecked (it is tried when it starts).
using SerialPortCheck = bool (*)(const char* name, char* why, size_t size);

void ReadOutputOptions(const char* tail, OutputOptions* result, LocalAddressCheck isLocalAddress = nullptr,
                       SerialPortCheck checkPort = nullptr);

// The options' summary, for --help and the manual.
extern const char kOutputOptionsUsage[];
