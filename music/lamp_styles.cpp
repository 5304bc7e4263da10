// Lamp styles. Every style decides on/off with two thresholds (a lamp goes
// on above the upper one and off only below the lower one) and then passes
// through LampHold, so a value hovering near a threshold never chatters.
#include "music/lamp_styles.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace music {
namespace {

const char* const kStyleNames[kStyleCount] = {"spectrum", "meter", "beat", "pulse", "bass"};

// Lamps in reading order: row 1 from the left, then row 2 from the left.
LampBits LampBit(int index) { return static_cast<LampBits>(1u << (index < 8 ? 7 - index : 23 - index)); }

// Spectrum: band value (0 at its threshold) to switch on and to switch off.
constexpr float kBandOn = 0.30f, kBandOff = 0.08f;
// Meter: eight steps from -50 dBFS, one every 6.25 dB; 1.5 dB of hysteresis;
// the shown level falls at most kMeterFallDbPerSecond (an attack is at once).
constexpr float kMeterLowDb = -50, kMeterStepDb = 6.25f, kMeterHysteresisDb = 1.5f;
constexpr float kMeterFallDbPerSecond = 40;
// Pulse: the four rings (outer pair of each row first) go out one per step.
constexpr double kPulseStepSeconds = 0.06;
// Bass: the low and high groups of bands, and the bar's hysteresis in lamps.
constexpr int kLowBands[] = {0, 1, 2, 3};
constexpr int kHighBands[] = {10, 11, 12, 13, 14, 15};
constexpr float kBarHysteresis = 0.6f;

// A bar of `lit` lamps from the left of a row.
LampBits Bar(int lit, int row) {
  LampBits bits = 0;
  for (int i = 0; i < std::clamp(lit, 0, 8); ++i) bits |= LampBit(row * 8 + i);
  return bits;
}

// Bar length with hysteresis: moves only when the wanted length is more than
// kBarHysteresis lamps away from the shown one.
int BarLength(float wanted, int shown) {
  if (wanted > shown + kBarHysteresis || wanted < shown - kBarHysteresis) {
    shown = static_cast<int>(std::lround(wanted));
  }
  return std::clamp(shown, 0, 8);
}

}  // namespace

const char* StyleName(Style style) {
  const int i = static_cast<int>(style);
  return i >= 0 && i < kStyleCount ? kStyleNames[i] : "";
}

bool ParseStyle(const char* name, Style* style) {
  if (name == nullptr) return false;
  for (int i = 0; i < kStyleCount; ++i) {
    if (std::strcmp(name, kStyleNames[i]) == 0) {
      *style = static_cast<Style>(i);
      return true;
    }
  }
  return false;
}

LampHold::LampHold(double holdSeconds) : hold_(std::max(0.0, holdSeconds)) {
  std::fill(changed_, changed_ + kLampCount, -1e300);
}

LampBits LampHold::Apply(LampBits wanted, double time) {
  for (unsigned bit = 0; bit < kLampCount; ++bit) {
    const LampBits mask = static_cast<LampBits>(1u << bit);
    if ((wanted & mask) != (shown_ & mask) && time - changed_[bit] >= hold_) {
      shown_ ^= mask;
      changed_[bit] = time;
    }
  }
  return shown_;
}

struct Styler::State {
  Style style;
  LampHold hold;
  LampBits lit = 0;           // Before the hold: the hysteresis' own state.
  float meterDb[2] = {kLowestDb, kLowestDb};
  int bars[2] = {0, 0};
  int chaser = -1;
  double pulseStart = -1e9;
  bool pulseOnBeat = false;
  double lastTime = 0;
  double lastSound = -1e9;  // The last frame above the gate.

  State(Style s, double holdSeconds) : style(s), hold(holdSeconds) {}

  LampBits Spectrum(const Frame& f) {
    const LampBits before = lit;
    for (int b = 0; b < kBandCount; ++b) {
      const LampBits bit = LampBit(b);
      if (f.band[b] >= kBandOn) lit |= bit;
      else if (f.band[b] <= kBandOff) lit &= static_cast<LampBits>(~bit);
    }
    if (lit == 0) {
      // While music plays the strongest band above its threshold stays lit
      // rather than leaving the lamps dark; one that was lit keeps the place
      // unless another is clearly stronger, so the lamp does not hop about.
      int strongest = -1;
      float best = 0;
      for (int b = 0; b < kBandCount; ++b) {
        const float v = f.band[b] * ((before & LampBit(b)) ? 2.0f : 1.0f);
        if (v > best) best = v, strongest = b;
      }
      if (strongest >= 0) lit = LampBit(strongest);
    }
    return lit;
  }

