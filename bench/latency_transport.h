// The two ends of the real transport for the latency benchmark: the named
// pipe on Windows, the abstract Unix socket "tormelin" on Linux. One file
// per platform; the benchmark itself is platform-free.
#pragma once
#include <cstddef>

// Makes the transport's name private to this process where it is global
// (Linux: a network namespace of its own). Returns false with a message.
bool IsolateTransport();

// The client's end: connects (waiting for the server to appear), writes one
// buffer in one write, closes.
bool ClientConnect();
bool ClientWrite(const char* bytes, size_t count);
void ClientClose();

// A bare server on the same name with the listener's settings, for the
// limit: opens, waits for one client, reads; BareRead returns the count,
// or -1 when the client has gone. BareClose frees the name for the listener.
bool BareOpen();
bool BareAccept();
long BareRead(unsigned char* bytes, size_t size);
void BareClose();
