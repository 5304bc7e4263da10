// The soak host's port back end: registers plus two latches.
#pragma once
#include <cstdint>

// What the latches on pins 16 and 17 hold now.
void LatchedBytes(uint8_t* bank0, uint8_t* bank1);

// One line of the host's output, whole (soak_host.cpp).
void PrintLine(const char* line);
