#include "serial/sio_dispatcher.h"

#include <gtest/gtest.h>

#include <optional>

#include "dispatcher_fixture.h"
#include "serial/sio_errors.h"

namespace serial::testing {
namespace {

using Ring = DispatcherTest;

TEST_F(Ring, FillReceiveBufferMovesWhatFitsInOneOrTwoPieces) {
  struct Case {
    const char* name;
    uint32_t write, read;
    bool full;
    std::vector<uint32_t> queued;  // chunk sizes
    std::vector<int32_t> pieces;   // read requests made
    uint32_t new_write;
    bool new_full;
    size_t left;  // bytes still queued
  };
  const Case cases[] = {
      {"empty ring takes the first buffer", 0, 0, false, {256, 44}, {256}, 256, false, 44},
      {"end of ring fills it", 8000, 0, false, {300}, {192}, 0, true, 108},
      {"wraps to the start", 8100, 100, false, {150}, {92, 58}, 58, false, 0},
      {"empty ring near the end", 8190, 8190, false, {5}, {2, 3}, 3, false, 0},
      {"read ahead of write", 100, 200, false, {150}, {100}, 200, true, 50},
      {"full ring takes nothing", 5000, 5000, true, {10}, {}, 5000, true, 10},
      {"nothing queued", 10, 0, false, {}, {}, 10, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    dev = std::make_unique<FakeDevice>();
    Open();
    dev->SetRing(c.write, c.read, c.full);
    uint8_t next = 1;
    for (uint32_t n : c.queued) {
      dev->input.push_back(Bytes(n, next));
      next = static_cast<uint8_t>(next + n);
    }
    dev->FillReceiveBuffer();
    EXPECT_EQ(dev->read_requests, c.pieces);
    EXPECT_EQ(dev->RingWrite(), c.new_write);
    EXPECT_EQ(dev->RingFull(), c.new_full);
    EXPECT_EQ(dev->QueuedInput(), c.left);
  }
}

TEST_F(Ring, WrappedFillKeepsByteOrder) {
  Open();
  dev->SetRing(8100, 8100, false);
  dev->input.push_back(Bytes(150, 1));
  dev->FillReceiveBuffer();
  EXPECT_EQ(dev->read_requests, (std::vector<int32_t>{92, 58}));
  EXPECT_EQ(dev->RingByte(8100), 1);
  EXPECT_EQ(dev->RingByte(8191), 92);
  EXPECT_EQ(dev->RingByte(0), 93);
  EXPECT_EQ(dev->RingByte(57), 150);
  std::string got(150, '\0');
  EXPECT_EQ(dev->GetBlock(reinterpret_cast<uint8_t*>(got.data()), 150), 150);
  EXPECT_EQ(got, Bytes(150, 1));
}

TEST_F(Ring, AFailedReadMovesNothingInEitherPiece) {
  struct Case {
    const char* name;
    std::deque<std::optional<int32_t>> script;
    std::vector<int32_t> pieces;
    uint32_t new_write;
    int event_mask_calls;
  };
  const Case cases[] = {
      {"first piece fails, second not tried", {-5}, {92}, 8100, 1},
      {"second piece fails", {std::nullopt, -5}, {92, 58}, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    dev = std::make_unique<FakeDevice>();
    Open();
    dev->SetRing(8100, 100, false);
    dev->input.push_back(Bytes(150));
    dev->read_script = c.script;
    dev->InitLogging(0);
    dev->FillReceiveBuffer();
    EXPECT_EQ(dev->read_requests, c.pieces);
    EXPECT_EQ(dev->RingWrite(), c.new_write);
    EXPECT_FALSE(dev->RingFull());
    EXPECT_EQ(dev->event_mask_calls, c.event_mask_calls);
    EXPECT_EQ(dev->InBuffUsed(), static_cast<int32_t>((c.new_write + 8192 - 100) % 8192));
    for (const auto& e : TakeLog()) {
      if (e.subtype == lstReadCom) {
        EXPECT_EQ(e.data, e.payload.size());
      }
    }
  }
}

TEST_F(Ring, AFullRingIsLoggedOncePerEpisodeAndWaitsForRoom) {
  Open();
  dev->InitLogging(0);
  dev->SetRing(0, 0, true);
  dev->input.push_back(Bytes(100));
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(dev->FillReceiveBuffer());
  EXPECT_FALSE(dev->WaitForRingRoom(1));

  uint8_t buf[10];
  ASSERT_EQ(dev->GetBlock(buf, 10), 10);
  EXPECT_TRUE(dev->WaitForRingRoom(1));
  EXPECT_FALSE(dev->FillReceiveBuffer());  // 10 bytes in: full again
  EXPECT_TRUE(dev->RingFull());
  EXPECT_EQ(dev->QueuedInput(), 90u);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(dev->FillReceiveBuffer());

  int full_entries = 0;
  for (const auto& e : TakeLog()) {
    if (e.type == ltDispatch && e.subtype == lstStatus) {
      ++full_entries;
      EXPECT_EQ(e.payload, "Dispatch buffer full.");
    }
  }
  EXPECT_EQ(full_entries, 2);
}

TEST_F(Ring, GetBlockTakesAllOrNothing) {
  struct Case {
    const char* name;
    uint32_t write, read;
    bool full;
    int32_t count;
    int32_t result;
    uint32_t new_read;
    int32_t left;
  };
  const Case cases[] = {
      {"across the end", 4, 8190, false, 6, 6, 4, 0},
      {"exactly to the end", 0, 8190, false, 2, 2, 0, 0},
      {"more than held", 4, 8190, false, 7, ecBufferIsEmpty, 8190, 6},
      {"whole full ring", 100, 100, true, 8192, 8192, 100, 0},
      {"part of a full ring", 100, 100, true, 92, 92, 192, 8100},
      {"empty ring", 7, 7, false, 1, ecBufferIsEmpty, 7, 0},
      {"nothing asked", 7, 7, false, 0, 0, 7, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    dev = std::make_unique<FakeDevice>();
    Open();
    dev->SetRing(c.write, c.read, c.full);
    dev->FillRingAt(c.read, Bytes(c.count > 0 ? c.count : 0, 0x30));
    std::vector<uint8_t> buf(8192);
    EXPECT_EQ(dev->GetBlock(buf.data(), c.count), c.result);
    EXPECT_EQ(dev->RingRead(), c.new_read);
    EXPECT_EQ(dev->InBuffUsed(), c.left);
    if (c.result > 0) {
      EXPECT_EQ(std::string(buf.begin(), buf.begin() + c.result), Bytes(c.result, 0x30));
    }
  }
}

TEST_F(Ring, RingCount) {
  EXPECT_EQ(TSioBaseDispatcher::RingCount(5, 5, false), 0u);
  EXPECT_EQ(TSioBaseDispatcher::RingCount(5, 5, true), 8192u);
  EXPECT_EQ(TSioBaseDispatcher::RingCount(10, 4, false), 6u);
  EXPECT_EQ(TSioBaseDispatcher::RingCount(4, 10, false), 8186u);
}

TEST_F(Ring, FlushInQueueEmptiesRingAndDeviceInput) {
  Open();
  dev->SetRing(300, 100, false);
  dev->input.push_back("abc");
  EXPECT_EQ(dev->FlushInQueue(), 0);
  EXPECT_EQ(dev->InBuffUsed(), 0);
  EXPECT_EQ(dev->RingRead(), 300u);
  EXPECT_EQ(dev->QueuedInput(), 0u);
}

using Output = DispatcherTest;

TEST_F(Output, PutBlockChecksCopiesAndFlagsInOneStep) {
  struct Case {
    const char* name;
    int32_t already;  // bytes in the ring before
    int32_t count;
    int32_t write_limit;  // -1: all
    int32_t write_result;
    int32_t result;
    bool full;
    int32_t logged;  // bytes in the WriteCom entry; -1: no entry
  };
  const Case cases[] = {
      {"fits exactly", 0, 16, -1, 0, 0, true, 16},
      {"fits the rest exactly", 4, 12, -1, 0, 0, true, 12},
      {"fits with room", 0, 10, -1, 0, 0, false, 10},
      {"too big", 0, 17, -1, 0, ecOutputBufferTooSmall, false, -1},
      {"too big for the rest", 10, 7, -1, 0, ecOutputBufferTooSmall, false, -1},
      {"short write", 0, 16, 6, 0, ecPutBlockFail, false, 6},
      {"failed write", 0, 10, 0, -1, ecPutBlockFail, false, 0},
      {"nothing", 0, 0, -1, 0, 0, false, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    dev = std::make_unique<FakeDevice>();
    Open(16);
    std::string before = Bytes(c.already, 0x60);
    ASSERT_EQ(dev->PutBlock(reinterpret_cast<const uint8_t*>(before.data()), c.already), 0);
    dev->InitLogging(0);
    dev->write_limit = c.write_limit;
    dev->write_result = c.write_result;
    dev->error_bits = ceOverrun;
    std::string block = Bytes(c.count, 0x41);
    EXPECT_EQ(dev->PutBlock(reinterpret_cast<const uint8_t*>(block.data()), c.count), c.result);
    EXPECT_EQ(dev->OutputFull(), c.full);
    auto log = TakeLog();
    if (c.logged < 0) {
      EXPECT_TRUE(log.empty());
    } else {
      ASSERT_EQ(log.size(), 1u);
      EXPECT_EQ(log[0].subtype, lstWriteCom);
      EXPECT_EQ(log[0].data, static_cast<uint32_t>(c.logged));
      EXPECT_EQ(log[0].payload, block.substr(0, c.logged));
      EXPECT_EQ(dev->written, before + block.substr(0, c.logged));
    }
    if (c.result == ecPutBlockFail) {
      EXPECT_EQ(dev->ErrorWord(), ceOverrun);
    }
  }
}

TEST_F(Output, OutBuffUsedAndFree) {
  Open(100);
  std::string block(30, 'x');
  dev->PutBlock(reinterpret_cast<const uint8_t*>(block.data()), 30);
  EXPECT_EQ(dev->OutBuffUsed(), 30);
  EXPECT_EQ(dev->OutBuffFree(), 70);
  EXPECT_EQ(dev->FlushOutQueue(), 0);
  EXPECT_EQ(dev->OutBuffUsed(), 0);
}

using Line = DispatcherTest;

TEST_F(Line, UnchangedSettingsCauseNoDrainAndNoWrite) {
  Open();
  dev->set_state_calls = 0;
  dev->pending_output_polls = 100;
  uint64_t slept = clock.TotalSlept();
  EXPECT_EQ(dev->SetLineParams(19200, kNoParity, 8, 1), 0);
  EXPECT_EQ(dev->SetLineParams(0, 5, 9, 3), 0);  // keep everything
  EXPECT_EQ(dev->set_state_calls, 0);
  EXPECT_EQ(clock.TotalSlept(), slept);
  EXPECT_EQ(dev->pending_output_polls, 100);
}

TEST_F(Line, ASpeedChangeDrainsAndSleepsEighteenCharacterTimes) {
  struct Case {
    const char* name;
    uint32_t from, to;
    uint8_t parity;
    int polls;       // output polls before the ring is empty
    uint64_t slept;  // 2 ms per poll, then the settle pause
  };
  const Case cases[] = {
      // 10000000 div 19200 = 520; 520 * 10 bits * 18 = 93600 -> 10 ms
      {"19200 to 9600", 19200, 9600, kNoParity, 0, 10},
      {"draining first", 19200, 9600, kNoParity, 3, 6 + 10},
      // 10000000 div 9600 = 1041; * 11 * 18 = 206118 -> 21 ms
      {"from 9600 with parity", 9600, 19200, kEvenParity, 0, 21},
      // 10000000 div 256000 = 39; * 10 * 18 = 7020, doubled 14040 -> 2 ms
      {"short pause doubled", 256000, 9600, kNoParity, 0, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    dev = std::make_unique<FakeDevice>();
    // Another speed at first, so that the open writes c.from.
    dev->device_dcb.BaudRate = 1200;
    dev->device_dcb.Parity = c.parity;
    ASSERT_EQ(dev->OpenDevice("\\\\.\\COM1", c.from, c.parity, 8, 1, 4096, 4096, 0), 0);
    dev->pending_output_polls = c.polls;
    uint64_t before = clock.TotalSlept();
    EXPECT_EQ(dev->SetLineParams(c.to, c.parity, 8, 1), 0);
    EXPECT_EQ(clock.TotalSlept() - before, c.slept);
    EXPECT_EQ(dev->device_dcb.BaudRate, c.to);
    EXPECT_EQ(dev->LastBaud(), c.to);
  }
}

TEST_F(Line, StopBitsAreNormalised) {
  struct Case {
    uint32_t stop_bits, data_bits;
    uint8_t current_code;
    uint8_t code;
    uint8_t byte_size;
  };
  const Case cases[] = {
      {0, 8, kTwoStopBits, kOneStopBit, 8},  // 0 acts as 1
      {1, 8, kTwoStopBits, kOneStopBit, 8},  {2, 8, kOneStopBit, kTwoStopBits, 8},
      {7, 8, kOneStopBit, kTwoStopBits, 8},   // above 3 acts as 2
      {1, 5, kOneStopBit, kOne5StopBits, 5},  // five data bits: 1.5
      {2, 5, kOneStopBit, kOne5StopBits, 5}, {3, 5, kTwoStopBits, kOne5StopBits, 5},
      {3, 7, kTwoStopBits, kTwoStopBits, 7},  // 3 keeps the current code
      {3, 9, kTwoStopBits, kTwoStopBits, 8},  // 9 keeps the byte size
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.stop_bits << " stop, " << c.data_bits << " data");
    Open();
    dev->device_dcb.StopBits = c.current_code;
    dev->SetLineParams(0, 5, c.data_bits, c.stop_bits);
    EXPECT_EQ(dev->device_dcb.StopBits, c.code);
    EXPECT_EQ(dev->device_dcb.ByteSize, c.byte_size);
    uint32_t baud, parity, data, stop;
    dev->GetLineParams(baud, parity, data, stop);
    EXPECT_EQ(stop, c.code == kOneStopBit ? 1u : 2u);
    dev->CloseDevice();
    dev->device_dcb.ByteSize = 8;
  }
}

TEST_F(Line, SpeedZeroIsNeverApplied) {
  dev->device_dcb.BaudRate = 9600;
  Open();
  dev->device_dcb.BaudRate = 0;  // the device forgot its speed
  uint64_t before = clock.TotalSlept();
  EXPECT_EQ(dev->SetLineParams(0, kEvenParity, 9, 3), 0);
  EXPECT_EQ(dev->device_dcb.BaudRate, 19200u);
  EXPECT_EQ(dev->device_dcb.Parity, kEvenParity);
  EXPECT_EQ(dev->LastBaud(), 19200u);
  EXPECT_GE(clock.TotalSlept(), before);
  dev->device_dcb.BaudRate = 0;
  EXPECT_EQ(dev->SWFlowDisable(), 0);
  EXPECT_EQ(dev->device_dcb.BaudRate, 19200u);
}

TEST_F(Line, SetLineParamsForcesTheFlagsAndReportsDeviceFailure) {
  Open();
  dev->device_dcb.Flags = dcbParity | dcbNull | dcbDsrSensitivity;
  EXPECT_EQ(dev->SetLineParams(19200, kNoParity, 8, 1), 0);
  uint32_t f = dev->device_dcb.Flags;
  EXPECT_EQ(f & (dcbBinary | dcbTXContinueOnXoff), dcbBinary | dcbTXContinueOnXoff);
  EXPECT_EQ(f & (dcbParity | dcbNull | dcbDsrSensitivity), 0u);
  // DTR and RTS are on and not handshake lines, so they are enabled in the settings.
  EXPECT_EQ(f & dcbDtrControlMask, dcbDtrEnable);
  EXPECT_EQ(f & dcbRtsControlMask, dcbRtsEnable);

  dev->set_state_result = -87;
  EXPECT_EQ(dev->SetLineParams(4800, kNoParity, 8, 1), -87);
}

TEST(ActualBaud, CodesAndPlainRates) {
  EXPECT_EQ(TSioBaseDispatcher::ActualBaud(0xFEFF), 115200u);
  EXPECT_EQ(TSioBaseDispatcher::ActualBaud(0xFF10), 110u);
  EXPECT_EQ(TSioBaseDispatcher::ActualBaud(0xFF16), 9600u);
  EXPECT_EQ(TSioBaseDispatcher::ActualBaud(0xFF1B), 38400u);
  EXPECT_EQ(TSioBaseDispatcher::ActualBaud(0xFF27), 256000u);
  EXPECT_EQ(TSioBaseDispatcher::ActualBaud(0xFF19), 0xFF19u);  // empty table entry
  EXPECT_EQ(TSioBaseDispatcher::ActualBaud(4800), 4800u);
}

TEST_F(Line, DtrAndRts) {
  ASSERT_EQ(dev->OpenDevice("x", 19200, kNoParity, 8, 1, 4096, 4096, doDtrHandshake | doRtsOn), 0);
  dev->escapes.clear();
  EXPECT_EQ(dev->SetDTR(false), 1);  // a handshake line is left alone
  EXPECT_TRUE(dev->escapes.empty());
  EXPECT_EQ(dev->SetRTS(false), 0);
  EXPECT_EQ(dev->escapes, std::vector<int32_t>{escClrRts});
  dev->escape_result = -1;
  EXPECT_EQ(dev->SetRTS(true), ecBadArgument);
  EXPECT_TRUE(dev->RtsState());  // stored whatever the result
}

TEST_F(Line, LineErrorCodes) {
  struct Case {
    int32_t bits;
    int32_t code;
    int32_t word_after;
    bool line_break;
  };
  const Case cases[] = {
      {0x12, 2, 0x10, true}, {0x01, 1, 0, false},   {0x0C, 3, 0, false},
      {0x08, 4, 0, false},   {0x10, 9, 0x10, true}, {0x00, 0, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bits);
    Open();
    dev->error_bits = c.bits;
    dev->RefreshLineErrors();
    dev->error_bits = 0;
    EXPECT_EQ(dev->GetLineError(), c.code);
    EXPECT_EQ(dev->ErrorWord(), c.word_after);
    EXPECT_EQ(dev->CheckLineBreak(), c.line_break);
    EXPECT_EQ(dev->ErrorWord(), 0);
    dev->CloseDevice();
  }
  Open();
  dev->ThreadFinished(TSioThreadKind::Read, ecDeviceRead);
  EXPECT_EQ(dev->ErrorWord(), -1);
  EXPECT_EQ(dev->GetLineError(), 10);
  EXPECT_EQ(dev->ErrorWord(), 0);
}

TEST_F(Line, ModemStatusKeepsDeltasUntilPolled) {
  dev->modem_lines = msCTS | msDSR;
  Open();
  EXPECT_EQ(dev->GetModemStatus(0xFF), msCTS | msDSR);
  dev->modem_lines = msDSR | msDCD;
  dev->UpdateModemStatus();
  EXPECT_EQ(dev->GetModemStatus(0xFF), msDSR | msDCD | msDCTS | msDDCD);
  EXPECT_EQ(dev->PollModemStatus(), msDSR | msDCD | msDCTS | msDDCD);
  EXPECT_EQ(dev->GetModemStatus(0xFF), msDSR | msDCD);  // the poll cleared the deltas
  dev->SetRingPending();
  EXPECT_EQ(dev->GetModemStatus(0xFF), msDSR | msDCD | msTERI);
}

TEST_F(Line, FlowControl) {
  Open(4096, 4096);
  EXPECT_EQ(dev->SetHWFlowOptions(100, 200, hfUseRTS), ecBadArgument);
  EXPECT_EQ(dev->SetHWFlowOptions(5000, 10, hfUseRTS), ecBadArgument);
  EXPECT_EQ(dev->SetSWFlowOptions(100, 200, sfReceiveFlow), ecBadArgument);

  EXPECT_EQ(dev->SetHWFlowOptions(3686, 409, hfUseRTS | hfRequireCTS), 0);
  const TDCB& d = dev->device_dcb;
  EXPECT_EQ(d.Flags & dcbRtsControlMask, dcbRtsHandshake);
  EXPECT_EQ(d.Flags & dcbDtrControlMask, dcbDtrEnable);
  EXPECT_TRUE(d.Flags & dcbOutxCtsFlow);
  EXPECT_FALSE(d.Flags & dcbOutxDsrFlow);
  EXPECT_EQ(d.XoffLim, 410);
  EXPECT_EQ(d.XonLim, 409);
  EXPECT_EQ(dev->SetRTS(false), 1);

  EXPECT_EQ(dev->SetSWFlowOptions(3072, 1024, sfReceiveFlow | sfTransmitFlow), 0);
  uint32_t hw, sw;
  char xoff, xon;
  dev->GetFlowOptions(hw, sw, xoff, xon);
  EXPECT_EQ(hw, hfUseRTS | hfRequireCTS);
  EXPECT_EQ(sw, sfReceiveFlow | sfTransmitFlow);
  EXPECT_EQ(xon, 17);
  EXPECT_EQ(xoff, 19);
  EXPECT_EQ(dev->device_dcb.XoffLim, 1024);

  EXPECT_EQ(dev->SetFlowChars('a', 'b'), 0);
  EXPECT_EQ(dev->SWFlowDisable(), 0);
  dev->GetFlowOptions(hw, sw, xoff, xon);
  EXPECT_EQ(sw, 0u);
  EXPECT_EQ(xon, 'a');
  EXPECT_EQ(xoff, 'b');

  dev->SetRS485Mode(true);
  EXPECT_EQ(dev->SetHWFlowOptions(3686, 409, 0), 0);
  EXPECT_EQ(dev->device_dcb.Flags & dcbRtsControlMask, dcbRtsToggle);
}

using Lifecycle = DispatcherTest;

TEST_F(Lifecycle, OpenFailuresCloseAgainAndReportTheCode) {
  struct Case {
    const char* name;
    int32_t open_result;
    uint32_t open_error;
    bool setup_ok;
    int32_t result;
  };
  const Case cases[] = {
      {"no such port", -1, 2, true, -2},          {"busy", -1, 5, true, -5},
      {"out of memory", -8, 8, true, -8},         {"failure without a reason", -1, 0, true, -1},
      {"queue sizes refused", 3, 87, false, -87},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    dev = std::make_unique<FakeDevice>();
    dev->open_result = c.open_result;
    dev->open_error = c.open_error;
    dev->setup_ok = c.setup_ok;
    EXPECT_EQ(dev->OpenDevice("x", 19200, kNoParity, 8, 1, 4096, 4096, 0), c.result);
    EXPECT_EQ(dev->start_threads_calls, 0);
    uint8_t b = 0;
    EXPECT_EQ(dev->PutBlock(&b, 1), ecCommNotOpen);  // rings released
    EXPECT_EQ(dev->InBuffUsed(), 0);
  }
}

TEST_F(Lifecycle, OpenSetsTheLineAndStartsThreads) {
  dev->device_dcb.BaudRate = 9600;
  dev->device_dcb.Parity = kOddParity;
  ASSERT_EQ(dev->OpenDevice("\\\\.\\COM3", 19200, kNoParity, 8, 1, 1024, 512, doDtrOn), 0);
  EXPECT_EQ(dev->start_threads_calls, 1);
  EXPECT_EQ(dev->device_dcb.BaudRate, 19200u);
  EXPECT_EQ(dev->device_dcb.Parity, kNoParity);
  EXPECT_TRUE(dev->DtrState());
  EXPECT_FALSE(dev->RtsState());
  EXPECT_EQ(dev->OutputSize(), 512u);
  EXPECT_EQ(dev->DeviceName(), "\\\\.\\COM3");
  EXPECT_EQ(dev->AvailTriggerLength(), 0u);
  EXPECT_FALSE(dev->LoggingOn());
  dev->CloseDevice();
  EXPECT_EQ(dev->DeviceHandle(), -1);
  EXPECT_EQ(dev->flush_calls[0], 1);
  EXPECT_EQ(dev->flush_calls[1], 1);
}

TEST_F(Lifecycle, AThreadFailureIsShownOnTheUiThread) {
  Open();
  std::vector<std::string> shown;
  SetExceptionDisplay([&](std::exception_ptr e) {
    try {
      std::rethrow_exception(e);
    } catch (const ETapiNoMem& x) {
      shown.push_back(x.what());
    } catch (...) {
      shown.push_back("other");
    }
  });
  dev->ThreadStarted(TSioThreadKind::Read);
  EXPECT_TRUE(dev->ThreadPresent(TSioThreadKind::Read));
  EXPECT_EQ(dev->ActiveThreadCount(), 1);
  std::thread reader([&] { dev->ThreadFinished(TSioThreadKind::Read, ecTapiNoMem); });
  reader.join();
  EXPECT_TRUE(shown.empty());  // not on the reader
  ui.ProcessMessages();
  EXPECT_EQ(shown, std::vector<std::string>{"No memory"});
  EXPECT_FALSE(dev->ThreadPresent(TSioThreadKind::Read));
  EXPECT_EQ(dev->ActiveThreadCount(), 0);
  SetExceptionDisplay(nullptr);
}

TEST_F(Lifecycle, HandlesReuseTheFirstFreeSlot) {
  auto a = std::make_unique<FakeDevice>();
  auto b = std::make_unique<FakeDevice>();
  auto c = std::make_unique<FakeDevice>();
  int32_t hb = b->Handle();
  EXPECT_EQ(LookupDispatcher(hb), b.get());
  b.reset();
  EXPECT_EQ(LookupDispatcher(hb), nullptr);
  auto d = std::make_unique<FakeDevice>();
  EXPECT_EQ(d->Handle(), hb);
  EXPECT_EQ(LookupDispatcher(hb), d.get());
  int32_t count = PortListCount();
  c.reset();
  d.reset();
  EXPECT_LT(PortListCount(), count);  // trailing empty slots go
}

}  // namespace
}  // namespace serial::testing
