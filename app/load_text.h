// Loading a text of the string table by its number (res/strings.h): from
// the program's resources on Windows (ui_ops_win.cpp), from the table
// compiled in elsewhere (load_text_table.cpp, over res/string_table.h).
// app/'s own seam: only the shell and its boxes load texts.
#pragma once

// Copies string-table entry id into buffer (at most size - 1 characters and a
// terminating zero); returns the number of characters copied, 0 if unknown.
int LoadText(unsigned id, char* buffer, int size);
