// The port component: defaults, the setter rules while closed, the log state
// machine as the device link drives it, and closing in its awkward moments.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "pty_fixture.h"
#include "serial/sio_port.h"
#include "serial/sio_win32_dispatcher.h"

namespace serial::testing {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(PortDefaults, AsCreated) {
  TSioComPort p;
  EXPECT_EQ(p.Version(), "v1.00");
  p.SetVersion("v9");
  EXPECT_EQ(p.Version(), "v1.00");
  EXPECT_EQ(p.DeviceLayer(), dlWin32);
  EXPECT_EQ(p.ComNumber(), 0);
  EXPECT_EQ(p.Baud(), 19200);
  EXPECT_TRUE(p.PromptForPort());
  EXPECT_EQ(p.Parity(), pNone);
  EXPECT_EQ(p.DataBits(), 8);
  EXPECT_EQ(p.StopBits(), 1);
  EXPECT_EQ(p.InSize(), 4096);
  EXPECT_EQ(p.OutSize(), 4096);
  EXPECT_TRUE(p.AutoOpen());
  EXPECT_FALSE(p.Open());
  EXPECT_TRUE(p.DTR());
  EXPECT_TRUE(p.RTS());
  EXPECT_TRUE(p.HWFlowOptions().Empty());
  EXPECT_EQ(p.SWFlowOptions(), swfNone);
  EXPECT_EQ(p.XOnChar(), 17);
  EXPECT_EQ(p.XOffChar(), 19);
  EXPECT_EQ(p.BufferFull(), 0);
  EXPECT_EQ(p.BufferResume(), 0);
  EXPECT_EQ(p.Tracing(), tlOff);
  EXPECT_EQ(p.TraceSize(), 10000u);
  EXPECT_EQ(p.TraceName, "SERIAL.TRC");
  EXPECT_TRUE(p.TraceHex);
  EXPECT_FALSE(p.TraceAllHex);
  EXPECT_EQ(p.Logging(), tlOff);
  EXPECT_EQ(p.LogSize(), 10000u);
  EXPECT_EQ(p.LogName, "SERIAL.LOG");
  EXPECT_TRUE(p.LogHex);
  EXPECT_FALSE(p.LogAllHex);
  EXPECT_TRUE(p.UseMSRShadow());
  EXPECT_TRUE(p.UseEventWord());
  EXPECT_EQ(p.CommNotificationLevel(), 10);
  EXPECT_EQ(p.TapiMode(), tmAuto);
  EXPECT_FALSE(p.RS485Mode());
  EXPECT_EQ(p.AvailTriggerLength(), 1);
  EXPECT_EQ(p.PriorityBoost(), 0);
  EXPECT_EQ(p.PortPhase(), ppClosed);
}

TEST(PortSettersWhileClosed, StoreByTheirRules) {
  TSioComPort p;
  struct StateCase {
    TTraceLogState set;
    TTraceLogState stored;
  } states[] = {{tlOn, tlOn},     {tlDump, tlOff},  {tlAppend, tlOff},
                {tlPause, tlOff}, {tlClear, tlOff}, {tlAppendAndContinue, tlOff},
                {tlOff, tlOff}};
  for (const StateCase& c : states) {
    p.SetLogging(tlOn);
    p.SetLogging(c.set);
    EXPECT_EQ(p.Logging(), c.stored) << c.set;
    p.SetTracing(tlOn);
    p.SetTracing(c.set);
    EXPECT_EQ(p.Tracing(), c.stored) << c.set;
  }
  p.SetLogSize(20000000);
  EXPECT_EQ(p.LogSize(), 16000000u);
  p.SetTraceSize(5000000);
  EXPECT_EQ(p.TraceSize(), 4000000u);

  // Flow-control limits.
  p.SetBufferFull(5000);  // no flow option: only the cut above InSize
  EXPECT_EQ(p.BufferFull(), 4500);
  p.SetBufferResume(4600);
  EXPECT_EQ(p.BufferResume(), 450);
  p.SetBufferFull(0);
  p.SetBufferResume(0);
  p.SetHWFlowOptions({hwfRequireDSR});
  EXPECT_EQ(p.BufferFull(), 3686);
  EXPECT_EQ(p.BufferResume(), 409);
  EXPECT_EQ(p.HWFlowOptions().Bits(), 0x04u);
  TSioComPort s;
  s.SetSWFlowOptions(swfBoth);
  EXPECT_EQ(s.BufferFull(), 3072);
  EXPECT_EQ(s.BufferResume(), 1024);

  // RS485 and the RTS line exclude each other.
  p.SetHWFlowOptions({hwfUseDTR, hwfUseRTS, hwfRequireCTS});
  p.SetRS485Mode(true);
  EXPECT_EQ(p.HWFlowOptions(), (THWFlowOptionSet{hwfUseDTR}));
  EXPECT_FALSE(p.RTS());
  p.SetHWFlowOptions({hwfRequireCTS});
  EXPECT_FALSE(p.RS485Mode());

  p.SetDeviceLayer(dlWinsock);
  EXPECT_EQ(p.DeviceLayer(), dlWin32);

  // Counts of a closed port are 0 and do not open it.
  p.SetComNumber(7);
  EXPECT_EQ(p.BytesAvailable(), 0);
  EXPECT_EQ(p.BytesPending(), 0);
  EXPECT_FALSE(p.Open());
  p.SetAutoOpen(false);
  EXPECT_THROW(p.WriteText("x"), ECommNotOpen);
  std::vector<uint8_t> buf(1);
  EXPECT_THROW(p.ReadBlock(buf, 1), ECommNotOpen);
}

class PortLogTest : public PtyPortTest {
 protected:
  void SetUp() override {
    PtyPortTest::SetUp();
    Link(1, pty.SlaveName());
    port.SetComNumber(1);
    port.LogName = home.Temp() / "2024-01-01-rs232.log";
  }
  // One exchange as the device link runs it: request out, reply in.
  void Exchange(const std::string& request, const std::string& reply, const std::string& note) {
    port.SetLogging(tlOn);
    port.WriteText(request);
    ASSERT_EQ(pty.Read(request.size()), request);
    if (!reply.empty()) {
      pty.Write(reply);
      ASSERT_TRUE(WaitFor(ui, [&] { return port.BytesAvailable() == reply.size(); }));
      std::vector<uint8_t> got(255);
      port.ReadBlock(got, static_cast<uint32_t>(reply.size()));
    }
    port.AddLogText(note);
  }
  // The log with what depends on the build, the machine and the time masked.
  std::string MaskedLog() {
    std::string text = ReadFile(port.LogName);
    std::string out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
      for (const char* prefix : {"Compiler : ", "Operating System : ", "Date/time: "}) {
        if (line.rfind(prefix, 0) == 0) line = std::string(prefix) + "*";
      }
      // Entry lines begin with the time since the open, right-aligned in 8 columns.
      if (line.size() > 10 && line[4] == '.' && line.substr(8, 2) == "  ") {
        line = "########" + line.substr(8);
      }
      out += line + "\n";
    }
    return out;
  }

