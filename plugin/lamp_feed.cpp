#include "plugin/lamp_feed.h"

#include <algorithm>
#include <cstring>

namespace plugin {

namespace {

int ClampRate(int rate) { return std::clamp(rate, 22050, 96000); }

// The player's spectrum: index i lies near i * rate / 1024 Hz.
double BinHz(int rate) { return ClampRate(rate) / 1024.0; }

music::AnalyzerOptions Options(int rate) {
  music::AnalyzerOptions options;
  options.sampleRate = ClampRate(rate);
  options.channels = 2;  // Levels come per channel; the spectrum is merged.
  options.spectrumFullScale = 255;  // The player's spectrum: a full-scale sine near 255.
  return options;
}

int Channels(int count) { return std::clamp(count, 1, 2); }

bool AllZero(const unsigned char (*rows)[kVisValues], int count) {
  for (int c = 0; c < count; ++c)
    for (int i = 0; i < kVisValues; ++i)
      if (rows[c][i] != 0) return false;
  return true;
}

}  // namespace

LampFeed::LampFeed(music::Style style, double holdSeconds, int sampleRate, double lineSlotSeconds)
    : binHz_(BinHz(sampleRate)), analyzer_(Options(sampleRate)), styler_(style, holdSeconds, lineSlotSeconds) {}

void CopyFrame(const winampVisModule& module, PlayerFrame* frame) {
  frame->spectrumNch = module.spectrumNch;
  frame->waveformNch = module.waveformNch;
  std::memcpy(frame->spectrumData, module.spectrumData, sizeof frame->spectrumData);
  std::memcpy(frame->waveformData, module.waveformData, sizeof frame->waveformData);
}

FeedResult LampFeed::Next(const winampVisModule& module, double time) {
  PlayerFrame frame;
  CopyFrame(module, &frame);
  return Next(frame, time);
}

FeedResult LampFeed::Next(const PlayerFrame& module, double time) {
  const int spectrumChannels = Channels(module.spectrumNch);
  const int waveformChannels = Channels(module.waveformNch);
  FeedResult result;
  result.zeroed = AllZero(module.spectrumData, spectrumChannels) &&
                  AllZero(module.waveformData, waveformChannels);

  // Two spectra are averaged: the bands do not tell left from right.
  for (int i = 0; i < kVisValues; ++i) {
    int sum = 0;
    for (int c = 0; c < spectrumChannels; ++c) sum += module.spectrumData[c][i];
    magnitudes_[i] = float(sum) / spectrumChannels;
  }
  float levels[2];
  for (int c = 0; c < 2; ++c) {
    const unsigned char* row = module.waveformData[std::min(c, waveformChannels - 1)];
    for (int i = 0; i < kVisValues; ++i) samples_[i] = DecodeWaveform(row[i]) / 128.0f;
    levels[c] = music::RmsDb(samples_, kVisValues, 1);
  }
  const music::Frame frame = analyzer_.FeedSpectrum(magnitudes_, kVisValues, binHz_, levels, time);
  result.bits = styler_.Next(frame);
  if (result.zeroed) result.bits = 0;  // Stopped: no lamp waits out its hold.
  return result;
}

PlayerLamps::PlayerLamps(music::Style style, double holdSeconds, int sampleRate, double start,
                         double lineSlotSeconds)
    : feed_(style, holdSeconds, sampleRate, lineSlotSeconds), start_(start) {}

void PlayerLamps::Frame(const PlayerFrame& frame, double time, LightSchedule* schedule) {
  const FeedResult lamps = feed_.Next(frame, time - start_);
  Lamps(time, lamps.bits, lamps.zeroed, schedule);
}

void PlayerLamps::Lamps(double time, music::LampBits bits, bool zeroed, LightSchedule* schedule) {
  // Only the first of a run of zeroed frames is the stop; the rest are silence.
  const bool stop = zeroed && !lastZeroed_;
  lastZeroed_ = zeroed;
  rendering_ = !stop;  // After a stop frame no pause is waited for: the lamps are off.
  lastFrame_ = time;
  schedule->Offer(time, bits, stop);
}

double PlayerLamps::CheckPause(double now, LightSchedule* schedule) {
  if (!rendering_) return LightSchedule::kNever;
  const double pauseAt = lastFrame_ + kPauseSeconds;
  if (now < pauseAt) return pauseAt;
  rendering_ = false;
  schedule->Offer(pauseAt, 0, true);
  return LightSchedule::kNever;
}

}  // namespace plugin
