// Names where no regular file stands (a FIFO nobody writes to, a character device,
// a directory, a socket, a link to each) and files one byte over a reader's limit,
// for the tests of every reader and writer of files. Everything is made in the
// test's own folder. The one device is the system's /dev/zero, which is only ever
// read (reading it is harmless); the device a writer test aims at is one of the
// test's own (made with mknod when running as root, who alone could replace a
// node in /dev), else a link to /dev/null, which a user cannot replace.
#pragma once

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_limits.h"
#include "tests/platform/temp_folder.h"

namespace platform::testing {

struct OddInput {
  std::string what;
  std::string path;
  FileFault fault;  // kNotRegular or kTooLarge
  NodeKind node;    // what stands there, for kNotRegular
  // A word of the message in German and in English.
  const char* german;
  const char* english;
};

inline void MakeFifo(const std::string& path) {
  if (::mkfifo(path.c_str(), 0600) != 0) throw std::runtime_error("mkfifo " + path);
}

inline void MakeLink(const std::string& target, const std::string& link) {
  if (::symlink(target.c_str(), link.c_str()) != 0) throw std::runtime_error("symlink " + link);
}

inline void MakeSocket(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (fd < 0 || path.size() >= sizeof address.sun_path) throw std::runtime_error("socket " + path);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);  // the node stays
  if (!bound) throw std::runtime_error("bind " + path);
}

// A character device the test may lose: its own node when root, else /dev/null
// (through a link), which only root could replace.
inline std::string OwnCharDevice(const TempFolder& dir) {
  if (::geteuid() != 0) return "/dev/null";
  const std::string node = dir / "own-null";
  if (::mknod(node.c_str(), S_IFCHR | 0600, makedev(1, 3)) != 0) return "/dev/null";
  return node;
}

inline bool IsCharDevice(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

// Every input a reader of files of `kind` must refuse, named "<name>.<ext>" in dir
// (the device and the directory are also given by their own names).
inline std::vector<OddInput> OddInputs(const TempFolder& dir, const std::string& ext,
                                       FileKind kind) {
  const std::string fifo = dir / ("fifo." + ext);
  const std::string folder = dir / ("folder." + ext);
  const std::string socket = dir / ("socket." + ext);
  const std::string big = dir / ("big." + ext);
  MakeFifo(fifo);
  ::mkdir(folder.c_str(), 0700);
  MakeSocket(socket);
  // One byte over the limit, sparse: no disk space taken.
  WriteBytes(big, "[A]\nx=1\n");
  if (::truncate(big.c_str(), static_cast<off_t>(MaxFileBytes(kind) + 1)) != 0) {
    throw std::runtime_error("truncate " + big);
  }
  MakeLink(fifo, dir / ("link-fifo." + ext));
  MakeLink("/dev/zero", dir / ("link-device." + ext));
  MakeLink(folder, dir / ("link-folder." + ext));
  MakeLink(socket, dir / ("link-socket." + ext));
  MakeLink(big, dir / ("link-big." + ext));
  constexpr FileFault kNot = FileFault::kNotRegular;
  return {
      {"FIFO with no writer", fifo, kNot, NodeKind::kFifo, "FIFO (benannte Pipe)",
       "FIFO (named pipe)"},
      {"character device", "/dev/zero", kNot, NodeKind::kCharDevice, "zeichenorientiertes Gerät",
       "character device"},
      {"directory", folder, kNot, NodeKind::kDirectory, "ein Verzeichnis", "a directory"},
      {"socket", socket, kNot, NodeKind::kSocket, "ein Socket", "a socket"},
      {"one byte over the limit", big, FileFault::kTooLarge, NodeKind::kRegular,
       "größer als jede Datei ihrer Art (mehr als 2 MiB)",
       "larger than any file of its kind (more than 2 MiB)"},
      {"link to a FIFO", dir / ("link-fifo." + ext), kNot, NodeKind::kFifo, "FIFO (benannte Pipe)",
       "FIFO (named pipe)"},
      {"link to a character device", dir / ("link-device." + ext), kNot, NodeKind::kCharDevice,
       "zeichenorientiertes Gerät", "character device"},
      {"link to a directory", dir / ("link-folder." + ext), kNot, NodeKind::kDirectory,
       "ein Verzeichnis", "a directory"},
      {"link to a socket", dir / ("link-socket." + ext), kNot, NodeKind::kSocket, "ein Socket",
       "a socket"},
      {"link to a file over the limit", dir / ("link-big." + ext), FileFault::kTooLarge,
       NodeKind::kRegular, "mehr als 2 MiB", "more than 2 MiB"},
  };
}

// Opens the FIFOs given for writing and for reading a few seconds after it was made
// and closes them again: a reader or writer that blocked in open() on one of them
// comes back (with nothing read, or with a broken pipe), so that a test of a
// faulty reader or writer fails instead of hanging.
class FifoRelease {
 public:
  explicit FifoRelease(std::vector<std::string> fifos)
      : thread_([this, fifos = std::move(fifos)] {
          const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
          while (!stop_ && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
          }
          while (!stop_) {
            for (const std::string& fifo : fifos) {
              for (const int mode : {O_WRONLY, O_RDONLY}) {
                const int fd = ::open(fifo.c_str(), mode | O_NONBLOCK | O_CLOEXEC);
                if (fd >= 0) ::close(fd);
              }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
          }
        }) {}
  ~FifoRelease() {
    stop_ = true;
    thread_.join();
  }
  FifoRelease(const FifoRelease&) = delete;
  FifoRelease& operator=(const FifoRelease&) = delete;

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// The FIFOs among the inputs, for FifoRelease.
inline std::vector<std::string> FifosOf(const std::vector<OddInput>& inputs) {
  std::vector<std::string> fifos;
  for (const OddInput& input : inputs) {
    if (input.node == NodeKind::kFifo) fifos.push_back(input.path);
  }
  return fifos;
}

// The inputs of OddInputs in dir, with their FIFOs released after a while.
struct OddFiles {
  OddFiles(const TempFolder& dir, const std::string& ext, FileKind kind)
      : inputs(OddInputs(dir, ext, kind)), release(FifosOf(inputs)) {}
  std::vector<OddInput> inputs;
  FifoRelease release;
};

}  // namespace platform::testing
