#include "out/output_options.h"

#include <cstring>

#include "out/ola_link.h"
#include "out/packets.h"
#include "out/text.h"

const char kOutputOptionsUsage[] =
    "Outputs (any number, each followed by its own options):\n"
    "  --sacn ADDRESS|multicast  sACN (E1.31) to ADDRESS, or to the universe's group 239.255.hi.lo\n"
    "  --artnet ADDRESS|broadcast  Art-Net ArtDmx to ADDRESS, or to 255.255.255.255\n"
    "  --wled HOST               WLED realtime UDP (DRGB/DNRGB, port 21324)\n"
    "  --ddp HOST                DDP (port 4048), to WLED and other pixel controllers\n"
    "  --ola UNIVERSE            the local olad's universe (Linux builds with libola)\n"
    "DMX outputs (sACN, Art-Net, OLA):\n"
    "  --universe N              sACN 1-63999 (default 1); Art-Net port address 0-32767\n"
    "                            or NET:SUBNET:UNIVERSE (default 0:0:0); OLA's universe\n"
    "  --start CHANNEL           lamp 0's channel, 1-512 (default 1); lamp n follows at\n"
    "                            CHANNEL + n * channels-per-lamp\n"
    "  --channels C0,C1,...      each lamp's first channel instead (up to 16; unlisted lamps unsent)\n"
    "  --channels-per-lamp N     channels each lamp sets (default 1)\n"
    "  --on LEVEL --off LEVEL    levels of a lit and an unlit lamp, 0-255 (default 255 and 0)\n"
    "  --priority N              sACN priority, 0-200 (default 100)\n"
    "  --interface ADDRESS       sACN multicast: the local interface's address\n"
    "Pixel outputs (WLED, DDP):\n"
    "  --start-pixel N           lamp 0's first pixel, counted from 0 (default 0)\n"
    "  --pixels-per-lamp N       1-100 (default 1)\n"
    "  --color RRGGBB            a lit lamp's colour (default ffffff); unlit lamps are black\n"
    "Lamp n is bit n of the light value: >5L0001 lights lamp 0, >5L8000 lamp 15.\n";

namespace {

// A word of the tail: a run of characters other than blanks and tabs.
struct Word {
  const char* at;
  size_t length;
  bool Is(const char* text) const { return std::strlen(text) == length && std::memcmp(at, text, length) == 0; }
};

bool NextWord(const char** cursor, Word* word) {
  const char* at = *cursor;
  while (*at == ' ' || *at == '\t') ++at;
  if (*at == '\0') return false;
  const char* end = at;
  while (*end != '\0' && *end != ' ' && *end != '\t') ++end;
  *word = Word{at, size_t(end - at)};
  *cursor = end;
  return true;
}

void CopyWord(const Word& word, char* out, size_t size) {
  const size_t n = word.length < size - 1 ? word.length : size - 1;
  std::memcpy(out, word.at, n);
  out[n] = '\0';
}

bool ReadDecimal(const Word& word, unsigned long* value) {
  if (word.length == 0 || word.length > 9) return false;
  unsigned long result = 0;
  for (size_t i = 0; i < word.length; ++i) {
    if (word.at[i] < '0' || word.at[i] > '9') return false;
    result = result * 10 + unsigned(word.at[i] - '0');
  }
  *value = result;
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Dotted-quad IPv4 (host order).
bool ReadIpv4(const Word& word, uint32_t* address) {
  uint32_t result = 0;
  size_t i = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (i >= word.length || word.at[i] != '.') return false;
      ++i;
    }
    unsigned value = 0;
    size_t digits = 0;
    while (i < word.length && word.at[i] >= '0' && word.at[i] <= '9' && digits < 4) {
      value = value * 10 + unsigned(word.at[i] - '0');
      ++i;
      ++digits;
    }
    if (digits == 0 || digits > 3 || value > 255) return false;
    result = (result << 8) | value;
  }
  if (i != word.length) return false;
  *address = result;
  return true;
}

// A host name resolved later, by the output's own thread: letters, digits,
// hyphens and dots, no empty label.
bool IsHostName(const Word& word) {
  if (word.length == 0 || word.length >= kMaxHostName) return false;
  bool labelStart = true;
  bool allDigitsAndDots = true;
  for (size_t i = 0; i < word.length; ++i) {
    const char c = word.at[i];
    const bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (c == '.') {
      if (labelStart) return false;
      labelStart = true;
      continue;
    }
    if (!alnum && c != '-') return false;
    if (labelStart && c == '-') return false;
    if (!(c >= '0' && c <= '9')) allDigitsAndDots = false;
    labelStart = false;
  }
  // Only digits and dots is an IPv4 address that failed to read, not a name.
  return !labelStart && !allDigitsAndDots;
}

