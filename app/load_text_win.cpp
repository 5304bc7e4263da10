// LoadText (app/load_text.h) from the program's own resources.
#include "app/load_text.h"

#include "app/app_win.h"

int LoadText(unsigned id, char* buffer, int size) { return LoadStringA(AppInstance, id, buffer, size); }
