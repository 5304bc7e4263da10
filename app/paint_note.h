// Called by the main window after each paint, with its window (HWND or
// Fl_Window*). The programs link the no-op in paint_note_none.cpp; the flood
// tests link one that counts, to see that a flood of lines does not paint
// once per line.
#pragma once

void NotePaint(void* window);
