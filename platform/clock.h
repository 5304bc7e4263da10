// The clock and sleep that the outputs, clients, audio pacing and tests
// share: the bottom layer, so that every folder above may use it. One file
// per platform (platform_linux.cpp, platform_win.cpp); no platform header
// here. Times that cross a seam are double seconds, as here.
#pragma once

// Seconds from an arbitrary start, never going back.
double MonotonicSeconds();

// Returns after at least `seconds`; at once for 0 or less.
void SleepSeconds(double seconds);
