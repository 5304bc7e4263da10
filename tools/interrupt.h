// Ctrl-C for the command-line tools: sets a flag instead of killing the
// program, so that a pattern ends between two lines. One file per platform.
#pragma once

// Makes Ctrl-C (and on Linux SIGTERM) set the flag that Interrupted reads.
void InstallInterruptHandler();
bool Interrupted();
