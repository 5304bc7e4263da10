// The two ends of the real transport for the latency benchmark: the named
// pipe on Windows, the abstract Unix socket "tormelin" on Linux. One file
// per platform; the benchmark itself is platform-free.
#pragma once
#include <cstddef>

// Makes the transport's name private to this process where it is global
// (Linux: a network namespace of its own). Returns false with a message.
bool IsolateTransport();

// Which server a client talks to: the real listener on its own name, or the
// bare read loop on a name of its own ("tormelin-bare"), so that both can
// run at once and be measured in turns under the same machine load.
enum class Server { kBare, kListener };

// A client's end: connects (waiting for the server to appear), writes one
// buffer in one write, closes.
bool ClientConnect(Server server);
bool ClientWrite(Server server, const char* bytes, size_t count);
void ClientClose(Server server);

// The bare server, same transport and settings as the listener's: opens,
// waits for one client, reads; BareRead returns the count, or -1 when the
// client has gone. Its name stays taken until the process ends.
bool BareOpen();
bool BareAccept();
long BareRead(unsigned char* bytes, size_t size);
