// The outputs' command line, read alone: a tail without a word that begins
// with "--" names nothing; a fault names a word of the tail; a tail read
// without fault keeps every output it names, and every output kept is one
// the outputs can run: channels within the universe and of one lamp each,
// pixels within 65535, an sACN group the universe's own, an interface of
// this (fake) computer's, no two alike. Reading is the same each time.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "lightnet/output_options.h"
#include "lightnet/packets.h"
#include "tests/fakes/local_addresses.h"

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

// The tail's words, as the reader splits them.
size_t CountWords(const std::string& tail, bool (*which)(const std::string&)) {
  size_t count = 0, at = 0;
  while (at < tail.size()) {
    while (at < tail.size() && IsSpace(tail[at])) ++at;
    size_t end = at;
    while (end < tail.size() && !IsSpace(tail[end])) ++end;
    if (end > at && which(tail.substr(at, end - at))) ++count;
    at = end;
  }
  return count;
}

bool IsOptionWord(const std::string& word) { return word.size() >= 2 && word[0] == '-' && word[1] == '-'; }
bool IsOutputWord(const std::string& word) {
  return word == "--sacn" || word == "--artnet" || word == "--wled" || word == "--ddp" || word == "--ola" ||
         word == "--opendmx" || word == "--usbpro";
}
bool IsWordOf(const std::string& tail, const std::string& word) {
  for (size_t at = tail.find(word); at != std::string::npos; at = tail.find(word, at + 1))
    if ((at == 0 || IsSpace(tail[at - 1])) && (at + word.size() == tail.size() || IsSpace(tail[at + word.size()])))
      return true;
  return false;
}

void CheckOutput(const OutputConfig& out) {
  if (!IsPixelOutput(out.kind)) {
    const unsigned span = out.dmx.channelsPerLamp;
    if (span < 1 || span > 32) std::abort();
    for (unsigned a = 0; a < kLampCount; ++a) {
      const unsigned first = out.dmx.channel[a];
      if (first != 0 && first + span - 1 > 512) std::abort();
      for (unsigned b = a + 1; b < kLampCount; ++b) {
        const unsigned second = out.dmx.channel[b];
        if (first != 0 && second != 0 && first < second + span && second < first + span) std::abort();
      }
    }
  } else if (out.pixels.pixelsPerLamp < 1 || out.pixels.pixelsPerLamp > kMaxPixelsPerLamp ||
             out.pixels.startPixel + kLampCount * out.pixels.pixelsPerLamp > 65535u) {
    std::abort();
  }
  if (out.kind == OutputKind::kSacn) {
    if (out.universe < 1 || out.universe > 63999) std::abort();
    if (out.multicast && out.address != SacnMulticastGroup(uint16_t(out.universe))) std::abort();
    if (out.interfaceAddress != 0 && (!out.multicast || !FakeIsLocalAddress(out.interfaceAddress))) std::abort();
  }
  if (out.kind == OutputKind::kArtNet && out.universe > 32767) std::abort();
  if (std::memchr(out.host, '\0', sizeof out.host) == nullptr) std::abort();
}

bool Alike(const OutputConfig& a, const OutputConfig& b) {
  if (a.kind != b.kind || IsPixelOutput(a.kind)) return false;  // Pixel outputs may share a receiver.
  if (a.kind == OutputKind::kOpenDmx) return a.ftdiDevice == b.ftdiDevice;
  return a.universe == b.universe && a.address == b.address && std::strcmp(a.host, b.host) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string tail(reinterpret_cast<const char*>(data), size);
  tail = tail.substr(0, tail.find('\0'));
  static OutputOptions first, again;
  ReadOutputOptions(tail.c_str(), &first, FakeIsLocalAddress);
  ReadOutputOptions(tail.c_str(), &again, FakeIsLocalAddress);
  if (std::memcmp(&first, &again, sizeof first) != 0) std::abort();

  if (CountWords(tail, IsOptionWord) == 0) {
    if (first.count != 0 || first.hasError || first.help || first.version || first.noWindow) std::abort();
    return 0;
  }
  if (first.count > kMaxOutputs) std::abort();
  if (first.hasError) {
    // The word at fault, or the option before its value: both words of the tail.
    const std::string word(first.error.word);
    const size_t blank = word.find(' ');
    if (word.size() + 1 < sizeof first.error.word) {
      if (!IsWordOf(tail, word.substr(0, blank)) && !IsWordOf(tail, word) &&
          word.rfind("--start-pixel", 0) != 0 && word.rfind("--channels", 0) != 0)
        std::abort();
    }
    if (first.error.text[0] == '\0') std::abort();
  } else if (first.count != CountWords(tail, IsOutputWord)) {
    std::abort();  // Read without fault, yet an output named was not kept.
  }
  for (size_t i = 0; i < first.count; ++i) {
    CheckOutput(first.outputs[i]);
    for (size_t j = 0; j < i; ++j)
      if (Alike(first.outputs[i], first.outputs[j])) std::abort();
  }
  return 0;
}
