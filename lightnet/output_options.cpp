#include "lightnet/output_options.h"

#include <cstring>

#include "lightnet/ola_link.h"
#include "lightnet/open_dmx.h"
#include "lightnet/packets.h"
#include "lightnet/usbpro.h"
#include "protocol/option_number.h"
#include "protocol/short_text.h"

const char kOutputOptionsUsage[] =
    "Outputs (up to 8, each followed by its own options):\n"
    "  --sacn ADDRESS|multicast  sACN (E1.31) to ADDRESS, or to the universe's group 239.255.hi.lo\n"
    "                            (a group named as ADDRESS must be that group)\n"
    "  --artnet ADDRESS|broadcast  Art-Net ArtDmx to ADDRESS, or to 255.255.255.255\n"
    "  --wled HOST               WLED realtime UDP (DRGB/DNRGB, port 21324)\n"
    "  --ddp HOST                DDP (port 4048), to WLED and other pixel controllers\n"
    "  --ola UNIVERSE            the local olad's universe (Linux builds with libola)\n"
    "  --opendmx [DEVICE]        Windows: an Open DMX interface through FTDI's D2XX driver,\n"
    "                            DEVICE its index (default 0, the first); on Linux, Open DMX\n"
    "                            goes through olad's FTDI plug-in: --ola UNIVERSE\n"
#ifdef _WIN32
    "  --usbpro PORT             a DMX USB Pro (or compatible) on the serial port COM3, \\\\.\\COM12, ...\n"
#else
    "  --usbpro PORT             a DMX USB Pro (or compatible) on the serial port PORT, as /dev/ttyUSB0\n"
    "                            (an Open DMX interface goes through olad: --ola)\n"
#endif
    "DMX outputs (sACN, Art-Net, OLA, Open DMX, DMX USB Pro):\n"
    "  --universe N              sACN 1-63999 (default 1); Art-Net port address 0-32767\n"
    "                            or NET:SUBNET:UNIVERSE (default 0:0:0); OLA's universe\n"
    "  --start CHANNEL           lamp 0's channel, 1-512 (default 1); lamp n follows at\n"
    "                            CHANNEL + n * channels-per-lamp\n"
    "  --channels C0,C1,...      each lamp's first channel instead (up to 16; unlisted lamps unsent)\n"
    "  --channels-per-lamp N     channels each lamp sets (default 1); no two lamps may share one\n"
    "  --on LEVEL --off LEVEL    levels of a lit and an unlit lamp, 0-255 (default 255 and 0)\n"
    "  --priority N              sACN priority, 0-200 (default 100)\n"
    "  --interface ADDRESS       sACN multicast: the address of this computer's interface to send from\n"
    "Pixel outputs (WLED, DDP):\n"
    "  --start-pixel N           lamp 0's first pixel, counted from 0 (default 0)\n"
    "  --pixels-per-lamp N       1-100 (default 1)\n"
    "  --color RRGGBB            a lit lamp's colour (default ffffff); unlit lamps are black\n"
    "Each option once per output; no two outputs of the same kind, destination and universe.\n"
    "Lamp n is bit n of the light value: >5L0001 lights lamp 0, >5L8000 lamp 15.\n";

