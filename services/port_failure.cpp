#include "services/port_failure.h"

#include <filesystem>

#include "platform/port_names.h"
#include "platform/text_encoding.h"
#include "serial/sio_errors.h"
#include "services/program_texts.h"

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
  namespace ids = text_id;
  const std::string com = "COM" + std::to_string(failure.com_number);
  const std::string port = com + " (" + failure.device_path + ")";
  switch (failure.kind) {
    case TPortFailureKind::kNone:
      return {};
    case TPortFailureKind::kPermissionDenied:
      return ProgramText(ids::kPortDenied, {port});
    case TPortFailureKind::kInUse:
      return ProgramText(ids::kPortInUse, {port});
    case TPortFailureKind::kNoSuchDevice:
      return ProgramText(failure.mapped ? ids::kPortUnplugged : ids::kPortMissing,
                         {com, failure.device_path, platform::PortLinkPath(failure.com_number)});
    case TPortFailureKind::kOther:
      if (failure.message.empty()) return ProgramText(ids::kPortFailed, {port});
      return ProgramText(ids::kPortFailedWhy, {port, failure.message});
  }
  return {};
}

std::string LinkLostText(const platform::LocalDateTime& since) {
  using platform::ZeroPad;
  const std::string when = ZeroPad(since.day, 2) + "." + ZeroPad(since.month, 2) + "." +
                           ZeroPad(since.year, 4) + " " + ZeroPad(since.hour, 2) + ":" +
                           ZeroPad(since.minute, 2) + ":" + ZeroPad(since.second, 2);
  return ProgramText(text_id::kLinkLost, {when});
}

}  // namespace services
