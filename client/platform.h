// What the clients need of the system besides the sound, the pipe and the
// bottom layer's threads, lock and clock (platform/thread.h, clock.h):
// Ctrl-C, and whether the standard streams are terminals. One file per
// platform.
#pragma once

#include "platform/clock.h"
#include "platform/thread.h"

// Makes Ctrl-C (and on Linux SIGTERM) set the flag that Interrupted reads,
// so that a program ends between two lines instead of being killed.
void InstallInterruptHandler();
bool Interrupted();

bool StderrIsTerminal();
bool StdoutIsTerminal();
// Whether the terminal shows UTF-8 (the lamps as round dots) or only ASCII.
bool TerminalTakesUtf8();
