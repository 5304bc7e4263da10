#include <cstdio>

#include "app/output_start.h"
#include "lightnet/net_platform.h"
#include "lightnet/output_options.h"
#include "lightnet/serial_port.h"
#include "res/product.h"
#include "res/version.h"

int CheckOutputOptionsOnConsole(const char* commandTail) {
  static OutputOptions options;
  ReadOutputOptions(commandTail, &options, IsLocalAddress, CheckSerialPort);
  if (options.help) {
    std::fputs(
        "Usage: pipeserver [-p ADDRESS | -P ADDRESS] [--no-window] [OUTPUT [OPTION VALUE]...]...\n"
        "Shows the light lines that clients send and, with -p, puts the lamps on the\n"
        "parallel port at the hexadecimal ADDRESS (as 378); -P runs its pin test first.\n"
        "Without -p (or with -p 000) the lamps are only drawn.\n"
        "With --no-window it opens no window and needs no display: the listener and\n"
        "the outputs only, its state on standard error, ended by SIGTERM.\n\n"
        "Clients write light lines such as >5L1234 to the abstract Unix socket\n"
        "@tormelin, one client at a time: lightsend sends lines and patterns,\n"
        "lightbeat makes the lamps follow what this computer plays.\n\n",
        stdout);
    std::fputs(kOutputOptionsUsage, stdout);
    std::fputs("  --help                    this text\n"
               "  --version                 the version and the licence\n"
               "\nExample: pipeserver -p 0 --sacn 239.255.0.1 --universe 1 --start 1\n", stdout);
    return 0;
  }
  if (options.version) {
    std::fputs("pipeserver " VERSION_DOTTED " (" APP_TITLE ")\n" LICENCE_NAME "\n", stdout);
    return 0;
  }
  if (options.hasError) {
    std::fprintf(stderr, "pipeserver: %s: %s\n", options.error.word, options.error.text);
    return 2;
  }
  return -1;
}
