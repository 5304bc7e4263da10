// The clients' one lamp stream: the schedule of lines, the connection and
// the sender thread, against a scripted pipe.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "client/light_link.h"
#include "client/light_schedule.h"
#include "tests/fakes/scripted_pipe_client.h"

namespace {

const auto kName = [](const auto& info) { return std::string(info.param.name); };

// --- The schedule of lines --------------------------------------------------

struct Sent {
  double time;
  unsigned bits;
  bool operator==(const Sent& o) const { return std::abs(time - o.time) < 1e-9 && bits == o.bits; }
};
void PrintTo(const Sent& s, std::ostream* os) { *os << s.time << ":" << std::hex << s.bits; }

struct ScheduleCase {
  const char* name;
  double rate;
  double delay;
  std::vector<Sent> offers;  // The analysis's states, in time order.
  bool drain;                // At the end: play out the delayed states first.
  std::vector<Sent> sent;    // The lines, each at the moment it goes out.
  bool connected = false;    // Sent to a server connected at the start.
};

// Runs the schedule as --lines does: every line at the first moment it may go.
std::vector<Sent> RunSchedule(const ScheduleCase& c) {
  LightSchedule schedule(c.rate, c.delay);
  if (c.connected) schedule.Connected();
  std::vector<Sent> sent;
  auto sendDue = [&](double until) {
    music::LampBits bits;
    for (double t; (t = schedule.NextTime()) <= until && t < LightSchedule::kNever;)
      if (schedule.Take(t, &bits)) sent.push_back({t, bits});
  };
  for (const Sent& offer : c.offers) {
    sendDue(offer.time);
    schedule.Offer(offer.time, music::LampBits(offer.bits));
    sendDue(offer.time);
  }
  schedule.Finish(c.drain);
  sendDue(LightSchedule::kNever);
  EXPECT_TRUE(schedule.Done());
  return sent;
}

void PrintTo(const ScheduleCase& c, std::ostream* os) { *os << c.name; }

class LightbeatSchedule : public testing::TestWithParam<ScheduleCase> {};

TEST_P(LightbeatSchedule, SendsTheseLines) { EXPECT_EQ(RunSchedule(GetParam()), GetParam().sent); }

INSTANTIATE_TEST_SUITE_P(Lines, LightbeatSchedule, testing::Values(
    ScheduleCase{"OnlyChanges", 50, 0, {{0, 0x1}, {0.1, 0x1}, {0.2, 0x2}, {0.3, 0x2}}, true,
                 {{0, 0x1}, {0.2, 0x2}, {0.22, 0}}},
    ScheduleCase{"FirstStateEvenWhenDark", 50, 0, {{0.5, 0}, {0.6, 0x8000}}, true,
                 {{0.5, 0}, {0.6, 0x8000}, {0.62, 0}}},
    ScheduleCase{"AtMostRatePerSecondNewestWins", 50, 0,
                 {{0, 0x1}, {0.005, 0x2}, {0.01, 0x3}, {0.015, 0x4}}, true,
                 {{0, 0x1}, {0.02, 0x4}, {0.04, 0}}},
    ScheduleCase{"LastStateNotLost", 10, 0, {{0, 0x1}, {0.05, 0x2}}, true,
                 {{0, 0x1}, {0.1, 0x2}, {0.2, 0}}},
    ScheduleCase{"BackToSentStateWithinSlot", 50, 0, {{0, 0x1}, {0.005, 0x2}, {0.01, 0x1}}, true,
                 {{0, 0x1}, {0.02, 0}}},
    ScheduleCase{"DelayShiftsLater", 50, 0.1, {{0, 0x1}, {0.05, 0x2}}, true,
                 {{0.1, 0x1}, {0.15, 0x2}, {0.17, 0}}},
    ScheduleCase{"InterruptedDropsTheDelayed", 50, 0.1, {{0, 0x1}, {0.05, 0x2}}, false,
                 {{0.05, 0}}},
    ScheduleCase{"NoSecondAllOff", 50, 0, {{0, 0xFFFF}, {0.1, 0}}, true,
                 {{0, 0xFFFF}, {0.1, 0}}},
    ScheduleCase{"EmptyInputStillAllOff", 50, 0, {}, true, {{0, 0}}},
    // Until the first state has waited out the delay, the server would show
    // what the last client left.
    ScheduleCase{"DelayedConnectionStartsDark", 50, 0.1, {{0, 0x1}, {0.03, 0x2}}, true,
                 {{0, 0}, {0.1, 0x1}, {0.13, 0x2}, {0.15, 0}}, true}), kName);

TEST(LightbeatScheduleConnection, NewConnectionGetsTheCurrentState) {
  LightSchedule schedule(50, 0);
  music::LampBits bits = 0;
  schedule.Offer(0, 0x0F0F);
  ASSERT_TRUE(schedule.Take(0, &bits));
  EXPECT_FALSE(schedule.Take(1, &bits));  // Unchanged: nothing to send.
  schedule.Connected();
  ASSERT_TRUE(schedule.Take(1, &bits));
  EXPECT_EQ(bits, 0x0F0F);
}

TEST(LightbeatScheduleConnection, WhileDisconnectedOnlyTheNewestCounts) {
  LightSchedule schedule(50, 0);
  for (int i = 1; i <= 5; ++i) {
    schedule.Offer(i * 0.1, music::LampBits(i));
    schedule.Advance(i * 0.1);
  }
  music::LampBits bits = 0;
  ASSERT_TRUE(schedule.Take(0.6, &bits));
  EXPECT_EQ(bits, 5);
  EXPECT_FALSE(schedule.Take(0.7, &bits));
}

// A forced state goes out even when the server shows it already.
TEST(LightbeatScheduleConnection, ForcedLineGoesEvenWhenUnchanged) {
  LightSchedule schedule(50, 0);
  music::LampBits bits = 0xFFFF;
  schedule.Offer(0, 0);
  ASSERT_TRUE(schedule.Take(0, &bits));
  schedule.Offer(0.03, 0);
  EXPECT_FALSE(schedule.Take(0.03, &bits));
  schedule.Offer(0.05, 0, true);
  ASSERT_TRUE(schedule.Take(0.05, &bits));
  EXPECT_EQ(bits, 0);
  EXPECT_FALSE(schedule.Take(0.2, &bits));
}

// --- The connection ---------------------------------------------------------

class LightbeatLink : public testing::Test {
 protected:
  void SetUp() override { Pipe() = ScriptedPipe(); }
};

TEST_F(LightbeatLink, NoServerIsSaidOnceAndTriedEverySecond) {
  Pipe().connects = {PipeStatus::kNoServer, PipeStatus::kNoServer, PipeStatus::kBusy,
                     PipeStatus::kOk};
  LightLink link(5, 50, 0);
  link.Offer(0, 0x0001);
  std::vector<std::string> notes;
  double t = 0;
  for (int i = 0; i < 4; ++i) {
    const double next = link.Step(t);
    for (auto& n : link.TakeNotes()) notes.push_back(n);
    if (i < 3) {
      EXPECT_DOUBLE_EQ(next, t + 1);
    }
    t = next;
  }
  EXPECT_EQ(Pipe().connectCalls, 4);
  ASSERT_EQ(notes.size(), 3u);
  EXPECT_NE(notes[0].find("no pipe server"), std::string::npos) << notes[0];
  EXPECT_NE(notes[1].find("busy"), std::string::npos) << notes[1];
  EXPECT_NE(notes[2].find("connected"), std::string::npos) << notes[2];
  EXPECT_EQ(Pipe().written, std::vector<std::string>{">5L0001\n"});
}

TEST_F(LightbeatLink, ServerGoneThenBackGetsTheStateAgain) {
  Pipe().writes = {PipeStatus::kOk, PipeStatus::kServerGone};
  LightLink link(3, 50, 0);
  link.Offer(0, 0x0001);
  link.Step(0);
  link.Offer(0.1, 0x0002);
  EXPECT_DOUBLE_EQ(link.Step(0.1), 1.1);  // The write failed: again in a second.
  EXPECT_EQ(Pipe().openConnections, 0);
  std::vector<std::string> notes = link.TakeNotes();
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_NE(notes[1].find("went away"), std::string::npos) << notes[1];
  link.Step(0.5);  // Not yet.
  EXPECT_EQ(Pipe().connectCalls, 1);
  link.Step(1.1);
  EXPECT_EQ(Pipe().written, (std::vector<std::string>{">3L0001\n", ">3L0002\n"}));
  link.Finish(true);
  for (double t = 1.1; !link.Done() && t < 2; t = std::max(link.Step(t), t)) {}
  EXPECT_TRUE(link.Done());
  EXPECT_EQ(Pipe().written.back(), ">3L0000\n");
  EXPECT_EQ(link.LinesSent(), 3);
}

TEST_F(LightbeatLink, FinishingWithoutServerTriesOnceAndEnds) {
  Pipe().connects = {PipeStatus::kNoServer, PipeStatus::kNoServer};
  LightLink link(5, 50, 0);
  link.Offer(0, 0x00FF);
  link.Step(0);
  link.Finish(false);
  double t = 0.2;
  for (int i = 0; i < 3 && !link.Done(); ++i) t = link.Step(t);
  EXPECT_TRUE(link.Done());
  EXPECT_EQ(Pipe().connectCalls, 2);
  EXPECT_TRUE(Pipe().written.empty());
  EXPECT_FALSE(link.EverConnected());  // lightbeat's exit status 1.
}

// Nothing changes for a second: an empty write finds out that the server
// went away, and the next one gets the lamps as they are.
TEST_F(LightbeatLink, QuietLinkNoticesTheServerGone) {
  LightLink link(5, 50, 0);
  link.Offer(0, 0x0042);
  EXPECT_DOUBLE_EQ(link.Step(0), 1);  // The probe's time.
  Pipe().writes = {PipeStatus::kServerGone};
  EXPECT_DOUBLE_EQ(link.Step(1), 2);  // Again in a second.
  EXPECT_EQ(Pipe().openConnections, 0);
  link.Step(2);
  EXPECT_EQ(Pipe().connectCalls, 2);
  EXPECT_EQ(Pipe().written, (std::vector<std::string>{">5L0042\n", ">5L0042\n"}));
  const std::vector<std::string> notes = link.TakeNotes();
  ASSERT_EQ(notes.size(), 3u);
  EXPECT_NE(notes[1].find("went away"), std::string::npos) << notes[1];
}

TEST_F(LightbeatLink, NoThreadIsReportedAndNothingSent) {
  LightSender sender(5, 50, 0, nullptr, [](void (*)(void*), void*) -> Worker* { return nullptr; });
  EXPECT_FALSE(sender.Started());
  sender.Offer(0, 0x1111);
  EXPECT_FALSE(sender.Finish(true, 5));
  EXPECT_EQ(Pipe().connectCalls, 0);
}

TEST_F(LightbeatLink, SenderThreadDeliversAndTurnsOff) {
  LightSender sender(5, 1000, 0);
  EXPECT_TRUE(sender.Started());
  sender.Offer(0, 0x1111);
  EXPECT_TRUE(sender.Finish(true, 5));
  ASSERT_FALSE(Pipe().written.empty());
  EXPECT_EQ(Pipe().written.front(), ">5L1111\n");
  EXPECT_EQ(Pipe().written.back(), ">5L0000\n");
  EXPECT_EQ(sender.LinesSent(), int(Pipe().written.size()));
  EXPECT_TRUE(sender.EverConnected());
}

// lightbeat's exit status comes from here: a server reached once counts even
// when it went away before the end; none ever reached does not.
TEST_F(LightbeatLink, SenderTellsWhetherAServerWasEverReached) {
  struct Case {
    std::vector<PipeStatus> connects, writes;
    bool reached;
  };
  for (const Case& c : {Case{{PipeStatus::kNoServer, PipeStatus::kNoServer}, {}, false},
                        Case{{PipeStatus::kBusy, PipeStatus::kBusy}, {}, false},
                        Case{{PipeStatus::kOk, PipeStatus::kNoServer, PipeStatus::kNoServer},
                             {PipeStatus::kServerGone}, true}}) {
    Pipe() = ScriptedPipe();
    Pipe().connects.assign(c.connects.begin(), c.connects.end());
    Pipe().writes.assign(c.writes.begin(), c.writes.end());
    LightSender sender(5, 1000, 0);
    sender.Offer(0, 0x0F0F);
    SleepSeconds(0.05);
    EXPECT_TRUE(sender.Finish(true, 5));
    EXPECT_EQ(sender.EverConnected(), c.reached) << Pipe().connectCalls << " connects";
  }
}

}  // namespace
