# Cross build for 32-bit Windows with mingw-w64; tests run under 32-bit Wine
# (wine32:i386) in a 32-bit prefix of the build's own. scripts/test.sh only
# builds this preset where the machine cannot run 32-bit programs.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
