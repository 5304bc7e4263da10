// The player's visualization plug-in interface, declared from its public
// description: the header that winampVisGetHeader returns and the module
// records it hands out. Field order and types are the binary layout the
// player relies on; every call is __cdecl. Window and instance handles are
// kept as void* so that this header needs no platform header.
#pragma once

#if defined(_WIN32) && !defined(_WIN64)
#define VIS_CDECL __cdecl
#else
#define VIS_CDECL  // One calling convention on x86-64 and elsewhere.
#endif

constexpr int kVisHeaderVersion = 0x101;
constexpr int kVisValues = 576;  // Values per channel in spectrumData and waveformData.

struct winampVisModule {
  char* description;
  void* hwndParent;    // HWND, filled by the player.
  void* hDllInstance;  // HINSTANCE of this DLL, filled by the player.
  int sRate;
  int nCh;
  int latencyMs;  // From the call of Render to the lamps changing.
  int delayMs;    // Between two calls of Render.
  int spectrumNch;
  int waveformNch;
  unsigned char spectrumData[2][kVisValues];
  unsigned char waveformData[2][kVisValues];
  void(VIS_CDECL* Config)(winampVisModule* module);
  int(VIS_CDECL* Init)(winampVisModule* module);    // 0 on success.
  int(VIS_CDECL* Render)(winampVisModule* module);  // 0 to go on, 1 to end.
  void(VIS_CDECL* Quit)(winampVisModule* module);
  void* userData;
};

struct winampVisHeader {
  int version;
  char* description;
  winampVisModule*(VIS_CDECL* getModule)(int index);  // Null past the last.
};

typedef winampVisHeader*(VIS_CDECL* winampVisGetHeaderType)();
