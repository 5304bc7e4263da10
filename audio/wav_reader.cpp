#include "audio/wav_reader.h"

#include <cstdint>
#include <cstring>

namespace {

uint32_t Le32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t Le16(const unsigned char* p) { return uint16_t(p[0] | p[1] << 8); }

constexpr uint16_t kFormatPcm = 1, kFormatFloat = 3, kFormatExtensible = 0xFFFE;

}  // namespace

WavReader::~WavReader() {
  if (file_) std::fclose(file_);
}

bool WavReader::Open(std::FILE* file, std::string* error) {
  file_ = file;
  unsigned char head[12];
  if (std::fread(head, 1, 12, file) != 12 || std::memcmp(head, "RIFF", 4) != 0 ||
      std::memcmp(head + 8, "WAVE", 4) != 0) {
    *error = "not a WAV file (no RIFF/WAVE header)";
    return false;
  }
  bool haveFormat = false;
  for (;;) {
    unsigned char chunk[8];
    if (std::fread(chunk, 1, 8, file) != 8) {
      *error = haveFormat ? "the WAV file has no data chunk" : "the WAV file has no fmt chunk";
      return false;
    }
    const uint32_t size = Le32(chunk + 4);
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (size < 16 || size > 1024) {
        *error = "the WAV file's fmt chunk is damaged";
        return false;
      }
      std::vector<unsigned char> fmt(size + (size & 1));
      if (std::fread(fmt.data(), 1, fmt.size(), file) != fmt.size()) {
        *error = "the WAV file ends inside its fmt chunk";
        return false;
      }
      uint16_t tag = Le16(&fmt[0]);
      const int bits = Le16(&fmt[14]);
      layout_.channels = Le16(&fmt[2]);
      sampleRate_ = int(Le32(&fmt[4]));
      layout_.bytesPerSample = (bits + 7) / 8;
      layout_.validBits = bits;
      if (tag == kFormatExtensible && size >= 40) {
        layout_.validBits = Le16(&fmt[18]);
        tag = Le16(&fmt[24]);  // The sub-format GUID begins with the format tag.
      }
      if (Le16(&fmt[12]) != layout_.channels * layout_.bytesPerSample) {
        *error = "the WAV file's block size does not match its samples";
        return false;
      }
      layout_.isFloat = tag == kFormatFloat;
      if ((tag != kFormatPcm && tag != kFormatFloat) || !PcmLayoutSupported(layout_)) {
        *error = "this WAV encoding is not supported (only PCM and float)";
        return false;
      }
      haveFormat = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!haveFormat) {
        *error = "the WAV file's data comes before its fmt chunk";
        return false;
      }
      bytesLeft_ = size;
      return true;
    } else if (std::fseek(file, long(size + (size & 1)), SEEK_CUR) != 0) {
      *error = "the WAV file ends inside a chunk";
      return false;
    }
  }
}

size_t WavReader::Read(size_t frames, std::vector<float>* out) {
  const size_t frameBytes = size_t(layout_.channels) * layout_.bytesPerSample;
  if (frameBytes == 0) return 0;
  const unsigned long long wanted = frames * frameBytes;
  raw_.resize(size_t(wanted < bytesLeft_ ? wanted : bytesLeft_));
  const size_t got = std::fread(raw_.data(), 1, raw_.size(), file_) / frameBytes;
  bytesLeft_ = got == 0 ? 0 : bytesLeft_ - got * frameBytes;
  ConvertToFloat(raw_.data(), got, layout_, out);
  return got;
}
