// The pipe's name and read size, defined once for the server, every client
// and the About text. No platform header here.
#pragma once
#include <cstddef>

// The name itself: the abstract Unix socket "tormelin" on Linux, and the
// last part of the named pipe's path on Windows.
#define PIPE_NAME "tormelin"

// Where Windows keeps named pipes, and the pipe as Windows (and the About
// text) spells it.
#define PIPE_WINDOWS_PREFIX "\\\\.\\pipe\\"
#define PIPE_WINDOWS_PATH PIPE_WINDOWS_PREFIX PIPE_NAME

// Each read asks for at most this many bytes: the plug-in's lines fit, and
// the pipe's input buffer has the same size.
constexpr size_t kPipeReadSize = 18;
