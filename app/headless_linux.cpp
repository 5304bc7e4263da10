// The Linux program without a window (--no-window): for a box with no
// display that drives network outputs as a service. No FLTK call is made:
// what the window would show in a box goes to standard error, and the
// listener's state is said in words instead of ">???" and ">xxx".
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>

#include "app/fltk_front.h"
#include "app/listener_sink.h"
#include "pipe/pipe_name.h"

namespace {

// Written once when the listener's thread ends: it cannot serve the pipe.
int ListenerEnded[2] = {-1, -1};

void SayListenerEvent(void*, ListenerEvent event) {
  switch (event) {
    case ListenerEvent::kListening:
      std::fputs("pipeserver: listening on @" PIPE_NAME ", no window\n", stderr);
      break;
    case ListenerEvent::kClientCame:
      std::fputs("pipeserver: a client connected\n", stderr);
      break;
    case ListenerEvent::kClientWent:
      std::fputs("pipeserver: the client has gone\n", stderr);
      break;
  }
}

const char* SignalName(int number) {
  switch (number) {
    case SIGTERM: return "SIGTERM";
    case SIGINT: return "SIGINT";
    case SIGHUP: return "SIGHUP";
    default: return "a signal";
  }
}

}  // namespace

void* StartHeadlessListener() {
  if (pipe2(ListenerEnded, O_CLOEXEC) != 0) ListenerEnded[0] = ListenerEnded[1] = -1;
  std::thread([] {
    ListenerSink sink = ProgramListenerSink(nullptr);
    sink.note = SayListenerEvent;
    RunListener(sink);
    if (ListenerEnded[1] >= 0) {
      const char byte = 1;
      (void)!write(ListenerEnded[1], &byte, 1);
    }
  }).detach();
  return nullptr;
}

int WaitHeadless() {
  pollfd watched[] = {{ExitSignalDescriptor(), POLLIN, 0}, {ListenerEnded[0], POLLIN, 0}};
  for (;;) {
    if (poll(watched, 2, -1) < 0) {
      if (errno == EINTR) continue;
      std::perror("pipeserver: poll");
      return 1;
    }
    if (watched[0].revents != 0) {
      const int number = TakeExitSignal();
      if (number == 0) continue;
      std::fprintf(stderr, "pipeserver: %s: sending the outputs' last packets and ending\n", SignalName(number));
      return 0;
    }
    if (watched[1].revents != 0) {
      std::fputs("pipeserver: the pipe cannot be served: ending\n", stderr);
      return 1;
    }
  }
}

void SayMessageBox(const char* text, const char* caption) {
  // One line: the box's paragraphs joined by blanks.
  std::string line;
  bool blank = false;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c == '\n' || *c == '\r') {
      blank = !line.empty();
      continue;
    }
    if (blank) line += ' ';
    blank = false;
    line += *c;
  }
  std::fprintf(stderr, "pipeserver: %s: %s\n", caption, line.c_str());
}
