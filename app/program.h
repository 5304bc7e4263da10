// The program's start-up, message loop and shutdown, written once for every
// front end: WinMain (winmain_win.cpp) and main (main_fltk.cpp) call it.
#pragma once

// Runs the program with the command tail (the command line without the
// program's name and the blanks after it); returns the exit code.
int RunProgram(const char* commandTail);
