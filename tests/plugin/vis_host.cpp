#include "vis_host.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "kissfft.hh"

namespace {

enum Command { kPlay, kPause, kStopOnce, kStopped, kQuit };

constexpr size_t kFftInput = 1024;  // Real samples into the 512-point FFT.
constexpr double kPi = 3.14159265358979323846;

// One stereo sample of the signal at sample index n.
void SignalAt(Signal signal, int64_t n, int rate, float* left, float* right) {
  const double t = double(n) / rate;
  const float tone = float(0.5 * std::sin(2 * kPi * 440 * t));
  switch (signal) {
    case Signal::kSilence: *left = *right = 0; return;
    case Signal::kBoth: *left = *right = tone; return;
    case Signal::kLeft: *left = tone; *right = 0; return;
    case Signal::kRight: *left = 0; *right = tone; return;
    case Signal::kMusic: {
      const double beat = std::fmod(t, 0.5);  // 120 BPM.
      const double kick = std::exp(-beat * 30) * std::sin(2 * kPi * (60 + 80 * std::exp(-beat * 40)) * beat);
      const double bar = std::fmod(t, 2.0);
      const double root = bar < 1 ? 220 : 196;  // Two chords, a bar each.
      const double pad = 0.08 * (std::sin(2 * kPi * root * t) + std::sin(2 * kPi * root * 1.26 * t) +
                                 std::sin(2 * kPi * root * 1.5 * t));
      const double hat = std::fmod(t, 0.25) < 0.02 ? 0.1 * std::sin(2 * kPi * 7000 * t) : 0;
      *left = float(0.6 * kick + pad + hat);
      *right = float(0.6 * kick + pad * 0.8 + hat);
      return;
    }
  }
}

}  // namespace

VisDll::VisDll(const std::string& path) {
  library_ = LoadLibraryA(path.c_str());
  if (library_ == nullptr) return;
  auto get = reinterpret_cast<winampVisGetHeaderType>(
      reinterpret_cast<void*>(GetProcAddress(library_, "winampVisGetHeader")));
  if (get == nullptr) return;
  header_ = get();
  if (header_ == nullptr) return;
  for (int i = 0; i < 64; ++i) {  // A bound, against a plug-in that never says null.
    winampVisModule* module = header_->getModule(i);
    if (module == nullptr) break;
    modules_.push_back(module);
  }
}

long VisDll::LongestAnalysisMicros() const {
  using Reader = long(VIS_CDECL*)();
  const Reader read = library_ == nullptr ? nullptr
      : reinterpret_cast<Reader>(reinterpret_cast<void*>(
            GetProcAddress(library_, "vantrelleLongestAnalysisMicros")));
  return read != nullptr ? read() : -1;
}

VisDll::~VisDll() {
  if (library_ != nullptr) FreeLibrary(library_);
}

void ComputePlayerData(const float* history, size_t frames, winampVisModule* module) {
  static const kissfft<float> fft(kFftInput / 2, false);
  static const std::vector<float> window = [] {
    std::vector<float> w(kFftInput);
    for (size_t i = 0; i < kFftInput; ++i) w[i] = float(0.5 - 0.5 * std::cos(2 * kPi * i / kFftInput));
    return w;
  }();
  const float* newest = history + 2 * (frames - kFftInput);
  float input[kFftInput];
  std::complex<float> bins[kFftInput / 2];
  for (int c = 0; c < 2; ++c) {
    for (size_t i = 0; i < kFftInput; ++i) input[i] = newest[2 * i + c] * window[i];
    fft.transform_real(input, bins);
    bins[0] = std::complex<float>(bins[0].real(), 0);  // The packed Nyquist value is not a bin here.
    const float scale = 255.0f / (kFftInput / 4.0f);    // A full-scale sine: 255.
    for (int i = 0; i < kVisValues; ++i) {
      const float value = i < int(kFftInput / 2) ? std::abs(bins[i]) * scale : 0;
      module->spectrumData[c][i] = static_cast<unsigned char>(std::min(255.0f, value + 0.5f));
    }
    const float* wave = history + 2 * (frames - kVisValues);
    for (int i = 0; i < kVisValues; ++i) {
      const long s = std::lround(std::clamp(wave[2 * i + c], -1.0f, 1.0f) * 127);
      module->waveformData[c][i] = static_cast<unsigned char>(static_cast<signed char>(s));
    }
  }
}

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, size_t(p / 100 * (values.size() - 1) + 0.5))];
}

