// End-to-end latency: from a client's write of one line into the real
// transport to the line's lamp value reaching the port's data register,
// through the real listener. Beside it the limit: a bare blocking-read loop
// on the same transport, stamped when each read returns.
//   latency_bench [lines]     (default 10000)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "bench/latency_probe.h"
#include "bench/latency_transport.h"
#include "lights/light_control.h"
#include "pipe/pipe_listener.h"

namespace {

struct Summary {
  double p50, p99, max;  // Microseconds.
};

Summary Summarise(std::vector<double> us) {
  std::sort(us.begin(), us.end());
  const auto at = [&](double q) { return us[std::min(us.size() - 1, size_t(q * double(us.size())))]; };
  return {at(0.50), at(0.99), us.back()};
}

// Writes lines one at a time, each with a distinct value, and waits for each
// to arrive before the next, so no two share a read. key(i) is what the
// server side reports for line i.
template <typename KeyOf>
bool MeasureClient(int lines, int warmUp, KeyOf key, std::vector<double>* latencies) {
  if (!ClientConnect()) return false;
  for (int i = 0; i < warmUp + lines; ++i) {
    const unsigned value = unsigned(i + 1) & 0xFFFF;
    char line[16];
    const int count = std::snprintf(line, sizeof line, ">5L%04X\n", value);
    ProbeExpect(key(i, value));
    const LatencyClock::time_point start = LatencyClock::now();
    if (!ClientWrite(line, size_t(count))) return false;
    LatencyClock::time_point arrived;
    if (!ProbeWait(&arrived)) {
      std::fprintf(stderr, "latency_bench: line %d (%.*s) never arrived\n", i, count - 1, line);
      return false;
    }
    if (i >= warmUp) latencies->push_back(std::chrono::duration<double, std::micro>(arrived - start).count());
  }
  ClientClose();
  return true;
}

bool MeasureLimit(int lines, int warmUp, std::vector<double>* latencies) {
  if (!BareOpen()) return false;
  std::thread server([] {
    if (!BareAccept()) return;
    unsigned char bytes[18];
    uint32_t reads = 0;
    while (BareRead(bytes, sizeof bytes) >= 0) ProbeArrived(++reads);
  });
  const bool ok = MeasureClient(lines, warmUp, [](int i, unsigned) { return uint32_t(i + 1); }, latencies);
  ClientClose();  // Ends the server's read loop.
  if (!ok) {
    server.detach();  // It may still wait for a client that never came.
    return false;
  }
  server.join();
  BareClose();
  return ok;
}

// The listener never returns; it ends with the process.
bool MeasureListener(int lines, int warmUp, std::vector<double>* latencies) {
  PortBase = 0x378;
  std::thread([] { PipeListenThread(nullptr); }).detach();
  return MeasureClient(lines, warmUp, [](int, unsigned value) { return uint32_t(value); }, latencies);
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
  if (!IsolateTransport()) return 1;
  const int warmUp = std::min(100, lines / 10);

  std::vector<double> limit, listener;
  if (!MeasureLimit(lines, warmUp, &limit)) {
    std::fprintf(stderr, "latency_bench: the bare read loop failed\n");
    return 1;
  }
  if (!MeasureListener(lines, warmUp, &listener)) {
    std::fprintf(stderr, "latency_bench: the listener run failed\n");
    return 1;
  }

  const Summary a = Summarise(limit), b = Summarise(listener);
  std::printf("write-to-arrival latency, %d lines, microseconds\n", lines);
  std::printf("%-28s %9s %9s %9s\n", "", "p50", "p99", "max");
  PrintRow("bare read loop (limit)", a);
  PrintRow("listener to port data", b);
  std::printf("p99 ratio listener/limit: %.2f\n", b.p99 / a.p99);
  return 0;
}
