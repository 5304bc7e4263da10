// The little the outputs need from the system, one file per platform:
// a thread with a wake-up, a clock, UDP sockets that only send, name
// resolution and a place to say a network fault. No platform header here.
#pragma once
#include <cstddef>
#include <cstdint>

struct SenderThread;  // A thread with its own wake-up.

// Starts body(arg) on a thread of its own; *slot holds the thread before
// body runs, so that body may wait on it. false (and *slot nullptr) when it
// cannot.
bool StartSenderThread(SenderThread** slot, void (*body)(void* arg), void* arg);
// Wakes the thread's next or current WaitForWake (a wake is remembered).
void WakeSender(SenderThread* thread);
// Waits at most milliseconds for a wake; true when woken.
bool WaitForWake(SenderThread* thread, uint32_t milliseconds);
// Waits at most milliseconds for the thread to end; true when it has.
bool JoinSenderThread(SenderThread* thread, uint32_t milliseconds);

uint32_t MonotonicMilliseconds();  // Wraps after 49 days; compare differences.

// Sockets: -1 when there is none. Every socket is bound by the system on
// its first send: nothing here listens.
bool StartNetworking();
intptr_t OpenUdpSender(bool broadcast, bool multicast, uint32_t interfaceAddress);
// 0 on success, else the system's error number.
int SendUdp(intptr_t socket, uint32_t address, uint16_t port, const uint8_t* data, size_t length);
void CloseUdpSender(intptr_t socket);
// Whether the IPv4 address (host order) is one of this computer's own, as
// --interface must be. Starts the networking where it needs it; true when
// the system cannot say (the outputs then fail on their own).
bool IsLocalAddress(uint32_t hostOrderIPv4);

// IPv4 address (host order) of a host name; false when it has none now.
bool ResolveHostName(const char* name, uint32_t* address);
// This computer's name; "" when the system gives none.
void LocalHostName(char* out, size_t size);

// Says a network fault where the platform has a place for it (Linux:
// standard error); the caller says each fault once.
void ReportOutputFault(const char* output, const char* what, int error);
