#include "music/spectrum.h"

#include <algorithm>
#include <cmath>

#include "music/vector4.h"

namespace music {
namespace {

constexpr double kPi = 3.14159265358979323846;
void Windowed(const float* in, const float* window, float* out, size_t count) {
  size_t i = 0;
  for (; i + 4 <= count; i += 4) Store(out + i, Load(in + i) * Load(window + i));
  for (; i < count; ++i) out[i] = in[i] * window[i];
}

}  // namespace

int HopAt(int sampleRate) {
  int hop = 128;
  while (hop * 2 <= sampleRate / 150) hop *= 2;
  return hop;
}

float LevelDb(double sumSquares, size_t count) {
  const double ms = sumSquares / count;
  return ms > 0 ? std::max(kLowestDb, static_cast<float>(10 * std::log10(ms) + kFullScaleSineDb)) : kLowestDb;
}

// A radix-2 FFT of n / 2 complex values (the real frame's even samples as
// real parts, its odd ones as imaginary), then the split into the real
// frame's spectrum. Stored as separate real and imaginary arrays so that
// each stage's butterflies run four at a time: this is most of the
// analysis' cost.
struct Spectrum::Fft {
  int m = 0;                       // Complex points: n / 2.
  std::vector<int> reversed;       // Where point j goes: its bits reversed.
  std::vector<float> re, im;       // The transform, in place.
  std::vector<float> twRe, twIm;   // Each stage's twiddles from length 8 on, one after another.
  std::vector<float> splitCos, splitSin;  // cos and sin of 2 pi k / n, k <= m / 2.

  void Init(int n) {
    m = n / 2;
    int bits = 0;
    while ((1 << bits) < m) ++bits;
    reversed.assign(m, 0);
    for (int j = 0; j < m; ++j) {
      int r = 0;
      for (int b = 0; b < bits; ++b) r |= ((j >> b) & 1) << (bits - 1 - b);
      reversed[j] = r;
    }
    re.assign(m, 0);
    im.assign(m, 0);
    twRe.clear();
    twIm.clear();
    for (int len = 8; len <= m; len *= 2) {
      for (int j = 0; j < len / 2; ++j) {
        twRe.push_back(static_cast<float>(std::cos(2 * kPi * j / len)));
        twIm.push_back(static_cast<float>(-std::sin(2 * kPi * j / len)));
      }
    }
    splitCos.resize(m / 2 + 1);
    splitSin.resize(m / 2 + 1);
    for (int k = 0; k <= m / 2; ++k) {
      splitCos[k] = static_cast<float>(std::cos(kPi * k / m));
      splitSin[k] = static_cast<float>(std::sin(kPi * k / m));
    }
  }