struct Reader {
  OutputOptions* result;
  OutputConfig current;
  bool open = false;      // An output word was read and its options are being read.
  bool currentBad = false;
  bool channelList = false;
  uint32_t startChannel = 1;
  char mappingWord[24] = "--start";  // The word to name when the mapping runs past 512.

  void Fail(const Word& word, const char* text, const char* more = nullptr) {
    if (open) currentBad = true;
    if (result->hasError) return;
    result->hasError = true;
    CopyWord(word, result->error.word, sizeof result->error.word);
    result->error.text[0] = '\0';
    AppendText(result->error.text, sizeof result->error.text, text);
    if (more != nullptr) AppendText(result->error.text, sizeof result->error.text, more);
  }

  // The option and its value, as "--universe 70000", as the word at fault.
  void FailValue(const Word& option, const Word& value, const char* text, const char* more = nullptr) {
    const bool first = !result->hasError;
    Fail(option, text, more);
    if (!first) return;
    char* word = result->error.word;
    AppendText(word, sizeof result->error.word, " ");
    const size_t used = std::strlen(word);
    CopyWord(value, word + used, sizeof result->error.word - used);
  }

  void FailRange(const Word& word, const char* what, unsigned long low, unsigned long high,
                 const Word* value = nullptr) {
    char text[120] = "";
    AppendText(text, sizeof text, what);
    AppendText(text, sizeof text, " out of range (");
    AppendNumber(text, sizeof text, low);
    AppendText(text, sizeof text, "-");
    AppendNumber(text, sizeof text, high);
    AppendText(text, sizeof text, ")");
    if (value != nullptr)
      FailValue(word, *value, text);
    else
      Fail(word, text);
  }

  void Begin(OutputKind kind) {
    Finish();
    current = OutputConfig{};
    current.kind = kind;
    current.universe = (kind == OutputKind::kArtNet) ? 0 : 1;
    current.priority = 100;
    current.dmx.channelsPerLamp = 1;
    current.dmx.onLevel = 255;
    current.dmx.offLevel = 0;
    current.pixels.pixelsPerLamp = 1;
    current.pixels.onColor[0] = current.pixels.onColor[1] = current.pixels.onColor[2] = 255;
    open = true;
    currentBad = false;
    channelList = false;
    startChannel = 1;
    std::strcpy(mappingWord, "--start");
  }

  // The checks that need every option of the output, then the output kept.
  void Finish() {
    if (!open) return;
    open = false;
    if (currentBad) return;
    if (!IsPixelOutput(current.kind)) {
      if (!channelList)
        for (unsigned lamp = 0; lamp < kLamps; ++lamp)
          current.dmx.channel[lamp] = uint16_t(startChannel + lamp * current.dmx.channelsPerLamp);
      for (unsigned lamp = 0; lamp < kLamps; ++lamp) {
        const uint32_t first = current.dmx.channel[lamp];
        if (first != 0 && first + current.dmx.channelsPerLamp - 1 > kDmxSlots) {
          char text[120] = "the lamps' channels run past channel 512 (lamp ";
          AppendNumber(text, sizeof text, lamp);
          AppendText(text, sizeof text, " would end at ");
          AppendNumber(text, sizeof text, first + current.dmx.channelsPerLamp - 1);
          AppendText(text, sizeof text, ")");
          open = true;  // So that Fail counts it against this output.
          Fail(Word{mappingWord, std::strlen(mappingWord)}, text);
          open = false;
          return;
        }
      }
      if (current.kind == OutputKind::kSacn && current.multicast)
        current.address = SacnMulticastGroup(uint16_t(current.universe));
    } else if (unsigned(current.pixels.startPixel) + kLamps * current.pixels.pixelsPerLamp > 65535) {
      Word word{"--start-pixel", 13};
      open = true;
      FailRange(word, "the lamps' pixels: the last", 0, 65535);
      open = false;
      return;
    }
    if (result->count == kMaxOutputs) {
      Fail(Word{"--", 2}, "too many outputs (at most 8)");
      return;
    }
    result->outputs[result->count++] = current;
  }

  bool NeedOutput(const Word& option, const char* which, bool fits) {
    if (!open) {
      Fail(option, "comes before any output (--sacn, --artnet, --wled, --ddp, --ola)");
      return false;
    }
    if (!fits) {
      Fail(option, "not an option of this output; it belongs to ", which);
      return false;
    }
    return true;
  }

