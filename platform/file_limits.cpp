#include "platform/file_limits.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string_view>
#include <system_error>
#include <vector>

namespace platform {
namespace {

constexpr size_t npos = std::string::npos;

NodeKind NodeOf(mode_t mode) {
  if (S_ISREG(mode)) return NodeKind::kRegular;
  if (S_ISDIR(mode)) return NodeKind::kDirectory;
  if (S_ISFIFO(mode)) return NodeKind::kFifo;
  if (S_ISCHR(mode)) return NodeKind::kCharDevice;
  if (S_ISBLK(mode)) return NodeKind::kBlockDevice;
  if (S_ISSOCK(mode)) return NodeKind::kSocket;
  return NodeKind::kOther;
}

const char* NodeName(NodeKind node) {
  switch (node) {
    case NodeKind::kRegular:
      return "regular file";
    case NodeKind::kDirectory:
      return "directory";
    case NodeKind::kFifo:
      return "FIFO";
    case NodeKind::kCharDevice:
      return "character device";
    case NodeKind::kBlockDevice:
      return "block device";
    case NodeKind::kSocket:
      return "socket";
    case NodeKind::kOther:
      break;
  }
  return "unknown kind";
}

// For logs and the command line only: the operator's messages are built above.
std::string TechnicalText(FileFault fault, const std::string& path, int code, bool writing,
                          NodeKind node, size_t limit) {
  std::string text = path + ": ";
  switch (fault) {
    case FileFault::kNotRegular:
      return text + "not a regular file but a " + NodeName(node);
    case FileFault::kWriteProtected:
      return text + "write-protected, not written";
    case FileFault::kTooLarge:
      return text + "larger than " + std::to_string(limit) + " bytes, not read";
    case FileFault::kMissing:
    case FileFault::kUnreadable:
    case FileFault::kUnwritable:
      break;
  }
  return text + (writing ? "cannot write: " : "cannot read: ") +
         std::system_category().message(code);
}

FileError NotRegular(FileKind kind, const std::string& path, bool writing, mode_t mode) {
  const NodeKind node = NodeOf(mode);
  return FileError(FileFault::kNotRegular, kind, path,
                   node == NodeKind::kDirectory ? EISDIR : EINVAL, writing, node);
}

[[noreturn]] void ThrowNotRegular(FileKind kind, const std::string& path, bool writing,
                                  mode_t mode) {
  throw NotRegular(kind, path, writing, mode);
}

[[noreturn]] void ThrowTooLarge(FileKind kind, const std::string& path) {
  throw FileError(FileFault::kTooLarge, kind, path, EFBIG, false);
}

// This machine's name as it goes into temporary names: a folder may be shared with
// other hosts, whose process ids say nothing here.
const std::string& HostName() {
  static const std::string host = [] {
    char buffer[256] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0) return std::string("localhost");
    std::string name(buffer);
    for (char& c : name) {
      if (c == '/' || c == '@') c = '_';
    }
    return name.empty() ? std::string("localhost") : name;
  }();
  return host;
}

// The longest name a folder entry may have on the file systems in use.
constexpr size_t kMaxNameBytes = 255;
// What a temporary name adds to the target's: ".", ".tmp", the process id, "-",
// a number, "@" and the host.
size_t TemporaryExtraBytes() {
  return 1 + 4 + 10 + 1 + 10 + 1 + HostName().size();
}

// Temporary files of a target: ".<name>.tmp<pid>-<number>@<host>" in the target's
// folder, the name cut (at a character) so that a long one still leaves room.
std::string TemporaryPrefix(const std::string& target) {
  const size_t slash = target.rfind('/');
  const std::string dir = slash == npos ? std::string() : target.substr(0, slash + 1);
  std::string base = slash == npos ? target : target.substr(slash + 1);
  const size_t room =
      kMaxNameBytes > TemporaryExtraBytes() ? kMaxNameBytes - TemporaryExtraBytes() : 1;
  if (base.size() > room) {
    size_t cut = room;
    while (cut > 0 && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80) --cut;
    base.resize(cut);
  }
  return dir + "." + base + ".tmp";
}

// Temporary name in the target's folder, unique within the process and likely across.
std::string TemporaryName(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  static const unsigned seed = std::random_device{}();
  return TemporaryPrefix(target) + std::to_string(::getpid()) + "-" +
         std::to_string(seed ^ (counter.fetch_add(1) * 2654435761u)) + "@" + HostName();
}

// The process id in the name of one of the target's temporary files made on this
// host; 0 for any other name, also one of another host or of an older program.
pid_t TemporaryOwner(std::string_view name, std::string_view prefix) {
  if (name.substr(0, prefix.size()) != prefix) return 0;
  name.remove_prefix(prefix.size());
  const size_t at = name.find('@');
  if (at == npos || name.substr(at + 1) != HostName()) return 0;
  name = name.substr(0, at);
  const size_t dash = name.find('-');
  if (dash == npos || dash == 0 || dash + 1 == name.size()) return 0;
  const auto digits = [](std::string_view t) {
    return std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  if (!digits(name.substr(0, dash)) || !digits(name.substr(dash + 1))) return 0;
  long pid = 0;
  for (char c : name.substr(0, dash)) {
    pid = pid * 10 + (c - '0');
    if (pid > 0x7FFFFFFF) return 0;
  }
  return static_cast<pid_t>(pid);
}

// A save that was killed midway leaves its temporary file behind; the next save
// of the same target removes those of this host whose writer no longer runs.
// Files of a writer that still runs, of another host (a shared folder) and every
// other name stay.
void RemoveLeftoverTemporaries(const std::string& target) {
  const std::string prefix_path = TemporaryPrefix(target);
  const size_t slash = prefix_path.rfind('/');
  const std::string dir = slash == npos ? std::string() : prefix_path.substr(0, slash + 1);
  const std::string prefix = slash == npos ? prefix_path : prefix_path.substr(slash + 1);
  DIR* folder = ::opendir(dir.empty() ? "." : dir.c_str());
  if (folder == nullptr) return;
  std::vector<std::string> leftovers;
  while (const dirent* entry = ::readdir(folder)) {
    const pid_t owner = TemporaryOwner(entry->d_name, prefix);
    if (owner <= 0 || owner == ::getpid()) continue;
    if (::kill(owner, 0) == 0 || errno != ESRCH) continue;  // its writer may still run
    leftovers.push_back(dir + entry->d_name);
  }
  ::closedir(folder);
  for (const std::string& path : leftovers) {
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(path.c_str());
  }
}

std::function<void(FileStep, const std::string&)>& StepHook() {
  static std::function<void(FileStep, const std::string&)> hook;
  return hook;
}

void Step(FileStep step, const std::string& path) {
  if (StepHook()) StepHook()(step, path);
}

// A failed write; for EEXIST with what stands at `at`, so the message can say it.
FileError WriteError(FileKind kind, const std::string& shown, int err, const std::string& at) {
  NodeKind node = NodeKind::kRegular;
  struct stat st;
  if (err == EEXIST) node = ::lstat(at.c_str(), &st) == 0 ? NodeOf(st.st_mode) : NodeKind::kOther;
  return FileError(FileFault::kUnwritable, kind, shown, err, true, node);
}

// The name a save writes to: the end of the links from `path`, which need not
// exist (a link whose file is missing gets it). Throws for a link loop and for a
// name that cannot be looked at.
std::string FollowLinks(const std::string& path, FileKind kind) {
  constexpr int kMaxLinks = 40;  // the kernel's own limit
  std::string at = path;
  for (int links = 0;; ++links) {
    struct stat st;
    if (::lstat(at.c_str(), &st) != 0) {
      if (errno == ENOENT) return at;  // a missing folder is reported by the write
      throw WriteError(kind, path, errno, at);
    }
    if (!S_ISLNK(st.st_mode)) return at;
    if (links == kMaxLinks) throw WriteError(kind, path, ELOOP, at);
    // st_size is the target's length, 0 for the links of /proc.
    std::string to(static_cast<size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1, '\0');
    const ssize_t n = ::readlink(at.c_str(), to.data(), to.size());
    if (n < 0) throw WriteError(kind, path, errno, at);
    if (static_cast<size_t>(n) >= to.size()) throw WriteError(kind, path, ENAMETOOLONG, at);
    to.resize(static_cast<size_t>(n));
    const size_t slash = at.rfind('/');
    at = to.front() == '/' || slash == npos ? to : at.substr(0, slash + 1) + to;
  }
}

// Refuses what stands at `target` (links followed) unless it is a regular file
// the user may write, or nothing; the error names `shown`.
void RefuseTarget(const std::string& target, const std::string& shown, FileKind kind) {
  struct stat st;
  if (::stat(target.c_str(), &st) != 0) {
    if (errno == ENOENT) return;
    throw WriteError(kind, shown, errno, target);
  }
  if (!S_ISREG(st.st_mode)) ThrowNotRegular(kind, shown, true, st.st_mode);
  // Nobody may write it, root included; else the system's word for this user.
  bool denied = (st.st_mode & 0222) == 0;
  if (!denied && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
    if (errno == EROFS) throw WriteError(kind, shown, EROFS, target);
    denied = errno == EACCES || errno == EPERM;
  }
  if (denied) throw FileError(FileFault::kWriteProtected, kind, shown, EACCES, true);
}

void WriteAll(int fd, const std::string& bytes, const std::string& path, FileKind kind) {
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw FileError(FileFault::kUnwritable, kind, path, errno, true);
    }
    done += static_cast<size_t>(n);
  }
}

}  // namespace

