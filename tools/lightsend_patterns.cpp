#include "tools/lightsend_patterns.h"

#include <cstdint>
#include <cstring>

namespace {

const char* const kPatterns[] = {"chaser", "bounce", "counter", "random", "blink"};

// A well-mixed number from the step alone (splitmix64's finaliser), so a
// random run needs no state and repeats exactly.
uint64_t Mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

uint32_t PatternValue(const char* name, unsigned lamps, unsigned long step) {
  const auto is = [name](const char* known) { return std::strcmp(name, known) == 0; };
  const uint32_t all = (1u << lamps) - 1;
  if (is("chaser")) return 1u << (step % lamps);
  if (is("bounce")) {
    // There and back: 0, 1, ..., lamps-1, lamps-2, ..., 1, then again.
    const unsigned long period = 2 * (lamps - 1);
    const unsigned long at = step % period;
    return 1u << (at < lamps ? at : period - at);
  }
  if (is("counter")) return uint32_t(step) & all;
  if (is("random")) return uint32_t(Mix(step)) & all;
  if (is("blink")) return step % 2 == 0 ? all : 0;
  return 0;
}

}  // namespace

bool IsKnownPattern(const char* name) {
  for (const char* known : kPatterns)
    if (std::strcmp(name, known) == 0) return true;
  return false;
}

size_t PatternLine(const char* name, int mode, unsigned long step,
                   char (&line)[kMaxLineLength + 1]) {
  const unsigned lamps = (mode == 3) ? kLampCount / 2 : kLampCount;
  return FormatLightLine(mode, LampBits(PatternValue(name, lamps, step)), line);
}
