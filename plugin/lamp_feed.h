// The player's data for one Render turned into lamps: its spectrum and
// waveform go through the same analysis and lamp styles as lightbeat's
// (music/). Platform-free.
#pragma once
#include "music/analysis.h"
#include "music/lamp_styles.h"
#include "plugin/vis_module.h"

namespace plugin {

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
  LampFeed(music::Style style, double holdSeconds, int sampleRate);

  // The module's spectrumData, waveformData, spectrumNch and waveformNch
  // at time (seconds since Init).
  FeedResult Next(const winampVisModule& module, double time);

 private:
  double binHz_;
  music::Analyzer analyzer_;
  music::Styler styler_;
  float magnitudes_[kVisValues];
  float samples_[kVisValues];
};

// (x ^ 128) - 128: the player stores signed 8-bit samples as unsigned char.
inline int DecodeWaveform(unsigned char x) { return int(x ^ 128) - 128; }

}  // namespace plugin