PlayerThread::PlayerThread(winampVisModule* module, int sampleRate)
    : module_(module), rate_(sampleRate) {}

PlayerThread::~PlayerThread() {
  if (thread_ != nullptr) {
    Quit();
    CloseHandle(thread_);
  }
}

bool PlayerThread::Start() {
  module_->sRate = rate_;
  module_->nCh = 2;
  module_->hwndParent = nullptr;
  module_->hDllInstance = nullptr;
  command_ = kPause;  // No thread yet: no lock needed.
  thread_ = CreateThread(nullptr, 0, Main, this, 0, nullptr);
  if (thread_ == nullptr) return false;
  return initDone_.Wait(10000) && initResult_ == 0;
}

void PlayerThread::Play(Signal signal) {
  TestLockHold hold(lock_);
  signal_ = signal;
  firstRender_ = 0;
  ++generation_;
  command_ = kPlay;
}

void PlayerThread::Order(int command) { SetLocked(lock_, &command_, command); }

void PlayerThread::Pause() { Order(kPause); }
void PlayerThread::Stop() { Order(kStopOnce); }

bool PlayerThread::Quit(DWORD ms) {
  if (thread_ == nullptr) return true;
  Order(kQuit);
  return WaitForSingleObject(thread_, ms) == WAIT_OBJECT_0;
}

RenderTimes PlayerThread::Times() { return ReadLocked(lock_, times_); }

double PlayerThread::FirstRenderOfSignal() { return ReadLocked(lock_, firstRender_); }

DWORD WINAPI PlayerThread::Main(void* self) {
  static_cast<PlayerThread*>(self)->Loop();
  return 0;
}

void PlayerThread::Loop() {
  initResult_ = module_->Init(module_);
  initDone_.Raise();
  if (initResult_ != 0) return;
  // Samples since the start, as played in real time; the newest 4096 kept.
  constexpr size_t kKeep = 4096;
  std::vector<float> history(2 * kKeep, 0.0f);
  const double start = MonotonicSeconds();
  int64_t played = 0;
  long seenGeneration = -1;
  bool first = true;
  for (;;) {
    lock_.Enter();
    const int command = command_;
    const Signal signal = signal_;
    const long generation = generation_;
    lock_.Leave();
    if (command == kQuit) break;
    if (command == kPause || command == kStopped) {
      Sleep(5);
      continue;
    }
    if (command == kStopOnce) {
      std::fill(&module_->spectrumData[0][0], &module_->spectrumData[0][0] + 2 * kVisValues, 0);
      std::fill(&module_->waveformData[0][0], &module_->waveformData[0][0] + 2 * kVisValues, 0);
      module_->Render(module_);
      TestLockHold hold(lock_);
      if (command_ == kStopOnce) command_ = kStopped;  // Unless a newer order came.
      continue;
    }
    // The samples that have played since the last Render.
    const int64_t now = int64_t((MonotonicSeconds() - start) * rate_);
    if (first) played = now - int64_t(kKeep);
    first = false;
    const int64_t count = std::min<int64_t>(now - played, kKeep);
    std::move(history.begin() + 2 * count, history.end(), history.begin());
    for (int64_t i = 0; i < count; ++i) {
      const int64_t n = now - count + i;
      float* slot = &history[2 * (kKeep - count + i)];
      SignalAt(signal, n, rate_, slot, slot + 1);
    }
    played = now;
    ComputePlayerData(history.data(), kKeep, module_);
    const double before = MonotonicSeconds();
    const int result = module_->Render(module_);
    const double after = MonotonicSeconds();
    lock_.Enter();
    // Not when a Play came during this Render: its signal was not in it.
    if (generation != seenGeneration && generation == generation_) firstRender_ = before;
    times_.push_back((after - before) * 1e6);
    lock_.Leave();
    seenGeneration = generation;
    if (result != 0) break;  // The plug-in asked to end.
    Sleep(DWORD(std::max(module_->delayMs, 1)));
  }
  const double before = MonotonicSeconds();
  module_->Quit(module_);
  quitMillis_ = (MonotonicSeconds() - before) * 1000;
}
