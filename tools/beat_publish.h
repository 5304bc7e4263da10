// What lightbeat tells other lighting programs of its analysis, as bytes:
// OSC messages (beat, tempo, onset, band levels, level, lamps) and WLED's
// audio sync packets. Platform-free, so that every byte is unit-tested;
// beat_senders.cpp puts them on the network.
#pragma once
#include <cstdint>
#include <deque>
#include <utility>
#include <string>
#include <vector>

#include "music/analysis.h"
#include "music/lamp_styles.h"

using Datagram = std::vector<uint8_t>;

// Where a sender goes: a host name or IPv4 address and a UDP port.
struct PublishTarget {
  std::string host;
  uint16_t port = 0;
};

// "HOST:PORT", or "HOST" when defaultPort is not 0. false with error (one
// line, naming option) when text is not that.
bool ParsePublishTarget(const std::string& option, const std::string& text, uint16_t defaultPort,
                        PublishTarget* target, std::string* error);

// OSC 1.0: big-endian, strings and blobs padded with zeros to four bytes.
void AppendOscString(Datagram* out, const char* text);
void AppendOscInt(Datagram* out, int32_t value);
void AppendOscFloat(Datagram* out, float value);
// One message with one argument: type 'i' or 'f'.
Datagram OscMessage(const char* path, int32_t value);
Datagram OscMessage(const char* path, float value);
// A bundle of messages to be acted on at once ("#bundle", time tag 1).
Datagram OscBundle(const std::vector<Datagram>& messages);

// The OSC paths lightbeat sends, one value each (docs/lightbeat.md).
// Events, when they happen, in one bundle:
//   /lightbeat/beat   i  beats counted from 1
//   /lightbeat/tempo  f  BPM, with each beat once known
//   /lightbeat/onset  i  onsets counted from 1
// The state, at most `rate` times a second, in one bundle:
//   /lightbeat/band/1 .. /lightbeat/band/16  f  0 to 1, lowest band first
//   /lightbeat/level  f  dBFS of the louder channel
//   /lightbeat/lamps  i  the lamps' bits (lamp 1 the lowest bit)
class OscPacker {
 public:
  explicit OscPacker(double rate) : period_(1.0 / rate) {}
  // The datagrams this frame makes (none, one or two), appended to out.
  void Pack(const music::Frame& frame, music::LampBits lamps, std::vector<Datagram>* out);

 private:
  double period_;
  double nextState_ = 0;
  int32_t beats_ = 0, onsets_ = 0;
};

// OS2L: JSON over TCP, one object per write (receivers such as QLC+ parse
// each read as one document). On each beat:
//   {"evt":"beat","change":false,"pos":N,"bpm":B,"strength":S}
// pos counts the beats from 1, bpm is the tempo (0 while unknown), strength
// the loudest level of the last beat's length, 0 to 1 (a predicted beat
// may fall a little before its own sound).
namespace os2l {
constexpr uint16_t kPort = 9996;
}  // namespace os2l

class Os2lPacker {
 public:
  // The beat's message when this frame has one, appended to out.
  void Pack(const music::Frame& frame, std::vector<Datagram>* out);
  static Datagram BeatMessage(int32_t position, float bpm, float strength);

 private:
  int32_t beats_ = 0;
  std::deque<std::pair<double, float>> levels_;  // Frame time, loudness 0 to 1.
};

// WLED's audio sync, version 2: 44 bytes, little-endian.
namespace wled {
constexpr uint16_t kPort = 11988;
constexpr const char* kGroup = "239.0.0.1";
constexpr size_t kPacketSize = 44;
constexpr double kPacketsPerSecond = 45;
// WLED clears its peak 50 ms after the last packet that had it: an onset's
// flag is in this many packets (66 ms), so that no receiver misses it.
constexpr int kPeakPackets = 3;
// Offsets of the fields.
enum : size_t {
  kHeader = 0,        // "00002\0"
  kPressure = 6,      // 2 bytes; sent as 0 (not measured here)
  kSampleRaw = 8,     // float, 0 to 255
  kSampleSmooth = 12, // float, 0 to 255
  kSamplePeak = 16,   // 0 or 1
  kFrameCounter = 17, // counts packets, wrapping
  kFftResult = 18,    // 16 bytes, 0 to 255, lowest band first
  kZeroCrossings = 34,// 2 bytes; sent as 0 (not measured here)
  kFftMagnitude = 36, // float
  kFftMajorPeak = 40, // float, Hz, 1 to 11025
};
}  // namespace wled

// Makes the packets from the frames: about kPacketsPerSecond of them on the
// frames' clock (and one at each onset, the slots starting again there), each with the highest level and band levels since the
// last one, and the peak flag in the kPeakPackets packets from an onset.
class WledSyncPacker {
 public:
  void Pack(const music::Frame& frame, std::vector<Datagram>* out);
  // The loudness scale: dBFS to WLED's 0 to 255 (-60 dBFS and less: 0).
  static float Loudness(float levelDb);
  // The centre of band b (of music::kBandCount, 40 Hz to 16 kHz).
  static float BandCentreHz(int band);

 private:
  bool started_ = false;
  double nextPacket_ = 0;
  int peakPackets_ = 0;
  float smooth_ = 0;
  float loudest_ = 0;
  float bands_[music::kBandCount] = {};
  uint8_t counter_ = 0;
};
