/* The program's version, written once: the version record of the .rc and
   the About text are made from it. Plain macros, as windres reads it too. */
#pragma once

#define VERSION_MAJOR 1
#define VERSION_MINOR 0
#define VERSION_PATCH 2
#define VERSION_BUILD 0

#define VERSION_STRINGIZE(x) #x
#define VERSION_STRING(x) VERSION_STRINGIZE(x)
/* "1.02": the minor and patch numbers as the two digits after the point. */
#define VERSION_SHORT \
  VERSION_STRING(VERSION_MAJOR) "." VERSION_STRING(VERSION_MINOR) VERSION_STRING(VERSION_PATCH)
#define VERSION_TEXT "Version " VERSION_SHORT
/* "1.0.2": the version the packages and --version give. */
#define VERSION_DOTTED                                                      \
  VERSION_STRING(VERSION_MAJOR) "." VERSION_STRING(VERSION_MINOR) "." \
  VERSION_STRING(VERSION_PATCH)
/* The licence's name, as LICENSE states it. */
#define LICENCE_NAME "MIT licence"
