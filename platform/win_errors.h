// The Windows error numbers that the serial layer and its callers branch on, and
// their translation to and from errno. The port and comm code keep the last error
// of the calling thread in the Windows numbering, so the layers above can compare
// it with these constants whatever system call failed underneath.
#pragma once

#include <cstdint>

namespace platform {

constexpr uint32_t kErrorSuccess = 0;
constexpr uint32_t kErrorInvalidFunction = 1;
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorTooManyOpenFiles = 4;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorInvalidHandle = 6;
constexpr uint32_t kErrorNotEnoughMemory = 8;
constexpr uint32_t kErrorWriteProtect = 19;
constexpr uint32_t kErrorGenFailure = 31;
constexpr uint32_t kErrorSharingViolation = 32;
constexpr uint32_t kErrorNotSupported = 50;
constexpr uint32_t kErrorFileExists = 80;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorBrokenPipe = 109;
constexpr uint32_t kErrorDiskFull = 112;
constexpr uint32_t kErrorFilenameTooLong = 206;
constexpr uint32_t kErrorOperationAborted = 995;
constexpr uint32_t kErrorIoPending = 997;
constexpr uint32_t kErrorDeviceNotConnected = 1167;
constexpr uint32_t kErrorTimeout = 1460;

// errno to the Windows number. 0 gives 0; an errno without a counterpart gives
// kErrorGenFailure. A busy or locked device counts as access denied, and a device
// node without hardware behind it as "file not found", as a missing port does.
uint32_t WinErrorFromErrno(int err);

// The Windows number back to an errno, for system message texts; 0 when the
// number has no counterpart.
int ErrnoFromWinError(uint32_t win_error);

// Last error of the calling thread, in the Windows numbering.
uint32_t GetLastError();
void SetLastError(uint32_t win_error);
// SetLastError(WinErrorFromErrno(err)); returns the Windows number.
uint32_t SetLastErrorFromErrno(int err);

}  // namespace platform
