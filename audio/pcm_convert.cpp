#include "audio/pcm_convert.h"

#include <cstdint>
#include <cstring>

bool PcmLayoutSupported(const PcmLayout& layout) {
  if (layout.channels < 1 || layout.channels > 32) return false;
  if (layout.isFloat) return layout.bytesPerSample == 4 || layout.bytesPerSample == 8;
  return layout.bytesPerSample >= 1 && layout.bytesPerSample <= 4 &&
         layout.validBits <= layout.bytesPerSample * 8;
}

namespace {

float ReadSample(const unsigned char* p, const PcmLayout& layout) {
  if (layout.isFloat) {
    if (layout.bytesPerSample == 4) {
      uint32_t bits = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                      uint32_t(p[3]) << 24;
      float value;
      std::memcpy(&value, &bits, sizeof value);
      return value;
    }
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = bits << 8 | p[i];
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return float(value);
  }
  if (layout.bytesPerSample == 1) return (int(p[0]) - 128) / 128.0f;  // WAV's 8 bits: unsigned.
  // Signed little-endian, read into the top of 32 bits: the unused low bits
  // of a 24-in-32 container then count for nothing.
  uint32_t bits = 0;
  for (int i = layout.bytesPerSample - 1; i >= 0; --i) bits = bits << 8 | p[i];
  bits <<= 8 * (4 - layout.bytesPerSample);
  return float(int32_t(bits) / 2147483648.0);
}

}  // namespace

void ConvertToFloat(const unsigned char* data, size_t frames, const PcmLayout& layout,
                    std::vector<float>* out) {
  const int kept = OutputChannels(layout);
  const size_t frameBytes = size_t(layout.channels) * layout.bytesPerSample;
  out->resize(frames * kept);
  for (size_t i = 0; i < frames; ++i) {
    const unsigned char* frame = data + i * frameBytes;
    for (int c = 0; c < kept; ++c) {
      float value = ReadSample(frame + c * layout.bytesPerSample, layout);
      if (value > 1) value = 1;
      if (value < -1 || value != value) value = value != value ? 0 : -1;
      (*out)[i * kept + c] = value;
    }
  }
}
