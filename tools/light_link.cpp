#include "tools/light_link.h"

#include <algorithm>

#include "tools/lightbeat_platform.h"

namespace {
constexpr double kRetrySeconds = 1;
}

LightLink::LightLink(int mode, double rate, double delaySeconds)
    : mode_(mode), schedule_(rate, delaySeconds) {}

LightLink::~LightLink() { PipeDisconnect(connection_); }

void LightLink::Finish(bool drain) {
  schedule_.Finish(drain);
  finishing_ = true;
}

std::vector<std::string> LightLink::TakeNotes() {
  std::vector<std::string> notes;
  notes.swap(notes_);
  return notes;
}

void LightLink::Note(PipeStatus status, const std::string& detail) {
  if (status == said_ && detail == saidDetail_) return;
  said_ = status;
  saidDetail_ = detail;
  const std::string server = PipeDisplayName();
  const char* retry = finishing_ ? "" : "; trying again every second";
  switch (status) {
    case PipeStatus::kOk:
      break;
    case PipeStatus::kNoServer:
      notes_.push_back("no pipe server is listening on " + server + retry);
      break;
    case PipeStatus::kBusy:
      notes_.push_back("the pipe server on " + server + " is busy with another client" + retry);
      break;
    case PipeStatus::kServerGone:
      notes_.push_back("the pipe server on " + server + " went away" + retry);
      break;
    case PipeStatus::kFailed:
      notes_.push_back("cannot use " + server + ": " + detail + retry);
      break;
  }
}

double LightLink::Step(double now) {
  if (done_) return LightSchedule::kNever;
  if (!connection_) {
    schedule_.Advance(now);
    if (finishing_ && lastTry_) {  // Nobody to turn the lamps off for.
      done_ = true;
      return LightSchedule::kNever;
    }
    if (now < nextTry_ && !finishing_) return nextTry_;
    std::string detail;
    const PipeStatus status = PipeConnect(&connection_, &detail);
    if (status != PipeStatus::kOk) {
      connection_ = nullptr;
      Note(status, detail);
      nextTry_ = now + kRetrySeconds;
      lastTry_ = finishing_;
      return finishing_ ? now : nextTry_;
    }
    if (said_ != PipeStatus::kOk || !everConnected_)
      notes_.push_back(std::string("connected to ") + PipeDisplayName());
    said_ = PipeStatus::kOk;
    saidDetail_.clear();
    everConnected_ = true;
    schedule_.ForgetSent();
  }
  music::LampBits bits;
  while (schedule_.Take(now, &bits)) {
    const std::string line = FormatLightLine(mode_, bits) + "\n";
    std::string detail;
    const PipeStatus status = PipeWrite(connection_, line.data(), line.size(), &detail);
    if (status == PipeStatus::kOk) {
      ++linesSent_;
      continue;
    }
    PipeDisconnect(connection_);
    connection_ = nullptr;
    Note(status == PipeStatus::kFailed ? status : PipeStatus::kServerGone, detail);
    nextTry_ = now + kRetrySeconds;
    if (schedule_.Done()) {  // The all-off line was lost with the server.
      done_ = true;
      return LightSchedule::kNever;
    }
    schedule_.ForgetSent();
    return nextTry_;
  }
  if (schedule_.Done()) done_ = true;
  return done_ ? LightSchedule::kNever : schedule_.NextTime();
}

// --- The thread -------------------------------------------------------------

struct LightSender::Shared {
  Shared(int mode, double rate, double delay) : link(mode, rate, delay) {}
  Gate* gate = NewGate();
  Worker* worker = nullptr;
  // Under the gate's lock:
  struct Offered {
    double time;
    music::LampBits bits;
  };
  std::vector<Offered> offers;
  bool finish = false;
  bool drain = false;
  bool ended = false;
  int linesSent = 0;
  std::vector<std::string> notes;
  // The worker's own:
  LightLink link;
};

LightSender::LightSender(int mode, double rate, double delaySeconds)
    : shared_(new Shared(mode, rate, delaySeconds)) {
  shared_->worker = StartWorker(&LightSender::Run, shared_);
}

LightSender::~LightSender() {
  if (shared_->worker) return;  // Still stuck in a write: leave it its state.
  DeleteGate(shared_->gate);
  delete shared_;
}

void LightSender::Run(void* arg) {
  Shared* s = static_cast<Shared*>(arg);
  std::vector<Shared::Offered> offers;
  bool finishSeen = false;
  GateLock(s->gate);
  for (;;) {
    offers.swap(s->offers);
    const bool finish = s->finish, drain = s->drain;
    GateUnlock(s->gate);

    for (const auto& offer : offers) s->link.Offer(offer.time, offer.bits);
    offers.clear();
    if (finish && !finishSeen) {
      s->link.Finish(drain);
      finishSeen = true;
    }
    const double now = MonotonicSeconds();
    const double next = s->link.Step(now);
    std::vector<std::string> notes = s->link.TakeNotes();

    GateLock(s->gate);
    s->linesSent = s->link.LinesSent();
    s->notes.insert(s->notes.end(), notes.begin(), notes.end());
    if (s->link.Done()) break;
    if (s->offers.empty() && s->finish == finishSeen)
      GateWait(s->gate, std::min(next - MonotonicSeconds(), 1.0));
  }
  s->ended = true;
  GateUnlock(s->gate);
}

void LightSender::Offer(double time, music::LampBits bits) {
  GateLock(shared_->gate);
  // A server stalled for minutes: keep the newest states, not all of them.
  if (shared_->offers.size() >= 8192)
    shared_->offers.erase(shared_->offers.begin(), shared_->offers.begin() + 4096);
  shared_->offers.push_back({time, bits});
  GateUnlock(shared_->gate);
  GateWake(shared_->gate);
}

bool LightSender::Finish(bool drain, double seconds) {
  GateLock(shared_->gate);
  shared_->finish = true;
  shared_->drain = drain;
  GateUnlock(shared_->gate);
  GateWake(shared_->gate);
  if (!JoinWorker(shared_->worker, seconds)) return false;
  shared_->worker = nullptr;
  return true;
}

int LightSender::LinesSent() {
  GateLock(shared_->gate);
  const int lines = shared_->linesSent;
  GateUnlock(shared_->gate);
  return lines;
}

std::vector<std::string> LightSender::TakeNotes() {
  std::vector<std::string> notes;
  GateLock(shared_->gate);
  notes.swap(shared_->notes);
  GateUnlock(shared_->gate);
  return notes;
}
