#include "plugin/lamp_feed.h"

#include <algorithm>

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

LampFeed::LampFeed(music::Style style, double holdSeconds, int sampleRate)
    : binHz_(BinHz(sampleRate)), analyzer_(Options(sampleRate)), styler_(style, holdSeconds) {}

FeedResult LampFeed::Next(const winampVisModule& module, double time) {
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

}  // namespace plugin
