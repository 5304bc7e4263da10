// LoadText for the platforms without Windows resources, and for tests.
#include "app/load_text.h"

#include "res/string_table.h"

int LoadText(unsigned id, char* buffer, int size) { return CopyStringTableText(id, buffer, size); }
