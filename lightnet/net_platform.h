// The network the outputs need, one file per platform: UDP sockets that
// only send, name resolution and a place to say a network fault (their
// threads, wake-ups and clock are the bottom layer's, platform/). No
// platform header here.
#pragma once
#include <cstddef>
#include <cstdint>

// Where one output's datagrams go. The socket is connected to it, so the
// system delivers nothing from anyone else: a send-only socket on which
// nothing piles up (multicast and broadcast groups never send from their
// own address, so nothing at all comes in on those).
struct UdpTarget {
  uint32_t address;  // IPv4, host order.
  uint16_t port;
  bool broadcast;
  bool multicast;
  uint32_t interfaceAddress;  // Multicast: the interface's own address, 0 for the system's choice.
};

// Sockets: -1 when there is none.
bool StartNetworking();
// A connected socket, or -1 with *error the system's error number and
// *what the step that failed ("cannot open a socket", "cannot use the
// interface", "cannot reach the receiver").
intptr_t OpenUdpSender(const UdpTarget& target, int* error, const char** what);
// 0 on success, else the system's error number.
int SendUdp(intptr_t socket, const uint8_t* data, size_t length);
// Whether a send's error is the receiver's host saying that nothing listens
// on the port (an earlier packet's answer, which a connected socket reports).
bool IsRefusal(int error);
void CloseUdpSender(intptr_t socket);
// Whether the IPv4 address (host order) is one of this computer's own, as
// --interface must be. Starts the networking where it needs it; true when
// the system cannot say (the outputs then fail on their own).
bool IsLocalAddress(uint32_t hostOrderIPv4);

// IPv4 address (host order) of a host name; false when it has none now.
// May take seconds: only the output's own thread calls it.
bool ResolveHostName(const char* name, uint32_t* address);
// This computer's name; "" when the system gives none.
void LocalHostName(char* out, size_t size);

// The system's text for an error number ("error 10051" where it has none
// to spare).
void ErrorText(int error, char* out, size_t size);

// One line about the outputs where the platform has a place for it (Linux:
// standard error, after "pipeserver: "); the caller says each fault once.
void PrintConsoleLine(const char* line);

// A TCP client that only sends (OS2L), never waiting on the network: -1
// when there is none. Starts connecting to the receiver and returns at once;
// -1 with *error the system's error number when it cannot even start.
intptr_t OpenTcpClient(uint32_t hostOrderIPv4, uint16_t port, int* error);
// Where the connection stands: 0 connected, -1 still connecting, else the
// system's error number (refused, unreachable, timed out).
int TcpConnectState(intptr_t socket);
// Sends length bytes in one write: 0 when all went, -1 when none did
// because the receiver's window is full, -2 when only a part did (the
// stream is cut mid-message: close it), else the system's error number.
int SendTcp(intptr_t socket, const uint8_t* data, size_t length);
// Reads and drops what the receiver sent; true when it has closed or reset
// the connection (*error its error number, 0 for an orderly close).
bool TcpClosedByPeer(intptr_t socket, int* error);
void CloseTcpClient(intptr_t socket);
