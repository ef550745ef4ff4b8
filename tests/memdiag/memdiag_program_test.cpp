// The tracker in a whole program: a child built with the replacement allocation
// functions reads its settings file, leaks and ends; the report it leaves is read.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/platform/temp_folder.h"

extern char** environ;

namespace {

using platform::testing::ReadBytes;
using platform::testing::TempFolder;
using platform::testing::WriteBytes;

class MemDiagProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef MEMDIAG_CHILD
    GTEST_SKIP() << "a sanitizer build has no replacement allocation functions";
#endif
    ASSERT_EQ(::mkdir((home_ / "data").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(DataFolder().c_str(), 0700), 0);
  }
  std::string DataFolder() const {
    return home_ / "data/vandrel2";
  }

  // Runs the child with its home in the temporary folder; its exit status.
  int RunChild(const std::string& mem_diag, const std::vector<std::string>& args = {}) {
#ifdef MEMDIAG_CHILD
    WriteBytes(DataFolder() + "/vandrel2.ini", "[Debug]\r\nMemDiag=" + mem_diag + "\r\n");
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      const std::string entry = *e;
      if (entry.rfind("HOME=", 0) != 0 && entry.rfind("XDG_DATA_HOME=", 0) != 0)
        env.push_back(entry);
    }
    env.push_back("HOME=" + home_.Path());
    env.push_back("XDG_DATA_HOME=" + home_ / "data");
    std::vector<std::string> argv_text = {MEMDIAG_CHILD};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv, envp;
    for (std::string& a : argv_text) argv.push_back(a.data());
    for (std::string& e : env) envp.push_back(e.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    pid_t pid;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) return -1;
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
#else
    (void)mem_diag;
    (void)args;
    return -1;
#endif
  }
  // The names in the data folder other than the settings file.
  std::vector<std::string> Reports() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(DataFolder())) {
      if (e.path().filename() != "vandrel2.ini") names.push_back(e.path().filename().string());
    }
    return names;
  }

  TempFolder home_;
};

// "yyyy-mm-dd-hh-mm-ss_memDiag.log"
bool IsReportName(const std::string& name) {
  const std::string pattern = "dddd-dd-dd-dd-dd-dd_memDiag.log";
  if (name.size() != pattern.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (pattern[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(name[i]))
                          : name[i] != pattern[i]) {
      return false;
    }
  }
  return true;
}

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// The line of the report that begins with start; empty when there is none.
std::string LineStarting(const std::string& text, const std::string& start, size_t from = 0) {
  const size_t at = text.find(start, from);
  if (at == std::string::npos) return {};
  return text.substr(at, text.find("\r\n", at) - at);
}

TEST_F(MemDiagProgramTest, ReportNamesModuleRoutineFileAndLine) {
  ASSERT_EQ(RunChild("1"), 0);
  const std::vector<std::string> reports = Reports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_TRUE(IsReportName(reports[0])) << reports[0];
  const std::string report = ReadBytes(DataFolder() + "/" + reports[0]);
  EXPECT_EQ(report.rfind("MemDiag version 1.00\r\n\r\nTOP 10 Leaks: begin\r\n", 0), 0u) << report;
  EXPECT_NE(report.find("Leak #0 User allocated memory (GetMem)\r\n\tSize: 12\r\n\t3 Occurences\r\n"
                        "\tcall stack - 0 : Module memdiag_child.cpp Routine "
                        "memdiag_child::LeakTwelveBytes() Line "),
            std::string::npos)
      << report;
  // Each entry names its module and the offset inside it, the C library's too.
  EXPECT_NE(LineStarting(report, "\tcall stack - 0 : Module memdiag_child.cpp")
                .find(" Find error: memdiag_child+"),
            std::string::npos)
      << report;
  EXPECT_NE(LineStarting(report, "\tcall stack - 1 : Module memdiag_child.cpp Routine main Line ")
                .find(" Find error: memdiag_child+"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find(" Find error: libc.so.6+"), std::string::npos) << report;
  EXPECT_NE(report.find("Total leak: 36 bytes\r\n"), std::string::npos) << report;
  EXPECT_EQ(Occurrences(report, "* User allocated memory (GetMem) (Leak #0) Size: 12\r\n"), 3u);
  // The library's own block is listed apart, and is no leak.
  const size_t held = report.find("*** MEMDIAG: Blocks held by libraries");
  ASSERT_NE(held, std::string::npos) << report;
  EXPECT_NE(report.find("Held #0 User allocated memory (GetMem)\r\n\tSize: 16\r\n", held),
            std::string::npos)
      << report;
  EXPECT_NE(LineStarting(report, "\tcall stack - 0 : Module held_by_library.cpp Routine "
                                 "(anonymous namespace)::Hold(void*) Line ",
                         held)
                .find(" Find error: libmemdiag_child_library.so+"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("Held by libraries: 16 bytes\r\n", held), std::string::npos) << report;
  EXPECT_EQ(Occurrences(report, "Leak #1"), 0u) << report;
}

TEST_F(MemDiagProgramTest, WithoutLeaksOfTheProgramTheReportListsNone) {
  ASSERT_EQ(RunChild("1", {"noleak"}), 0);
  const std::vector<std::string> reports = Reports();
  ASSERT_EQ(reports.size(), 1u);
  const std::string report = ReadBytes(DataFolder() + "/" + reports[0]);
  EXPECT_NE(report.find("TOP 10 Leaks: begin\r\nTOP 10 Leaks: end\r\n"), std::string::npos)
      << report;
  EXPECT_NE(report.find("Total leak: 0 bytes\r\n"), std::string::npos) << report;
  EXPECT_EQ(report.find("Leak #"), std::string::npos) << report;
  EXPECT_NE(report.find("Held by libraries: 16 bytes\r\n"), std::string::npos) << report;
}

TEST_F(MemDiagProgramTest, SwitchedOffNothingIsWritten) {
  ASSERT_EQ(RunChild("0"), 0);
  EXPECT_TRUE(Reports().empty());
}

TEST_F(MemDiagProgramTest, FourThreadsAllocatingAndReleasingLeaveOnlyTheLeaks) {
  ASSERT_EQ(RunChild("1", {"threads"}), 0);
  const std::vector<std::string> reports = Reports();
  ASSERT_EQ(reports.size(), 1u);
  const std::string report = ReadBytes(DataFolder() + "/" + reports[0]);
  // One leak, three blocks in the chronology, nothing of the threads.
  EXPECT_NE(report.find("Held by libraries: 16 bytes\r\n"), std::string::npos) << report;
  EXPECT_EQ(Occurrences(report, "Leak #1"), 0u) << report;
  EXPECT_EQ(Occurrences(report, "* User allocated memory"), 3u) << report;
  EXPECT_NE(report.find("Total leak: 36 bytes\r\n"), std::string::npos) << report;
  EXPECT_EQ(report.find("Exception:"), std::string::npos) << report;
  EXPECT_NE(report.find("\tBad blocks count: 0\r\n"), std::string::npos) << report;
}

}  // namespace