  // The option's value: the next word, unless that is the next option.
  bool Argument(const char** cursor, const Word& option, Word* argument) {
    const char* before = *cursor;
    if (NextWord(cursor, argument) && !(argument->length >= 2 && argument->at[0] == '-' && argument->at[1] == '-'))
      return true;
    *cursor = before;
    Fail(option, "needs a value");
    return false;
  }

  // A number of the option's range; names the value when it is not.
  bool Number(const char** cursor, const Word& option, const char* what, unsigned long low, unsigned long high,
              unsigned long* value) {
    Word argument;
    if (!Argument(cursor, option, &argument)) return false;
    if (!ReadDecimal(argument, value)) {
      FailValue(option, argument, "not a number, for ", what);
      return false;
    }
    if (*value < low || *value > high) {
      FailRange(option, what, low, high, &argument);
      return false;
    }
    return true;
  }

  void Address(const char** cursor, const Word& option, const char* keyword, uint32_t keywordAddress) {
    Word argument;
    if (!Argument(cursor, option, &argument)) return;
    if (keyword != nullptr && argument.Is(keyword)) {
      current.address = keywordAddress;
      current.multicast = (current.kind == OutputKind::kSacn);
      std::strcpy(current.host, keyword);
      return;
    }
    CopyWord(argument, current.host, sizeof current.host);
    if (ReadIpv4(argument, &current.address)) {
      if (current.address == 0) FailValue(option, argument, "not an address to send to");
      if (current.kind == OutputKind::kSacn && (current.address >> 28) == 0xE) current.multicast = true;
      return;
    }
    current.address = 0;
    if (!IsHostName(argument)) FailValue(option, argument, "not an IPv4 address or host name");
  }

  // A comma-separated list of first channels, one per lamp from lamp 0.
  void ReadChannelList(const Word& option, const Word& list) {
    channelList = true;
    for (unsigned lamp = 0; lamp < kLamps; ++lamp) current.dmx.channel[lamp] = 0;
    unsigned lamp = 0;
    size_t from = 0;
    while (from <= list.length) {
      size_t to = from;
      while (to < list.length && list.at[to] != ',') ++to;
      const Word item{list.at + from, to - from};
      unsigned long channel = 0;
      if (lamp == kLamps) return FailValue(option, list, "more than 16 lamps");
      if (!ReadDecimal(item, &channel)) return FailValue(option, list, "not a list of channels (as 1,2,3)");
      if (channel < 1 || channel > kDmxSlots) return FailRange(option, "a channel", 1, kDmxSlots, &list);
      current.dmx.channel[lamp++] = uint16_t(channel);
      from = to + 1;
    }
  }

  // Art-Net's port address: one number 0-32767, or NET:SUBNET:UNIVERSE
  // (0-127, 0-15, 0-15) as nodes show it.
  void ArtNetUniverse(const char** cursor, const Word& option) {
    Word value;
    if (!Argument(cursor, option, &value)) return;
    unsigned long parts[3] = {0, 0, 0};
    static const unsigned long kLimits[3] = {127, 15, 15};
    size_t count = 0, from = 0;
    bool good = true;
    while (good && from <= value.length && count < 3) {
      size_t to = from;
      while (to < value.length && value.at[to] != ':') ++to;
      good = ReadDecimal(Word{value.at + from, to - from}, &parts[count++]);
      from = to + 1;
    }
    good = good && from > value.length && (count == 1 || count == 3);
    if (!good) return FailValue(option, value, "not an Art-Net port address (0-32767, or NET:SUBNET:UNIVERSE)");
    if (count == 1) {
      if (parts[0] > 32767) return FailRange(option, "the Art-Net port address", 0, 32767, &value);
      current.universe = uint32_t(parts[0]);
      return;
    }
    for (int i = 0; i < 3; ++i)
      if (parts[i] > kLimits[i])
        return FailValue(option, value, "out of range (net 0-127, sub-net 0-15, universe 0-15)");
    current.universe = uint32_t(parts[0] << 8 | parts[1] << 4 | parts[2]);
  }

  void Read(const char* tail);
};

