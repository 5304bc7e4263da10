// What the program hands the pipe listener (pipe/pipe_listener.h): each
// line goes through light control to the port, the network outputs and the
// window (TakeLightLine), the error into its box. Every front end and the
// test hosts of the listener run it through RunListener.
#pragma once

#include "pipe/pipe_listener.h"

// Formats string 102 with code as a signed decimal number and shows it in a
// box owned by owner, captioned with string 103, information icon, OK
// button. Returns when the box is closed.
void ShowPipeError(void* owner, long code);

// The program's sink: lines to TakeLightLine, the error to ShowPipeError
// with owner (the main window, or null), no note.
ListenerSink ProgramListenerSink(void* owner);

// The listener's thread body: the lamps off with the status text kept and
// the port not written (latches keep their state until the first light
// command), then PipeListenThread with sink. Returns its exit code, 0.
int RunListener(const ListenerSink& sink);
