#include <gtest/gtest.h>

#include <thread>

#include "dispatcher_fixture.h"
#include "serial/sio_errors.h"

namespace serial::testing {
namespace {

struct Message {
  uint32_t msg, wparam, lparam;
  std::thread::id thread;
};

// A window that records what it receives and can act on it.
class RecordingWindow : public TSioWindow {
 public:
  std::vector<Message> got;
  std::function<void(uint32_t msg, uint32_t wparam)> on_message;
  void WindowProc(uint32_t msg, uint32_t wparam, uint32_t lparam) override {
    got.push_back({msg, wparam, lparam, std::this_thread::get_id()});
    if (on_message) on_message(msg, wparam);
  }
};

class Triggers : public DispatcherTest {
 protected:
  void SetUp() override {
    DispatcherTest::SetUp();
    Open();
  }
  void Receive(const std::string& bytes) {
    dev->input.push_back(bytes);
    dev->FillReceiveBuffer();
  }
  // Collects the trigger messages a procedure handler sees.
  std::vector<Message> procs;
  void CollectProcs() {
    dev->RegisterProcHandler([this](uint32_t msg, uint32_t value, uint32_t lparam) {
      procs.push_back({msg, value, lparam, std::this_thread::get_id()});
    });
  }
};

TEST_F(Triggers, WithoutAHandlerDispatchSendsNothing) {
  RecordingWindow port_window;
  dev->RegisterWindowHandler(&port_window);
  EXPECT_TRUE(dev->DispatchEvent(TriggerStatusMessage, 9, 0));
  dev->SetHandlerMode(2);
  EXPECT_TRUE(dev->DispatchEvent(TriggerStatusMessage, 9, 0));
  ui.ProcessMessages();
  EXPECT_TRUE(port_window.got.empty());
  dev->DeregisterWindowHandler(&port_window);
}

TEST_F(Triggers, AHandlerGetsItsEventOnTheUiThread) {
  RecordingWindow port_window;
  dev->RegisterWindowHandler(&port_window);
  dev->SetHandlerMode(1);
  bool result = false;
  std::thread dispatcher([&] { result = dev->DispatchEvent(TriggerStatusMessage, 0x2A, 7); });
  ASSERT_TRUE(ui.RunUntil([&] { return !port_window.got.empty(); }, 5000));
  dispatcher.join();
  EXPECT_TRUE(result);
  ASSERT_EQ(port_window.got.size(), 1u);
  const Message& m = port_window.got[0];
  EXPECT_EQ(m.msg, TriggerStatusMessage);
  EXPECT_EQ(m.wparam, 0x2Au);
  EXPECT_EQ(m.lparam, 7u + (static_cast<uint32_t>(dev->Handle()) << 16));
  EXPECT_EQ(m.thread, std::this_thread::get_id());
  dev->DeregisterWindowHandler(&port_window);
}

TEST_F(Triggers, AvailHandlerConsumesWhatItReads) {
  struct Case {
    int32_t reads;
    bool result;
    int32_t left;
  };
  for (const Case& c : {Case{10, true, 0}, Case{4, false, 6}, Case{0, false, 10}}) {
    SCOPED_TRACE(c.reads);
    dev->FlushInQueue();
    Receive("0123456789");
    RecordingWindow w;
    int32_t seen_inside = -1;
    w.on_message = [&](uint32_t, uint32_t) {
      uint8_t buf[16];
      if (c.reads > 0) {
        ASSERT_EQ(dev->GetBlock(buf, c.reads), c.reads);
      }
      seen_inside = dev->InBuffUsed();
    };
    dev->RegisterWindowHandler(&w);
    dev->SetHandlerMode(1);
    EXPECT_EQ(dev->DispatchEvent(TriggerAvailMessage, 10, 0), c.result);
    EXPECT_EQ(seen_inside, 10 - c.reads);  // taken bytes are not counted during the call
    EXPECT_EQ(dev->InBuffUsed(), c.left);
    dev->DeregisterWindowHandler(&w);
    dev->SetHandlerMode(2);
  }
}

TEST_F(Triggers, DeregisteringInsideAHandlerIsDeferred) {
  RecordingWindow a, b;
  dev->RegisterWindowHandler(&a);
  dev->RegisterWindowHandler(&b);
  dev->SetHandlerMode(1);
  a.on_message = [&](uint32_t, uint32_t) { dev->DeregisterWindowHandler(&b); };
  EXPECT_TRUE(dev->DispatchEvent(TriggerTimerMessage, 1, 0));
  EXPECT_EQ(a.got.size(), 1u);
  EXPECT_TRUE(b.got.empty());  // marked deleted, so not called, but still listed
  a.on_message = nullptr;
  EXPECT_TRUE(dev->DispatchEvent(TriggerTimerMessage, 1, 0));
  EXPECT_EQ(a.got.size(), 2u);
  EXPECT_TRUE(b.got.empty());
  dev->DeregisterWindowHandler(&a);
}

TEST_F(Triggers, EveryArrivalAddsAnAvailEntry) {
  RecordingWindow port_window;
  // As the open port has it: its window, no trigger event assigned.
  dev->RegisterWindowHandler(&port_window);
  dev->SetHandlerMode(2);
  dev->SetAvailTriggerLength(1);
  dev->InitLogging(0);
  Receive("abc");
  EXPECT_TRUE(dev->CheckReceivedData());
  EXPECT_FALSE(dev->CheckReceivedData());  // nothing new
  Receive("de");
  EXPECT_TRUE(dev->CheckReceivedData());
  std::vector<uint32_t> avail_counts;
  for (const auto& e : TakeLog()) {
    if (e.type == ltTrigger && e.subtype == lstAvail) avail_counts.push_back(e.data);
  }
  EXPECT_EQ(avail_counts, (std::vector<uint32_t>{3, 5}));
  EXPECT_EQ(dev->InBuffUsed(), 5);  // nobody read them
  dev->DeregisterWindowHandler(&port_window);
}

TEST_F(Triggers, DataTriggersMatchPatterns) {
  struct Case {
    const char* pattern;
    bool ignore_case;
    std::string input;
    int matches;
  };
  const Case cases[] = {
      {"OK", false, "xxOKyy", 1},  {"OK", false, "xxokyy", 0},     {"ok", true, "xOkyOK", 2},
      {"aab", false, "aaab", 1},   {"abab", false, "abababab", 2}, {"\r\n", false, "a\r\nb\r\n", 2},
      {"abc", false, "abxabd", 0}, {"x", false, "xxx", 3},
  };
  CollectProcs();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    procs.clear();
    dev->RemoveAllTriggers();
    int32_t h = dev->AddDataTrigger(c.pattern, c.ignore_case);
    ASSERT_GT(h, 0);
    Receive(c.input);
    while (dev->CheckReceivedData()) {
    }
    int matches = 0;
    for (const auto& m : procs) {
      if (m.msg != TriggerDataMessage) continue;
      ++matches;
      EXPECT_EQ(m.wparam, static_cast<uint32_t>(h));
      EXPECT_EQ(m.lparam & 0xFFFF, std::string(c.pattern).size());
    }
    EXPECT_EQ(matches, c.matches);
    dev->FlushInQueue();
  }
}

TEST_F(Triggers, StatusTriggersFireOnceUntilReset) {
  CollectProcs();
  int32_t line = dev->AddStatusTrigger(stLine);
  int32_t sent = dev->AddStatusTrigger(stOutSent);
  int32_t modem = dev->AddStatusTrigger(stModem);
  EXPECT_EQ(TSioBaseDispatcher::StatusTriggerType(line), stLine);
  EXPECT_EQ(TSioBaseDispatcher::StatusTriggerType(modem), stModem);
  ASSERT_EQ(dev->SetStatusTrigger(line, ceRxParity | ceFrame, true), 0);
  ASSERT_EQ(dev->SetStatusTrigger(sent, 0, true), 0);
  ASSERT_EQ(dev->SetStatusTrigger(modem, (msCTS << 8) | 0, true), 0);  // CTS going on
  EXPECT_FALSE(dev->CheckStatusTriggers());

  uint8_t b = 'x';
  dev->PutBlock(&b, 1);
  EXPECT_TRUE(dev->CheckStatusTriggers());
  // A failed read sets the error word to -1, which the line-error trigger sees.
  dev->ThreadFinished(TSioThreadKind::Read, ecDeviceRead);
  dev->modem_lines = msCTS;
  dev->PollModemStatus();
  EXPECT_TRUE(dev->CheckStatusTriggers());
  EXPECT_FALSE(dev->CheckStatusTriggers());  // all fired

  std::vector<uint32_t> fired;
  for (const auto& m : procs) {
    if (m.msg == TriggerStatusMessage) fired.push_back(m.wparam);
  }
  EXPECT_EQ(fired, (std::vector<uint32_t>{static_cast<uint32_t>(sent), static_cast<uint32_t>(line),
                                          static_cast<uint32_t>(modem)}));
  EXPECT_EQ(dev->SetStatusTrigger(12345, 0, true), ecBadTriggerHandle);
}

TEST_F(Triggers, OutputLevelTriggersReportTheLevel) {
  CollectProcs();
  int32_t free_t = dev->AddStatusTrigger(stOutBuffFree);
  int32_t used_t = dev->AddStatusTrigger(stOutBuffUsed);
  std::string block(4000, 'x');
  dev->PutBlock(reinterpret_cast<const uint8_t*>(block.data()), 4000);
  dev->SetStatusTrigger(free_t, 100, true);  // 96 free: not yet
  dev->SetStatusTrigger(used_t, 10, true);   // 4000 used: not yet
  EXPECT_FALSE(dev->CheckStatusTriggers());
  dev->FlushOutQueue();
  EXPECT_TRUE(dev->CheckStatusTriggers());
  EXPECT_TRUE(dev->CheckStatusTriggers());
  ASSERT_EQ(procs.size(), 2u);
  EXPECT_EQ(procs[0].lparam & 0xFFFF, 4096u);  // free bytes
  EXPECT_EQ(procs[1].lparam & 0xFFFF, 0u);     // used bytes
}

TEST_F(Triggers, TimerTriggersExpireInTicks) {
  CollectProcs();
  int32_t t = dev->AddTimerTrigger();
  ASSERT_EQ(dev->SetTimerTrigger(t, 2, true), 0);  // two ticks of 55 ms
  EXPECT_FALSE(dev->CheckTimerTriggers());
  clock.Advance(100);
  EXPECT_FALSE(dev->CheckTimerTriggers());
  clock.Advance(70);
  EXPECT_TRUE(dev->CheckTimerTriggers());
  EXPECT_FALSE(dev->CheckTimerTriggers());  // once
  ASSERT_EQ(procs.size(), 1u);
  EXPECT_EQ(procs[0].msg, TriggerTimerMessage);
  EXPECT_EQ(procs[0].wparam, static_cast<uint32_t>(t));
}

TEST_F(Triggers, SaveAndRestoreAcrossAReopen) {
  dev->SetAvailTriggerLength(1);
  int32_t d = dev->AddDataTrigger("\r", false);
  int32_t s = dev->AddStatusTrigger(stOutSent);
  int32_t t = dev->AddTimerTrigger();
  TTriggerSave saved;
  dev->SaveTriggers(saved);
  dev->CloseDevice();
  Open();
  EXPECT_EQ(dev->AvailTriggerLength(), 0u);
  EXPECT_EQ(dev->RemoveTrigger(d), ecBadTriggerHandle);
  dev->RestoreTriggers(saved);
  EXPECT_EQ(dev->AvailTriggerLength(), 1u);
  EXPECT_EQ(dev->RemoveTrigger(s), 0);
  EXPECT_EQ(dev->SetTimerTrigger(t, 1, false), 0);
  int32_t fresh = dev->AddTimerTrigger();
  EXPECT_NE(fresh, d);
  EXPECT_NE(fresh, t);
  TSioBaseDispatcher::FreeSavedTriggers(saved);
  EXPECT_FALSE(saved.Data.has_value());
}

TEST_F(Triggers, AddingChecksItsArguments) {
  EXPECT_EQ(dev->AddDataTrigger("", false), ecBadArgument);
  EXPECT_EQ(dev->AddDataTrigger(std::string(kMaxDataTriggerLength + 1, 'a'), false),
            ecTriggerTooLong);
  EXPECT_GT(dev->AddDataTrigger(std::string(kMaxDataTriggerLength, 'a'), false), 0);
  EXPECT_EQ(dev->AddStatusTrigger(0), ecBadArgument);
  EXPECT_EQ(dev->AddStatusTrigger(6), ecBadArgument);
  EXPECT_EQ(dev->RemoveTrigger(999), ecBadTriggerHandle);
}

TEST_F(Triggers, SynchronizedEventsRunOnTheUiThread) {
  std::vector<std::thread::id> threads;
  dev->RegisterEventHandler(
      [&](uint32_t, uint32_t, uint32_t) { threads.push_back(std::this_thread::get_id()); }, true);
  std::thread dispatcher([&] { dev->DispatchEvent(TriggerTimerMessage, 1, 0); });
  ASSERT_TRUE(ui.RunUntil([&] { return !threads.empty(); }, 5000));
  dispatcher.join();
  EXPECT_EQ(threads[0], std::this_thread::get_id());
}

}  // namespace
}  // namespace serial::testing
