// The latency benchmark's side of the link-time seams: a port whose data
// register stamps each completed two-bank output, and UI operations that do
// nothing (the repaint request stays on the path, as a no-op).
#include <condition_variable>
#include <cstdio>
#include <mutex>

#include "bench/latency_probe.h"
#include "lights/light_control.h"
#include "lights/ui_ops.h"
#include "port/port_io.h"

namespace {

std::mutex ProbeLock;
std::condition_variable ProbeSignal;
uint32_t Awaited = 0;  // Guarded by ProbeLock, as are the two below.
bool Arrived = false;
LatencyClock::time_point ArrivalTime;

// Data-register writes come in pairs (b0, then b1) for two-bank commands.
unsigned DataWrites = 0;
uint8_t FirstByte = 0;

}  // namespace

void ProbeExpect(uint32_t key) {
  std::lock_guard<std::mutex> hold(ProbeLock);
  Awaited = key;
  Arrived = false;
}

void ProbeArrived(uint32_t key) {
  const LatencyClock::time_point now = LatencyClock::now();
  // Notified under the lock: the client cannot return from its wait, and
  // the program end destroy the condition, while this thread still uses it.
  std::lock_guard<std::mutex> hold(ProbeLock);
  if (key != Awaited || Arrived) return;
  Arrived = true;
  ArrivalTime = now;
  ProbeSignal.notify_one();
}

bool ProbeWait(LatencyClock::time_point* arrival) {
  std::unique_lock<std::mutex> hold(ProbeLock);
  if (!ProbeSignal.wait_for(hold, std::chrono::seconds(5), [] { return Arrived; })) return false;
  *arrival = ArrivalTime;
  return true;
}

bool PortAccessOpen(uint16_t) { return true; }
void FormatNoPortAccessMessage(uint16_t base, char* text, size_t size) { std::snprintf(text, size, "%X", base); }
uint8_t PortRead8(uint16_t) { return 0; }

// Only the listener thread writes the port, so the pair count needs no lock.
void PortWrite8(uint16_t address, uint8_t value) {
  if (address != PortBase) return;  // Control-register strobes.
  if (DataWrites++ % 2 == 0) {
    FirstByte = value;
    return;
  }
  ProbeArrived(uint32_t(value) << 8 | FirstByte);  // The command's whole lamp value.
}

void RequestRepaint() {}
void ShowMessageBox(void*, const char* text, const char*, unsigned) { std::fprintf(stderr, "box: %s\n", text); }
