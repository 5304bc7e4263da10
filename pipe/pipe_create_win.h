// Windows only: the creation of the listener's named pipe, with the
// platform call passed in so that tests can answer as older systems do.
#pragma once
#include <windows.h>

using CreateNamedPipeFn = HANDLE(WINAPI*)(LPCSTR name, DWORD openMode, DWORD pipeMode,
                                          DWORD maxInstances, DWORD outBufferSize,
                                          DWORD inBufferSize, DWORD defaultTimeOut,
                                          LPSECURITY_ATTRIBUTES security);

// PIPE_REJECT_REMOTE_CLIENTS: known from Windows Vista on.
constexpr DWORD kRejectRemoteClients = 0x00000008;

// Creates the pipe path (one instance, inbound only, byte stream, blocking)
// with create (CreateNamedPipeA in the program), refusing remote clients.
// Where the system does not know that setting (before Vista it answers
// ERROR_INVALID_PARAMETER), and only then, it is created without it. On
// failure: INVALID_HANDLE_VALUE, with the last call's error as the last error.
HANDLE CreateListenerPipe(const char* path, DWORD inBufferSize, CreateNamedPipeFn create);