size_t MaxFileBytes(FileKind kind) {
  switch (kind) {
    case FileKind::kParameterFile:
      return kMaxParameterFileBytes;
    case FileKind::kTableFile:
      return kMaxTableFileBytes;
    case FileKind::kSettingsFile:
      return kMaxSettingsFileBytes;
    case FileKind::kTextModule:
      return kMaxTextModuleBytes;
    case FileKind::kExportFile:
    case FileKind::kReportFile:
    case FileKind::kLogFile:
    case FileKind::kOther:
      break;
  }
  return kMaxOtherFileBytes;
}

FileError::FileError(FileFault fault, FileKind kind, std::string path, int code, bool writing,
                     NodeKind node)
    : std::runtime_error(TechnicalText(fault, path, code, writing, node, MaxFileBytes(kind))),
      fault_(fault),
      kind_(kind),
      path_(std::move(path)),
      code_(code),
      writing_(writing),
      node_(node) {}

std::optional<std::string> ReadFileIfExists(const std::string& path, FileKind kind,
                                            size_t max_bytes) {
  // Looked at before it is opened: opening a device may already act on it (a
  // serial port raises its control lines) and opening a FIFO waits for a writer.
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    const int err = errno;
    if (err == ENOENT || err == ENOTDIR) return std::nullopt;
    throw FileError(FileFault::kUnreadable, kind, path, err, false);
  }
  if (!S_ISREG(st.st_mode)) ThrowNotRegular(kind, path, false, st.st_mode);
  if (static_cast<uint64_t>(st.st_size) > max_bytes) ThrowTooLarge(kind, path);

  Step(FileStep::kBeforeReadOpen, path);
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    const int err = errno;
    if (err == ENOENT || err == ENOTDIR) return std::nullopt;
    throw FileError(FileFault::kUnreadable, kind, path, err, false);
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  // The name may have been given to something else meanwhile.
  if (::fstat(fd, &st) != 0) throw FileError(FileFault::kUnreadable, kind, path, errno, false);
  if (!S_ISREG(st.st_mode)) ThrowNotRegular(kind, path, false, st.st_mode);
  if (static_cast<uint64_t>(st.st_size) > max_bytes) ThrowTooLarge(kind, path);

  std::string data;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      // A file that grows while it is read stops here too.
      if (static_cast<size_t>(n) > max_bytes - data.size()) ThrowTooLarge(kind, path);
      data.append(buffer, static_cast<size_t>(n));
    } else if (n == 0) {
      break;
    } else if (errno != EINTR) {
      throw FileError(FileFault::kUnreadable, kind, path, errno, false);
    }
  }
  return data;
}

