// The soak client's connection: the named pipe on Windows, the abstract
// Unix socket on Linux.
#pragma once
#include <cstddef>

// Connects, waiting up to a few seconds for the server to take clients.
bool Connect();

// Writes the bytes in one write, then waits until the server has read all
// of them, so that the next write starts a read of its own.
bool WriteAndDrain(const unsigned char* bytes, size_t count);

void Disconnect();
