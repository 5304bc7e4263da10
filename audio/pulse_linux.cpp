// Live capture on Linux: PulseAudio (or PipeWire's PulseAudio service)
// through libpulse, and the sources it can name.
#include <pulse/error.h>
#include <pulse/pulseaudio.h>
#include <pulse/simple.h>

#include "audio/capture_backend.h"

namespace {

// 5 ms pieces: the analysis sees the sound soon after it plays, and the
// server is woken 200 times a second, which it handles easily.
constexpr int kLiveRate = 48000;
constexpr int kLiveChannels = 2;
constexpr int kLiveFrames = kLiveRate / 200;

class PulseBackend : public CaptureBackend {
 public:
  explicit PulseBackend(pa_simple* pulse) : pulse_(pulse) {}
  ~PulseBackend() override { pa_simple_free(pulse_); }

  CaptureStatus Read(std::vector<float>* samples, std::string* error) override {
    samples->resize(kLiveFrames * kLiveChannels);
    int code = 0;
    if (pa_simple_read(pulse_, samples->data(), samples->size() * sizeof(float), &code) < 0) {
      *error = std::string("capture through PulseAudio failed: ") + pa_strerror(code);
      return CaptureStatus::kFailed;
    }
    return CaptureStatus::kOk;
  }

  double Latency() override {
    int code = 0;
    const pa_usec_t usec = pa_simple_get_latency(pulse_, &code);
    return usec == pa_usec_t(-1) ? 0 : usec / 1e6;
  }

 private:
  pa_simple* pulse_;
};

// What to do when no sound server answers: the plain "Connection refused"
// names neither the server nor the way round it.
std::string NoServerHint(int code) {
  if (code != PA_ERR_CONNECTIONREFUSED && code != PA_ERR_NOENTITY && code != PA_ERR_TIMEOUT)
    return "";
  return "\nlightbeat: no sound server answers: start PulseAudio (pulseaudio --start) or "
         "PipeWire's PulseAudio service (systemctl --user start pipewire-pulse), "
         "or read a file: lightbeat --file FILE --realtime";
}

}  // namespace

CaptureBackend* OpenLiveBackend(const std::string& source, CaptureFormat* format,
                                std::string* error) {
  pa_sample_spec sampleFormat;
  sampleFormat.format = PA_SAMPLE_FLOAT32NE;
  sampleFormat.rate = kLiveRate;
  sampleFormat.channels = kLiveChannels;
  pa_buffer_attr attr;
  attr.maxlength = uint32_t(-1);
  attr.tlength = uint32_t(-1);
  attr.prebuf = uint32_t(-1);
  attr.minreq = uint32_t(-1);
  attr.fragsize = kLiveFrames * kLiveChannels * sizeof(float);  // Asks for low latency.
  int code = 0;
  const char* device = source.empty() ? "@DEFAULT_MONITOR@" : source.c_str();
  pa_simple* pulse = pa_simple_new(nullptr, "lightbeat", PA_STREAM_RECORD, device,
                                   "lamps following the music", &sampleFormat, nullptr, &attr,
                                   &code);
  if (!pulse) {
    *error = std::string("cannot capture ") +
             (source.empty() ? "what the default output plays" : "the source " + source) +
             " through PulseAudio: " + pa_strerror(code) + NoServerHint(code);
    return nullptr;
  }
  format->sampleRate = kLiveRate;
  format->channels = kLiveChannels;
  return new PulseBackend(pulse);
}

// --- Listing the sources: one round trip through the asynchronous API -------

namespace {

struct Listing {
  std::vector<CaptureSource>* sources = nullptr;
  std::string defaultSink;
  int pending = 0;
  bool failed = false;
};

void OnSource(pa_context*, const pa_source_info* info, int eol, void* data) {
  Listing* listing = static_cast<Listing*>(data);
  if (eol) {
    listing->failed |= eol < 0;
    --listing->pending;
    return;
  }
  CaptureSource source;
  source.name = info->name;
  source.description = info->description ? info->description : "";
  source.isDefault = info->monitor_of_sink != PA_INVALID_INDEX && info->monitor_of_sink_name &&
                     listing->defaultSink == info->monitor_of_sink_name;
  listing->sources->push_back(source);
}

void OnServer(pa_context* context, const pa_server_info* info, void* data) {
  Listing* listing = static_cast<Listing*>(data);
  if (info && info->default_sink_name) listing->defaultSink = info->default_sink_name;
  pa_operation* op = pa_context_get_source_info_list(context, OnSource, data);
  if (op) {
    pa_operation_unref(op);
  } else {
    listing->failed = true;
    --listing->pending;
  }
}

}  // namespace

bool ListCaptureSources(std::vector<CaptureSource>* sources, std::string* error) {
  pa_mainloop* loop = pa_mainloop_new();
  pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "lightbeat");
  bool ok = false;
  if (pa_context_connect(context, nullptr, PA_CONTEXT_NOFLAGS, nullptr) >= 0) {
    Listing listing;
    listing.sources = sources;
    bool asked = false;
    for (;;) {
      const pa_context_state_t state = pa_context_get_state(context);
      if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) break;
      if (state == PA_CONTEXT_READY && !asked) {
        asked = true;
        listing.pending = 1;
        pa_operation* op = pa_context_get_server_info(context, OnServer, &listing);
        if (!op) break;
        pa_operation_unref(op);
      }
      if (asked && listing.pending == 0) {
        ok = !listing.failed;
        break;
      }
      if (pa_mainloop_iterate(loop, 1, nullptr) < 0) break;
    }
  }
  if (!ok) *error = std::string("cannot list PulseAudio's sources: ") +
                    pa_strerror(pa_context_errno(context)) +
                    NoServerHint(pa_context_errno(context));
  pa_context_disconnect(context);
  pa_context_unref(context);
  pa_mainloop_free(loop);
  return ok;
}
