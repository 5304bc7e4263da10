// The latency benchmark's side of the link-time seams: a port whose data
// register stamps each completed two-bank output, and UI operations that do
// nothing (the repaint request stays on the path, as a no-op).
#include <cstdio>

#include "app/ui_ops.h"
#include "bench/latency_probe.h"
#include "lights/light_control.h"
#include "port/port_io.h"
#include "tests/support/test_threads.h"

namespace {

TestLock ProbeLock;
TestSignal ProbeSignal;  // Raised when the awaited key has arrived.
uint32_t Awaited = 0;    // Guarded by ProbeLock, as are the two below.
bool Arrived = false;
LatencyClock::time_point ArrivalTime;

// Data-register writes come in pairs (b0, then b1) for two-bank commands.
unsigned DataWrites = 0;
uint8_t FirstByte = 0;

}  // namespace

void ProbeExpect(uint32_t key) {
  TestLockHold hold(ProbeLock);
  Awaited = key;
  Arrived = false;
  ProbeSignal.Clear();
}

void ProbeArrived(uint32_t key) {
  const LatencyClock::time_point now = LatencyClock::now();
  TestLockHold hold(ProbeLock);
  if (key != Awaited || Arrived) return;
  Arrived = true;
  ArrivalTime = now;
  ProbeSignal.Raise();
}

bool ProbeWait(LatencyClock::time_point* arrival) {
  if (!ProbeSignal.Wait(5000)) return false;
  TestLockHold hold(ProbeLock);
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
