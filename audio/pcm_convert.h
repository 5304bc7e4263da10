// Samples as the sound system or a WAV file stores them, to the interleaved
// floats the analysis takes. Platform-free: WASAPI's mix format and the WAV
// reader both describe their samples with PcmLayout.
#pragma once
#include <cstddef>
#include <vector>

struct PcmLayout {
  int channels = 0;        // In the data; the output keeps the first two.
  int bytesPerSample = 0;  // The container: 1, 2, 3 or 4 (8 for doubles).
  int validBits = 0;       // Significant bits, from the top (24 in 32): 0 for all.
  bool isFloat = false;    // IEEE float (4 or 8 bytes), else signed integers
                           // (unsigned for 8 bits, as WAV has them).
};

// Whether ConvertToFloat can read this layout.
bool PcmLayoutSupported(const PcmLayout& layout);

// The channels the output has: 1 or 2.
inline int OutputChannels(const PcmLayout& layout) { return layout.channels >= 2 ? 2 : 1; }

// Replaces *out with frames frames of little-endian data in [-1, 1].
void ConvertToFloat(const unsigned char* data, size_t frames, const PcmLayout& layout,
                    std::vector<float>* out);
