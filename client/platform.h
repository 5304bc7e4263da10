// What the clients need of the system besides the sound and the pipe: one
// worker thread, a lock with a wake-up, Ctrl-C, and whether the standard
// streams are terminals; the clock and sleep come from the bottom layer
// (platform/clock.h). One file per platform: the Windows builds use the
// win32 thread model, where the standard library has no threads.
#pragma once

#include "platform/clock.h"

struct Worker;
using WorkerStart = Worker* (*)(void (*run)(void* arg), void* arg);
// Runs run(arg) on a thread of its own; null when no thread could be made
// (nothing has run then). On Windows the thread keeps the module holding
// its code loaded until it ends, so that a DLL unloaded meanwhile stays.
Worker* StartWorker(void (*run)(void* arg), void* arg);
// Waits at most `seconds` for the worker to end; false when it is still
// running (it is then left to the end of the process). Frees the handle.
bool JoinWorker(Worker* worker, double seconds);

// A lock with a wake-up signal that is not lost when it comes early.
struct Gate;
Gate* NewGate();
void DeleteGate(Gate* gate);
void GateLock(Gate* gate);
void GateUnlock(Gate* gate);
void GateWake(Gate* gate);  // Without the lock held.
// With the lock held: releases it until woken or `seconds` have passed.
void GateWait(Gate* gate, double seconds);

// Makes Ctrl-C (and on Linux SIGTERM) set the flag that Interrupted reads,
// so that a program ends between two lines instead of being killed.
void InstallInterruptHandler();
bool Interrupted();

bool StderrIsTerminal();
bool StdoutIsTerminal();
// Whether the terminal shows UTF-8 (the lamps as round dots) or only ASCII.
bool TerminalTakesUtf8();
