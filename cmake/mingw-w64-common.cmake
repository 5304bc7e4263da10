# The part of the two mingw-w64 toolchain files that is the same: the
# compilers of MINGW_TRIPLE, Wine as the emulator (so that `cmake --build`
# followed by `ctest` behaves as it does natively) and the find-root rules.
set(CMAKE_SYSTEM_NAME Windows)

# The win32 thread model: the posix model's thread library (winpthreads)
# imports GetTickCount64, so its programs need Vista. GCC 12's win32 model
# has no std::thread, std::mutex or std::condition_variable: Windows code
# uses Win32 threads and critical sections (README, "Builds").
find_program(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-win32 REQUIRED)
find_program(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-win32 REQUIRED)
find_program(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres REQUIRED)
# x86-64 programs run under Wine's 64-bit loader itself: once wine32 is
# installed, "wine" is the 32-bit loader, which runs a 64-bit program behind
# a start.exe of its own and needs the prefix's 32-bit half.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL x86_64)
  find_program(WINE_PROGRAM NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
endif()
find_program(WINE_PROGRAM wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_PROGRAM})

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
