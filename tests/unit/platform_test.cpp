// The bottom layer's threads and gate, as the outputs, light control and the
// clients use them. The bounds are generous: they tell a wait that ended
// from one that ran out, never how fast anything is.
#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/thread.h"

namespace {

constexpr double kLong = 20;  // Seconds: far past any wake-up, however loaded the machine.

// Waits on the gate with its lock held, as every user does; the seconds it took.
double TimedWait(Gate* gate, double seconds) {
  const double start = MonotonicSeconds();
  GateHold hold(gate);
  GateWait(gate, seconds);
  return MonotonicSeconds() - start;
}

void WakeSoon(void* gate) {
  SleepSeconds(0.05);
  GateWake(static_cast<Gate*>(gate));
}

// Where the wake comes from: before the wait (kept for it), or from another
// thread during it. Either ends the wait long before its time.
TEST(Gate, AWakeEndsTheWaitWhenever) {
  Gate* gate = NewGate();
  GateWake(gate);
  EXPECT_LT(TimedWait(gate, kLong), kLong / 2) << "a wake before the wait was lost";

  Worker* waker = StartWorker(WakeSoon, gate);
  ASSERT_NE(waker, nullptr);
  EXPECT_LT(TimedWait(gate, kLong), kLong / 2) << "a wake from another thread was lost";
  EXPECT_TRUE(JoinWorker(waker, kLong));
  DeleteGate(gate);
}

// One wait takes every wake before it: the next wait, with none after it,
// runs to its time (a sender must not spin on an old wake).
TEST(Gate, AWaitWithoutAWakeRunsToItsTime) {
  Gate* gate = NewGate();
  GateWake(gate);
  GateWake(gate);
  TimedWait(gate, kLong);
  EXPECT_GE(TimedWait(gate, 0.1), 0.08);  // Timers may end a little early; not by a fifth.
  EXPECT_LT(TimedWait(gate, 0), kLong / 2);  // No time: at once.
  DeleteGate(gate);
}

struct Counting {
  Gate* gate;
  long count;
};

void CountUnderTheLock(void* arg) {
  Counting* counting = static_cast<Counting*>(arg);
  for (int i = 0; i < 200000; ++i) {
    GateHold hold(counting->gate);
    ++counting->count;
  }
}

// The lock excludes: two threads' increments under it all count.
TEST(Gate, TheLockExcludes) {
  Counting counting{NewGate(), 0};
  Worker* other = StartWorker(CountUnderTheLock, &counting);
  ASSERT_NE(other, nullptr);
  CountUnderTheLock(&counting);
  ASSERT_TRUE(JoinWorker(other, kLong));
  EXPECT_EQ(counting.count, 400000);
  DeleteGate(counting.gate);
}

// A worker that does not end in time is left running (JoinWorker says so);
// one that ends is joined, having run its function with its argument.
struct Stuck {
  Gate* gate;
  bool release;
};
Stuck StuckWorker{nullptr, false};  // Outlives the test: the worker may still read it.

void WaitForRelease(void* arg) {
  Stuck* stuck = static_cast<Stuck*>(arg);
  GateHold hold(stuck->gate);
  while (!stuck->release) GateWait(stuck->gate, kLong);
}

void SetFlag(void* flag) { *static_cast<bool*>(flag) = true; }

TEST(Worker, JoinSaysWhetherItEnded) {
  StuckWorker.gate = NewGate();
  Worker* stuck = StartWorker(WaitForRelease, &StuckWorker);
  ASSERT_NE(stuck, nullptr);
  EXPECT_FALSE(JoinWorker(stuck, 0.05));
  {
    GateHold hold(StuckWorker.gate);
    StuckWorker.release = true;
  }
  GateWake(StuckWorker.gate);  // It ends on its own; its handle went with the failed join.

  bool ran = false;
  Worker* quick = StartWorker(SetFlag, &ran);
  ASSERT_NE(quick, nullptr);
  EXPECT_TRUE(JoinWorker(quick, kLong));
  EXPECT_TRUE(ran);
}

}  // namespace
