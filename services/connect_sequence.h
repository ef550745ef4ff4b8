// The connect sequence of the settings dialog's OK: open the port at the chosen
// rate, identify the model, check the device password, switch medium and texts
// to the model, read the system block, then read or send all parameters. A
// device whose password is not given yields nothing beyond its identification
// and password block. Failures go to the error log with a beep; no message box.
// Reaches the window only through AppWindow() and the device link's window.
#pragma once

#include <string>

namespace services {

struct TConnectChoice {
  bool online = false;
  int port_index = 0;  // COM number - 1
  int baud_index = 0;
  // On a connect from offline: 0 read all parameters from the device, 1 send
  // them; -1 when no transfer was offered.
  int transfer = -1;
  // Refresh of the operating display: 0 manual, 1 and 2 timed.
  int refresh = 0;
};

struct TConnectOutcome {
  // The dialog closes; false when it stays open (the device did not answer).
  bool close = true;
  // The baud index the dialog shows afterwards (the old one when the device
  // refused the new rate).
  int baud_index = 0;
  // The port index the dialog shows afterwards: a port chosen instead of a
  // missing one is shown from then on.
  int port_index = 0;
  // Text put into status panel 0 by the failure, to be kept after the dialog.
  std::string failure_panel_text;
};

// The entry as the device compares it: filled with "-" to 8 characters.
std::string PaddedPassword(const std::string& entry);

TConnectOutcome RunConnectSequence(const TConnectChoice& choice);

}  // namespace services