void CheckFileExists(const std::string& path, FileKind kind) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR)) {
    throw FileError(FileFault::kMissing, kind, path, errno, false);
  }
}

void CheckWriteTarget(const std::string& path, FileKind kind) {
  RefuseTarget(FollowLinks(path, kind), path, kind);
}

void WriteFileAtomically(const std::string& path, const std::string& bytes, FileKind kind) {
  // Replace the file a link names, not the link.
  const std::string target = FollowLinks(path, kind);
  RefuseTarget(target, path, kind);
  const auto fail = [&](int err, const std::string& at) { throw WriteError(kind, path, err, at); };

  RemoveLeftoverTemporaries(target);
  std::string temp;
  int fd = -1;
  for (int attempt = 0; fd < 0; ++attempt) {
    temp = TemporaryName(target);
    // 0666 so that the umask gives the mode a new file would get.
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && (errno != EEXIST || attempt >= 100)) fail(errno, temp);
  }
  bool done = false;
  struct Cleanup {
    int& fd;
    const std::string& temp;
    bool& done;
    ~Cleanup() {
      if (fd >= 0) ::close(fd);
      if (!done) ::unlink(temp.c_str());
    }
  } cleanup{fd, temp, done};

  struct stat st;
  if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    (void)::fchmod(fd, st.st_mode & 07777);  // keep the mode of the file it replaces
  }
  WriteAll(fd, bytes, path, kind);
  if (::fsync(fd) != 0) fail(errno, temp);
  const int closed = ::close(fd);
  fd = -1;
  if (closed != 0) fail(errno, temp);
  Step(FileStep::kBeforeRename, target);
  // Once more just before the rename, which needs only the folder's permission: a
  // node or a write-protected file put there meanwhile stays.
  RefuseTarget(target, path, kind);
  if (::rename(temp.c_str(), target.c_str()) != 0) fail(errno, target);
  done = true;
  // Make the rename itself durable; a failure here no longer loses content.
  const size_t slash = target.rfind('/');
  const std::string dir = slash == npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
  const int dir_fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd >= 0) {
    (void)::fsync(dir_fd);
    ::close(dir_fd);
  }
}

