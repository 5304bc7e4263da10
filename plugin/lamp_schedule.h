// When the plug-in's sender writes a line, and which: lamp states shifted
// later by a fixed delay, a line only when the lamps change, at most one
// line per slot (the newest state goes out at the next slot), and an off
// line after the player's stop frame or when Render has not come for a
// while (pause). Platform-free and not thread-safe: used by the plug-in's
// sender thread alone, which takes Render's frames from a
// lock-free hand-over.
// Times are milliseconds of one monotonic clock.
#pragma once
#include <cstdint>

#include "music/lamp_styles.h"

namespace plugin {

constexpr int64_t kNever = INT64_MAX;

struct ScheduleOptions {
  int delayMs = 0;    // Lamp states go out this much later than Render saw them.
  int slotMs = 20;    // 50 lines a second at most.
  int pauseMs = 500;  // No Render for this long (after the delay): lamps off.
};

struct ScheduleStep {
  bool write = false;      // Write this line now.
  music::LampBits bits = 0;
  int64_t wakeAt = kNever;  // Ask again at the latest then (when nothing changes).
};

class LampSchedule {
 public:
  explicit LampSchedule(const ScheduleOptions& options);

  // The lamps of one Render's frame at its time. off marks the player's
  // stop frame: the lamps go off and the off line is written even when
  // they already were.
  void Push(int64_t time, music::LampBits bits, bool off);

  // Frames are coming: one came, and no stop frame or pause since.
  bool Rendering() const { return rendering_; }

  // The sender: what to write at now. Writes only while connected.
  ScheduleStep Next(int64_t now, bool connected);
  // The line with bits has been written at now.
  void Written(int64_t now, music::LampBits bits);
  // The connection was lost or made anew: what the server shows is unknown,
  // so the current state goes out at the next slot.
  void Lost();

 private:
  struct Entry {
    int64_t time;
    music::LampBits bits;
    bool off;
  };
  static constexpr int kCapacity = 1024;  // Over 2 s of frames at 400 a second.

  void Take(const Entry& entry);

  ScheduleOptions options_;
  Entry queue_[kCapacity];
  int head_ = 0, count_ = 0;
  music::LampBits wanted_ = 0;
  bool mustWrite_ = false;   // An off line is owed even if nothing changed.
  int32_t lastWritten_ = -1;  // -1: unknown (nothing written on this connection).
  int64_t lastWrite_ = 0;
  bool everWritten_ = false;
  bool rendering_ = false;   // Frames came and no stop or pause has been seen since.
  int64_t lastPush_ = 0;
};

}  // namespace plugin

namespace plugin {

constexpr int kLampLineLength = 8;  // ">5L", four hexadecimal digits, a line feed.

// The two-bank light command for bits, with its line feed (not terminated).
void FormatLampLine(music::LampBits bits, char (&line)[kLampLineLength]);

}  // namespace plugin
