// capture_probe [SECONDS [SOURCE]] | --list
// Captures for a few seconds through lightbeat's capture back end and says
// what arrived: how many pieces, how many samples, and the loudest second's
// level. The end-to-end tests use it to see whether the platform's capture
// (PulseAudio's monitor, Wine's WASAPI loopback) delivers what plays.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "music/analysis.h"
#include "audio/audio_capture.h"
#include "platform/clock.h"

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--list") {
    std::vector<CaptureSource> sources;
    std::string error;
    if (!ListCaptureSources(&sources, &error)) {
      std::printf("list failed: %s\n", error.c_str());
      return 1;
    }
    for (const CaptureSource& source : sources) std::printf("%s\n", source.name.c_str());
    return 0;
  }
  const double seconds = argc > 1 ? std::atof(argv[1]) : 3;
  const std::string source = argc > 2 ? argv[2] : "";
  CaptureStream* stream = nullptr;
  CaptureFormat format;
  std::string error;
  if (OpenLiveCapture(source, &stream, &format, &error) != CaptureStatus::kOk) {
    std::printf("open failed: %s\n", error.c_str());
    return 1;
  }
  std::printf("format %d Hz %d channels latency %.1f ms\n", format.sampleRate, format.channels,
              CaptureLatency(stream) * 1000);
  std::vector<float> samples, second;
  long pieces = 0, total = 0;
  float loudest = -120;
  const double end = MonotonicSeconds() + seconds;
  while (MonotonicSeconds() < end) {
    if (ReadCapture(stream, &samples, &error) != CaptureStatus::kOk) {
      std::printf("read failed: %s\n", error.c_str());
      return 1;
    }
    ++pieces;
    total += long(samples.size());
    second.insert(second.end(), samples.begin(), samples.end());
    if (second.size() >= size_t(format.sampleRate * format.channels) / 4) {
      const float db = music::RmsDb(second.data(), second.size(), 1);
      if (db > loudest) loudest = db;
      second.clear();
    }
  }
  CloseCapture(stream);
  std::printf("pieces %ld samples %ld loudest %.1f dBFS\n", pieces, total, double(loudest));
  return 0;
}