namespace {

// A word of the tail: a run of characters other than blanks and tabs.
struct Word {
  const char* at;
  size_t length;
  bool Is(const char* text) const { return std::strlen(text) == length && std::memcmp(at, text, length) == 0; }
  // An option's shape: every output and option begins with two dashes.
  bool IsOption() const { return length >= 2 && at[0] == '-' && at[1] == '-'; }
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

// Decimal digits only, of any length, read by the tools' one number reader
// (which would also take a sign, a point or an exponent: none of these
// values is written so). A value past 2^32 - 1 reads as 2^32 - 1, so that
// ten digits are "out of range", not "not a number".
bool ReadDecimal(const Word& word, unsigned long* value) {
  if (word.length == 0) return false;
  for (size_t i = 0; i < word.length; ++i)
    if (word.at[i] < '0' || word.at[i] > '9') return false;
  // Leading zeros change nothing but the length, which the text below cuts.
  size_t zeros = 0;
  while (zeros + 1 < word.length && word.at[zeros] == '0') ++zeros;
  ShortText digits, refusal;
  digits.Add(word.at + zeros, word.length - zeros);
  double number = 0;
  const bool within = ReadOptionNumber("", digits.c_str(), "", {0, 4294967295.0, true, true}, &number, &refusal);
  *value = within ? (unsigned long)number : 0xFFFFFFFFul;
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The whole word is a number by the port rule's reading: an optional sign,
// an optional 0x, then at least one hexadecimal digit, and nothing after.
bool IsWholeHexNumber(const Word& word) {
  size_t i = 0;
  if (i < word.length && (word.at[i] == '+' || word.at[i] == '-')) ++i;
  if (i + 1 < word.length && word.at[i] == '0' && (word.at[i + 1] == 'x' || word.at[i + 1] == 'X')) i += 2;
  const size_t digits = i;
  while (i < word.length && HexDigit(word.at[i]) >= 0) ++i;
  return i > digits && i == word.length;
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

void AddIpv4(uint32_t address, ShortText* out) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out->AddNumber((address >> shift) & 0xFF);
    if (shift != 0) out->Add(".");
  }
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

bool SameHostName(const char* a, const char* b) {
  for (;; ++a, ++b) {
    char x = *a, y = *b;
    if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
    if (x != y) return false;
    if (x == '\0') return true;
  }
}

// Every word that begins with two dashes and means something here, for the
// hint at a word written with one dash or with '='.
const char* const kOptionNames[] = {
    "--sacn", "--artnet", "--wled", "--ddp", "--ola", "--opendmx", "--usbpro", "--universe", "--start", "--channels",
    "--channels-per-lamp", "--on", "--off", "--priority", "--interface", "--start-pixel",
    "--pixels-per-lamp", "--color", "--colour", "--help", "--version", "--no-window",
};

const char* KnownOption(const Word& word) {
  for (const char* name : kOptionNames)
    if (word.Is(name)) return name;
  return nullptr;
}

// The options an output takes at most once.
enum OptionBit : unsigned {
  kUniverseBit = 1u << 0,
  kStartBit = 1u << 1,
  kChannelsBit = 1u << 2,
  kPerLampBit = 1u << 3,
  kOnBit = 1u << 4,
  kOffBit = 1u << 5,
  kPriorityBit = 1u << 6,
  kInterfaceBit = 1u << 7,
  kStartPixelBit = 1u << 8,
  kPixelsPerLampBit = 1u << 9,
  kColorBit = 1u << 10,
};

struct Reader {
  OutputOptions* result;
  LocalAddressCheck isLocalAddress = nullptr;
  SerialPortCheck checkPort = nullptr;
  OutputConfig current;
  bool open = false;      // An output word was read and its options are being read.
  bool currentBad = false;
  size_t named = 0;       // Output words read, the faulty ones too.
  Word outputWord{"", 0};   // "--sacn" and the word after it, to name the
  Word outputValue{"", 0};  // output as a whole.
  unsigned given = 0;     // OptionBits of the current output.
  bool groupNamed = false;  // sACN to a multicast group written as an address.
  bool channelList = false;
  uint32_t startChannel = 1;
  Word channelsValue{"", 0}, perLampValue{"", 0};  // For the mapping's faults.
  char mappingWord[24] = "--start";  // The word to name when the mapping runs past 512.
  // The word read last that takes values, for the fault of a word after
  // its value: "--universe 7 8".
  Word lastTaker{"", 0};
  bool lastTakesValue = false;

  // The first fault: the word at fault (value, when given, after a blank:
  // "--universe 70000") and what is wrong with it, each cut to its field.
  void Fail(const Word& word, const char* text, const char* more = nullptr, const char* after = nullptr,
            const Word* value = nullptr) {
    if (open) currentBad = true;
    if (result->hasError) return;
    result->hasError = true;
    ShortText named, why;
    named.Add(word.at, word.length);
    if (value != nullptr && value->length != 0) named.Add(" ").Add(value->at, value->length);
    named.CopyTo(result->error.word, sizeof result->error.word);
    why.Add(text);
    if (more != nullptr) why.Add(more);
    if (after != nullptr) why.Add(after);
    why.CopyTo(result->error.text, sizeof result->error.text);
  }

  void FailValue(const Word& option, const Word& value, const char* text, const char* more = nullptr) {
    Fail(option, text, more, nullptr, &value);
  }

  void FailRange(const Word& word, const char* what, unsigned long low, unsigned long high,
                 const Word* value = nullptr) {
    ShortText text;
    text.Add(what).Add(" out of range (").AddNumber(low).Add("-").AddNumber(high).Add(")");
    Fail(word, text.c_str(), nullptr, nullptr, value);
  }

  void Begin(const Word& word, OutputKind kind) {
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
    ++named;
    outputWord = word;
    outputValue = Word{"", 0};
    given = 0;
    groupNamed = false;
    channelList = false;
    startChannel = 1;
    std::strcpy(mappingWord, "--start");
  }

  // Each option once per output: a second one would silently win.
  void Once(const Word& option, unsigned bit) {
    if (given & bit) Fail(option, "given twice for this output");
    given |= bit;
  }

  // The checks that need every option of the output, then the output kept.
  void Finish() {
    if (!open) return;
    if (!currentBad) CheckWhole();
    open = false;
    if (currentBad || result->count >= kMaxOutputs) return;
    result->outputs[result->count++] = current;
  }

  void CheckWhole() {
    if (named > kMaxOutputs) {
      ShortText text;
      if (named == kMaxOutputs + 1)
        text.Add("a ninth output");
      else
        text.Add("output ").AddNumber(named);
      text.Add(": at most 8");
      return FailValue(outputWord, outputValue, text.c_str());
    }
    // After its options: both programs name the same first fault.
    if (current.kind == OutputKind::kOpenDmx && !OpenDmxInThisBuild())
      return FailValue(outputWord, outputValue,
                       "Open DMX is driven by the Windows program only; on Linux use olad's FTDI plug-in "
                       "and --ola UNIVERSE");
    if (!IsPixelOutput(current.kind)) {
      if (!CheckChannels()) return;
      if (current.kind == OutputKind::kSacn && !CheckSacnGroup()) return;
    } else if (unsigned(current.pixels.startPixel) + kLampCount * current.pixels.pixelsPerLamp > 65535) {
      return FailRange(Word{"--start-pixel", 13}, "the lamps' pixels: the last", 0, 65535);
    }
    for (size_t i = 0; i < result->count; ++i)
      if (SameOutput(result->outputs[i]))
        return FailValue(outputWord, outputValue,
                         IsPixelOutput(current.kind)
                             ? "named twice: an output before it sends the same pixels to the same receiver"
                             : "named twice: an output before it has the same kind, destination and universe");
  }

  bool CheckChannels() {
    DmxMapping& dmx = current.dmx;
    if (!channelList)
      for (unsigned lamp = 0; lamp < kLampCount; ++lamp) dmx.channel[lamp] = uint16_t(startChannel + lamp * dmx.channelsPerLamp);
    const unsigned span = dmx.channelsPerLamp;
    for (unsigned lamp = 0; lamp < kLampCount; ++lamp) {
      const uint32_t first = dmx.channel[lamp];
      if (first != 0 && first + span - 1 > kDmxSlots) {
        ShortText text;
        text.Add("the lamps' channels run past channel 512 (lamp ").AddNumber(lamp);
        text.Add(" would end at ").AddNumber(first + span - 1).Add(")");
        Fail(Word{mappingWord, std::strlen(mappingWord)}, text.c_str());
        return false;
      }
    }
    // Two lamps on one channel: the later would silently win it.
    for (unsigned a = 0; a < kLampCount; ++a) {
      for (unsigned b = a + 1; b < kLampCount; ++b) {
        const unsigned first = dmx.channel[a], second = dmx.channel[b];
        if (first == 0 || second == 0) continue;
        ShortText text;
        if (first == second) {
          text.Add("channel ").AddNumber(first).Add(" given to lamp ").AddNumber(a);
          text.Add(" and to lamp ").AddNumber(b).Add(": each channel one lamp");
          FailValue(Word{"--channels", 10}, channelsValue, text.c_str());
          return false;
        }
        if (first < second + span && second < first + span) {
          text.Add("lamp ").AddNumber(a).Add(" (channels ").AddNumber(first).Add("-").AddNumber(first + span - 1);
          text.Add(") and lamp ").AddNumber(b).Add(" (").AddNumber(second).Add("-").AddNumber(second + span - 1);
          text.Add(") overlap: each channel one lamp");
          FailValue(Word{"--channels-per-lamp", 19}, perLampValue, text.c_str());
          return false;
        }
      }
    }
    return true;
  }

  // Receivers of a universe listen on its own group, 239.255.hi.lo: a group
  // written as the address is sent to as written only when it is that
  // group; any other would reach no receiver of the universe.
  bool CheckSacnGroup() {
    if (!current.multicast) return true;
    const uint32_t group = SacnMulticastGroup(uint16_t(current.universe));
    if (!groupNamed) {
      current.address = group;
      return true;
    }
    if (current.address == group) return true;
    ShortText text;
    text.Add("not universe ").AddNumber(current.universe).Add("'s group ");
    AddIpv4(group, &text);
    text.Add(" (write --sacn multicast");
    const uint32_t itsUniverse = current.address & 0xFFFF;
    if ((current.address >> 16) == 0xEFFF && itsUniverse >= 1 && itsUniverse <= 63999)
      text.Add(", or --universe ").AddNumber(itsUniverse).Add(" for this group");
    text.Add(")");
    FailValue(outputWord, outputValue, text.c_str());
    return false;
  }

  // An output before this one that sends the same thing to the same place.
  bool SameOutput(const OutputConfig& other) const {
    if (other.kind != current.kind) return false;
    if (current.kind == OutputKind::kOpenDmx) return other.ftdiDevice == current.ftdiDevice;
    const bool sameDestination = (other.address != 0 && other.address == current.address) ||
                                 (other.address == 0 && current.address == 0 && SameHostName(other.host, current.host));
    if (!sameDestination) return false;
    if (!IsPixelOutput(current.kind)) return other.universe == current.universe;
    const unsigned a = other.pixels.startPixel, aEnd = a + kLampCount * other.pixels.pixelsPerLamp;
    const unsigned b = current.pixels.startPixel, bEnd = b + kLampCount * current.pixels.pixelsPerLamp;
    return a < bEnd && b < aEnd;
  }

  bool NeedOutput(const Word& option, const char* which, bool fits) {
    lastTaker = option;
    lastTakesValue = true;
    if (!open) {
      Fail(option, "comes before any output (--sacn, --artnet, --wled, --ddp, --ola, --usbpro)");
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
    if (NextWord(cursor, argument) && !argument->IsOption()) return true;
    *cursor = before;
    *argument = Word{"", 0};
    Fail(option, "needs a value");
    return false;
  }

  // A number of the option's range; names the value when it is not.
  bool Number(const char** cursor, const Word& option, const char* what, unsigned long low, unsigned long high,
              unsigned long* value, Word* argument = nullptr) {
    Word read;
    Word& word = argument != nullptr ? *argument : read;
    if (!Argument(cursor, option, &word)) return false;
    if (!ReadDecimal(word, value)) {
      FailValue(option, word, "not a number, for ", what);
      return false;
    }
    if (*value < low || *value > high) {
      FailRange(option, what, low, high, &word);
      return false;
    }
    return true;
  }

  void Address(const char** cursor, const Word& option, const char* keyword, uint32_t keywordAddress) {
    Word& argument = outputValue;
    if (!Argument(cursor, option, &argument)) return;
    if (keyword != nullptr && argument.Is(keyword)) {
      current.address = keywordAddress;
      current.multicast = (current.kind == OutputKind::kSacn);
      std::strcpy(current.host, keyword);
      return;
    }
    ShortText host;
    host.Add(argument.at, argument.length).CopyTo(current.host, sizeof current.host);
    if (ReadIpv4(argument, &current.address)) {
      if (current.address == 0) FailValue(option, argument, "not an address to send to");
      if (current.kind == OutputKind::kSacn && (current.address >> 28) == 0xE) current.multicast = groupNamed = true;
      return;
    }
    current.address = 0;
    if (!IsHostName(argument)) FailValue(option, argument, "not an IPv4 address or host name");
  }

  // Open DMX's FTDI device index: the next word unless it is an option; 0,
  // the first interface, without one. Read on every platform, so that a bad
  // index is named alike by both programs (see CheckWhole).
  void OpenDmxDevice(const char** cursor, const Word& option) {
    const char* before = *cursor;
    Word& value = outputValue;
    if (!NextWord(cursor, &value) || value.IsOption()) {
      *cursor = before;
      value = Word{"", 0};
    } else {
      unsigned long index = 0;
      if (!ReadDecimal(value, &index))
        return FailValue(option, value, "not an FTDI device index (0 for the first interface, 1 for the second)");
      if (index > kMaxFtdiDevice) return FailRange(option, "the FTDI device index", 0, kMaxFtdiDevice, &value);
      current.ftdiDevice = uint16_t(index);
    }
  }

  // A comma-separated list of first channels, one per lamp from lamp 0.
  void ReadChannelList(const Word& option, const Word& list) {
    channelList = true;
    for (unsigned lamp = 0; lamp < kLampCount; ++lamp) current.dmx.channel[lamp] = 0;
    unsigned lamp = 0;
    size_t from = 0;
    while (from <= list.length) {
      size_t to = from;
      while (to < list.length && list.at[to] != ',') ++to;
      const Word item{list.at + from, to - from};
      unsigned long channel = 0;
      if (lamp == kLampCount) return FailValue(option, list, "more than 16 lamps");
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

  // The DMX USB Pro's port: a name of the platform's shape, and where the
  // front end checks it, a port that is there now.
  void SerialPort(const char** cursor, const Word& option) {
    Word& argument = outputValue;
    if (!Argument(cursor, option, &argument)) return;
#ifdef _WIN32
    const bool windowsNames = true;
#else
    const bool windowsNames = false;
#endif
    if (const char* fault = UsbProPortNameFault(argument.at, argument.length, windowsNames))
      return FailValue(option, argument, fault);
    ShortText name;
    name.Add(argument.at, argument.length).CopyTo(current.host, sizeof current.host);
    char why[160];
    if (checkPort != nullptr && !checkPort(current.host, why, sizeof why)) FailValue(option, argument, why);
  }

  void Interface(const char** cursor, const Word& option) {
    Word argument;
    if (!Argument(cursor, option, &argument)) return;
    if (!ReadIpv4(argument, &current.interfaceAddress))
      return FailValue(option, argument, "not the IPv4 address of an interface");
    // The output's address came right after its word: known by now.
    if (!current.multicast)
      return FailValue(option, argument, "only for sACN multicast: a unicast output leaves by the route to its receiver");
    if (current.interfaceAddress == 0)
      return FailValue(option, argument, "no interface's address (leave --interface out for the system's choice)");
    if (isLocalAddress != nullptr && !isLocalAddress(current.interfaceAddress))
      FailValue(option, argument, "not an address of this computer (--interface takes the address of one of its interfaces)");
  }

  // The port rule's leading words, read when the tail has its shape: "-p "
  // or "-P " and at least six characters. Its address must be a number by
  // the port rule's reading, all of it.
  void PortWords(const char** cursor, const char* tail) {
    if (std::strlen(tail) < 6 || tail[0] != '-' || (tail[1] != 'p' && tail[1] != 'P') || tail[2] != ' ') return;
    Word port, address;
    NextWord(cursor, &port);
    const char* before = *cursor;
    if (!NextWord(cursor, &address) || address.IsOption()) {
      *cursor = before;
      return Fail(port, "needs the port's address (hexadecimal, as 378) before the outputs");
    }
    if (!IsWholeHexNumber(address)) FailValue(port, address, "not a port address (hexadecimal, as 378)");
  }

  // A word that is neither an option nor the value of one.
  void Stray(const Word& word) {
    if (word.Is("-p") || word.Is("-P"))
      return Fail(word, "not first: the port's -p ADDRESS must come first, before the outputs");
    if (word.length >= 2 && word.at[0] == '-') {
      for (const char* name : kOptionNames)
        if (word.length + 1 == std::strlen(name) && std::memcmp(word.at, name + 1, word.length) == 0)
          return Fail(word, "not an option: options begin with two dashes (", name, ")");
    }
    if (lastTaker.length == 0) return Fail(word, "not an option, nor the value of one (options begin with --)");
    char taker[32];
    ShortText takerText;
    takerText.Add(lastTaker.at, lastTaker.length).CopyTo(taker, sizeof taker);
    const char* takes = !lastTakesValue          ? " takes no value)"
                        : lastTaker.Is("--channels") ? " takes one value: its list without blanks, as 1,5,9)"
                                                     : " takes one value)";
    Fail(word, "not an option, nor the value of one (", taker, takes);
  }

  // An option's shape that is not one: "--help" lists them, and a value
  // joined with '=' is shown apart.
  void Unknown(const Word& word) {
    for (size_t i = 0; i < word.length; ++i) {
      if (word.at[i] != '=') continue;
      if (KnownOption(Word{word.at, i}) == nullptr) break;
      return Fail(word, "not an option: a value follows its option after a blank, not '='");
    }
    Fail(word, "not an option (--help lists them)");
  }

  void Read(const char* tail);
};

void Reader::Read(const char* tail) {
  const char* cursor = tail == nullptr ? "" : tail;
  // Only a tail that names outputs is read: every other is the port rule's.
  Word word;
  bool namesOutputs = false;
  for (const char* scan = cursor; !namesOutputs && NextWord(&scan, &word);) namesOutputs = word.IsOption();
  if (!namesOutputs) return;
  PortWords(&cursor, cursor);
  while (NextWord(&cursor, &word)) {
    if (!word.IsOption()) {
      Stray(word);
      continue;
    }
    unsigned long n = 0;
    const bool dmx = open && !IsPixelOutput(current.kind);
    const bool pixels = open && IsPixelOutput(current.kind);
    if (word.Is("--help") || word.Is("--version") || word.Is("--no-window")) {
      (word.Is("--help") ? result->help : word.Is("--version") ? result->version : result->noWindow) = true;
      lastTaker = word;
      lastTakesValue = false;
      continue;
    }
    lastTaker = word;
    lastTakesValue = true;
    if (word.Is("--sacn")) {
      Begin(word, OutputKind::kSacn);
      Address(&cursor, word, "multicast", 0);
    } else if (word.Is("--artnet")) {
      Begin(word, OutputKind::kArtNet);
      Address(&cursor, word, "broadcast", 0xFFFFFFFFu);
    } else if (word.Is("--wled")) {
      Begin(word, OutputKind::kWled);
      Address(&cursor, word, nullptr, 0);
    } else if (word.Is("--ddp")) {
      Begin(word, OutputKind::kDdp);
      Address(&cursor, word, nullptr, 0);
    } else if (word.Is("--ola")) {
      Begin(word, OutputKind::kOla);
      if (!OlaInThisBuild()) Fail(word, "needs a build with libola; this one has none");
      if (Number(&cursor, word, "the OLA universe", 0, 0xFFFFFFFu, &n, &outputValue)) current.universe = uint32_t(n);
    } else if (word.Is("--usbpro")) {
      Begin(word, OutputKind::kUsbPro);
      SerialPort(&cursor, word);
    } else if (word.Is("--opendmx")) {
      Begin(word, OutputKind::kOpenDmx);
      OpenDmxDevice(&cursor, word);
    } else if (word.Is("--universe")) {
      // Open DMX and a DMX USB Pro drive one line each: no universe to name.
      if (!NeedOutput(word, "--sacn, --artnet and --ola", dmx && current.kind != OutputKind::kUsbPro &&
                                   current.kind != OutputKind::kOpenDmx)) continue;
      Once(word, kUniverseBit);
      if (current.kind == OutputKind::kSacn) {
        if (Number(&cursor, word, "the sACN universe", 1, 63999, &n)) current.universe = uint32_t(n);
      } else if (current.kind == OutputKind::kArtNet) {
        ArtNetUniverse(&cursor, word);
      } else if (Number(&cursor, word, "the OLA universe", 0, 0xFFFFFFFu, &n)) {
        current.universe = uint32_t(n);
      }
    } else if (word.Is("--start")) {
      if (!NeedOutput(word, "--sacn, --artnet, --ola and --usbpro", dmx)) continue;
      Once(word, kStartBit);
      if (given & kChannelsBit) Fail(word, "with --channels: --start and --channels both set the lamps' channels; give one");
      if (Number(&cursor, word, "the channel", 1, 512, &n)) startChannel = uint32_t(n);
      std::strcpy(mappingWord, "--start");
    } else if (word.Is("--channels")) {
      if (!NeedOutput(word, "--sacn, --artnet, --ola and --usbpro", dmx)) continue;
      Once(word, kChannelsBit);
      if (given & kStartBit) Fail(word, "with --start: --start and --channels both set the lamps' channels; give one");
      if (!Argument(&cursor, word, &channelsValue)) continue;
      ReadChannelList(word, channelsValue);
      std::strcpy(mappingWord, "--channels");
    } else if (word.Is("--channels-per-lamp")) {
      if (!NeedOutput(word, "--sacn, --artnet, --ola and --usbpro", dmx)) continue;
      Once(word, kPerLampBit);
      if (Number(&cursor, word, "channels per lamp", 1, 32, &n, &perLampValue))
        current.dmx.channelsPerLamp = uint16_t(n);
      std::strcpy(mappingWord, "--channels-per-lamp");
    } else if (word.Is("--on") || word.Is("--off")) {
      if (!NeedOutput(word, "--sacn, --artnet, --ola and --usbpro", dmx)) continue;
      Once(word, word.Is("--on") ? kOnBit : kOffBit);
      if (Number(&cursor, word, "the level", 0, 255, &n))
        (word.Is("--on") ? current.dmx.onLevel : current.dmx.offLevel) = uint8_t(n);
    } else if (word.Is("--priority")) {
      if (!NeedOutput(word, "--sacn", open && current.kind == OutputKind::kSacn)) continue;
      Once(word, kPriorityBit);
      if (Number(&cursor, word, "the priority", 0, 200, &n)) current.priority = uint8_t(n);
    } else if (word.Is("--interface")) {
      if (!NeedOutput(word, "--sacn", open && current.kind == OutputKind::kSacn)) continue;
      Once(word, kInterfaceBit);
      Interface(&cursor, word);
    } else if (word.Is("--start-pixel")) {
      if (!NeedOutput(word, "--wled and --ddp", pixels)) continue;
      Once(word, kStartPixelBit);
      if (Number(&cursor, word, "the pixel", 0, 65535, &n)) current.pixels.startPixel = uint16_t(n);
    } else if (word.Is("--pixels-per-lamp")) {
      if (!NeedOutput(word, "--wled and --ddp", pixels)) continue;
      Once(word, kPixelsPerLampBit);
      if (Number(&cursor, word, "pixels per lamp", 1, kMaxPixelsPerLamp, &n))
        current.pixels.pixelsPerLamp = uint16_t(n);
    } else if (word.Is("--color") || word.Is("--colour")) {
      if (!NeedOutput(word, "--wled and --ddp", pixels)) continue;
      Once(word, kColorBit);
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
      lastTakesValue = false;
      Unknown(word);
    }
  }
  Finish();
}

}  // namespace

void ReadOutputOptions(const char* tail, OutputOptions* result, LocalAddressCheck isLocalAddress,
                       SerialPortCheck checkPort) {
  std::memset(result, 0, sizeof *result);
  Reader reader;
  reader.result = result;
  reader.isLocalAddress = isLocalAddress;
  reader.checkPort = checkPort;
  reader.Read(tail);
}
