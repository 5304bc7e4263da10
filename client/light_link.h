// The lamps' way to the server, for every sender: the schedule of lines
// (light_schedule.h) over one connection of the pipe's client side, which
// is made again every second while no server listens or it is busy, and
// after it goes away; LightSender runs it on a thread of its own.
#pragma once
#include <string>
#include <vector>

#include "client/light_schedule.h"
#include "client/platform.h"
#include "music/lamp_styles.h"
#include "pipe/pipe_client.h"

// Not thread-safe: LightSender runs it on its own thread.
class LightLink {
 public:
  LightLink(int mode, double rate, double delaySeconds);
  ~LightLink();
  LightLink(const LightLink&) = delete;
  LightLink& operator=(const LightLink&) = delete;

  void Offer(double time, music::LampBits bits) { schedule_.Offer(time, bits); }
  LightSchedule* schedule() { return &schedule_; }
  // No more offers: the lamps go off (after the delayed states when drain).
  // Without a server then, one more try to connect, and then it gives up.
  void Finish(bool drain);

  // Connects or writes as `now` asks; returns when it wants to run again.
  // While the lamps stay as they are it writes nothing, so a server that
  // went away would not be noticed: an empty write a second after the last
  // one tells (on Windows; a Unix socket takes it without a word).
  double Step(double now);

  bool Done() const { return done_; }
  int LinesSent() const { return linesSent_; }
  // Whether a server was reached at least once.
  bool EverConnected() const { return everConnected_; }
  // What a person should be told (no server, busy, gone, back), once each.
  std::vector<std::string> TakeNotes();

 private:
  void Note(PipeStatus status, const ShortText& detail);
  double Lost(double now, PipeStatus status, const ShortText& detail);

  int mode_;
  LightSchedule schedule_;
  PipeConnection* connection_ = nullptr;
  double nextTry_ = -LightSchedule::kNever;
  double lastWrite_ = 0;
  PipeStatus said_ = PipeStatus::kOk;  // The last trouble reported; kOk: none.
  std::string saidDetail_;
  bool everConnected_ = false;
  bool finishing_ = false;
  bool lastTry_ = false;
  bool done_ = false;
  int linesSent_ = 0;
  std::vector<std::string> notes_;
};

// What runs on the sender thread besides the link: the plug-in's analysis
// of the player's frames. Not needed when the caller offers the lamps.
class LampSource {
 public:
  virtual ~LampSource() = default;
  // Offers the lamps of whatever came in; returns when to be asked again
  // (it polls: nothing wakes the thread for it).
  virtual double Pull(double now, LightSchedule* schedule) = 0;
};

// LightLink on a thread of its own, so that a slow or stalled server never
// holds up the capture or the player: Offer only queues the state under a
// short lock; a source (when given) is pulled on that thread.
class LightSender {
 public:
  LightSender(int mode, double rate, double delaySeconds, LampSource* source = nullptr,
              WorkerStart start = StartWorker);
  ~LightSender();
  LightSender(const LightSender&) = delete;
  LightSender& operator=(const LightSender&) = delete;

  // False when no thread could be made: nothing will be sent.
  bool Started() const;

  void Offer(double time, music::LampBits bits);
  // Ends the sending (see LightLink::Finish); waits at most `seconds` for
  // the last line. False when it could not be sent in time: the thread and
  // its source are then left to the end of the process.
  bool Finish(bool drain, double seconds);

  int LinesSent();
  bool EverConnected();
  std::vector<std::string> TakeNotes();

 private:
  static void Run(void* self);
  struct Shared;
  Shared* shared_;
};
