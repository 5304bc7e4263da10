// The one status line lightbeat keeps rewriting on a terminal.
#pragma once
#include <string>

#include "music/lamp_styles.h"

// The sixteen lamps as dots (row 1, a blank, row 2; leftmost lamp first),
// the louder channel's level in dBFS, the tempo and the lines sent.
// utf8: round dots; else 'O' and '.'.
std::string FormatStatusLine(music::LampBits bits, float levelDb, float bpm, int linesSent,
                             bool utf8);
