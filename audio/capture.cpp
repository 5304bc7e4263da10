// The one capture interface over the platform's back ends, and the pacing
// of files read at playing speed (--realtime), once for every decoder.
#include "audio/audio_capture.h"

#include "audio/capture_backend.h"
#include "platform/clock.h"

struct CaptureStream {
  CaptureBackend* backend = nullptr;
  CaptureFormat format;
  bool realtime = false;
  long long framesOut = 0;
  double start = 0;
};

namespace {

CaptureStatus Opened(CaptureBackend* backend, const CaptureFormat& format, bool realtime,
                     CaptureStream** stream) {
  if (!backend) return CaptureStatus::kFailed;
  *stream = new CaptureStream{backend, format, realtime, 0, MonotonicSeconds()};
  return CaptureStatus::kOk;
}

}  // namespace

CaptureStatus OpenLiveCapture(const std::string& source, CaptureStream** stream,
                              CaptureFormat* format, std::string* error) {
  return Opened(OpenLiveBackend(source, format, error), *format, false, stream);
}

CaptureStatus OpenFileCapture(const std::string& path, bool realtime, CaptureStream** stream,
                              CaptureFormat* format, std::string* error) {
  return Opened(OpenFileBackend(path, format, error), *format, realtime, stream);
}

CaptureStatus ReadCapture(CaptureStream* stream, std::vector<float>* samples,
                          std::string* error) {
  if (stream->realtime)  // Hand the piece out when it would have played.
    SleepSeconds(stream->start + double(stream->framesOut) / stream->format.sampleRate -
                 MonotonicSeconds());
  const CaptureStatus status = stream->backend->Read(samples, error);
  if (status == CaptureStatus::kOk) stream->framesOut += samples->size() / stream->format.channels;
  return status;
}

double CaptureLatency(CaptureStream* stream) { return stream->backend->Latency(); }

void CloseCapture(CaptureStream* stream) {
  if (!stream) return;
  delete stream->backend;
  delete stream;
}
