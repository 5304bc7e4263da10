// What each source behind audio_capture.h supplies, one file per back end:
// PulseAudio and libsndfile on Linux, WASAPI and the WAV reader on Windows.
// capture.cpp puts them behind the one interface and paces files, once.
#pragma once
#include <string>
#include <vector>

#include "audio/audio_capture.h"

class CaptureBackend {
 public:
  virtual ~CaptureBackend() = default;
  // Replaces *samples with the next piece, interleaved, in the channels the
  // format said; kEnd at the end of a file.
  virtual CaptureStatus Read(std::vector<float>* samples, std::string* error) = 0;
  // How long the sound server holds captured sound before we get it, in
  // seconds; 0 when unknown.
  virtual double Latency() { return 0; }
};

// The platform's live source (as OpenLiveCapture takes it) and its file
// decoder; null with *error set when they cannot be opened.
CaptureBackend* OpenLiveBackend(const std::string& source, CaptureFormat* format,
                                std::string* error);
CaptureBackend* OpenFileBackend(const std::string& path, CaptureFormat* format,
                                std::string* error);
