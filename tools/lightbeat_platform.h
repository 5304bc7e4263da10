// What lightbeat needs of the system besides the sound, the pipe and Ctrl-C
// (tools/interrupt.h): a clock, one worker thread, a lock with a wake-up,
// and whether standard error is a terminal. One file per platform: the
// Windows builds use the win32 thread model, where the standard library has
// no threads.
#pragma once

double MonotonicSeconds();
void SleepSeconds(double seconds);

struct Worker;
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

bool StderrIsTerminal();
bool StdoutIsTerminal();
// Whether the terminal shows UTF-8 (the lamps as round dots) or only ASCII.
bool TerminalTakesUtf8();
