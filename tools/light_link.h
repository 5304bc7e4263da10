// The lamps' way to the server: the schedule of lines (light_schedule.h)
// over one connection of the pipe's client side, which is made again every
// second while no server listens or it is busy, and after it goes away.
#pragma once
#include <string>
#include <vector>

#include "music/lamp_styles.h"
#include "pipe/pipe_client.h"
#include "tools/light_schedule.h"

// Not thread-safe: LightSender runs it on its own thread.
class LightLink {
 public:
  LightLink(int mode, double rate, double delaySeconds);
  ~LightLink();
  LightLink(const LightLink&) = delete;
  LightLink& operator=(const LightLink&) = delete;

  void Offer(double time, music::LampBits bits) { schedule_.Offer(time, bits); }
  // No more offers: the lamps go off (after the delayed states when drain).
  // Without a server then, one more try to connect, and then it gives up.
  void Finish(bool drain);

  // Connects or writes as `now` asks; returns when it wants to run again.
  double Step(double now);

  bool Done() const { return done_; }
  int LinesSent() const { return linesSent_; }
  // What a person should be told (no server, busy, gone, back), once each.
  std::vector<std::string> TakeNotes();

 private:
  void Note(PipeStatus status, const std::string& detail);

  int mode_;
  LightSchedule schedule_;
  PipeConnection* connection_ = nullptr;
  double nextTry_ = -1e300;
  PipeStatus said_ = PipeStatus::kOk;  // The last trouble reported; kOk: none.
  std::string saidDetail_;
  bool everConnected_ = false;
  bool finishing_ = false;
  bool lastTry_ = false;
  bool done_ = false;
  int linesSent_ = 0;
  std::vector<std::string> notes_;
};

// LightLink on a thread of its own, so that a slow or stalled server never
// holds up the capture: Offer only queues the state under a short lock.
class LightSender {
 public:
  LightSender(int mode, double rate, double delaySeconds);
  ~LightSender();
  LightSender(const LightSender&) = delete;
  LightSender& operator=(const LightSender&) = delete;

  void Offer(double time, music::LampBits bits);
  // Ends the sending (see LightLink::Finish); waits at most `seconds` for
  // the last line. False when it could not be sent in time.
  bool Finish(bool drain, double seconds);

  int LinesSent();
  std::vector<std::string> TakeNotes();

 private:
  static void Run(void* self);
  struct Shared;
  Shared* shared_;
};
