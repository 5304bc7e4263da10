// Light patterns for lightsend: each step of a pattern is one light command.
#pragma once
#include <string>

// True for the names that PatternLine knows: chaser, bounce, counter,
// random, blink.
bool IsKnownPattern(const std::string& name);

// The command of step `step` of the pattern: ">5L..." over sixteen lamps for
// mode 5, ">3L..." over the first row's eight for mode 3. Pure: the same
// arguments give the same line ("random" too, so runs can be compared).
std::string PatternLine(const std::string& name, int mode, unsigned long step);
