#include "app/output_start.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/main_window.h"
#include "app/ui_ops.h"
#include "lightnet/net_platform.h"
#include "lightnet/open_dmx.h"
#include "lightnet/output_options.h"
#include "lightnet/serial_port.h"
#include "lightnet/outputs.h"

const char kOutputsItem[] = "Outputs...";

void ShowOutputsBox() {
  // Heap, not stack: eight outputs' paragraphs, on the UI thread.
  enum { kSize = kMaxOutputs * 320 };
  char* text = static_cast<char*>(std::malloc(kSize));
  if (text == nullptr) return;
  DescribeRunningOutputs(text, kSize);
  ShowMessageBox(nullptr, text, "Outputs", kBoxOk | kBoxIconInformation);
  std::free(text);
}

namespace {

// An Open DMX interface that cannot be opened at start-up (no FTDI library,
// no such interface) is one box and the program runs without it, as a fault
// on the command line is; one that goes away later is the output's fault.
void LeaveOutUnopenedInterfaces(OutputOptions* named) {
  size_t kept = 0;
  for (size_t i = 0; i < named->count; ++i) {
    const OutputConfig& output = named->outputs[i];
    if (output.kind == OutputKind::kOpenDmx) {
      char why[320];
      void* link = OpenDmxOpen(output.ftdiDevice, why, sizeof why);
      if (link == nullptr) {
        char text[sizeof why + 96];
        // The words as the command line has them: "--opendmx 1".
        std::snprintf(text, sizeof text, "--opendmx %u: %s.\n\nThe program runs without this output.",
                      unsigned(output.ftdiDevice), why);
        ShowMessageBox(nullptr, text, APP_TITLE, kBoxOk | kBoxIconWarning);
        continue;
      }
      OpenDmxClose(link);  // Its own thread opens it again.
    }
    named->outputs[kept++] = output;
  }
  named->count = kept;
}

}  // namespace

void StartNamedOutputs(const char* commandTail) {
  // From the heap, for the Windows program's size (see lightnet/outputs.cpp); the
  // outputs keep their own copies.
  OutputOptions* options = static_cast<OutputOptions*>(std::calloc(1, sizeof(OutputOptions)));
  if (options == nullptr) return;
  OutputOptions& named = *options;
  // --interface is checked against this computer's own addresses: on
  // Windows that loads Winsock, only when an --interface is named.
  ReadOutputOptions(commandTail, &named, IsLocalAddress, CheckSerialPort);
  if (named.hasError) {
    char text[sizeof named.error.word + sizeof named.error.text + 64] = "";
    std::strcat(text, named.error.word);
    std::strcat(text, ": ");
    std::strcat(text, named.error.text);
    std::strcat(text, ".\n\nThe program runs without this output.");
    ShowMessageBox(nullptr, text, APP_TITLE, kBoxOk | kBoxIconWarning);
  }
  LeaveOutUnopenedInterfaces(&named);
  StartOutputs(named.outputs, named.count);
  std::free(options);
}