  // The frame's n samples in; power[k] = |X[k]|^2 * scale for k in 1..m,
  // power[0] = 0.
  void Power(const float* frame, float scale, float* power) {
    float* const r = re.data();
    float* const i = im.data();
    // Lengths 2 and 4 at once (their twiddles are 1 and -i), reading each
    // group's points from the frame where the bit reversal puts them:
    // group a (a multiple of 4) holds the points reversed[a] + 0, m/2, m/4
    // and 3m/4. Four groups at a time where there are four.
    const int q1 = m / 4, q2 = m / 2, q3 = 3 * m / 4;
    int j = 0;
    for (; m >= 16 && j < q1; j += 4) {
      V4 xr[4], xi[4];
      const int from[4] = {j, j + q2, j + q1, j + q3};
      for (int k = 0; k < 4; ++k) {
        const V4 u = Load(frame + 2 * from[k]), v = Load(frame + 2 * from[k] + 4);
        xr[k] = __builtin_shufflevector(u, v, 0, 2, 4, 6);
        xi[k] = __builtin_shufflevector(u, v, 1, 3, 5, 7);
      }
      V4 yr[4], yi[4];
      FirstTwo(xr, xi, yr, yi);
      Transpose(yr);
      Transpose(yi);
      for (int k = 0; k < 4; ++k) {
        Store(r + reversed[j + k], yr[k]);
        Store(i + reversed[j + k], yi[k]);
      }
    }
    for (; j < q1; ++j) {
      const int from[4] = {j, j + q2, j + q1, j + q3}, a = reversed[j];
      float xr[4], xi[4];
      for (int k = 0; k < 4; ++k) xr[k] = frame[2 * from[k]], xi[k] = frame[2 * from[k] + 1];
      FirstTwo(xr, xi, r + a, i + a);
    }
    // Then the stages from length 8 on, two at a time where two are left:
    // the same butterflies, each value loaded and stored once for both.
    const float* wr = twRe.data();
    const float* wi = twIm.data();
    int len = 8;
    for (; 2 * len <= m; len *= 4) {
      const int h = len / 2;
      const float *w2r = wr + h, *w2i = wi + h;  // The second stage's twiddles.
      for (int at = 0; at < m; at += 2 * len) {
        float *const r0 = r + at, *const i0 = i + at;
        for (int j = 0; j < h; j += 4) {
          V4 ar = Load(r0 + j), ai = Load(i0 + j), br = Load(r0 + j + h), bi = Load(i0 + j + h);
          V4 cr = Load(r0 + j + 2 * h), ci = Load(i0 + j + 2 * h), dr = Load(r0 + j + 3 * h), di = Load(i0 + j + 3 * h);
          const V4 w1r = Load(wr + j), w1i = Load(wi + j);
          Butterfly(ar, ai, br, bi, w1r, w1i);
          Butterfly(cr, ci, dr, di, w1r, w1i);
          Butterfly(ar, ai, cr, ci, Load(w2r + j), Load(w2i + j));
          Butterfly(br, bi, dr, di, Load(w2r + j + h), Load(w2i + j + h));
          Store(r0 + j, ar), Store(i0 + j, ai), Store(r0 + j + h, br), Store(i0 + j + h, bi);
          Store(r0 + j + 2 * h, cr), Store(i0 + j + 2 * h, ci), Store(r0 + j + 3 * h, dr), Store(i0 + j + 3 * h, di);
        }
      }
      wr += 3 * h;
      wi += 3 * h;
    }
    if (len <= m) {  // One stage left: the last.
      const int h = len / 2;
      for (int j = 0; j < h; j += 4) {
        V4 ar = Load(r + j), ai = Load(i + j), br = Load(r + j + h), bi = Load(i + j + h);
        Butterfly(ar, ai, br, bi, Load(wr + j), Load(wi + j));
        Store(r + j, ar), Store(i + j, ai), Store(r + j + h, br), Store(i + j + h, bi);
      }
    }
    power[0] = 0;  // DC carries no music.
    power[m] = (r[0] - i[0]) * (r[0] - i[0]) * scale;
    int k = 1;
    for (; k + 3 <= m / 2; k += 4) {
      const V4 br = Reversed(Load(r + m - k - 3)), bi = Reversed(Load(i + m - k - 3));
      V4 high, low;
      Split(Load(r + k), Load(i + k), br, bi, Load(splitCos.data() + k), Load(splitSin.data() + k), scale, &low, &high);
      Store(power + k, low);
      Store(power + m - k - 3, Reversed(high));
    }
    for (; k <= m / 2; ++k) Split(r[k], i[k], r[m - k], i[m - k], splitCos[k], splitSin[k], scale, &power[k], &power[m - k]);
  }

  // Lengths 2 and 4 of one group: the points x0..x3 in, y0..y3 out.
  template <class T>
  static void FirstTwo(const T* xr, const T* xi, T* yr, T* yi) {
    const T t0r = xr[0] + xr[1], t0i = xi[0] + xi[1];
    const T t1r = xr[0] - xr[1], t1i = xi[0] - xi[1];
    const T t2r = xr[2] + xr[3], t2i = xi[2] + xi[3];
    const T t3r = xr[2] - xr[3], t3i = xi[2] - xi[3];
    yr[0] = t0r + t2r;
    yi[0] = t0i + t2i;
    yr[2] = t0r - t2r;
    yi[2] = t0i - t2i;
    yr[1] = t1r + t3i;
    yi[1] = t1i - t3r;
    yr[3] = t1r - t3i;
    yi[3] = t1i + t3r;
  }

  // Rows to columns: y[k][lane] becomes y[lane][k].
  static void Transpose(V4* y) {
    const V4 ab01 = __builtin_shufflevector(y[0], y[1], 0, 4, 1, 5), ab23 = __builtin_shufflevector(y[0], y[1], 2, 6, 3, 7);
    const V4 cd01 = __builtin_shufflevector(y[2], y[3], 0, 4, 1, 5), cd23 = __builtin_shufflevector(y[2], y[3], 2, 6, 3, 7);
    y[0] = __builtin_shufflevector(ab01, cd01, 0, 1, 4, 5);
    y[1] = __builtin_shufflevector(ab01, cd01, 2, 3, 6, 7);
    y[2] = __builtin_shufflevector(ab23, cd23, 0, 1, 4, 5);
    y[3] = __builtin_shufflevector(ab23, cd23, 2, 3, 6, 7);
  }

  // a + w b and a - w b.
  static void Butterfly(V4& ar, V4& ai, V4& br, V4& bi, V4 wr, V4 wi) {
    const V4 tr = br * wr - bi * wi, ti = br * wi + bi * wr;
    br = ar - tr;
    bi = ai - ti;
    ar = ar + tr;
    ai = ai + ti;
  }

