// What pipe_client.cpp needs from each platform's client file, beside the
// functions of pipe/pipe_client.h that those files define.
#pragma once

// Sleeps for about ms milliseconds.
void PipeClientPause(int ms);
