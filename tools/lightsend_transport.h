// lightsend's connection to the server: the named pipe on Windows, the
// abstract Unix socket on Linux. One connection per run.
#pragma once
#include <string>

enum class SendStatus {
  kOk,
  kNoServer,    // Nobody serves the pipe (or it stayed busy too long).
  kServerGone,  // The server closed the connection while we wrote.
  kFailed,      // Anything else; the message says what.
};

// The server's address as a person would write it, for messages.
const char* ServerName();

// Connects to the server. On failure, detail holds the system's reason.
SendStatus ConnectToServer(std::string* detail);

// Writes the bytes in a single write, so the server reads a line in one piece.
SendStatus SendBytes(const std::string& bytes, std::string* detail);

void CloseConnection();

// Makes Ctrl-C (and on Linux SIGTERM) set a flag instead of killing the
// program, so that a pattern ends between two lines. Also keeps a server's
// going away from killing the program on Linux (SIGPIPE).
void InstallInterruptHandler();
bool Interrupted();
