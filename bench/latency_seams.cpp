// The latency benchmark's side of the port: the quiet fake port, watched so
// that the data register stamps each completed two-bank output; the quiet
// fake UI keeps the repaint request on the path, as a no-op.
#include "bench/latency_probe.h"
#include "lights/light_control.h"
#include "tests/fakes/fake_port.h"
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

namespace {

// Only the listener thread writes the port, so the pair count needs no lock.
void StampDataWrites(const PortAccess& access) {
  if (access.kind != PortAccess::kWrite || access.address != PortBase) return;  // Strobes, reads.
  if (DataWrites++ % 2 == 0) {
    FirstByte = access.value;
    return;
  }
  ProbeArrived(uint32_t(access.value) << 8 | FirstByte);  // The command's whole lamp value.
}

// Before main: the listener starts later.
const bool Watching = (fake_port::Watch(StampDataWrites), true);

}  // namespace