  PtyPair pty;
  TSioComPort port;
};

TEST_F(PortLogTest, ExchangesAreDroppedOrAppendedToTheDaysFile) {
  port.SetOpen(true);
  Exchange("\x05\x01", "", "dropped: no answer");
  port.SetLogging(tlOff);
  EXPECT_EQ(port.Logging(), tlOff);
  EXPECT_FALSE(platform::testing::Exists(port.LogName));

  Exchange(std::string("\x02\x10\x00", 3), "OK",
           "kept 1 \xC2\xB0"
           "C");
  port.SetLogging(tlAppend);
  EXPECT_EQ(port.Logging(), tlOff);
  Exchange("Z", "", "kept 2");
  port.SetLogging(tlAppend);
  port.SetOpen(false);

  const std::string golden = ReadFile(std::string(VANDREL_TEST_DATA) + "/port_exchange_log.golden");
  EXPECT_EQ(MaskedLog(), golden);
}

TEST_F(PortLogTest, ClosingAppendsALiveLogInsteadOfTruncatingTheFile) {
  platform::testing::WriteBytes(port.LogName, "earlier exchanges\r\n");
  port.SetOpen(true);
  Exchange("A", "", "live-at-close");
  port.SetOpen(false);
  const std::string text = ReadFile(port.LogName);
  EXPECT_EQ(text.rfind("earlier exchanges\r\n", 0), 0u);
  EXPECT_NE(text.find("live-at-close"), std::string::npos);
  EXPECT_EQ(port.Logging(), tlOff);
}

TEST_F(PortLogTest, AFailedLogWriteAtCloseIsRaisedAfterTheCloseCompleted) {
  port.LogName = home.Temp() / "no-such-folder/serial.log";
  port.SetOpen(true);  // what the first threads of a process bring along stays
  port.SetOpen(false);
  const int tasks = CountEntries("/proc/self/task");
  port.SetOpen(true);
  Exchange("A", "", "cannot be written");
  EXPECT_THROW(port.SetOpen(false), EInOutError);
  EXPECT_FALSE(port.Open());
  EXPECT_EQ(port.Dispatcher(), nullptr);
  EXPECT_EQ(CountEntries("/proc/self/task"), tasks);
  // The port opens again, and a destructor that meets the same failure only reports it.
  {
    TSioComPort other;
    other.SetComNumber(1);
    other.LogName = port.LogName;
    other.SetOpen(true);
    other.SetLogging(tlOn);
    other.AddLogText("x");
  }
  EXPECT_EQ(shown.size(), 1u);
}

TEST_F(PortLogTest, TheTraceRecordsBytesByDirectionAndDumpsThemAtClose) {
  port.TraceName = home.Temp() / "serial.trc";
  port.SetOpen(true);
  port.SetTracing(tlOn);
  Exchange("AB", "ok\x01", "");
  port.SetOpen(false);
  EXPECT_EQ(ReadFile(port.TraceName),
            "\r\nTransmit: AB\r\n\r\nReceive: ok[01]");
  EXPECT_EQ(port.Tracing(), tlOff);
}

TEST_F(PortLogTest, ADataOperationOnAClosedPortOpensIt) {
  std::vector<uint8_t> buf(8);
  EXPECT_THROW(port.ReadBlock(buf, 8), EBufferIsEmpty);
  EXPECT_TRUE(port.Open());
}

TEST_F(PortLogTest, ClosingFromATriggerHandlerCompletesAfterTheHandler) {
  std::vector<std::string> steps;
  port.OnPortClose = [&](TSioCustomComPort*) { steps.push_back("closed event"); };
  port.SetOnTriggerAvail([&](TSioCustomComPort* p, uint16_t) {
    steps.push_back("handler");
    p->SetOpen(false);
    steps.push_back(p->PortPhase() == ppClosing ? "closing" : "other");
  });
  port.SetOpen(true);
  pty.Write("x");
  ASSERT_TRUE(WaitFor(ui, [&] { return port.PortPhase() == ppClosed; }));
  EXPECT_FALSE(port.Open());
  EXPECT_EQ(port.Dispatcher(), nullptr);
  EXPECT_EQ(steps, (std::vector<std::string>{"handler", "closed event", "closing"}));
  // And the line is free again.
  TSioComPort again;
  again.SetComNumber(1);
  again.SetOpen(true);
  EXPECT_TRUE(again.Open());
}

}  // namespace
}  // namespace serial::testing
