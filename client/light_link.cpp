#include "client/light_link.h"

#include "protocol/client_status.h"
#include "protocol/light_line.h"

#include <algorithm>

namespace {
constexpr double kRetrySeconds = 1;
constexpr double kProbeSeconds = 1;
}  // namespace

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

void LightLink::Note(PipeStatus status, const ShortText& detail) {
  if (status == said_ && saidDetail_ == detail.c_str()) return;
  said_ = status;
  saidDetail_ = detail.c_str();
  if (status == PipeStatus::kOk) return;
  const char* retry = finishing_ ? "" : "; trying again every second";
  ShortText note = PipeStatusText(status, PipeDisplayName(), detail.c_str());
  notes_.push_back(note.Add(retry).c_str());
}

// A write failed: the server shows nothing of ours any more.
double LightLink::Lost(double now, PipeStatus status, const ShortText& detail) {
  PipeDisconnect(connection_);
  connection_ = nullptr;
  Note(status == PipeStatus::kFailed ? status : PipeStatus::kServerGone, detail);
  nextTry_ = now + kRetrySeconds;
  if (schedule_.Done()) {  // The all-off line was lost with the server.
    done_ = true;
    return LightSchedule::kNever;
  }
  return nextTry_;
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
    ShortText detail;
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
    lastWrite_ = now;
    schedule_.Connected();
  }
  music::LampBits bits;
  ShortText detail;
  while (schedule_.Take(now, &bits)) {
    char text[kMaxLineLength + 1];
    const std::string line = std::string(text, FormatLightLine(mode_, bits, text)) + "\n";  // One write.
    const PipeStatus status = PipeWrite(connection_, line.data(), line.size(), &detail);
    if (status != PipeStatus::kOk) return Lost(now, status, detail);
    ++linesSent_;
    lastWrite_ = now;
  }
  if (schedule_.Done()) {
    done_ = true;
    return LightSchedule::kNever;
  }
  if (now >= lastWrite_ + kProbeSeconds) {  // No line goes; has the server gone?
    const PipeStatus status = PipeWrite(connection_, "", 0, &detail);
    if (status != PipeStatus::kOk) return Lost(now, status, detail);
    lastWrite_ = now;
  }
  return std::min(schedule_.NextTime(), lastWrite_ + kProbeSeconds);
}
