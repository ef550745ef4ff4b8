// Reading and writing the program's files, and the largest file each reader takes.
//
// A name the operator chooses, or one in the data folder, may be anything: open()
// of a FIFO waits for a writer for ever, a device gives bytes without end, and a
// save renamed over a device node replaces the node. So only a regular file, or a
// link to one, is ever opened for reading or written; anything else is refused
// before it is opened, and once more on the opened descriptor, which is opened
// without blocking. Real files are far smaller than the limits (a parameter set
// with remarks some 10 KB, a table 8 KB, the settings and a text module less than
// 20 KB); anything larger is damaged or no file of its kind and is refused before
// it is read whole.
//
// The errors carry what went wrong, where, and the system's error number, but no
// text for the operator: the layers above build it in the program's language.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

namespace platform {

inline constexpr size_t kMiB = 1024 * 1024;

inline constexpr size_t kMaxParameterFileBytes = 2 * kMiB;  // ".PEG", ".PAR"
inline constexpr size_t kMaxTableFileBytes = 2 * kMiB;      // ".KTB", ".DTB", ".ETB", ".STB"
inline constexpr size_t kMaxSettingsFileBytes = 2 * kMiB;   // "vandrel2.ini"
inline constexpr size_t kMaxTextModuleBytes = 2 * kMiB;     // "Ltx1de.txt" and the others
inline constexpr size_t kMaxOtherFileBytes = 2 * kMiB;      // any other file read whole

// What a file is to the program: its messages name it, and it sets the largest
// file its reader takes.
enum class FileKind {
  kParameterFile,
  kTableFile,
  kSettingsFile,
  kTextModule,
  kExportFile,  // trend export, error list
  kReportFile,  // the parameter report printed to a file
  kLogFile,     // "Errors.log", the serial trace
  kOther,
};

size_t MaxFileBytes(FileKind kind);

enum class FileFault {
  kMissing,         // nothing of that name, or a folder on the way is missing
  kNotRegular,      // a directory, FIFO, device or socket: left as it is
  kTooLarge,        // more than MaxFileBytes of its kind: refused before it is read whole
  kUnreadable,      // the system refused to open or read it (Code())
  kUnwritable,      // the new content could not be written or put in place (Code())
  kWriteProtected,  // a file the user may not write (for root: no write bit at all): kept
};

// What stands at a name.
enum class NodeKind { kRegular, kDirectory, kFifo, kCharDevice, kBlockDevice, kSocket, kOther };

class FileError : public std::runtime_error {
 public:
  // writing: the file was to be written (a refused target), else read.
  FileError(FileFault fault, FileKind kind, std::string path, int code, bool writing,
            NodeKind node = NodeKind::kRegular);

  FileFault Fault() const { return fault_; }
  FileKind Kind() const { return kind_; }
  const std::string& Path() const { return path_; }
  // The errno of the failure: ENOENT for kMissing, EFBIG for kTooLarge, EISDIR for
  // a directory, EINVAL for another node that is not a regular file and EACCES for
  // kWriteProtected.
  int Code() const { return code_; }
  bool Writing() const { return writing_; }
  // What stands at the name: for kNotRegular, and for an EEXIST.
  NodeKind Node() const { return node_; }
  size_t Limit() const { return MaxFileBytes(kind_); }

 private:
  FileFault fault_;
  FileKind kind_;
  std::string path_;
  int code_;
  bool writing_;
  NodeKind node_;
};

// The whole file (a UTF-8 path; links followed), nullopt when there is nothing of
// that name. Throws FileError for anything but a regular file, for one larger than
// max_bytes, and when it cannot be read.
std::optional<std::string> ReadFileIfExists(const std::string& path, FileKind kind,
                                            size_t max_bytes);
inline std::optional<std::string> ReadFileIfExists(const std::string& path, FileKind kind) {
  return ReadFileIfExists(path, kind, MaxFileBytes(kind));
}

// FileError (kMissing) when nothing stands at that name (links followed): for a
// reader to which a missing file is an error, where TIniFile reads it as empty.
void CheckFileExists(const std::string& path, FileKind kind);

// What a save checks before it asks whether to replace a file. Refuses, with a
// FileError (writing), a name where something other than a regular file stands,
// also at the end of links (kNotRegular); a regular file the user may not write
// (kWriteProtected: a rename would replace it all the same, as the folder is
// writable; root, who may write anything, is refused a file with no write bit at
// all); and a name that cannot be looked at (kUnwritable with the reason: a link
// loop, a part of the path that is no folder). Nothing there, also at the end of a
// link, is fine: the file is created.
void CheckWriteTarget(const std::string& path, FileKind kind);

// Writes a file so that it is either the old or the new content, never a part: a
// temporary file in the same folder, flushed to disk, renamed over the target. A
// symbolic link stays: the file it names is replaced, or created when missing. A
// target CheckWriteTarget refuses is refused and left as it is, also when it
// became one while the new content was written. Throws FileError.
void WriteFileAtomically(const std::string& path, const std::string& bytes, FileKind kind);

// Opens a regular file for writing, created when missing: at its end (append) or
// emptied. Never blocks, and refuses what CheckWriteTarget refuses. The
// descriptor (close-on-exec); throws FileError.
int OpenForWriting(const std::string& path, FileKind kind, bool append);

// Appends the bytes at the end of a regular file (O_APPEND), created when missing.
// Appending nothing checks that it can be written. Throws FileError.
void AppendToFile(const std::string& path, const std::string& bytes, FileKind kind);

// Test seam, never set by the program: runs between a look at a name and the step
// that relies on it (the reader's open, the writer's rename), so that a test can
// put something else there meanwhile. nullptr removes it.
enum class FileStep { kBeforeReadOpen, kBeforeRename };
void SetFileStepHookForTest(std::function<void(FileStep step, const std::string& path)> hook);

}  // namespace platform
