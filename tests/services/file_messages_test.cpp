// The operator's messages about files: what happened, in his language, and what
// became of the file.
#include "services/file_messages.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "services/app_state.h"

namespace services {
namespace {

using platform::FileError;
using platform::FileFault;
using platform::FileKind;
using platform::NodeKind;

TEST(FileMessagesTest, SayWhatHappenedAndWhatBecameOfTheFile) {
  struct Case {
    FileError error;
    bool save;  // SaveErrorText: the message of a save
    const char* german;
    const char* english;
  };
  const Case cases[] = {
      {FileError(FileFault::kWriteProtected, FileKind::kTableFile, "/t/a.KTB", EACCES, true), false,
       "Tabellendatei \"/t/a.KTB\": Die Datei ist schreibgeschützt. Sie bleibt unverändert; es "
       "wurde nichts geschrieben.",
       "Table file \"/t/a.KTB\": The file is write-protected. It stays unchanged; nothing was "
       "written."},
      // What stands where a file was to be made, not always "a directory".
      {FileError(FileFault::kUnwritable, FileKind::kExportFile, "/t/e.txt", EEXIST, true,
                 NodeKind::kRegular),
       false,
       "Exportdatei \"/t/e.txt\": Die Datei kann nicht geschrieben werden: dort steht bereits eine "
       "Datei. Eine vorhandene Datei ist unverändert.",
       "Export file \"/t/e.txt\": The file cannot be written: a file already stands there. A file "
       "already there is unchanged."},
      {FileError(FileFault::kUnwritable, FileKind::kExportFile, "/t/e.txt", EEXIST, true,
                 NodeKind::kFifo),
       false, "dort steht bereits eine FIFO (benannte Pipe)",
       "a FIFO (named pipe) already stands there"},
      {FileError(FileFault::kUnwritable, FileKind::kExportFile, "/t/e.txt", EISDIR, true), false,
       "dort steht ein Verzeichnis", "a directory stands there"},
      // A save that could not even read the file it replaces: it cannot be written.
      {FileError(FileFault::kUnreadable, FileKind::kParameterFile, "/t/p.PEG", ELOOP, false), true,
       "Parameterdatei \"/t/p.PEG\": Die Datei kann nicht geschrieben werden: zu viele Links "
       "hintereinander. Eine vorhandene Datei ist unverändert.",
       "Parameter file \"/t/p.PEG\": The file cannot be written: too many links in a row. A file "
       "already there is unchanged."},
      {FileError(FileFault::kTooLarge, FileKind::kParameterFile, "/t/p.PEG", EFBIG, false), true,
       "größer als jede Datei ihrer Art", "larger than any file of its kind"},
  };
  for (const Case& c : cases) {
    for (int32_t language : {0, 1}) {
      Language = language;
      const std::string text = c.save ? SaveErrorText(c.error) : FileErrorText(c.error);
      const std::string want = language == 0 ? c.german : c.english;
      EXPECT_NE(text.find(want), std::string::npos) << text;
    }
  }
  Language = 0;
}

}  // namespace
}  // namespace services
