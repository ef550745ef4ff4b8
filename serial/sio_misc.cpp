#include "serial/sio_misc.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_limits.h"
#include "platform/win_errors.h"

namespace serial {

TTextFile::~TTextFile() {
  if (file_) std::fclose(file_);
}

int TTextFile::Open(const char* mode) {
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
  error_ = 0;
  // The log names lie in the data folder: a FIFO or a device put there is refused
  // at once instead of holding the writer in open() or taking the log.
  int fd = -1;
  try {
    fd = platform::OpenForWriting(name_, platform::FileKind::kLogFile, mode[0] == 'a');
  } catch (const platform::FileError& e) {
    error_ = static_cast<int>(platform::WinErrorFromErrno(e.Code()));
    return error_;
  }
  file_ = ::fdopen(fd, mode);
  if (!file_) {
    error_ = static_cast<int>(platform::WinErrorFromErrno(errno));
    ::close(fd);
    return error_;
  }
  std::setvbuf(file_, buffer_, _IOFBF, sizeof buffer_);
  return 0;
}

int TTextFile::Rewrite() {
  return Open("wb");
}

int TTextFile::Append() {
  if (!FileExistsZ(name_.c_str())) {
    error_ = static_cast<int>(platform::kErrorFileNotFound);
    return error_;
  }
  return Open("ab");
}

void TTextFile::Write(std::string_view bytes) {
  if (!file_ || error_ != 0 || bytes.empty()) return;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
    error_ = static_cast<int>(platform::WinErrorFromErrno(errno));
  }
}

void TTextFile::WriteLn(std::string_view bytes) {
  Write(bytes);
  Write("\r\n");
}

int TTextFile::Close() {
  if (file_) {
    if (std::fclose(file_) != 0 && error_ == 0) {
      error_ = static_cast<int>(platform::WinErrorFromErrno(errno));
    }
    file_ = nullptr;
  }
  return error_;
}

void AssignTextFile(TTextFile& file, const std::string& name) {
  file.AssignName(name);
}

bool FileExistsZ(const char* name) {
  struct stat st;
  return name && ::stat(name, &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace serial
