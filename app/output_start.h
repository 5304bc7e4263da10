// The outputs the command tail names, started by start-up and stopped at
// shutdown; a fault in the tail shows one box and leaves that output out.
#pragma once

void StartNamedOutputs(const char* commandTail);

// The "Outputs..." item: a box with each running output's destination,
// mapping, frames sent and current fault.
extern const char kOutputsItem[];
void ShowOutputsBox();

// The Linux program's check before any window: usage on --help (exit 0),
// a fault on standard error (exit 2), else -1 to go on.
int CheckOutputOptionsOnConsole(const char* commandTail);