void Reader::Read(const char* tail) {
  const char* cursor = tail == nullptr ? "" : tail;
  Word word;
  while (NextWord(&cursor, &word)) {
    if (word.length < 2 || word.at[0] != '-' || word.at[1] != '-') continue;  // The port's words, and others.
    unsigned long n = 0;
    const bool dmx = open && !IsPixelOutput(current.kind);
    const bool pixels = open && IsPixelOutput(current.kind);
    if (word.Is("--help")) {
      result->help = true;
    } else if (word.Is("--version")) {
      result->version = true;
    } else if (word.Is("--sacn")) {
      Begin(OutputKind::kSacn);
      Address(&cursor, word, "multicast", 0);
    } else if (word.Is("--artnet")) {
      Begin(OutputKind::kArtNet);
      Address(&cursor, word, "broadcast", 0xFFFFFFFFu);
    } else if (word.Is("--wled")) {
      Begin(OutputKind::kWled);
      Address(&cursor, word, nullptr, 0);
    } else if (word.Is("--ddp")) {
      Begin(OutputKind::kDdp);
      Address(&cursor, word, nullptr, 0);
    } else if (word.Is("--ola")) {
      Begin(OutputKind::kOla);
      if (!OlaInThisBuild()) Fail(word, "needs a build with libola; this one has none");
      if (Number(&cursor, word, "the OLA universe", 0, 0xFFFFFFFu, &n)) current.universe = uint32_t(n);
    } else if (word.Is("--universe")) {
      if (!NeedOutput(word, "--sacn, --artnet and --ola", dmx)) continue;
      if (current.kind == OutputKind::kSacn) {
        if (Number(&cursor, word, "the sACN universe", 1, 63999, &n)) current.universe = uint32_t(n);
      } else if (current.kind == OutputKind::kArtNet) {
        ArtNetUniverse(&cursor, word);
      } else if (Number(&cursor, word, "the OLA universe", 0, 0xFFFFFFFu, &n)) {
        current.universe = uint32_t(n);
      }
    } else if (word.Is("--start")) {
      if (!NeedOutput(word, "--sacn, --artnet and --ola", dmx)) continue;
      if (Number(&cursor, word, "the channel", 1, 512, &n)) startChannel = uint32_t(n);
      std::strcpy(mappingWord, "--start");
    } else if (word.Is("--channels")) {
      if (!NeedOutput(word, "--sacn, --artnet and --ola", dmx)) continue;
      Word list;
      if (!Argument(&cursor, word, &list)) continue;
      ReadChannelList(word, list);
      std::strcpy(mappingWord, "--channels");
    } else if (word.Is("--channels-per-lamp")) {
      if (!NeedOutput(word, "--sacn, --artnet and --ola", dmx)) continue;
      if (Number(&cursor, word, "channels per lamp", 1, 32, &n)) current.dmx.channelsPerLamp = uint16_t(n);
      std::strcpy(mappingWord, "--channels-per-lamp");
    } else if (word.Is("--on") || word.Is("--off")) {
      if (!NeedOutput(word, "--sacn, --artnet and --ola", dmx)) continue;
      if (Number(&cursor, word, "the level", 0, 255, &n))
        (word.Is("--on") ? current.dmx.onLevel : current.dmx.offLevel) = uint8_t(n);
    } else if (word.Is("--priority")) {
      if (!NeedOutput(word, "--sacn", open && current.kind == OutputKind::kSacn)) continue;
      if (Number(&cursor, word, "the priority", 0, 200, &n)) current.priority = uint8_t(n);
    } else if (word.Is("--interface")) {
      if (!NeedOutput(word, "--sacn", open && current.kind == OutputKind::kSacn)) continue;
      Word argument;
      if (Argument(&cursor, word, &argument) && !ReadIpv4(argument, &current.interfaceAddress))
        FailValue(word, argument, "not the IPv4 address of an interface");
    } else if (word.Is("--start-pixel")) {
      if (!NeedOutput(word, "--wled and --ddp", pixels)) continue;
      if (Number(&cursor, word, "the pixel", 0, 65535, &n)) current.pixels.startPixel = uint16_t(n);
    } else if (word.Is("--pixels-per-lamp")) {
      if (!NeedOutput(word, "--wled and --ddp", pixels)) continue;
      if (Number(&cursor, word, "pixels per lamp", 1, kMaxPixelsPerLamp, &n))
        current.pixels.pixelsPerLamp = uint16_t(n);
    } else if (word.Is("--color") || word.Is("--colour")) {
      if (!NeedOutput(word, "--wled and --ddp", pixels)) continue;
      Word color;
      if (!Argument(&cursor, word, &color)) continue;
      bool good = color.length == 6;
      for (size_t i = 0; good && i < 6; ++i) good = HexDigit(color.at[i]) >= 0;
      if (!good) {
        FailValue(word, color, "not a colour RRGGBB (six hexadecimal digits, as ffa000)");
        continue;
      }
      for (int i = 0; i < 3; ++i)
        current.pixels.onColor[i] = uint8_t(HexDigit(color.at[2 * i]) * 16 + HexDigit(color.at[2 * i + 1]));
    } else {
      Fail(word, "not an option (--help lists them)");
    }
  }
  Finish();
}

}  // namespace

void ReadOutputOptions(const char* tail, OutputOptions* result) {
  std::memset(result, 0, sizeof *result);
  Reader reader;
  reader.result = result;
  reader.Read(tail);
}
