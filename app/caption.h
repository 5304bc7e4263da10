// The one buffer for window-title and message texts, and the product name
// that captions the shell's boxes.
#pragma once

#include "res/product.h"  // APP_TITLE

// Window titles and message texts: at most 254 characters and a zero.
// Written and read by start-up alone.
extern char CaptionBuffer[256];
