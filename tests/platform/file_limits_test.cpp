// Reading and writing files: only regular files (and links to them) are read or
// written, without ever blocking, and nothing larger than a reader's limit is read.
#include "platform/file_limits.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>

#include "platform/ini_file.h"
#include "tests/platform/child_run.h"
#include "tests/platform/odd_files.h"
#include "tests/platform/temp_folder.h"

namespace platform {
namespace {

using testing::FifoRelease;
using testing::OddInput;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

// Every reader: refused at once, with what stands there, and nothing read.
TEST(FileLimits, ReadersRefuseWhatIsNoRegularFile) {
  TempFolder dir;
  const testing::OddFiles odd_files(dir, "PEG", FileKind::kParameterFile);
  const std::vector<testing::OddInput>& inputs = odd_files.inputs;
  const std::vector<std::pair<const char*, std::function<void(const std::string&)>>> readers = {
      {"ReadFileIfExists",
       [](const std::string& p) { (void)ReadFileIfExists(p, FileKind::kParameterFile); }},
      {"TIniFile", [](const std::string& p) { TIniFile(p, false, FileKind::kParameterFile); }},
  };
  for (const auto& [reader, read] : readers) {
    for (const OddInput& input : inputs) {
      SCOPED_TRACE(std::string(reader) + ", " + input.what);
      const auto start = std::chrono::steady_clock::now();
      try {
        read(input.path);
        ADD_FAILURE() << "read";
      } catch (const FileError& e) {
        EXPECT_EQ(e.Fault(), input.fault);
        if (input.fault == FileFault::kNotRegular) {
          EXPECT_EQ(e.Node(), input.node);
        }
        EXPECT_EQ(e.Path(), input.path);
        EXPECT_EQ(e.Kind(), FileKind::kParameterFile);
        EXPECT_FALSE(e.Writing());
      }
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    }
  }
}

TEST(FileLimits, AFileUpToTheLimitIsReadAndNothingIsMissing) {
  TempFolder dir;
  const std::string file = dir / "a.ini";
  WriteBytes(file, std::string(100, 'x'));
  EXPECT_EQ(ReadFileIfExists(file, FileKind::kOther, 100), std::string(100, 'x'));
  EXPECT_THROW(ReadFileIfExists(file, FileKind::kOther, 99), FileError);
  // Through a link, as the operator's own links to files are.
  testing::MakeLink(file, dir / "link.ini");
  EXPECT_EQ(ReadFileIfExists(dir / "link.ini", FileKind::kOther, 100)->size(), 100u);
  EXPECT_EQ(ReadFileIfExists(dir / "missing.ini", FileKind::kOther), std::nullopt);
  EXPECT_EQ(ReadFileIfExists(file + "/below", FileKind::kOther), std::nullopt);
  testing::MakeLink(dir / "gone", dir / "dangling.ini");
  EXPECT_EQ(ReadFileIfExists(dir / "dangling.ini", FileKind::kOther), std::nullopt);
  EXPECT_THROW(CheckFileExists(dir / "dangling.ini", FileKind::kTableFile), FileError);
  EXPECT_NO_THROW(CheckFileExists(file, FileKind::kTableFile));
}

// What stands at a save target afterwards.
std::string Describe(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return "nothing";
  if (S_ISLNK(st.st_mode)) {
    std::error_code ec;
    return "link to " + std::filesystem::read_symlink(path, ec).string();
  }
  if (S_ISFIFO(st.st_mode)) return "FIFO";
  if (S_ISCHR(st.st_mode)) return "character device";
  if (S_ISDIR(st.st_mode))
    return "directory of " + std::to_string(std::distance(std::filesystem::directory_iterator(path),
                                                          std::filesystem::directory_iterator()));
  if (S_ISREG(st.st_mode)) return "file " + ReadBytes(path);
  return "other";
}

// Every writer: a target that is no regular file stays as it was, a link to a
// regular file is written through and stays a link.
TEST(FileLimits, WritersRefuseTargetsThatAreNoRegularFile) {
  struct Writer {
    const char* what;
    std::function<void(const std::string&)> write;
    const char* written;  // what the regular file holds afterwards
  };
  const Writer writers[] = {
      {"WriteFileAtomically",
       [](const std::string& p) { WriteFileAtomically(p, "new", FileKind::kParameterFile); },
       "new"},
      {"AppendToFile", [](const std::string& p) { AppendToFile(p, "new", FileKind::kLogFile); },
       "oldnew"},
      {"OpenForWriting",
       [](const std::string& p) {
         const int fd = OpenForWriting(p, FileKind::kLogFile, false);
         EXPECT_EQ(::write(fd, "new", 3), 3);
         ::close(fd);
       },
       "new"},
  };
  for (const Writer& writer : writers) {
    TempFolder dir;
    const std::string device = testing::OwnCharDevice(dir);
    const std::string fifo = dir / "fifo";
    testing::MakeFifo(fifo);
    const std::string folder = dir / "folder.PEG";
    ::mkdir(folder.c_str(), 0700);
    WriteBytes(folder + "/inside", "x");
    const std::string file = dir / "file";
    WriteBytes(file, "old");
    testing::MakeLink(device, dir / "device.PEG");
    testing::MakeLink(fifo, dir / "link-fifo.PEG");
    testing::MakeLink(file, dir / "file.PEG");
    // Before anything is written: a writer that took the device would replace it.
    ASSERT_THROW(CheckWriteTarget(dir / "device.PEG", FileKind::kParameterFile), FileError);
    struct Target {
      std::string path;
      NodeKind node;  // kRegular: written through
    };
    const Target targets[] = {
        {dir / "device.PEG", NodeKind::kCharDevice},
        {dir / "link-fifo.PEG", NodeKind::kFifo},
        {fifo, NodeKind::kFifo},
        {folder, NodeKind::kDirectory},
        {dir / "file.PEG", NodeKind::kRegular},
    };
    FifoRelease release({fifo});
    for (const Target& t : targets) {
      SCOPED_TRACE(std::string(writer.what) + " " + t.path);
      const std::string before = Describe(t.path);
      const auto start = std::chrono::steady_clock::now();
      if (t.node == NodeKind::kRegular) {
        writer.write(t.path);
        EXPECT_EQ(Describe(t.path), before);  // still the link
        EXPECT_EQ(Describe(file), std::string("file ") + writer.written);
      } else {
        try {
          writer.write(t.path);
          ADD_FAILURE() << "written";
        } catch (const FileError& e) {
          EXPECT_EQ(e.Fault(), FileFault::kNotRegular);
          EXPECT_EQ(e.Node(), t.node);
          EXPECT_EQ(e.Path(), t.path);
          EXPECT_TRUE(e.Writing());
        }
        EXPECT_EQ(Describe(t.path), before);
      }
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    }
    EXPECT_TRUE(testing::IsCharDevice(device));
    EXPECT_EQ(Describe(fifo), "FIFO");
    EXPECT_EQ(ReadBytes(folder + "/inside"), "x");
    // No temporary file left beside any target.
    for (const std::string& name : dir.List()) EXPECT_NE(name.front(), '.') << name;
  }
}

// What every writer does with the targets a save may meet beside a regular file:
// a link whose file is missing gets that file (the link stays), a link loop and a
// file nobody may write (root included) are refused and left as they were.
TEST(FileLimits, WritersOnLinksAndWriteProtectedFiles) {
  const std::pair<const char*, std::function<void(const std::string&)>> writers[] = {
      {"WriteFileAtomically",
       [](const std::string& p) { WriteFileAtomically(p, "new", FileKind::kExportFile); }},
      {"AppendToFile", [](const std::string& p) { AppendToFile(p, "new", FileKind::kLogFile); }},
      {"OpenForWriting",
       [](const std::string& p) {
         const int fd = OpenForWriting(p, FileKind::kLogFile, false);
         EXPECT_EQ(::write(fd, "new", 3), 3);
         ::close(fd);
       }},
      {"CheckWriteTarget",
       [](const std::string& p) { CheckWriteTarget(p, FileKind::kReportFile); }},
  };
  for (const auto& [writer, write] : writers) {
    SCOPED_TRACE(writer);
    const bool writes = std::string(writer) != "CheckWriteTarget";
    TempFolder dir;
    // A link to a file not yet there, relative as links often are, across a folder.
    ASSERT_EQ(::mkdir((dir / "sub").c_str(), 0700), 0);
    testing::MakeLink("sub/target.txt", dir / "dangling.txt");
    write(dir / "dangling.txt");
    EXPECT_EQ(Describe(dir / "dangling.txt"), "link to sub/target.txt");
    EXPECT_EQ(Describe(dir / "sub/target.txt"), writes ? "file new" : "nothing");

    testing::MakeLink("loop2.txt", dir / "loop1.txt");
    testing::MakeLink("loop1.txt", dir / "loop2.txt");
    try {
      write(dir / "loop1.txt");
      ADD_FAILURE() << "written";
    } catch (const FileError& e) {
      EXPECT_EQ(e.Fault(), FileFault::kUnwritable);
      EXPECT_EQ(e.Code(), ELOOP);
      EXPECT_TRUE(e.Writing());
      EXPECT_EQ(e.Path(), dir / "loop1.txt");
    }
    EXPECT_EQ(Describe(dir / "loop1.txt"), "link to loop2.txt");

    WriteBytes(dir / "ro.txt", "old");
    ASSERT_EQ(::chmod((dir / "ro.txt").c_str(), 0444), 0);
    testing::MakeLink("ro.txt", dir / "link-ro.txt");
    for (const char* name : {"ro.txt", "link-ro.txt"}) {
      try {
        write(dir / name);
        ADD_FAILURE() << name << " written";
      } catch (const FileError& e) {
        EXPECT_EQ(e.Fault(), FileFault::kWriteProtected) << name;
        EXPECT_EQ(e.Path(), dir / name);
      }
    }
    EXPECT_EQ(Describe(dir / "ro.txt"), "file old");
    for (const std::string& name : dir.List()) EXPECT_NE(name.front(), '.') << name;
  }
}

// As an ordinary user, a file the user may not write is refused although the
// folder lets a rename replace it; one the user may write is written.
TEST(FileLimits, AnOrdinaryUserMayNotReplaceWhatHeMayNotWrite) {
  TempFolder dir;
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0777), 0);
  WriteBytes(dir / "own-0444.PEG", "old");
  WriteBytes(dir / "root-0644.PEG", "old");
  WriteBytes(dir / "own-0644.PEG", "old");
  ASSERT_EQ(::chmod((dir / "own-0444.PEG").c_str(), 0444), 0);
  ASSERT_EQ(::chmod((dir / "root-0644.PEG").c_str(), 0644), 0);
  if (::geteuid() == 0) {
    for (const char* name : {"own-0444.PEG", "own-0644.PEG"}) {
      ASSERT_EQ(::chown((dir / name).c_str(), testing::kOrdinaryUid, testing::kOrdinaryGid), 0);
    }
  }
  const std::string result = testing::AsOrdinaryUser([&] {
    std::string out;
    for (const char* name : {"own-0444.PEG", "root-0644.PEG", "own-0644.PEG"}) {
      out += name;
      try {
        WriteFileAtomically(dir / name, "new", FileKind::kParameterFile);
        out += " written;";
      } catch (const FileError& e) {
        out += e.Fault() == FileFault::kWriteProtected ? " write-protected;" : " other error;";
      }
    }
    return out;
  });
  const bool root_file_is_own = ::geteuid() != 0;  // then every file is the user's
  EXPECT_EQ(result, std::string("own-0444.PEG write-protected;root-0644.PEG ") +
                        (root_file_is_own ? "written;" : "write-protected;") +
                        "own-0644.PEG written;");
  EXPECT_EQ(ReadBytes(dir / "own-0444.PEG"), "old");
  if (!root_file_is_own) {
    EXPECT_EQ(ReadBytes(dir / "root-0644.PEG"), "old");
  }
  EXPECT_EQ(ReadBytes(dir / "own-0644.PEG"), "new");
}

