// When each light line goes out: only on a change, at most `rate` lines a
// second, `delay` after the sound, newest state first when changes come
// faster, and every lamp off at the end. Platform-free and clock-free: the
// caller hands in the times (wall clock live, stream time for --lines).
#pragma once
#include <cstdint>
#include <deque>
#include <string>

#include "music/lamp_styles.h"

// ">5L" or ">3L" and four hexadecimal digits, without the line feed.
std::string FormatLightLine(int mode, music::LampBits bits);

class LightSchedule {
 public:
  static constexpr double kNever = 1e300;

  LightSchedule(double rate, double delaySeconds);

  // The lamps as the analysis saw them at time `time`.
  void Offer(double time, music::LampBits bits);

  // The line due at `now`, if any: true and *bits set. The caller sends it
  // (while nothing is connected it calls Advance instead).
  bool Take(double now, music::LampBits* bits);

  // Moves the states due by `now` in without sending: while no server listens.
  void Advance(double now);

  // A new connection: the server shows what the last client left, so the
  // current state goes out at once, even when it equals the last one sent.
  void ForgetSent();

  // No more offers. drain (the input ended): the states still waiting out
  // their delay, and the newest one, go out first; else (Ctrl-C) they are
  // dropped. Then one all-off line, at its slot.
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
  };
  double interval_;
  double delay_;
  std::deque<Change> queue_;
  int lastOffered_ = -1;  // -1: nothing offered yet.
  music::LampBits pending_ = 0;  // Newest due state,
  bool havePending_ = false;      // once there is one.
  double latest_ = 0;             // The latest time handed in.
  int lastSent_ = -1;     // -1: the server's lamps are unknown.
  // When the next line may go: kept as a stored double, so that the time
  // NextTime gives is the very one that Take compares with (on x87 a sum
  // recomputed in a register can differ from it in the last bit).
  double nextSlot_ = -1e300;
  bool finishing_ = false;
  bool drain_ = false;
  bool done_ = false;
};
