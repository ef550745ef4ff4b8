#include "platform/main_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace platform {
namespace {

using namespace std::chrono_literals;

TEST(QueueMainThread, PostRunsOnProcessMessagesInOrder) {
  QueueMainThread ui;
  std::vector<int> ran;
  for (int i = 1; i <= 3; ++i) ui.Post([&ran, i] { ran.push_back(i); });
  EXPECT_TRUE(ran.empty()) << "Post returns at once";
  EXPECT_EQ(ui.Pending(), 3u);
  ui.ProcessMessages();
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(ui.Pending(), 0u);
  ui.ProcessMessages();
  EXPECT_EQ(ran.size(), 3u);
}

TEST(QueueMainThread, PostsFromAnotherThreadKeepTheirOrder) {
  QueueMainThread ui;
  std::vector<int> ran;
  std::thread poster([&] {
    for (int i = 0; i < 1000; ++i) ui.Post([&ran, i] { ran.push_back(i); });
  });
  poster.join();
  ui.ProcessMessages();
  ASSERT_EQ(ran.size(), 1000u);
  for (int i = 0; i < 1000; ++i) EXPECT_EQ(ran[i], i);
}

TEST(QueueMainThread, ProcessMessagesRunsOnlyWhatIsPendingNow) {
  QueueMainThread ui;
  int runs = 0;
  std::function<void()> again = [&] {
    ++runs;
    ui.Post(again);  // posts itself: must wait for the next round
  };
  ui.Post(again);
  ui.ProcessMessages();
  EXPECT_EQ(runs, 1);
  ui.ProcessMessages();
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(ui.Pending(), 1u);
}

// A call that waits and pumps messages (as every device exchange does) must not let
// later calls overtake earlier ones.
TEST(QueueMainThread, NestedProcessMessagesKeepsTheOrder) {
  QueueMainThread ui;
  std::vector<std::string> ran;
  ui.Post([&] {
    ran.push_back("A");
    ui.Post([&] { ran.push_back("D"); });
    ui.ProcessMessages();
  });
  ui.Post([&] { ran.push_back("B"); });
  ui.Post([&] { ran.push_back("C"); });
  ui.ProcessMessages();
  EXPECT_EQ(ran, (std::vector<std::string>{"A", "B", "C", "D"}));
  EXPECT_EQ(ui.Pending(), 0u);
}

TEST(QueueMainThread, ThrowingCallLeavesTheRestQueued) {
  QueueMainThread ui;
  std::vector<int> ran;
  ui.Post([&] { ran.push_back(1); });
  ui.Post([] { throw std::runtime_error("handler failed"); });
  ui.Post([&] { ran.push_back(3); });
  EXPECT_THROW(ui.ProcessMessages(), std::runtime_error);
  EXPECT_EQ(ran, (std::vector<int>{1}));
  EXPECT_EQ(ui.Pending(), 1u);
  ui.ProcessMessages();
  EXPECT_EQ(ran, (std::vector<int>{1, 3}));
}

TEST(QueueMainThread, SendFromAnotherThreadRunsOnTheUiThread) {
  QueueMainThread ui;
  const auto ui_id = std::this_thread::get_id();
  std::thread::id ran_on;
  bool was_ui = false;
  std::atomic<bool> sent{false};
  std::atomic<bool> result{false};
  std::thread sender([&] {
    result = ui.Send(
        [&] {
          ran_on = std::this_thread::get_id();
          was_ui = ui.IsUiThread();
        },
        10000);
    sent = true;
  });
  EXPECT_TRUE(ui.RunUntil([&] { return sent.load(); }, 10000));
  sender.join();
  EXPECT_TRUE(result);
  EXPECT_EQ(ran_on, ui_id);
  EXPECT_TRUE(was_ui);
}

TEST(QueueMainThread, SendTimesOutAndNeverRunsLater) {
  QueueMainThread ui;
  std::atomic<bool> ran{false};
  bool result = true;
  const auto start = std::chrono::steady_clock::now();
  std::thread sender([&] { result = ui.Send([&] { ran = true; }, 50); });
  sender.join();  // the UI thread processes nothing meanwhile
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_FALSE(result);
  EXPECT_GE(waited, 45ms);
  EXPECT_LT(waited, 5000ms);
  ui.ProcessMessages();
  ui.ProcessMessages();
  EXPECT_FALSE(ran) << "a call that timed out must never run";
  EXPECT_EQ(ui.Pending(), 0u);
}

TEST(QueueMainThread, SendFromTheUiThreadRunsAtOnce) {
  QueueMainThread ui;
  ui.Post([] {});
  int ran = 0;
  EXPECT_TRUE(ui.Send([&] { ++ran; }, 0));
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(ui.Pending(), 1u) << "it does not go through the queue";
}

// Once the call has started it is waited for, even past the time-out, since it may
// use what the sender lent it.
TEST(QueueMainThread, SendWaitsForACallThatHasStarted) {
  QueueMainThread ui;
  std::atomic<bool> started{false};
  std::atomic<bool> finished{false};
  std::atomic<bool> sent{false};
  bool result = false;
  std::thread sender([&] {
    result = ui.Send(
        [&] {
          started = true;
          std::this_thread::sleep_for(600ms);
          finished = true;
        },
        300);
    sent = true;
  });
  ASSERT_TRUE(ui.RunUntil([&] { return started.load(); }, 10000));
  sender.join();
  EXPECT_TRUE(result);
  EXPECT_TRUE(finished);
}

TEST(QueueMainThread, SentCallThatThrowsReleasesTheSender) {
  QueueMainThread ui;
  auto sent = std::make_shared<std::atomic<bool>>(false);
  std::thread sender([&ui, sent] {
    ui.Send([] { throw std::runtime_error("handler failed"); }, 10000);
    *sent = true;
  });
  bool thrown = false;
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!thrown && std::chrono::steady_clock::now() < deadline) {
    try {
      ui.ProcessMessages();
    } catch (const std::runtime_error&) {
      thrown = true;
    }
    std::this_thread::sleep_for(1ms);
  }
  EXPECT_TRUE(thrown);
  while (!*sent && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
  ASSERT_TRUE(*sent) << "the sender still waits";
  sender.join();
}

TEST(QueueMainThread, ManySendersAtOnce) {
  QueueMainThread ui;
  int count = 0;  // touched on the UI thread only
  std::atomic<int> done{0};
  std::atomic<int> failed{0};
  std::vector<std::thread> senders;
  for (int t = 0; t < 4; ++t) {
    senders.emplace_back([&] {
      for (int i = 0; i < 50; ++i) {
        if (!ui.Send([&] { ++count; }, 10000)) ++failed;
        if (i % 10 == 0) ui.Post([&] { ++count; });
      }
      ++done;
    });
  }
  EXPECT_TRUE(ui.RunUntil([&] { return done.load() == 4; }, 20000));
  for (auto& s : senders) s.join();
  ui.ProcessMessages();
  EXPECT_EQ(failed.load(), 0);
  EXPECT_EQ(count, 4 * 50 + 4 * 5);
}

TEST(QueueMainThread, IsUiThread) {
  QueueMainThread ui;
  EXPECT_TRUE(ui.IsUiThread());
  bool elsewhere = true;
  std::thread([&] { elsewhere = ui.IsUiThread(); }).join();
  EXPECT_FALSE(elsewhere);

  std::unique_ptr<QueueMainThread> other;
  std::thread([&] { other = std::make_unique<QueueMainThread>(); }).join();
  EXPECT_FALSE(other->IsUiThread()) << "the UI thread is the one that created it";
}

TEST(QueueMainThread, RunUntilGivesUp) {
  QueueMainThread ui;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(ui.RunUntil([] { return false; }, 30));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 25ms);
}

TEST(MainThread, InstalledImplementationIsUsed) {
  QueueMainThread ui;
  SetMainThread(&ui);
  EXPECT_EQ(&GetMainThread(), &ui);
  bool ran = false;
  GetMainThread().Post([&] { ran = true; });
  ProcessMessages();
  EXPECT_TRUE(ran);
  SetMainThread(nullptr);
  EXPECT_NE(&GetMainThread(), &ui);
  EXPECT_EQ(&GetMainThread(), &GetMainThread()) << "one default for the process";
}

}  // namespace
}  // namespace platform
