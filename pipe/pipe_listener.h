// The pipe listener: the program's second thread. It serves the pipe
// "\\.\pipe\tormelin" (on Linux, the abstract Unix socket "tormelin"), one
// client at a time, and applies each framed line through ApplyLightLine.
#pragma once

// The thread's body. owner is the main window's handle (the owner of the
// error box). Returns the thread's exit code, 0.
int PipeListenThread(void* owner);
