#include "memdiag/leak_report.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tests/memdiag/tracker_fixture.h"
#include "tests/platform/temp_folder.h"

namespace memdiag::testing {
namespace {

std::string Golden(const std::string& name) {
  return platform::testing::ReadBytes(std::string(VANDREL_TEST_DATA) + "/" + name);
}

class LeakReportTest : public TrackerTest {
 protected:
  void SetUp() override {
    TrackerTest::SetUp();
    tracker_->MaxKeptFreedBlockSize = 1000;
    tracker_->StartLeakTracking();
  }
  std::string Report(size_t* leaks = nullptr) {
    std::ostringstream out;
    const size_t n = WriteLeakReport(*tracker_, out);
    if (leaks) *leaks = n;
    return out.str();
  }
  // Byte for byte: line ends, tabs and spelling are part of the format.
  void ExpectGolden(const std::string& name, const std::string& report) {
    EXPECT_EQ(report, Golden(name));
  }
};

TEST_F(LeakReportTest, ThreeLeaksFromOnePlaceAreOneLeak) {
  for (int i = 0; i < 3; ++i) Get(12);
  ExpectGolden("three_leaks.log", Report());
}

TEST_F(LeakReportTest, NoLeaks) {
  Free(Get(12));  // kept, so not a leak
  Free(Get(2000));
  size_t leaks = 99;
  const std::string report = Report(&leaks);
  EXPECT_EQ(leaks, 0u);
  ExpectGolden("empty.log", report);
}

TEST_F(LeakReportTest, TopTenOfTwelveSizes) {
  // Allocated out of size order, so the TOP order is not the identifier order.
  for (size_t size : {5, 12, 1, 9, 3, 11, 7, 2, 10, 4, 8, 6}) Get(size);
  ExpectGolden("top10.log", Report());
}

TEST_F(LeakReportTest, LimitsOfLeaksAndDamagedBlocks) {
  tracker_->MaxLeaks = 2;
  tracker_->MaxBadBlocks = 1;
  for (size_t size : {5, 6, 7}) Get(size);
  for (int i = 0; i < 2; ++i) {
    unsigned char* p = Get(30);
    Free(p);
    p[3] = 1;
  }
  ExpectGolden("limits.log", Report());
}

TEST_F(LeakReportTest, DamagedBlocksAndNotes) {
  ScriptedStack::frames = {0x7000001, 0x404001, 0x402001, 0x403001};
  unsigned char* damaged = Get(16, 0x404001);
  Free(damaged);
  damaged[15] = 0xEE;
  unsigned char* overrun = Get(8);
  overrun[8] = 0;
  Free(overrun);
  Free(overrun);
  ExpectGolden("damaged.log", Report());
}

TEST_F(LeakReportTest, BlocksOfLibrariesAloneAreNoLeaks) {
  // The program's image from 0x400000 to 0x500000; libraries above it.
  tracker_->DebugInfo().SetCodeBase(0x400000, 0x500000);
  ScriptedStack::frames = {0x7000001, 0x601001, 0x602001, 0x603001};
  Get(16, 0x601001);  // nothing of the program on its stack
  ScriptedStack::frames = {0x7000001, 0x601001, 0x402001, 0x603001};
  Get(24, 0x601001);  // a library's allocation for the program
  size_t leaks = 0;
  const std::string report = Report(&leaks);
  EXPECT_EQ(leaks, 1u);
  EXPECT_NE(report.find("Total leak: 24 bytes\r\n"), std::string::npos) << report;
  const size_t held = report.find("*** MEMDIAG: Blocks held by libraries");
  ASSERT_NE(held, std::string::npos);
  EXPECT_GT(report.find("Size: 16"), held) << "listed with the program's leaks";
  EXPECT_NE(report.find("Held #0 User allocated memory (GetMem)\r\n\tSize: 16\r\n", held),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("Held by libraries: 16 bytes\r\n", held), std::string::npos) << report;
}

TEST(TopLeaks, EqualTotalsKeepIdentifierOrder) {
  std::vector<TLeak> leaks;
  // Totals 12 12 6 12 24 12 ... : size and occurrences differ, totals tie.
  const std::pair<size_t, uint32_t> groups[] = {{12, 1}, {4, 3}, {6, 1},  {6, 2}, {24, 1}, {1, 12},
                                                {3, 4},  {2, 6}, {12, 1}, {6, 2}, {1, 1},  {12, 1}};
  for (const auto& [size, occurrences] : groups) {
    leaks.push_back(
        TLeak{kMemoryBlock, size, {}, occurrences, static_cast<uint32_t>(leaks.size())});
  }
  std::vector<uint32_t> ids;
  for (const TLeak& leak : TopLeaks(leaks)) ids.push_back(leak.Identifier);
  EXPECT_EQ(ids, (std::vector<uint32_t>{4, 0, 1, 3, 5, 6, 7, 8, 9, 11}));
}

TEST_F(LeakReportTest, FileIsReplacedWholeAndNothingIsLeftOnFailure) {
  platform::testing::TempFolder folder;
  const std::string name = folder / "x_memDiag.log";
  platform::testing::WriteBytes(name, "an older report");
  Get(12);
  std::string error;
  EXPECT_EQ(WriteLeakReportFile(*tracker_, name, error), 1);
  EXPECT_EQ(platform::testing::ReadBytes(name).rfind("MemDiag version 1.00\r\n", 0), 0u);
  EXPECT_EQ(folder.List(), std::vector<std::string>{"x_memDiag.log"});

  const std::string missing = folder / "no/such/folder/report.log";
  EXPECT_EQ(WriteLeakReportFile(*tracker_, missing, error), -1);
  EXPECT_NE(error.find("no/such/folder/report.log.$$$"), std::string::npos);
  // A folder in the report's place: written, but never renamed over it.
  platform::testing::TempFolder other;
  const std::string taken = other / "taken";
  ASSERT_EQ(::mkdir((taken).c_str(), 0700), 0);
  platform::testing::WriteBytes(taken + "/inside", "");
  EXPECT_EQ(WriteLeakReportFile(*tracker_, taken, error), -1);
  EXPECT_EQ(other.List(), std::vector<std::string>{"taken"});
}

}  // namespace
}  // namespace memdiag::testing
