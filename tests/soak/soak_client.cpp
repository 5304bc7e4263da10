// One soak session's client, driven line by line on standard input so the
// driver can pace it against the server's output and kill it at any point:
//   w <hex bytes>   one write of those bytes; answers "ok" once the server
//                   has read them all
//   z               one write of no bytes at all; then "ok"
//   r <count>       count light commands, ">5L0001" on, one write each,
//                   each read by the server before the next; then "ok"
//   q               disconnects and ends
// Answers "connected" first, and "error <what>" on any failure.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "pipe/pipe_client.h"
#include "pipe/pipe_name.h"
#include "tests/soak/soak_platform.h"

namespace {

PipeConnection* Connection = nullptr;

// Connects, waiting up to ten seconds for the server to take clients: it
// may not be listening yet, or still serving the previous session's client.
bool Connect() {
  if (!FindListenerThread()) return false;
  return PipeConnectRetrying(PIPE_NAME, 10000, true, &Connection, nullptr) == PipeStatus::kOk;
}

// One write, then a wait until the server has read all of it, so that the
// next write starts a read of its own.
bool WriteAndDrain(const unsigned char* bytes, size_t count) {
  return PipeWrite(Connection, reinterpret_cast<const char*>(bytes), count, nullptr) == PipeStatus::kOk &&
         PipeWaitDrained(Connection) && WaitListenerAsleep();
}

bool ParseHex(const char* text, std::vector<unsigned char>* bytes) {
  for (; text[0] != '\0' && text[0] != '\n' && text[0] != '\r'; text += 2) {
    unsigned value = 0;
    if (std::sscanf(text, "%2x", &value) != 1 || text[1] == '\0') return false;
    bytes->push_back(static_cast<unsigned char>(value));
  }
  return !bytes->empty();
}

bool SendCommands(long count) {
  for (long i = 1; i <= count; ++i) {
    char line[16];
    const int length = std::snprintf(line, sizeof line, ">5L%04lX\n", i & 0xFFFF);
    if (!WriteAndDrain(reinterpret_cast<const unsigned char*>(line), size_t(length))) return false;
  }
  return true;
}

void Answer(const char* text) {
  std::fputs(text, stdout);
  std::fflush(stdout);
}

}  // namespace

int main() {
  if (!Connect()) {
    Answer("error connect\n");
    return 1;
  }
  Answer("connected\n");
  static char request[4096];
  while (std::fgets(request, sizeof request, stdin) != nullptr) {
    if (request[0] == 'q') break;
    if (request[0] == 'z') {
      static const unsigned char nothing[1] = {0};
      Answer(WriteAndDrain(nothing, 0) ? "ok\n" : "error write\n");
      continue;
    }
    if (request[0] == 'r') {
      Answer(SendCommands(std::atol(request + 1)) ? "ok\n" : "error write\n");
      continue;
    }
    std::vector<unsigned char> bytes;
    if (std::strncmp(request, "w ", 2) != 0 || !ParseHex(request + 2, &bytes)) {
      Answer("error request\n");
      return 1;
    }
    if (!WriteAndDrain(bytes.data(), bytes.size())) {
      Answer("error write\n");
      return 1;
    }
    Answer("ok\n");
  }
  PipeDisconnect(Connection);
  return 0;
}
