#include "services/port_failure.h"

#include <filesystem>

#include "platform/port_names.h"
#include "platform/text_encoding.h"
#include "serial/sio_errors.h"
#include "services/app_state.h"

namespace services {
namespace {

namespace fs = std::filesystem;

// Where a COM number leads: the target of its entry in the ports folder, followed
// even when it dangles (an unplugged adapter is named by the path it had), or the
// built-in port.
TPortFailure Failure(TPortFailureKind kind, uint32_t comNumber, std::string message = {}) {
  TPortFailure f{kind, comNumber, platform::PortDevicePath("COM" + std::to_string(comNumber)),
                 false, std::move(message)};
  std::error_code ec;
  fs::path target = f.device_path;
  f.mapped = !target.empty() && target.string() == platform::PortLinkPath(comNumber);
  if (fs::is_symlink(target, ec)) {
    const fs::path link = fs::read_symlink(target, ec);
    if (ec) return f;
    target = link.is_absolute() ? link : target.parent_path() / link;
  }
  const fs::path resolved = fs::weakly_canonical(target, ec);
  f.device_path = ec ? target.lexically_normal().string() : resolved.string();
  return f;
}

}  // namespace

TPortFailure CurrentPortFailure(uint32_t comNumber) {
  try {
    throw;
  } catch (const serial::EInOutError& e) {
    // The port raises access denied for missing permissions as this error;
    // a port that is merely in use comes as "already open".
    if (e.ErrorCode == 5) return Failure(TPortFailureKind::kPermissionDenied, comNumber);
    return Failure(TPortFailureKind::kOther, comNumber, e.what());
  } catch (const serial::EAlreadyOpen&) {
    return Failure(TPortFailureKind::kInUse, comNumber);
  } catch (const serial::EBadId&) {
    return Failure(TPortFailureKind::kNoSuchDevice, comNumber);
  } catch (const std::exception& e) {
    return Failure(TPortFailureKind::kOther, comNumber, e.what());
  } catch (...) {
    return Failure(TPortFailureKind::kOther, comNumber);
  }
}

TPortFailure MissingPortFailure(uint32_t comNumber) {
  return Failure(TPortFailureKind::kNoSuchDevice, comNumber);
}

std::string PortFailureText(const TPortFailure& failure) {
  const bool de = Language == 0;
  const std::string com = "COM" + std::to_string(failure.com_number);
  const std::string port = com + " (" + failure.device_path + ")";
  switch (failure.kind) {
    case TPortFailureKind::kNone:
      return {};
    case TPortFailureKind::kPermissionDenied:
      return de ? port + ": Zugriff verweigert. Den Benutzer in die Gruppe \"dialout\" "
                         "aufnehmen und neu anmelden."
                : port + ": access denied. Add your user to the group \"dialout\" and log "
                         "in again.";
    case TPortFailureKind::kInUse:
      return de ? port + " wird von einem anderen Programm benutzt. Dieses beenden oder "
                         "einen anderen Anschluss wählen."
                : port + " is in use by another program. Close it or choose another port.";
    case TPortFailureKind::kNoSuchDevice: {
      const std::string link = platform::PortLinkPath(failure.com_number);
      const std::string& device = failure.device_path;
      if (failure.mapped) {
        return de ? com + ": Das Gerät " + device + " gibt es nicht (Adapter eingesteckt?). " +
                        "Einen Link " + link + " auf den Namen /dev/serial/by-id/… des " +
                        "Adapters anlegen."
                  : com + ": there is no device " + device + " (is the adapter plugged in?). " +
                        "Link " + link + " to the adapter's /dev/serial/by-id/… name.";
      }
      return de ? com + ": Das Gerät " + device + " gibt es nicht. Für einen USB-Adapter " +
                      "einen Link " + link + " auf seinen Namen /dev/serial/by-id/… anlegen."
                : com + ": there is no device " + device + ". For a USB adapter, link " + link +
                      " to the adapter's /dev/serial/by-id/… name.";
    }
    case TPortFailureKind::kOther:
      if (failure.message.empty()) {
        return de ? port + " lässt sich nicht öffnen." : port + " cannot be opened.";
      }
      return de ? port + " lässt sich nicht öffnen: " + failure.message
                : port + " cannot be opened: " + failure.message;
  }
  return {};
}

std::string LinkLostText(const platform::LocalDateTime& since) {
  using platform::ZeroPad;
  const std::string when = ZeroPad(since.day, 2) + "." + ZeroPad(since.month, 2) + "." +
                           ZeroPad(since.year, 4) + " " + ZeroPad(since.hour, 2) + ":" +
                           ZeroPad(since.minute, 2) + ":" + ZeroPad(since.second, 2);
  return Language == 0 ? "Verbindung zum Gerät verloren seit " + when +
                             ". Die angezeigten Werte sind von vorher."
                       : "Connection to the device lost since " + when +
                             ". The values shown are from before then.";
}

}  // namespace services
