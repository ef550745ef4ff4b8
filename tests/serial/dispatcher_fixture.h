// An open fake device with an injected clock and a UI-thread queue the test drains.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "fake_device.h"
#include "platform/clock.h"
#include "platform/main_thread.h"

namespace serial::testing {

class DispatcherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetClock(&clock);
    platform::SetMainThread(&ui);
    dev = std::make_unique<FakeDevice>();
  }
  void TearDown() override {
    dev.reset();
    ui.ProcessMessages();
    platform::SetMainThread(nullptr);
    platform::SetClock(nullptr);
  }
  // Opens at 19200 8N1 with DTR and RTS on; the device starts at the same line.
  void Open(uint32_t out_size = 4096, uint32_t in_size = 4096) {
    ASSERT_EQ(dev->OpenDevice("\\\\.\\COM1", 19200, kNoParity, 8, 1, in_size, out_size,
                              doDtrOn | doRtsOn),
              0);
  }
  // The log entries queued so far, oldest first (taken out of the queue).
  struct Entry {
    uint8_t type;
    uint16_t subtype;
    uint32_t data;
    std::string payload;
  };
  std::vector<Entry> TakeLog() {
    std::vector<Entry> out;
    while (auto b = dev->LogQueue().Pop()) {
      auto* l = dynamic_cast<TLogBuffer*>(b.get());
      out.push_back({l->Type, l->Subtype, l->Data,
                     std::string(reinterpret_cast<const char*>(l->Payload.get()),
                                 static_cast<size_t>(l->Size))});
    }
    return out;
  }
  static std::string Bytes(uint32_t n, uint8_t first = 0) {
    std::string s(n, '\0');
    for (uint32_t i = 0; i < n; ++i) s[i] = static_cast<char>(first + i);
    return s;
  }

  platform::ManualClock clock{100000};
  platform::QueueMainThread ui;
  std::unique_ptr<FakeDevice> dev;
};

}  // namespace serial::testing
