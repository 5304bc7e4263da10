#include "app/caption.h"

char CaptionBuffer[256];
