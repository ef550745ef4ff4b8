#include "services/file_messages.h"

#include <cerrno>
#include <cstdint>
#include <system_error>

#include "services/program_texts.h"

namespace services {
namespace {

namespace ids = text_id;
using platform::FileFault;
using platform::FileKind;
using platform::NodeKind;

uint16_t KindText(FileKind kind) {
  switch (kind) {
    case FileKind::kParameterFile:
      return ids::kParameterFile;
    case FileKind::kTableFile:
      return ids::kTableFile;
    case FileKind::kSettingsFile:
      return ids::kSettingsFile;
    case FileKind::kTextModule:
      return ids::kTextModule;
    case FileKind::kExportFile:
      return ids::kExportFile;
    case FileKind::kReportFile:
      return ids::kReportFile;
    case FileKind::kLogFile:
      return ids::kLogFile;
    case FileKind::kOther:
      break;
  }
  return ids::kOtherFile;
}

uint16_t NodeText(NodeKind node) {
  switch (node) {
    case NodeKind::kDirectory:
      return ids::kNodeDirectory;
    case NodeKind::kFifo:
      return ids::kNodeFifo;
    case NodeKind::kCharDevice:
      return ids::kNodeCharDevice;
    case NodeKind::kBlockDevice:
      return ids::kNodeBlockDevice;
    case NodeKind::kSocket:
      return ids::kNodeSocket;
    case NodeKind::kRegular:
      return ids::kNodeFile;
    case NodeKind::kOther:
      break;
  }
  return ids::kNodeOther;
}

// The system's reason in the operator's language; the rarer ones with their
// number and the system's own (English) words. `node`: what stands at the name.
std::string ReasonText(int code, NodeKind node) {
  switch (code) {
    case EACCES:
    case EPERM:
      return ProgramText(ids::kErrAccess);
    case ENOENT:
      return ProgramText(ids::kErrNoEntry);
    case ENOTDIR:
      return ProgramText(ids::kErrNotFolder);
    case ENOSPC:
    case EDQUOT:
      return ProgramText(ids::kErrNoSpace);
    case EROFS:
      return ProgramText(ids::kErrReadOnly);
    case EIO:
      return ProgramText(ids::kErrIo);
    case ENAMETOOLONG:
      return ProgramText(ids::kErrNameTooLong);
    case ELOOP:
      return ProgramText(ids::kErrLinkLoop);
    case EFBIG:
      return ProgramText(ids::kErrFileTooBig);
    case EISDIR:
    case ENOTEMPTY:
      return ProgramText(ids::kErrIsFolder);
    case EEXIST:
      return ProgramText(ids::kErrExists, {ProgramText(NodeText(node))});
    case EMFILE:
    case ENFILE:
      return ProgramText(ids::kErrTooManyFiles);
    default:
      break;
  }
  return ProgramText(ids::kErrOther, {std::to_string(code), std::system_category().message(code)});
}

}  // namespace

std::string SizeText(size_t bytes) {
  constexpr size_t kKiB = 1024;
  if (bytes >= platform::kMiB && bytes % platform::kMiB == 0)
    return std::to_string(bytes / platform::kMiB) + " MiB";
  if (bytes >= kKiB && bytes % kKiB == 0) return std::to_string(bytes / kKiB) + " KiB";
  return std::to_string(bytes) + " B";
}

std::string FileMessage(FileKind kind, const std::string& path, const std::string& reason) {
  return ProgramText(ids::kFileMessage, {ProgramText(KindText(kind)), path, reason});
}

std::string FileErrorText(const platform::FileError& error) {
  std::string reason;
  switch (error.Fault()) {
    case FileFault::kMissing:
      reason = ProgramText(ids::kFileMissing);
      break;
    case FileFault::kNotRegular:
      reason = ProgramText(error.Writing() ? ids::kNotRegularWrite : ids::kNotRegularRead,
                           {ProgramText(NodeText(error.Node()))});
      break;
    case FileFault::kTooLarge:
      reason = ProgramText(ids::kFileTooLarge, {SizeText(error.Limit())});
      break;
    case FileFault::kUnreadable:
      reason = ProgramText(ids::kFileUnreadable, {ReasonText(error.Code(), error.Node())});
      break;
    case FileFault::kUnwritable:
      reason = ProgramText(ids::kFileUnwritable, {ReasonText(error.Code(), error.Node())});
      break;
    case FileFault::kWriteProtected:
      reason = ProgramText(ids::kWriteProtected);
      break;
  }
  return FileMessage(error.Kind(), error.Path(), reason);
}

std::string SaveErrorText(const platform::FileError& error) {
  if (error.Writing() || error.Fault() != FileFault::kUnreadable) return FileErrorText(error);
  return FileErrorText(platform::FileError(FileFault::kUnwritable, error.Kind(), error.Path(),
                                           error.Code(), true, error.Node()));
}

}  // namespace services
