// The pipe listener: the program's second thread. It serves the pipe
// "\\.\pipe\tormelin" (on Linux, the abstract Unix socket "tormelin"), one
// client at a time, and hands each framed line to the sink its caller gave
// it: transport only, it knows nothing of the lamps or of windows.
#pragma once

// What the listener has come to, for a front end that says it in words (the
// Linux program without a window); a window shows ">???" and ">xxx" instead.
enum class ListenerEvent { kListening, kClientCame, kClientWent };

// Where the listener hands what it has, on its own thread; as libuv hands
// a read callback, each call gets the context back.
struct ListenerSink {
  void* context;
  // Every framed line (at most kMaxLineLength characters), and the markers:
  // ">???" first of all, ">xxx" each time a client has gone.
  void (*line)(void* context, const char* line);
  // The pipe cannot be served (most often because another copy of the
  // program already does): code is the platform's error. The listener ends
  // when this returns.
  void (*error)(void* context, long code);
  // Optional (null: nothing said).
  void (*note)(void* context, ListenerEvent event);
};

// The thread's body. Returns the thread's exit code, 0.
int PipeListenThread(const ListenerSink& sink);
