// Where lightbeat's samples come from: what the default output plays (the
// monitor of PulseAudio's default sink on Linux, WASAPI loopback on Windows),
// another source by name, or a sound file. One file per platform; the
// analysis never sees which.
#pragma once
#include <string>
#include <vector>

struct CaptureFormat {
  int sampleRate = 0;
  int channels = 0;  // 1 or 2: more are mixed down to the first two.
};

struct CaptureSource {
  std::string name;         // What --source takes.
  std::string description;  // What a person reads.
  bool isDefault = false;   // The one captured without --source.
};

enum class CaptureStatus {
  kOk,
  kEnd,     // The file has ended (a live source never ends).
  kFailed,  // error says what.
};

struct CaptureStream;

// source: empty for what the default output plays.
CaptureStatus OpenLiveCapture(const std::string& source, CaptureStream** stream,
                              CaptureFormat* format, std::string* error);

// realtime: ReadCapture hands the samples out at playing speed.
CaptureStatus OpenFileCapture(const std::string& path, bool realtime, CaptureStream** stream,
                              CaptureFormat* format, std::string* error);

// Blocks for the next piece (at most about 10 ms of a live source) and
// replaces *samples with it, interleaved floats in [-1, 1].
CaptureStatus ReadCapture(CaptureStream* stream, std::vector<float>* samples,
                          std::string* error);

// How long the sound server holds captured sound before we get it (live
// sources; 0 when unknown or for files), in seconds.
double CaptureLatency(CaptureStream* stream);

void CloseCapture(CaptureStream* stream);

// The sources that --source can name.
bool ListCaptureSources(std::vector<CaptureSource>* sources, std::string* error);
