// The player's data for one Render turned into lamps: its spectrum and
// waveform go through the same analysis and lamp styles as lightbeat's
// (music/), and its stop and pause turn them off. Platform-free; runs on
// the sender thread, never in Render.
#pragma once
#include "client/light_schedule.h"
#include "music/analysis.h"
#include "music/lamp_styles.h"
#include "plugin/vis_module.h"

namespace plugin {

// What Render hands over of the module: the player's data for one frame.
struct PlayerFrame {
  int spectrumNch;
  int waveformNch;
  unsigned char spectrumData[2][kVisValues];
  unsigned char waveformData[2][kVisValues];
};

void CopyFrame(const winampVisModule& module, PlayerFrame* frame);

struct FeedResult {
  music::LampBits bits = 0;
  // Every value of the channels in use is 0: the frame the player sends
  // once after stop (digital silence looks the same, and is dark too).
  bool zeroed = false;
};

class LampFeed {
 public:
  // sampleRate as the player reports it (sRate); clamped to what the
  // analysis takes.
  LampFeed(music::Style style, double holdSeconds, int sampleRate, double lineSlotSeconds = 0);

  // The player's data at time (seconds since Init).
  FeedResult Next(const PlayerFrame& frame, double time);
  FeedResult Next(const winampVisModule& module, double time);

 private:
  double binHz_;
  music::Analyzer analyzer_;
  music::Styler styler_;
  float magnitudes_[kVisValues];
  float samples_[kVisValues];
};

// The lamps of each frame into the schedule, with the player's stop and
// pause: the stop frame (the first zeroed one) turns the lamps off even when
// they already were, and so does no frame for kPauseSeconds (after the
// delay, as the schedule shifts every state). Times: the sender's clock.
class PlayerLamps {
 public:
  static constexpr double kPauseSeconds = 0.5;

  // start: the clock at Init, where the analysis's time begins.
  PlayerLamps(music::Style style, double holdSeconds, int sampleRate, double start, double lineSlotSeconds = 0);

  void Frame(const PlayerFrame& frame, double time, LightSchedule* schedule);
  // One frame's lamps, as Frame has them from the analysis.
  void Lamps(double time, music::LampBits bits, bool zeroed, LightSchedule* schedule);
  // Offers the pause's off line once it is due; returns when to look
  // again (kNever: no frames are coming).
  double CheckPause(double now, LightSchedule* schedule);
  // Frames are coming: one came, and no stop frame or pause since.
  bool Rendering() const { return rendering_; }

 private:
  LampFeed feed_;
  double start_;
  bool lastZeroed_ = false;
  bool rendering_ = false;
  double lastFrame_ = 0;
};

// (x ^ 128) - 128: the player stores signed 8-bit samples as unsigned char.
inline int DecodeWaveform(unsigned char x) { return int(x ^ 128) - 128; }

}  // namespace plugin
