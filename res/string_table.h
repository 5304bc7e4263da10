// The string table for platforms without Windows resources.
#pragma once

// The text of entry id, or nullptr when there is none.
const char* FindStringTableText(unsigned id);

// LoadStringA's contract over that table: at most size - 1 characters and a
// terminating zero; returns the number of characters copied.
int CopyStringTableText(unsigned id, char* buffer, int size);
