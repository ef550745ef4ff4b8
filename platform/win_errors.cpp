#include "platform/win_errors.h"

#include <cerrno>

namespace platform {
namespace {

thread_local uint32_t t_last_error = 0;

struct ErrnoPair {
  uint32_t win;
  int err;
};

// Windows number to errno, used in both directions; the first row of a number
// is its errno, the first row of an errno its number.
constexpr ErrnoPair kPairs[] = {
    {kErrorInvalidFunction, ENOSYS},
    {kErrorFileNotFound, ENOENT},
    {kErrorPathNotFound, ENOENT},
    {kErrorTooManyOpenFiles, EMFILE},
    {kErrorAccessDenied, EACCES},
    {kErrorInvalidHandle, EBADF},
    {kErrorNotEnoughMemory, ENOMEM},
    {kErrorWriteProtect, EROFS},
    {kErrorGenFailure, EIO},
    {kErrorSharingViolation, EBUSY},
    {kErrorNotSupported, EOPNOTSUPP},
    {kErrorFileExists, EEXIST},
    {kErrorInvalidParameter, EINVAL},
    {kErrorBrokenPipe, EPIPE},
    {kErrorDiskFull, ENOSPC},
    {kErrorFilenameTooLong, ENAMETOOLONG},
    {kErrorOperationAborted, ECANCELED},
    {kErrorIoPending, EINPROGRESS},
    {kErrorDeviceNotConnected, ENODEV},
    {kErrorTimeout, ETIMEDOUT},
};

}  // namespace

uint32_t WinErrorFromErrno(int err) {
  switch (err) {
    case 0:
      return kErrorSuccess;
    // A port held by another program (open, or the exclusive lock) is "access
    // denied" on the other system; callers rely on that to say "in use".
    case EPERM:
    case EBUSY:
    case EISDIR:
      return kErrorAccessDenied;
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case EAGAIN:
      return kErrorIoPending;
    case ENOTDIR:
    case ELOOP:
      return kErrorPathNotFound;
    case ENXIO:
    case ENODEV:
      return kErrorFileNotFound;
    case ENFILE:
      return kErrorTooManyOpenFiles;
    case ENOTTY:
      return kErrorInvalidFunction;
    default:
      break;
  }
  for (const auto& p : kPairs) {
    if (p.err == err) return p.win;
  }
  return kErrorGenFailure;
}

int ErrnoFromWinError(uint32_t win_error) {
  for (const auto& p : kPairs) {
    if (p.win == win_error) return p.err;
  }
  return 0;
}

uint32_t GetLastError() {
  return t_last_error;
}

void SetLastError(uint32_t win_error) {
  t_last_error = win_error;
}

uint32_t SetLastErrorFromErrno(int err) {
  t_last_error = WinErrorFromErrno(err);
  return t_last_error;
}

}  // namespace platform
