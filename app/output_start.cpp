#include "app/output_start.h"

#include <cstring>

#include "app/caption.h"
#include "lights/ui_ops.h"
#include "out/output_options.h"
#include "out/outputs.h"

namespace {

OutputOptions Options;  // Large: kept out of the start-up thread's stack.

}  // namespace

void StartNamedOutputs(const char* commandTail) {
  ReadOutputOptions(commandTail, &Options);
  if (Options.hasError) {
    char text[sizeof Options.error.word + sizeof Options.error.text + 64] = "";
    std::strcat(text, Options.error.word);
    std::strcat(text, ": ");
    std::strcat(text, Options.error.text);
    std::strcat(text, ".\n\nThe program runs without this output.");
    ShowMessageBox(nullptr, text, APP_TITLE, kBoxOk | kBoxIconWarning);
  }
  StartOutputs(Options.outputs, Options.count);
}
