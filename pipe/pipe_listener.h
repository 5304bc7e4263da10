// The pipe listener: the program's second thread. It serves the pipe
// "\\.\pipe\tormelin" (on Linux, the abstract Unix socket "tormelin"), one
// client at a time, and applies each framed line through ApplyLightLine.
#pragma once

// The thread's body. owner is the main window's handle (the owner of the
// error box). Returns the thread's exit code, 0.
int PipeListenThread(void* owner);

// What the listener has come to, for a front end that says it in words (the
// Linux program without a window); a window shows ">???" and ">xxx" instead.
enum class ListenerEvent { kListening, kClientCame, kClientWent };

// Called on the listener's thread when set; null (nothing said) unless a
// front end sets it before the listener starts.
extern void (*ListenerNote)(ListenerEvent event);
