#include "plugin/lamp_schedule.h"

#include <algorithm>

namespace plugin {

LampSchedule::LampSchedule(const ScheduleOptions& options) : options_(options) {}

void LampSchedule::Take(const Entry& entry) {
  wanted_ = entry.bits;
  if (entry.off) mustWrite_ = true;
}

void LampSchedule::Push(int64_t time, music::LampBits bits, bool off) {
  lastPush_ = time;
  // After a stop frame the sender waits for no pause: the lamps are off.
  rendering_ = !off;
  const Entry entry = {time, bits, off};
  if (options_.delayMs <= 0) {
    Take(entry);
    return;
  }
  if (count_ == kCapacity) {  // Frames far faster than expected: the oldest goes out early.
    Take(queue_[head_]);
    head_ = (head_ + 1) % kCapacity;
    --count_;
  }
  queue_[(head_ + count_) % kCapacity] = entry;
  ++count_;
}

ScheduleStep LampSchedule::Next(int64_t now, bool connected) {
  while (count_ > 0 && queue_[head_].time + options_.delayMs <= now) {
    Take(queue_[head_]);
    head_ = (head_ + 1) % kCapacity;
    --count_;
  }
  ScheduleStep step;
  if (rendering_) {
    const int64_t pauseAt = lastPush_ + std::max(options_.delayMs, 0) + options_.pauseMs;
    if (now >= pauseAt && count_ == 0) {
      rendering_ = false;
      wanted_ = 0;
      mustWrite_ = true;
    } else {
      step.wakeAt = pauseAt;
    }
  }
  if (count_ > 0) step.wakeAt = std::min(step.wakeAt, queue_[head_].time + options_.delayMs);
  const bool pending = mustWrite_ || int32_t(wanted_) != lastWritten_;
  if (connected && pending) {
    const int64_t slot = everWritten_ ? lastWrite_ + options_.slotMs : now;
    if (now >= slot) {
      step.write = true;
      step.bits = wanted_;
    } else {
      step.wakeAt = std::min(step.wakeAt, slot);
    }
  }
  return step;
}

void LampSchedule::Written(int64_t now, music::LampBits bits) {
  lastWritten_ = bits;
  lastWrite_ = now;
  everWritten_ = true;
  if (bits == wanted_) mustWrite_ = false;
}

void LampSchedule::Lost() { lastWritten_ = -1; }

}  // namespace plugin

namespace plugin {

void FormatLampLine(music::LampBits bits, char (&line)[kLampLineLength]) {
  static const char kDigits[] = "0123456789ABCDEF";
  line[0] = '>';
  line[1] = '5';
  line[2] = 'L';
  for (int i = 0; i < 4; ++i) line[3 + i] = kDigits[(bits >> (12 - 4 * i)) & 0xF];
  line[7] = '\n';
}

}  // namespace plugin