int OpenForWriting(const std::string& path, FileKind kind, bool append) {
  CheckWriteTarget(path, kind);
  // Not emptied on opening: only once it is known to be a regular file.
  const int fd = ::open(
      path.c_str(),
      O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (append ? O_APPEND : 0), 0666);
  if (fd < 0) throw FileError(FileFault::kUnwritable, kind, path, errno, true);
  const auto fail = [&](const FileError& e) {
    ::close(fd);
    throw e;
  };
  struct stat st;
  if (::fstat(fd, &st) != 0) fail(FileError(FileFault::kUnwritable, kind, path, errno, true));
  if (!S_ISREG(st.st_mode)) fail(NotRegular(kind, path, true, st.st_mode));
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  if (!append && ::ftruncate(fd, 0) != 0) {
    fail(FileError(FileFault::kUnwritable, kind, path, errno, true));
  }
  return fd;
}

void AppendToFile(const std::string& path, const std::string& bytes, FileKind kind) {
  const int fd = OpenForWriting(path, kind, true);
  try {
    WriteAll(fd, bytes, path, kind);
  } catch (...) {
    ::close(fd);
    throw;
  }
  if (::close(fd) != 0) throw FileError(FileFault::kUnwritable, kind, path, errno, true);
}

void SetFileStepHookForTest(std::function<void(FileStep step, const std::string& path)> hook) {
  StepHook() = std::move(hook);
}

}  // namespace platform
