#include "app/paint_note.h"

void NotePaint(void*) {}
