#include "tools/beat_publish.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "protocol/option_number.h"

bool ParsePublishTarget(const std::string& option, const std::string& text, uint16_t defaultPort,
                        PublishTarget* target, std::string* error) {
  const size_t colon = text.rfind(':');
  std::string host = colon == std::string::npos ? text : text.substr(0, colon);
  if (host.empty()) {
    *error = option + " needs a host name or address" + (defaultPort ? "" : " and a port (HOST:PORT)");
    return false;
  }
  if (host.find_first_of(" /[]") != std::string::npos) {
    *error = option + ": \"" + host + "\" is not a host name or IPv4 address";
    return false;
  }
  double port = defaultPort;
  if (colon == std::string::npos) {
    if (defaultPort == 0) {
      *error = option + " needs a port: HOST:PORT";
      return false;
    }
  } else if (!ReadOptionNumber(option, text.substr(colon + 1), "a port after the colon",
                               {1, 65535, true, true}, &port, error)) {
    return false;
  }
  target->host = host;
  target->port = uint16_t(port);
  return true;
}

// --- OSC --------------------------------------------------------------------

namespace {

void AppendBigEndian(Datagram* out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(uint8_t(value >> shift));
}

void AppendLittleEndian(uint8_t* at, float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  for (int i = 0; i < 4; ++i) at[i] = uint8_t(bits >> (8 * i));
}

Datagram OscHead(const char* path, const char* types) {
  Datagram out;
  AppendOscString(&out, path);
  AppendOscString(&out, types);
  return out;
}

}  // namespace

void AppendOscString(Datagram* out, const char* text) {
  const size_t length = std::strlen(text);
  out->insert(out->end(), text, text + length);
  out->resize(out->size() + 4 - length % 4, 0);  // At least one zero ends it.
}

void AppendOscInt(Datagram* out, int32_t value) { AppendBigEndian(out, uint32_t(value)); }

void AppendOscFloat(Datagram* out, float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  AppendBigEndian(out, bits);
}

Datagram OscMessage(const char* path, int32_t value) {
  Datagram out = OscHead(path, ",i");
  AppendOscInt(&out, value);
  return out;
}

Datagram OscMessage(const char* path, float value) {
  Datagram out = OscHead(path, ",f");
  AppendOscFloat(&out, value);
  return out;
}

Datagram OscBundle(const std::vector<Datagram>& messages) {
  Datagram out;
  AppendOscString(&out, "#bundle");
  AppendBigEndian(&out, 0);  // Time tag 1: at once.
  AppendBigEndian(&out, 1);
  for (const Datagram& message : messages) {
    AppendBigEndian(&out, uint32_t(message.size()));
    out.insert(out.end(), message.begin(), message.end());
  }
  return out;
}

void OscPacker::Pack(const music::Frame& frame, music::LampBits lamps, std::vector<Datagram>* out) {
  std::vector<Datagram> events;
  if (frame.beat) {
    events.push_back(OscMessage("/lightbeat/beat", ++beats_));
    if (frame.bpm > 0) events.push_back(OscMessage("/lightbeat/tempo", frame.bpm));
  }
  if (frame.onset) events.push_back(OscMessage("/lightbeat/onset", ++onsets_));
  if (!events.empty()) out->push_back(OscBundle(events));
  if (frame.time < nextState_) return;
  // On the frames' clock, so that a late frame does not make a burst.
  nextState_ = std::max(nextState_ + period_, frame.time);
  std::vector<Datagram> state;
  char path[32];
  for (int b = 0; b < music::kBandCount; ++b) {
    std::snprintf(path, sizeof path, "/lightbeat/band/%d", b + 1);
    state.push_back(OscMessage(path, std::clamp(frame.band[b], 0.0f, 1.0f)));
  }
  state.push_back(OscMessage("/lightbeat/level", std::max(frame.levelDb[0], frame.levelDb[1])));
  state.push_back(OscMessage("/lightbeat/lamps", int32_t(lamps)));
  out->push_back(OscBundle(state));
}

// --- OS2L --------------------------------------------------------------------

