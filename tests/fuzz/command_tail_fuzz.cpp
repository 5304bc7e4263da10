// The command tail: a port only from "-p " or "-P " and at least six
// characters; the test only with 'P' and a port; the port is the low 16 bits
// of the number read from the fourth character on. The outputs' words
// beside it: none without a "--" in the tail, a fault names a word of the
// tail, and every output kept maps within its universe.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/command_tail.h"
#include "lightnet/output_options.h"
#include "protocol/hex_number.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string tail(reinterpret_cast<const char*>(data), size);
  tail = tail.substr(0, tail.find('\0'));
  const CommandTail got = ReadCommandTail(tail.c_str());

  const bool shaped = tail.size() >= 6 && tail[0] == '-' && (tail[1] == 'p' || tail[1] == 'P') && tail[2] == ' ';
  uint32_t number = 0;
  const uint16_t port = (shaped && ReadHexNumber(tail.c_str() + 3, &number)) ? uint16_t(number) : 0;
  if (got.port != port) std::abort();
  if (got.hardwareTest != (shaped && tail[1] == 'P' && port != 0)) std::abort();

  static OutputOptions outputs;
  ReadOutputOptions(tail.c_str(), &outputs);
  if (tail.find("--") == std::string::npos && (outputs.count != 0 || outputs.hasError || outputs.help)) std::abort();
  const std::string word(outputs.error.word, std::strcspn(outputs.error.word, " "));
  if (outputs.hasError && word != "--" && tail.find(word) == std::string::npos) std::abort();
  if (outputs.count > kMaxOutputs) std::abort();
  // Both read the port's words by one shape: a tail that names outputs and
  // reads without fault leads with -p or -P only where the port rule took it.
  const size_t lead = tail.find_first_not_of(" \t");
  const bool leadsWithPort = lead != std::string::npos && (tail.compare(lead, 2, "-p") == 0 || tail.compare(lead, 2, "-P") == 0) &&
                             (lead + 2 == tail.size() || tail[lead + 2] == ' ' || tail[lead + 2] == '\t');
  bool namesOutputs = false;
  for (size_t at = tail.find("--"); at != std::string::npos && !namesOutputs; at = tail.find("--", at + 1))
    namesOutputs = at == 0 || tail[at - 1] == ' ' || tail[at - 1] == '\t';
  if (namesOutputs && !outputs.hasError && leadsWithPort && !shaped) std::abort();
  for (size_t i = 0; i < outputs.count; ++i) {
    const OutputConfig& out = outputs.outputs[i];
    for (unsigned lamp = 0; lamp < kLampCount; ++lamp)
      if (out.dmx.channel[lamp] + out.dmx.channelsPerLamp - 1 > 512) std::abort();
    if (out.pixels.startPixel + kLampCount * out.pixels.pixelsPerLamp > 65535u) std::abort();
  }
  return 0;
}