  // Z[k] = a and Z[m - k] = b give the real frame's X[k] = E + W O and
  // X[m - k] = conj(E - W O), W = exp(-i pi k / m); their powers out.
  template <class T>
  static void Split(T ar, T ai, T br, T bi, T c, T s, float scale, T* low, T* high) {
    const T er = 0.5f * (ar + br), ei = 0.5f * (ai - bi);
    const T or_ = 0.5f * (ai + bi), oi = 0.5f * (br - ar);
    const T wor = c * or_ + s * oi, woi = c * oi - s * or_;
    *low = ((er + wor) * (er + wor) + (ei + woi) * (ei + woi)) * scale;
    *high = ((er - wor) * (er - wor) + (ei - woi) * (ei - woi)) * scale;
  }
};

Spectrum::Spectrum() : fft_(new Fft) {}
Spectrum::~Spectrum() = default;

void Spectrum::Init(int n, int fall) {
  size_ = n;
  fft_->Init(n);
  window_.resize(n);
  const int rise = fall < 0 ? n : n - fall;
  double sum = 0;
  for (int i = 0; i < n; ++i) {
    const double w = fall < 0 ? 0.5 - 0.5 * std::cos(2 * kPi * i / n)
                     : i < rise ? 0.5 - 0.5 * std::cos(kPi * i / rise)
                                : 0.5 + 0.5 * std::cos(kPi * (i - rise) / fall);
    window_[i] = static_cast<float>(w);
    sum += w;
  }
  scale_ = static_cast<float>(4 / (sum * sum));
  frame_.resize(n);
  power_.resize(n / 2 + 1);
}

void Spectrum::Compute(const std::vector<float>& ring, size_t newest) {
  const size_t r = ring.size(), n = static_cast<size_t>(size_);
  const size_t oldest = (newest + r - n) % r;
  // The frame in at most two runs of the ring (no wrap test per sample).
  const size_t first = std::min(n, r - oldest);
  Windowed(ring.data() + oldest, window_.data(), frame_.data(), first);
  Windowed(ring.data(), window_.data() + first, frame_.data() + first, n - first);
  fft_->Power(frame_.data(), scale_, power_.data());
}

PcmHops::PcmHops(int sampleRate, int channels)
    : rate_(sampleRate), channels_(channels), hop_(HopAt(sampleRate)), ring_(8 * hop_, 0) {
  // The long window symmetric (a tone stays in its band); the short one
  // two hops, falling over the newest half hop only, so the newest samples
  // weigh nearly fully (an attack shows at once).
  const int hop = static_cast<int>(hop_);
  band_.Init(8 * hop, -1);
  onset_.Init(2 * hop, hop / 2);
}

void PcmHops::Take(const float* x, size_t frames) {
  float* const ring = ring_.data() + ringPos_;
  double left = sumSquares_[0], right = sumSquares_[1];
  if (channels_ == 2) {
    for (size_t i = 0; i < frames; ++i) {
      const float l = x[2 * i], r = x[2 * i + 1];
      left += static_cast<double>(l) * l;
      right += static_cast<double>(r) * r;
      ring[i] = 0.5f * (l + r);
    }
  } else {
    for (size_t i = 0; i < frames; ++i) {
      const float l = x[i];
      left += static_cast<double>(l) * l;
      ring[i] = 0.5f * (l + l);
    }
    right = left;
  }
  sumSquares_[0] = left;
  sumSquares_[1] = right;
  ringPos_ = ringPos_ + frames == ring_.size() ? 0 : ringPos_ + frames;
  inHop_ += frames;
  samplesDone_ += frames;
}

const Hop& PcmHops::Step() {
  for (int c = 0; c < 2; ++c) {
    last_.levelDb[c] = LevelDb(sumSquares_[c], hop_);
    sumSquares_[c] = 0;
  }
  const float level = std::max(last_.levelDb[0], last_.levelDb[1]);
  const bool bandStep = hopsToBand_ == 0 || level > std::min(hopLevel_[0], hopLevel_[1]) + kAttackDb;
  hopLevel_[1] = hopLevel_[0];
  hopLevel_[0] = level;
  hopsToBand_ = bandStep ? kBandHops - 1 : hopsToBand_ - 1;
  if (bandStep) band_.Compute(ring_, ringPos_);
  onset_.Compute(ring_, ringPos_);
  last_.time = static_cast<double>(samplesDone_) / rate_;
  last_.band = bandStep ? &band_ : nullptr;
  last_.onset = &onset_;
  return last_;
}

}  // namespace music
