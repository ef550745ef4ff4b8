#include "serial/sio_buffers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace serial {
namespace {

std::unique_ptr<TDataBuffer> Data(int32_t size, int32_t used = 0) {
  auto b = std::make_unique<TDataBuffer>(size);
  b->Used = used;
  return b;
}

TEST(TIOQueue, CountsCapacityNotBytesFilled) {
  TIOQueue q;
  q.Push(Data(256, 10));
  EXPECT_EQ(q.BytesQueued(), 256);
  q.Push(std::make_unique<TStatusBuffer>());
  q.Push(std::make_unique<TLogBuffer>(19, 0, 5, 0, nullptr, 0));
  EXPECT_EQ(q.BytesQueued(), 256);  // status and empty log entries add nothing
  EXPECT_EQ(q.Count(), 3);
  auto first = q.Pop();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->Size, 256);
  EXPECT_EQ(q.BytesQueued(), 0);
}

TEST(TIOQueue, BuffersAreFreshAndLogPayloadIsCopied) {
  TDataBuffer d(8);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(d.Data[i], 0);
  EXPECT_EQ(d.Used, 0);
  EXPECT_EQ(d.Read, 0);

  char text[] = "abc";
  TLogBuffer l(1, 2, 3, 4, text, 3);
  text[0] = 'x';
  EXPECT_EQ(l.Size, 3);
  EXPECT_EQ(l.Payload[0], 'a');
  TLogBuffer empty(1, 2, 3, 4, text, 0);
  EXPECT_EQ(empty.Payload, nullptr);
}

TEST(TIOQueue, PeekHoldsTheFirstBufferUntilReleasedOrPopped) {
  TIOQueue q;
  EXPECT_EQ(q.Peek(), nullptr);
  EXPECT_EQ(q.Pop(), nullptr);
  q.Push(Data(16));
  q.Push(Data(32));
  TIOBuffer* held = q.Peek();
  ASSERT_NE(held, nullptr);
  EXPECT_TRUE(held->InUse);
  EXPECT_EQ(q.Peek(), nullptr);  // second look while held
  held->InUse = false;
  EXPECT_EQ(q.Peek(), held);
  auto popped = q.Pop();
  EXPECT_EQ(popped.get(), held);
  EXPECT_EQ(q.BytesQueued(), 32);
}

TEST(TIOQueue, ClearLeavesTheHeldBuffer) {
  TIOQueue q;
  q.Push(Data(100));
  q.Push(Data(200));
  q.Push(std::make_unique<TStatusBuffer>());
  q.Push(Data(300));
  TIOBuffer* held = q.Peek();
  q.Clear();
  EXPECT_EQ(q.Count(), 1);
  EXPECT_EQ(q.BytesQueued(), 100);
  held->InUse = false;
  EXPECT_EQ(q.Peek(), held);
  held->InUse = false;
  q.Clear();
  EXPECT_EQ(q.Count(), 0);
  EXPECT_EQ(q.BytesQueued(), 0);
}

TEST(TIOQueue, WaitForData) {
  TIOQueue q;
  EXPECT_EQ(q.WaitForData(1), kWaitTimeout);
  q.Push(Data(4));
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(q.WaitForData(50), kWaitObject0);
  // The push signalled the event too; a queue that still holds data answers at once.
  EXPECT_EQ(q.WaitForData(50), kWaitObject0);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(40));

  TIOQueue later;
  std::thread producer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    later.Push(Data(4));
  });
  EXPECT_EQ(later.WaitForData(5000), kWaitObject0);
  producer.join();
}

TEST(TIOQueue, ProducersAndConsumerKeepCountsConsistent) {
  TIOQueue q;
  constexpr int kPerProducer = 2000;
  std::atomic<int> done{0};
  auto produce = [&] {
    for (int i = 0; i < kPerProducer; ++i) q.Push(Data(8));
    ++done;
  };
  std::thread a(produce), b(produce);
  int taken = 0;
  while (taken < 2 * kPerProducer) {
    if (q.WaitForData(100) != kWaitObject0) continue;
    if (TIOBuffer* p = q.Peek()) {
      p->InUse = false;
      if (q.Pop()) ++taken;
    }
  }
  a.join();
  b.join();
  EXPECT_EQ(q.BytesQueued(), 0);
  EXPECT_EQ(q.Count(), 0);
}

TEST(TSioEvent, AutoResetWakesOnceManualStays) {
  TSioEvent autoev(false, true);
  EXPECT_EQ(autoev.Wait(0), kWaitObject0);
  EXPECT_EQ(autoev.Wait(0), kWaitTimeout);
  TSioEvent manual(true, true);
  EXPECT_EQ(manual.Wait(0), kWaitObject0);
  EXPECT_EQ(manual.Wait(0), kWaitObject0);
  manual.Reset();
  EXPECT_EQ(manual.Wait(0), kWaitTimeout);
}

TEST(TSioEvent, WaitForAnyNamesTheSignalledEvent) {
  TSioEvent a, b;
  EXPECT_EQ(TSioEvent::WaitForAny({&a, &b}, 1), kWaitTimeout);
  b.Set();
  EXPECT_EQ(TSioEvent::WaitForAny({&a, &b}, 0), kWaitObject0 + 1);
  EXPECT_FALSE(b.IsSet());  // consumed
  std::thread setter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    a.Set();
  });
  EXPECT_EQ(TSioEvent::WaitForAny({&a, &b}, 5000), kWaitObject0);
  setter.join();
}

}  // namespace
}  // namespace serial
