# Cross build for 32-bit Windows with mingw-w64; tests run under 32-bit Wine
# (wine32:i386) in a 32-bit prefix of the build's own. scripts/test.sh only
# builds this preset where the machine cannot run 32-bit programs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_TRIPLE i686-w64-mingw32)

# The win32 thread model, as for x86-64 (see mingw-w64-x86_64.cmake).
find_program(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-win32 REQUIRED)
find_program(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-win32 REQUIRED)
find_program(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres REQUIRED)
find_program(WINE_PROGRAM wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_PROGRAM})

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
