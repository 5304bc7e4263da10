// LightSender: the one sender thread of every client.
#include <algorithm>

#include "client/light_link.h"

struct LightSender::Shared {
  Shared(int mode, double rate, double delay, LampSource* source)
      : source(source), link(mode, rate, delay) {}
  Gate* gate = NewGate();
  Worker* worker = nullptr;
  LampSource* source;
  // Under the gate's lock:
  struct Offered {
    double time;
    music::LampBits bits;
  };
  std::vector<Offered> offers;
  bool finish = false;
  bool drain = false;
  int linesSent = 0;
  bool everConnected = false;
  std::vector<std::string> notes;
  // The worker's own:
  LightLink link;
};

LightSender::LightSender(int mode, double rate, double delaySeconds, LampSource* source,
                         WorkerStart start)
    : shared_(new Shared(mode, rate, delaySeconds, source)) {
  shared_->worker = start(&LightSender::Run, shared_);
}

LightSender::~LightSender() {
  if (shared_->worker) return;  // Still stuck in a write: leave it its state.
  DeleteGate(shared_->gate);
  delete shared_;
}

bool LightSender::Started() const { return shared_->worker != nullptr; }

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
    const double pullAt = s->source && !finishSeen ? s->source->Pull(now, s->link.schedule())
                                                   : LightSchedule::kNever;
    const double next = std::min(s->link.Step(now), pullAt);
    std::vector<std::string> notes = s->link.TakeNotes();

    GateLock(s->gate);
    s->linesSent = s->link.LinesSent();
    s->everConnected = s->link.EverConnected();
    s->notes.insert(s->notes.end(), notes.begin(), notes.end());
    if (s->link.Done()) break;
    if (s->offers.empty() && s->finish == finishSeen) {
      const double wait = std::min(next - MonotonicSeconds(), 1.0);
      if (wait > 0) GateWait(s->gate, wait);
    }
  }
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
  if (!shared_->worker) return false;
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

bool LightSender::EverConnected() {
  GateLock(shared_->gate);
  const bool connected = shared_->everConnected;
  GateUnlock(shared_->gate);
  return connected;
}

std::vector<std::string> LightSender::TakeNotes() {
  std::vector<std::string> notes;
  GateLock(shared_->gate);
  notes.swap(shared_->notes);
  GateUnlock(shared_->gate);
  return notes;
}
