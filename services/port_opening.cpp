#include "services/port_opening.h"

#include <stdexcept>

#include "devicelink/block_commands.h"
#include "devicelink/device_data.h"
#include "devicelink/device_run.h"
#include "devicelink/frame_transfer.h"
#include "devicelink/link_state.h"
#include "devicelink/window_link.h"
#include "platform/clock.h"
#include "platform/main_thread.h"
#include "serial/sio_errors.h"
#include "serial/sio_port.h"
#include "services/app_state.h"
#include "services/app_window.h"

namespace services {

const std::array<int32_t, 8> BaudRates = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

namespace {

constexpr uint32_t kSettleMs = 150;

serial::TSioComPort& Port() {
  serial::TSioComPort* port = devicelink::ComPort();
  if (port == nullptr) throw std::logic_error("no serial port object");
  return *port;
}

void ClosePortQuietly(serial::TSioComPort& port) {
  try {
    port.SetOpen(false);
  } catch (const std::exception&) {
    // Closing reports afterwards and never leaves the port half open.
  }
}

void ShowLinkState() {
  if (devicelink::DeviceOnline) {
    devicelink::WindowLink().SetOnlineLabel("ONLINE", devicelink::kColourGreen);
  } else {
    devicelink::WindowLink().SetOnlineLabel("OFFLINE", devicelink::kColourRed);
  }
}

TPortFailure g_port_failure;
bool g_device_locked = false;
bool g_unknown_device = false;

// A port number that does not exist here goes to the port's selection dialog
// (the port asks when it has no number), which offers the ports that do; the
// port chosen there and opened becomes PortIndex. Any other way out than a
// chosen port leaves the number as it was. A failure keeps
// its reason, for the port that was tried.
void OpenOrChoosePort(serial::TSioComPort& port) {
  const uint16_t configured = port.ComNumber();
  try {
    port.SetOpen(true);
    return;
  } catch (const serial::EBadId&) {
    if (!port.PromptForPort()) {
      g_port_failure = CurrentPortFailure(configured);
      throw;
    }
  } catch (...) {
    g_port_failure = CurrentPortFailure(configured);
    throw;
  }
  port.SetComNumber(0);
  try {
    port.SetOpen(true);
    // The chosen port is the configured one from now on: the settings dialog
    // shows it, the settings file keeps it, and the next start does not ask.
    if (port.ComNumber() >= 1 && port.ComNumber() <= kPortChoices) {
      PortIndex = port.ComNumber() - 1;
    }
  } catch (const serial::ENoPortSelected&) {
    // Nothing chosen instead: the configured port is still the one missing.
    port.SetComNumber(configured);
    g_port_failure = MissingPortFailure(configured);
    throw;
  } catch (...) {
    const uint16_t chosen = port.ComNumber();
    port.SetComNumber(configured);
    g_port_failure = CurrentPortFailure(chosen);
    throw;
  }
}

}  // namespace

void OpenComPort(uint32_t comNumber, uint32_t baudIndex) {
  serial::TSioComPort& port = Port();
  if (port.Open()) {
    ClosePortQuietly(port);
    platform::Sleep(kSettleMs);
    platform::ProcessMessages();
  }
  devicelink::TransferTimeout = 1500;
  if (comNumber > 65535) throw std::out_of_range("COM number above 65535");
  port.SetComNumber(static_cast<uint16_t>(comNumber));
  if (baudIndex < BaudRates.size()) port.SetBaud(BaudRates[baudIndex]);
  devicelink::DeviceOnline = false;
  // Whatever answers on the port from now on may be another device. The run
  // that opens the port (the connect, the start) goes on with it.
  devicelink::ForgetReported();
  if (devicelink::TRun* run = devicelink::CurrentRun()) run->Rebind();
  g_port_failure = {};
  try {
    if (!port.Open()) {
      platform::Sleep(kSettleMs);
      platform::ProcessMessages();
      OpenOrChoosePort(port);
    }
    devicelink::DeviceOnline = port.Open();
  } catch (const std::exception&) {
    ClosePortQuietly(port);
    devicelink::DeviceOnline = false;
  }
}

const TPortFailure& PortFailure() {
  return g_port_failure;
}

bool DeviceLocked() {
  return g_device_locked;
}

bool UnknownDevice() {
  return g_unknown_device;
}

void IdentifyDevice() {
  g_port_failure = {};  // only this start's reason counts
  g_device_locked = false;
  g_unknown_device = false;
  if (devicelink::DeviceOnline) {
    OpenComPort(static_cast<uint32_t>(PortIndex + 1), static_cast<uint32_t>(BaudIndex));
  }
  if (devicelink::DeviceOnline) {
    if (!devicelink::ReadDeviceIdent()) {
      devicelink::DeviceOnline = false;
      ClosePortQuietly(Port());
    } else {
      devicelink::DeviceOnline = true;
      if (devicelink::DeviceIdent == devicelink::kSteamIdent) {
        Medium = 1;
      } else if (devicelink::DeviceIdent == devicelink::kGasIdent) {
        Medium = 0;
      } else {
        devicelink::DeviceOnline = false;
        g_unknown_device = true;
        if (HasAppWindow()) AppWindow().SetStatusPanel(0, kUnknownDeviceText);
        ClosePortQuietly(Port());
      }
      // A device whose password is in force connects only through the settings
      // dialog, which asks for it; the port stays open for that. A password block
      // that cannot be read may hide an active password: the same way then.
      if (devicelink::DeviceOnline &&
          (!devicelink::ReadPasswordBlock() || devicelink::PasswordBlock.PasswordActive != 0)) {
        devicelink::DeviceOnline = false;
        g_device_locked = true;
      }
    }
  }
  ShowLinkState();
}

}  // namespace services
