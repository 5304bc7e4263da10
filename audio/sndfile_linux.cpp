// Sound files on Linux, through libsndfile: whatever it reads (WAV, FLAC,
// Ogg and more).
#include <sndfile.h>

#include "audio/capture_backend.h"

namespace {

constexpr int kFileFrames = 480;

// The first two channels of a file with more (surround): left and right.
void KeepTwoChannels(const std::vector<float>& in, int channels, std::vector<float>* out) {
  const size_t frames = in.size() / channels;
  out->resize(frames * 2);
  for (size_t i = 0; i < frames; ++i) {
    (*out)[2 * i] = in[i * channels];
    (*out)[2 * i + 1] = in[i * channels + 1];
  }
}

class SndfileBackend : public CaptureBackend {
 public:
  SndfileBackend(SNDFILE* file, int channels) : file_(file), channels_(channels) {}
  ~SndfileBackend() override { sf_close(file_); }

  CaptureStatus Read(std::vector<float>* samples, std::string* error) override {
    std::vector<float>& buffer = channels_ > 2 ? buffer_ : *samples;
    buffer.resize(size_t(kFileFrames) * channels_);
    const sf_count_t got = sf_readf_float(file_, buffer.data(), kFileFrames);
    if (got < 0) {
      *error = std::string("reading the file failed: ") + sf_strerror(file_);
      return CaptureStatus::kFailed;
    }
    if (got == 0) return CaptureStatus::kEnd;
    buffer.resize(size_t(got) * channels_);
    if (channels_ > 2) KeepTwoChannels(buffer, channels_, samples);
    return CaptureStatus::kOk;
  }

 private:
  SNDFILE* file_;
  int channels_;
  std::vector<float> buffer_;
};

}  // namespace

CaptureBackend* OpenFileBackend(const std::string& path, CaptureFormat* format,
                                std::string* error) {
  SF_INFO info = {};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) {
    *error = "cannot read " + path + ": " + sf_strerror(nullptr);
    return nullptr;
  }
  if (info.channels < 1) {
    sf_close(file);
    *error = path + " has no channels";
    return nullptr;
  }
  format->sampleRate = info.samplerate;
  format->channels = info.channels >= 2 ? 2 : 1;
  return new SndfileBackend(file, info.channels);
}