  LampBits Meter(const Frame& f, double dt) {
    LampBits bits = 0;
    for (int c = 0; c < 2; ++c) {
      meterDb[c] = std::max(f.levelDb[c], meterDb[c] - static_cast<float>(kMeterFallDbPerSecond * dt));
      for (int i = 0; i < 8; ++i) {
        const LampBits bit = LampBit(c * 8 + i);
        const float on = kMeterLowDb + kMeterStepDb * i;
        if (meterDb[c] >= on) lit |= bit;
        else if (meterDb[c] < on - kMeterHysteresisDb) lit &= static_cast<LampBits>(~bit);
        bits |= lit & bit;
      }
    }
    return bits;
  }

  LampBits Beat(const Frame& f) {
    // Before the tempo is known the chaser steps on onsets. With a tempo its
    // lamp flashes: lit for the first half of each beat, so the step and the
    // flash both fall on the beat.
    if (f.bpm > 0 ? f.beat : f.onset) chaser = (chaser + 1) % int(kLampCount);
    if (chaser < 0 || (f.bpm > 0 && !f.beat && f.beatPhase >= 0.5f)) return 0;
    return LampBit(chaser);
  }

  LampBits Pulse(const Frame& f) {
    // An onset starts a pulse that goes out in fixed steps; with a tempo a
    // beat starts one too, which goes out over the first half of the beat.
    if (f.onset) pulseStart = f.time, pulseOnBeat = false;
    if (f.beat && f.bpm > 0) pulseStart = f.time, pulseOnBeat = true;
    // Long after an onset (or before any) the count would overflow an int.
    const int gone = pulseOnBeat && f.bpm > 0 && !f.beat
                         ? std::min(4, static_cast<int>(8 * std::clamp(f.beatPhase, 0.0f, 1.0f)))
                         : static_cast<int>(std::clamp((f.time - pulseStart) / kPulseStepSeconds, 0.0, 4.0));
    LampBits bits = 0;
    for (int ring = gone; ring < 4; ++ring) {  // Ring 0 is the outer pair.
      for (int row = 0; row < 2; ++row) bits |= LampBit(row * 8 + ring) | LampBit(row * 8 + 7 - ring);
    }
    return bits;
  }

  LampBits Bass(const Frame& f) {
    float low = 0, high = 0;
    for (int b : kLowBands) low += f.band[b];
    for (int b : kHighBands) high += f.band[b];
    low /= static_cast<float>(sizeof kLowBands / sizeof kLowBands[0]);
    high /= static_cast<float>(sizeof kHighBands / sizeof kHighBands[0]);
    // The band values saturate towards 1: stretch them so the bar uses its length.
    bars[0] = BarLength(8 * std::min(1.0f, 1.6f * low), bars[0]);
    bars[1] = BarLength(8 * std::min(1.0f, 1.6f * high), bars[1]);
    return Bar(bars[0], 0) | Bar(bars[1], 1);
  }

  LampBits Next(const Frame& f) {
    const double dt = std::clamp(f.time - lastTime, 0.0, 0.1);
    lastTime = f.time;
    LampBits wanted = 0;
    switch (style) {
      case Style::kSpectrum: wanted = Spectrum(f); break;
      case Style::kMeter: wanted = Meter(f, dt); break;
      case Style::kBeat: wanted = Beat(f); break;
      case Style::kPulse: wanted = Pulse(f); break;
      case Style::kBass: wanted = Bass(f); break;
    }
    // The quiet between a metronome's clicks is a rest inside the music: the
    // analysis goes on giving its beats, and one fired early by the lead
    // falls just before the hit opens the gate. The beat styles show them
    // for up to a beat of quiet; anything longer is silence.
    if (!f.silent) lastSound = f.time;
    const bool rest = f.bpm > 0 && f.time - lastSound < 60 / f.bpm &&
                      (style == Style::kBeat || (style == Style::kPulse && pulseOnBeat));
    if (f.silent && !rest) {
      // Silence lights nothing, and the styles start afresh when music returns.
      wanted = 0;
      lit = 0;
      bars[0] = bars[1] = 0;
      pulseStart = -1e9;
      pulseOnBeat = false;
    }
    return hold.Apply(wanted, f.time);
  }
};

Styler::Styler(Style style, double holdSeconds, double lineSlotSeconds)
    : state_(new State(style, std::max(0.0, holdSeconds) + std::max(0.0, lineSlotSeconds))) {}
Styler::~Styler() = default;

LampBits Styler::Next(const Frame& frame) { return state_->Next(frame); }

}  // namespace music
