#include "client/light_schedule.h"

#include <algorithm>
#include <cstdio>

LightSchedule::LightSchedule(double rate, double delaySeconds)
    : interval_(1.0 / rate), delay_(delaySeconds) {}

void LightSchedule::Offer(double time, music::LampBits bits, bool force) {
  if (finishing_ || (int(bits) == lastOffered_ && !force)) return;
  lastOffered_ = bits;
  latest_ = std::max(latest_, time);
  if (queue_.size() >= kMaxQueued) {
    TakeIn(queue_.front());
    queue_.pop_front();
  }
  queue_.push_back({time + delay_, bits, force});
}

void LightSchedule::TakeIn(const Change& change) {
  pending_ = change.bits;
  havePending_ = true;
  if (change.force) mustSend_ = true;
}

void LightSchedule::Advance(double now) {
  latest_ = std::max(latest_, now);
  while (!queue_.empty() && queue_.front().due <= now) {
    TakeIn(queue_.front());
    queue_.pop_front();
  }
}

void LightSchedule::Connected() {
  lastSent_ = -1;
  if (delay_ > 0 && !havePending_) {
    pending_ = 0;
    havePending_ = true;
  }
}

void LightSchedule::Finish(bool drain) {
  finishing_ = true;
  drain_ = drain;
  if (!drain) queue_.clear();
}

bool LightSchedule::Take(double now, music::LampBits* bits) {
  if (done_) return false;
  Advance(now);
  if (now < nextSlot_) return false;
  const bool unsent = havePending_ && (int(pending_) != lastSent_ || mustSend_);
  if (finishing_ && queue_.empty() && !(drain_ && unsent)) {
    done_ = true;
    if (lastSent_ == 0) return false;  // Already all off.
    *bits = 0;
  } else if (unsent) {
    *bits = pending_;
  } else {
    return false;
  }
  mustSend_ = false;
  lastSent_ = *bits;
  nextSlot_ = now + interval_;
  return true;
}

double LightSchedule::NextTime() const {
  if (done_) return kNever;
  double next = queue_.empty() ? kNever : queue_.front().due;
  if ((havePending_ && (int(pending_) != lastSent_ || mustSend_)) || (finishing_ && queue_.empty()))
    next = std::min(next, std::max(nextSlot_, latest_));
  return next;
}
