// Light patterns for lightsend: each step of a pattern is one light command.
#pragma once
#include <cstddef>

#include "protocol/light_line.h"

// True for the names that PatternLine knows: chaser, bounce, counter,
// random, blink.
bool IsKnownPattern(const char* name);

// The command of step `step` of the pattern: ">5L..." over sixteen lamps for
// mode 5, ">3L..." over the first row's eight for mode 3. Pure: the same
// arguments give the same line ("random" too, so runs can be compared).
// Returns its length.
size_t PatternLine(const char* name, int mode, unsigned long step,
                   char (&line)[kMaxLineLength + 1]);