Datagram Os2lPacker::BeatMessage(int32_t position, float bpm, float strength) {
  char text[128];
  const int length = std::snprintf(text, sizeof text,
                                   "{\"evt\":\"beat\",\"change\":false,\"pos\":%d,\"bpm\":%.2f,\"strength\":%.2f}",
                                   int(position), double(std::max(bpm, 0.0f)), double(std::clamp(strength, 0.0f, 1.0f)));
  return Datagram(text, text + length);
}

void Os2lPacker::Pack(const music::Frame& frame, std::vector<Datagram>* out) {
  // The louder channel on the scale WLED's levels use: -60 dBFS and less is 0.
  levels_.emplace_back(frame.time, WledSyncPacker::Loudness(std::max(frame.levelDb[0], frame.levelDb[1])) / 255.0f);
  const double period = frame.bpm > 0 ? 60.0 / frame.bpm : 0.5;
  while (levels_.front().first < frame.time - period) levels_.pop_front();
  if (!frame.beat) return;
  float loudest = 0;
  for (const auto& level : levels_) loudest = std::max(loudest, level.second);
  out->push_back(BeatMessage(++beats_, frame.bpm, loudest));
}

// --- WLED audio sync -------------------------------------------------------

float WledSyncPacker::Loudness(float levelDb) {
  return std::clamp((levelDb + 60.0f) * (255.0f / 60.0f), 0.0f, 255.0f);
}

float WledSyncPacker::BandCentreHz(int band) {
  return float(40.0 * std::pow(16000.0 / 40.0, (band + 0.5) / music::kBandCount));
}

void WledSyncPacker::Pack(const music::Frame& frame, std::vector<Datagram>* out) {
  const float raw = frame.silent ? 0 : Loudness(std::max(frame.levelDb[0], frame.levelDb[1]));
  if (!started_) {
    started_ = true;
    nextPacket_ = frame.time;
    smooth_ = raw;
  }
  // About a quarter second's average, as WLED's own smoothed level.
  smooth_ += (raw - smooth_) * 0.02f;
  loudest_ = std::max(loudest_, raw);
  if (frame.onset) peakPackets_ = wled::kPeakPackets;
  for (int b = 0; b < music::kBandCount; ++b)
    bands_[b] = std::max(bands_[b], frame.silent ? 0.0f : std::clamp(frame.band[b], 0.0f, 1.0f));
  // An onset goes at once, not in the next slot (up to 22 ms later): the
  // slots start again from it.
  const double period = 1 / wled::kPacketsPerSecond;
  if (frame.time < nextPacket_ && !frame.onset) return;
  nextPacket_ = frame.onset ? frame.time + period : std::max(nextPacket_ + period, frame.time);

  Datagram packet(wled::kPacketSize, 0);
  std::memcpy(&packet[wled::kHeader], "00002", 6);
  // The loudest frame since the last packet, as WLED's own level is of a
  // whole block of sound: a click between two packets is not lost.
  AppendLittleEndian(&packet[wled::kSampleRaw], loudest_);
  loudest_ = 0;
  AppendLittleEndian(&packet[wled::kSampleSmooth], smooth_);
  packet[wled::kSamplePeak] = peakPackets_ > 0 ? 1 : 0;
  peakPackets_ = std::max(peakPackets_ - 1, 0);
  packet[wled::kFrameCounter] = counter_++;
  int loudest = 0;
  for (int b = 0; b < music::kBandCount; ++b) {
    packet[wled::kFftResult + b] = uint8_t(std::lround(bands_[b] * 255));
    if (bands_[b] > bands_[loudest]) loudest = b;
  }
  // No spectrum leaves the analysis: the peak is the band furthest above
  // its threshold, its magnitude that band's level.
  AppendLittleEndian(&packet[wled::kFftMagnitude], bands_[loudest] * 255);
  AppendLittleEndian(&packet[wled::kFftMajorPeak],
                     bands_[loudest] > 0 ? std::min(BandCentreHz(loudest), 11025.0f) : 1.0f);
  std::fill(bands_, bands_ + music::kBandCount, 0.0f);
  out->push_back(std::move(packet));
}
