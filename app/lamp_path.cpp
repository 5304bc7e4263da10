#include "app/lamp_path.h"

#include <cstdio>

#include "app/main_window.h"
#include "app/ui_ops.h"
#include "lights/light_control.h"
#include "lights/parallel_port.h"
#include "lightnet/outputs.h"
#include "port/port_io.h"

void RunHardwareTest(uint8_t controlBase) {
  for (int step = 0; step < kHardwareTestSteps; ++step) {
    char text[200];
    switch (step) {
      case 0: std::snprintf(text, sizeof text, "start test: pin2..9=low, pin16+17=low"); break;
      case 1: std::snprintf(text, sizeof text, "pin16=high"); break;
      case 2: std::snprintf(text, sizeof text, "pin17=high"); break;
      case kHardwareTestSteps - 1: std::snprintf(text, sizeof text, "end of test..."); break;
      default: std::snprintf(text, sizeof text, "set Pin_%x: high", unsigned(step - 1));  // Pins 2 to 9.
    }
    SetHardwareTestStep(controlBase, step);
    ShowMessageBox(nullptr, text, APP_TITLE, kBoxOk | kBoxIconStop);
  }
}

void StartPort(bool hardwareTest) {
  if (PortBase == 0) return;
  if (!PortAccessOpen(PortBase)) {
    char text[512];
    FormatNoPortAccessMessage(PortBase, text, sizeof text);
    ShowMessageBox(nullptr, text, APP_TITLE, kBoxOk | kBoxIconWarning);
    PortBase = 0;
    return;
  }
  const uint8_t controlBase = PortSetUp();
  if (hardwareTest) RunHardwareTest(controlBase);
}

void TakeLightLine(const char* line) {
  const LightCommand command = ApplyLightLine(line);
  // Only the listener touches the port after start-up, so its sequences
  // never interleave and need no lock.
  if (PortBase != 0) {
    if (command.banks == 1) LatchOneBank(command.value);
    if (command.banks == 2) LatchTwoBanks(command.value);
  }
  // The network outputs get the lamps as drawn, both rows for both modes;
  // they only take the state and never wait.
  if (command.banks != 0) SendLamps(command.value);

  RequestRepaint();  // For every line, command or not.
}
