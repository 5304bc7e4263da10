#include "tools/lightbeat_status.h"

#include <cstdio>

std::string FormatStatusLine(music::LampBits bits, float levelDb, float bpm, int linesSent,
                             bool utf8) {
  std::string line;
  for (int row = 0; row < 2; ++row) {
    if (row) line += ' ';
    for (int lamp = 7; lamp >= 0; --lamp) {  // Bit 7 is the leftmost lamp.
      const bool lit = bits & (1u << (row * 8 + lamp));
      line += utf8 ? (lit ? "\u25CF" : "\u00B7") : (lit ? "O" : ".");
    }
  }
  char text[96];
  char level[16];
  if (levelDb <= -99.5f)
    std::snprintf(level, sizeof level, "  -inf");
  else
    std::snprintf(level, sizeof level, "%6.1f", levelDb > 0 ? 0.0 : double(levelDb));
  char tempo[16];
  if (bpm > 0)
    std::snprintf(tempo, sizeof tempo, "%5.1f", double(bpm));
  else
    std::snprintf(tempo, sizeof tempo, "  ---");
  std::snprintf(text, sizeof text, "  %s dBFS  %s BPM  %d lines", level, tempo, linesSent);
  return line + text;
}
