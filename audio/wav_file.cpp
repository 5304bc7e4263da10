// Sound files where there is no libsndfile (Windows): WAV, through
// wav_reader.h. Platform-free.
#include <cerrno>
#include <cstring>

#include "audio/capture_backend.h"
#include "audio/wav_reader.h"

namespace {

constexpr int kFileFrames = 480;

class WavBackend : public CaptureBackend {
 public:
  CaptureStatus Read(std::vector<float>* samples, std::string*) override {
    return wav.Read(kFileFrames, samples) ? CaptureStatus::kOk : CaptureStatus::kEnd;
  }
  WavReader wav;
};

}  // namespace

CaptureBackend* OpenFileBackend(const std::string& path, CaptureFormat* format,
                                std::string* error) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    *error = "cannot open " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  WavBackend* backend = new WavBackend;
  if (!backend->wav.Open(file, error)) {
    *error = path + ": " + *error;
    delete backend;
    return nullptr;
  }
  format->sampleRate = backend->wav.sampleRate();
  format->channels = OutputChannels(backend->wav.layout());
  return backend;
}