// The reader looks at a name before it opens it and once more at what it opened:
// a FIFO put there in between is refused, not read as an empty file.
TEST(FileLimits, TheReaderChecksWhatItOpened) {
  TempFolder dir;
  const std::string file = dir / "a.PEG";
  WriteBytes(file, "[T_User0]\r\nMin=5\r\n");
  testing::MakeFifo(dir / "fifo");
  FifoRelease release({file});
  SetFileStepHookForTest([&](FileStep step, const std::string& path) {
    if (step == FileStep::kBeforeReadOpen && path == file) {
      ASSERT_EQ(::rename((dir / "fifo").c_str(), file.c_str()), 0);
    }
  });
  try {
    (void)ReadFileIfExists(file, FileKind::kParameterFile);
    ADD_FAILURE() << "read";
  } catch (const FileError& e) {
    EXPECT_EQ(e.Fault(), FileFault::kNotRegular);
    EXPECT_EQ(e.Node(), NodeKind::kFifo);
  }
  SetFileStepHookForTest(nullptr);
}

// The rename needs only the folder's permission: what stands at the target is
// looked at once more just before it. A FIFO or a write-protected file put there
// while the new content was written stays, and no temporary file is left.
TEST(FileLimits, TheWriterChecksTheTargetOnceMoreBeforeTheRename) {
  struct Case {
    const char* what;
    std::function<void(const TempFolder&, const std::string&)> swap;
    FileFault fault;
    const char* after;
  };
  const Case cases[] = {
      {"a FIFO",
       [](const TempFolder&, const std::string& target) {
         ASSERT_EQ(::unlink(target.c_str()), 0);
         testing::MakeFifo(target);
       },
       FileFault::kNotRegular, "FIFO"},
      {"a write-protected file",
       [](const TempFolder& dir, const std::string& target) {
         WriteBytes(dir / "other", "other");
         ASSERT_EQ(::chmod((dir / "other").c_str(), 0444), 0);
         ASSERT_EQ(::rename((dir / "other").c_str(), target.c_str()), 0);
       },
       FileFault::kWriteProtected, "file other"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder dir;
    const std::string target = dir / "a.PEG";
    WriteBytes(target, "old");
    SetFileStepHookForTest([&](FileStep step, const std::string& path) {
      if (step == FileStep::kBeforeRename && path == target) c.swap(dir, target);
    });
    try {
      WriteFileAtomically(target, "new", FileKind::kParameterFile);
      ADD_FAILURE() << "written";
    } catch (const FileError& e) {
      EXPECT_EQ(e.Fault(), c.fault);
      EXPECT_TRUE(e.Writing());
    }
    SetFileStepHookForTest(nullptr);
    EXPECT_EQ(Describe(target), c.after);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"a.PEG"});
  }
}

}  // namespace
}  // namespace platform
