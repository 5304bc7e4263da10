// A small reader of WAV files (PCM 8 to 32 bits, IEEE float, and their
// WAVE_FORMAT_EXTENSIBLE forms): the file input where there is no libsndfile.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "audio/pcm_convert.h"

class WavReader {
 public:
  WavReader() = default;
  ~WavReader();
  WavReader(const WavReader&) = delete;
  WavReader& operator=(const WavReader&) = delete;

  // Takes the file (closes it when done); false with the reason when it is
  // not a WAV file this reader can read.
  bool Open(std::FILE* file, std::string* error);

  int sampleRate() const { return sampleRate_; }
  const PcmLayout& layout() const { return layout_; }

  // Up to frames frames, converted (pcm_convert.h); 0 at the end of the data.
  size_t Read(size_t frames, std::vector<float>* out);

 private:
  std::FILE* file_ = nullptr;
  int sampleRate_ = 0;
  PcmLayout layout_;
  unsigned long long bytesLeft_ = 0;
  std::vector<unsigned char> raw_;
};
