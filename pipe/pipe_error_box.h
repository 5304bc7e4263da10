// The listener's one error report: the box shown when it cannot serve the
// pipe (most often because another copy of the program already does). The
// front end supplies it (app/pipe_error_box.cpp); the listener only calls.
#pragma once

// Formats string 102 with code as a signed decimal number and shows it in a
// box owned by owner, captioned with string 103, information icon, OK
// button. Returns when the box is closed.
void ShowPipeError(void* owner, long code);
