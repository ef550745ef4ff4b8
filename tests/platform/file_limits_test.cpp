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

}  // namespace
}  // namespace platform
