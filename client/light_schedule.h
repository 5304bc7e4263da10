// When each light line goes out, for every sender: only on a change, at
// most `rate` lines a second, `delay` after the sound, newest state first
// when changes come faster, and every lamp off at the end. Platform-free and
// clock-free: the caller hands in the times in seconds (a monotonic clock
// live, stream time for lightbeat --lines).
#pragma once
#include <deque>
#include <string>

#include "music/lamp_styles.h"

class LightSchedule {
 public:
  static constexpr double kNever = 1e300;

  LightSchedule(double rate, double delaySeconds);

  // The lamps as the analysis saw them at time `time`. force: the line goes
  // out even when the server already shows these lamps (the player's stop).
  void Offer(double time, music::LampBits bits, bool force = false);

  // The line due at `now`, if any: true and *bits set. The caller sends it
  // (while nothing is connected it calls Advance instead).
  bool Take(double now, music::LampBits* bits);

  // Moves the states due by `now` in without sending: while no server listens.
  void Advance(double now);

  // A new connection: the server shows what the last client left, so the
  // current state goes out at once, even when it equals the last one sent.
  // With a delay and no state due yet that is all off: else the lamps would
  // show the last client's state for the whole delay.
  void Connected();

  // No more offers. drain (the input ended): the states still waiting out
  // their delay, and the newest one, go out first; else (Ctrl-C, Quit)
  // they are dropped. Then one all-off line, at its slot.
  void Finish(bool drain);

  // True once the all-off line has been taken (or was not needed: the
  // last line sent had every lamp off).
  bool Done() const { return done_; }

  // When Take could next give a line (or Advance has work); kNever when
  // nothing waits.
  double NextTime() const;

 private:
  struct Change {
    double due;
    music::LampBits bits;
    bool force;
  };
  // Changes far faster than lines (a server stalled for minutes): past
  // this many the oldest is taken in early.
  static constexpr size_t kMaxQueued = 4096;

  void TakeIn(const Change& change);

  double interval_;
  double delay_;
  std::deque<Change> queue_;
  int lastOffered_ = -1;  // -1: nothing offered yet.
  music::LampBits pending_ = 0;  // Newest due state,
  bool havePending_ = false;      // once there is one.
  bool mustSend_ = false;         // A forced line is owed.
  double latest_ = 0;             // The latest time handed in.
  int lastSent_ = -1;     // -1: the server's lamps are unknown.
  // When the next line may go: kept as a stored double, so that the time
  // NextTime gives is the very one that Take compares with (on x87 a sum
  // recomputed in a register can differ from it in the last bit).
  double nextSlot_ = -kNever;
  bool finishing_ = false;
  bool drain_ = false;
  bool done_ = false;
};
