// The program shell's texts that light control and the listener use too:
// the caption of every message box but the listener's error box, and the
// one buffer for window-title and message texts.
#pragma once

#define APP_TITLE "Pipe Server Vantrelle"

// Window titles and message texts: at most 254 characters and a zero.
// Written by start-up for the title, and by the listener only on its error
// path, after start-up is done with it.
extern char CaptionBuffer[256];
