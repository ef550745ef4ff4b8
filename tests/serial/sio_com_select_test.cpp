// Which ports the selection dialog offers, over pseudo-terminals linked in a
// temporary ports folder, and what its answer does to the port.
#include "serial/sio_com_select.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <string>
#include <vector>

#include "pty_fixture.h"
#include "serial/sio_port.h"

namespace serial::testing {
namespace {

TPortState PresentIf(bool present) {
  return present ? TPortState::kPresent : TPortState::kAbsent;
}

class ComSelectTest : public PtyPortTest {
 protected:
  void TearDown() override {
    ProbeThroughDispatcher = true;
    CountBusyPorts = true;
    SetPortSelectionDialog(nullptr);
    PtyPortTest::TearDown();
  }
};

TEST_F(ComSelectTest, PresentAreThePortsThatOpenOrAreHeld) {
  PtyPair free_pty, held_pty;
  Link(1, free_pty.SlaveName());
  Link(2, held_pty.SlaveName());
  Link(3, home.Temp() / "unplugged");
  platform::testing::WriteBytes(home.Temp() / "plain", "not a tty");
  Link(4, home.Temp() / "plain");
  TSioComPort holder;
  holder.SetComNumber(2);
  holder.SetOpen(true);
  ASSERT_TRUE(holder.Open());

  struct Case {
    bool through_dispatcher, count_busy;
    std::vector<bool> present;  // COM1 to COM4
  };
  const Case cases[] = {
      {true, true, {true, true, false, false}},
      {false, true, {true, true, false, false}},
      {true, false, {true, false, false, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "dispatcher " << c.through_dispatcher << ", busy " << c.count_busy);
    ProbeThroughDispatcher = c.through_dispatcher;
    CountBusyPorts = c.count_busy;
    EXPECT_FALSE(IsPortPresent(0));
    for (uint32_t n = 1; n <= 4; ++n) EXPECT_EQ(IsPortPresent(n), c.present[n - 1]) << n;
  }
  // The probe let go of the free port at once.
  TSioComPort port;
  port.SetComNumber(1);
  port.SetOpen(true);
  EXPECT_TRUE(port.Open());
  EXPECT_TRUE(holder.Open());
}

// A port this user may not open is no choice: it is kept apart from the list,
// through the device layer and without it. Root is never denied, so as root the
// probe runs in a child that has become "nobody".
TEST_F(ComSelectTest, APortRefusedForPermissionIsNotPresent) {
  PtyPair pty;
  Link(1, pty.SlaveName());
  auto refused = [] {
    for (bool through_dispatcher : {true, false}) {
      ProbeThroughDispatcher = through_dispatcher;
      if (ProbePort(1) != TPortState::kNoPermission || IsPortPresent(1)) return false;
    }
    return true;
  };
  ExpectRefusedToOtherUser(pty, refused);
}

TEST_F(ComSelectTest, RefusedPortsAreKeptApartAndTheListEndsAtItsLastPort) {
  std::vector<uint32_t> probed;
  TComSelection selection(
      [&](uint32_t n) {
        probed.push_back(n);
        if (n == 2 || n == 5) return TPortState::kNoPermission;
        return PresentIf(n == 3 || n == 9);
      },
      8);
  EXPECT_EQ(selection.Entries(), std::vector<std::string>{"COM3"});
  EXPECT_EQ(selection.Refused(), (std::vector<uint16_t>{2, 5}));
  EXPECT_EQ(selection.SelectedComNumber(), 3);
  EXPECT_EQ(probed.size(), 8u);
}

TEST_F(ComSelectTest, TheListHoldsThePresentPortsInOrderWithTheFirstChosen) {
  std::vector<uint32_t> probed;
  TComSelection selection([&](uint32_t n) {
    probed.push_back(n);
    return PresentIf(n == 1 || n == 3);
  });
  EXPECT_EQ(selection.Entries(), (std::vector<std::string>{"COM1", "COM3"}));
  EXPECT_EQ(selection.Selected(), 0);
  EXPECT_EQ(selection.SelectedComNumber(), 1);
  ASSERT_EQ(probed.size(), 50u);
  EXPECT_EQ(probed.front(), 1u);
  EXPECT_EQ(probed.back(), 50u);

  selection.Select(1);
  EXPECT_EQ(selection.SelectedComNumber(), 3);
  EXPECT_EQ(selection.Answer(true), 3);
  EXPECT_EQ(selection.Answer(false), 0);
  selection.Select(2);
  EXPECT_FALSE(selection.CanConfirm());
  EXPECT_EQ(selection.Answer(true), 0);

  TComSelection none([](uint32_t) { return TPortState::kAbsent; });
  EXPECT_TRUE(none.Entries().empty());
  EXPECT_EQ(none.Selected(), -1);
  EXPECT_FALSE(none.CanConfirm());
  EXPECT_EQ(none.Answer(true), 0);
}

TEST(ComNumberOfEntry, TakesTheNumberAfterCom) {
  const std::pair<std::string, uint16_t> cases[] = {
      {"COM12", 12}, {"COM7", 7}, {"COM50", 50}, {"COM", 0},      {"COMX", 0},
      {"COM1X", 0},  {"LPT1", 0}, {"COM-1", 0},  {"COM70000", 0},
  };
  for (const auto& [entry, n] : cases) EXPECT_EQ(ComNumberOfEntry(entry), n) << entry;
}

// The dialog's answer as the port takes it: only OK on a chosen port opens.
TEST_F(ComSelectTest, OnlyOkOnAChosenPortOpensIt) {
  PtyPair pty;
  Link(3, pty.SlaveName());
  struct Case {
    const char* name;
    std::set<uint32_t> present;
    int choose;  // index in the list
    bool ok;
    uint16_t opened;  // 0: ENoPortSelected
  };
  const Case cases[] = {
      {"OK on the second entry", {1, 3}, 1, true, 3},
      {"OK on the first entry", {3, 7}, 0, true, 3},
      {"Cancel", {3}, 0, false, 0},
      {"OK with an empty list", {}, 0, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetPortSelectionDialog([&](uint16_t& n) {
      TComSelection selection([&](uint32_t k) { return PresentIf(c.present.count(k) > 0); });
      selection.Select(c.choose);
      n = selection.Answer(c.ok);
      return n != 0;
    });
    TSioComPort port;
    if (c.opened == 0) {
      EXPECT_THROW(port.SetOpen(true), ENoPortSelected);
      EXPECT_FALSE(port.Open());
      EXPECT_EQ(port.ComNumber(), 0);
    } else {
      port.SetOpen(true);
      EXPECT_TRUE(port.Open());
      EXPECT_EQ(port.ComNumber(), c.opened);
    }
  }
}

}  // namespace
}  // namespace serial::testing
