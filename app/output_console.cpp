#include <cstdio>

#include "app/output_start.h"
#include "out/out_platform.h"
#include "out/output_options.h"

int CheckOutputOptionsOnConsole(const char* commandTail) {
  static OutputOptions options;
  ReadOutputOptions(commandTail, &options, IsLocalAddress);
  if (options.help) {
    std::fputs(
        "Usage: pipeserver [-p ADDRESS | -P ADDRESS] [--no-window] [OUTPUT [OPTION VALUE]...]...\n"
        "Shows the light lines that clients send and, with -p, puts the lamps on the\n"
        "parallel port at the hexadecimal ADDRESS (as 378); -P runs its pin test first.\n"
        "Without -p (or with -p 000) the lamps are only drawn.\n"
        "With --no-window it opens no window and needs no display: the listener and\n"
        "the outputs only, its state on standard error, ended by SIGTERM.\n\n",
        stdout);
    std::fputs(kOutputOptionsUsage, stdout);
    std::fputs("\nExample: pipeserver -p 0 --sacn 239.255.0.1 --universe 1 --start 1\n", stdout);
    return 0;
  }
  if (options.hasError) {
    std::fprintf(stderr, "pipeserver: %s: %s\n", options.error.word, options.error.text);
    return 2;
  }
  return -1;
}
