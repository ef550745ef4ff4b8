// Why the program's port could not be opened, in words a technician can act on:
// the port raises its failures as exceptions that port opening must swallow, so
// the reason is kept here for the status bar and the error log.
#pragma once

#include <cstdint>
#include <string>

#include "platform/clock.h"

namespace services {

enum class TPortFailureKind {
  kNone,
  kPermissionDenied,  // the user may not open the device (group "dialout")
  kInUse,             // another program holds the port
  kNoSuchDevice,      // nothing at the path the COM number leads to
  kOther,
};

struct TPortFailure {
  TPortFailureKind kind = TPortFailureKind::kNone;
  uint32_t com_number = 0;
  // Where the COM number leads: the target of its link in the ports folder, or
  // the built-in port, with the links that exist followed.
  std::string device_path;
  // Whether the COM number is mapped by an entry comN in the ports folder.
  bool mapped = false;
  // The port's own message, for a failure of no other kind.
  std::string message;
};

// The failure of opening port comNumber that is being handled: call it inside a
// catch block.
TPortFailure CurrentPortFailure(uint32_t comNumber);

// The failure "no such device" for port comNumber.
TPortFailure MissingPortFailure(uint32_t comNumber);

// The reason and what to do about it, in the current Language; empty for kNone.
std::string PortFailureText(const TPortFailure& failure);

// That the link went down with its device at `since`, and that the values shown
// are from before, in the current Language.
std::string LinkLostText(const platform::LocalDateTime& since);

}  // namespace services
