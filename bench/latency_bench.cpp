// End-to-end latency: from a client's write of one line into the real
// transport to the line's lamp value reaching the port's data register,
// through the real listener. Beside it the limit: a bare blocking-read loop
// on the same transport, stamped when each read returns. The two take turns.
//   latency_bench [lines]     (default 10000)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/listener_sink.h"
#include "bench/latency_isolation.h"
#include "bench/latency_probe.h"
#include "lights/light_control.h"
#include "pipe/pipe_client.h"
#include "pipe/pipe_endpoint.h"
#include "pipe/pipe_name.h"
#include "tests/support/test_threads.h"

namespace {

constexpr int kBlock = 100;  // Lines per turn of each server.

// Which server a client talks to: the real listener on its own name, or the
// bare read loop on a name of its own, so that both can run at once and be
// measured in turns under the same machine load.
enum class Server { kBare, kListener };
const char* const kServerNames[] = {PIPE_NAME "-bare", PIPE_NAME};  // By Server.
PipeConnection* Clients[] = {nullptr, nullptr};                    // By Server.
PipeServer* Bare = nullptr;

// Connects, waiting for the server to appear.
bool ClientConnect(Server server) {
  return PipeConnectRetrying(kServerNames[int(server)], 5000, true, &Clients[int(server)], nullptr) ==
         PipeStatus::kOk;
}

bool ClientWrite(Server server, const char* bytes, size_t count) {
  return PipeWrite(Clients[int(server)], bytes, count, nullptr) == PipeStatus::kOk;
}

struct Run {
  Server server;
  uint32_t next = 1;  // Key of the next line: read count (bare) or lamp value.
  std::vector<double> latencies;
};

// Writes count lines to one server, one at a time, each with a distinct
// value, waiting for each to arrive before the next so that no two share a
// read.
bool MeasureBlock(Run* run, int count, bool keep) {
  for (int i = 0; i < count; ++i, ++run->next) {
    char line[16];
    const int length = std::snprintf(line, sizeof line, ">5L%04X\n", unsigned(run->next & 0xFFFF));
    // The bare loop counts reads; the port sees the lamp value.
    ProbeExpect(run->server == Server::kBare ? run->next : run->next & 0xFFFF);
    const LatencyClock::time_point start = LatencyClock::now();
    if (!ClientWrite(run->server, line, size_t(length))) return false;
    LatencyClock::time_point arrived;
    if (!ProbeWait(&arrived)) {
      std::fprintf(stderr, "latency_bench: %.*s never arrived\n", length - 1, line);
      return false;
    }
    if (keep) run->latencies.push_back(std::chrono::duration<double, std::micro>(arrived - start).count());
  }
  return true;
}

// The bare loop, on the listener's own endpoint: reads until its client
// goes, reporting each read. Its name stays taken until the process ends.
void BareServe() {
  if (!PipeServerWaitClient(Bare)) return;
  unsigned char bytes[kPipeReadSize];
  uint32_t reads = 0;
  while (PipeServerRead(Bare, bytes) >= 0) ProbeArrived(++reads);
}

// Both servers run at once and take turns of kBlock lines, in alternating
// order, so that a change in the machine's load falls on both alike.
bool Measure(int lines, Run* bare, Run* listener) {
  long error = 0;
  Bare = PipeServerCreate(kServerNames[int(Server::kBare)], &error);
  if (Bare == nullptr) return false;
  // Joined at the end: it ends when its client goes, and a thread that ends
  // unjoined is a leak to the sanitizers.
  Worker* bareServer = StartWorker([](void*) { BareServe(); }, nullptr);
  if (bareServer == nullptr) return false;
  PortBase = 0x378;
  StartDetachedThread([](void*) { RunListener(ProgramListenerSink(nullptr)); }, nullptr);  // Never returns.
  if (!ClientConnect(Server::kBare) || !ClientConnect(Server::kListener)) return false;

  const int warmUp = std::min(kBlock, lines / 10);
  if (!MeasureBlock(bare, warmUp, false) || !MeasureBlock(listener, warmUp, false)) return false;
  for (int done = 0, turn = 0; done < lines; done += kBlock, ++turn) {
    const int count = std::min(kBlock, lines - done);
    Run* first = (turn % 2 == 0) ? bare : listener;
    Run* second = (turn % 2 == 0) ? listener : bare;
    if (!MeasureBlock(first, count, true) || !MeasureBlock(second, count, true)) return false;
  }
  PipeDisconnect(Clients[int(Server::kBare)]);
  PipeDisconnect(Clients[int(Server::kListener)]);
  return JoinWorker(bareServer, 5);
}

void PrintRow(const char* name, const Summary& s) {
  std::printf("%-28s %9.1f %9.1f %9.1f\n", name, s.p50, s.p99, s.max);
}

}  // namespace

int main(int argc, char** argv) {
  const int lines = argc > 1 ? std::atoi(argv[1]) : 10000;
  if (lines < 1 || lines > 60000) {
    std::fprintf(stderr, "usage: latency_bench [lines: 1 to 60000]\n");
    return 2;
  }
  if (!IsolatePipeNames()) return 1;
  Run bare{Server::kBare, 1, {}}, listener{Server::kListener, 1, {}};
  if (!Measure(lines, &bare, &listener)) {
    std::fprintf(stderr, "latency_bench: the run failed\n");
    return 1;
  }

  const Summary a = Summarise(bare.latencies), b = Summarise(listener.latencies);
  std::printf("write-to-arrival latency, %d lines, microseconds\n", lines);
  std::printf("%-28s %9s %9s %9s\n", "", "p50", "p99", "max");
  PrintRow("bare read loop (limit)", a);
  PrintRow("listener to port data", b);
  std::printf("p99 ratio listener/limit: %.2f\n", b.p99 / a.p99);
  return 0;
}
