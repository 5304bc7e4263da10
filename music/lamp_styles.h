// Lamp styles: analysis frames to the two lamp bytes, with hold so that
// relays and bulbs never chatter. Platform-free.
#pragma once
#include <cstdint>
#include <memory>

#include "music/analysis.h"
#include "protocol/light_line.h"

namespace music {

enum class Style { kSpectrum, kMeter, kBeat, kPulse, kBass };

constexpr int kStyleCount = 5;

// "spectrum", "meter", "beat", "pulse", "bass". ParseStyle returns false for
// any other name and leaves *style alone.
const char* StyleName(Style style);
bool ParseStyle(const char* name, Style* style);

using ::LampBits;

// Minimum on and off time per lamp: a lamp that changed keeps its state
// for at least holdSeconds.
class LampHold {
 public:
  explicit LampHold(double holdSeconds);
  LampBits Apply(LampBits wanted, double time);

 private:
  double hold_;
  LampBits shown_ = 0;
  double changed_[kLampCount];
};

// One style's state (hysteresis, chaser position, pulse decay) and the hold.
// lineSlotSeconds: the line schedule's slot (1 / its rate). The schedule puts
// each change out up to a slot late, so a state held for just holdSeconds
// could reach the lamp a slot shorter: the hold here is the two together, so
// that the lamp itself keeps each state for holdSeconds at least.
class Styler {
 public:
  Styler(Style style, double holdSeconds, double lineSlotSeconds = 0);
  ~Styler();
  Styler(const Styler&) = delete;
  Styler& operator=(const Styler&) = delete;

  LampBits Next(const Frame& frame);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace music
