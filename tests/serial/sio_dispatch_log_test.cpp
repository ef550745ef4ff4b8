#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/utsname.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "dispatcher_fixture.h"

namespace serial::testing {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2) {
    lines.push_back(text.substr(start, at - start));
  }
  EXPECT_EQ(start, text.size()) << "text after the last CR LF";
  return lines;
}

// Masks what depends on the build, the machine and the time of day.
std::string Masked(const std::string& text) {
  std::string out;
  bool body = false;
  for (std::string line : SplitCrLf(text)) {
    for (const char* prefix : {"Compiler : ", "Operating System : ", "Date/time: "}) {
      if (line.rfind(prefix, 0) == 0) line = std::string(prefix) + "*";
    }
    if (body && !line.empty() && line[0] != ' ') line.replace(0, 8, "########");
    if (line.rfind("--------  ", 0) == 0) body = true;
    out += line + "\r\n";
  }
  return out;
}

class DispatchLog : public DispatcherTest {
 protected:
  void SetUp() override {
    DispatcherTest::SetUp();
    dir = fs::temp_directory_path() /
          ("sio_log_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    Open();
  }
  void TearDown() override {
    fs::remove_all(dir);
    DispatcherTest::TearDown();
  }
  void Send(const std::string& bytes) {
    ASSERT_EQ(dev->PutBlock(reinterpret_cast<const uint8_t*>(bytes.data()),
                            static_cast<int32_t>(bytes.size())),
              0);
    dev->FlushOutQueue();
  }
  void Receive(const std::string& bytes) {
    dev->input.push_back(bytes);
    dev->FillReceiveBuffer();
    dev->CheckReceivedData();
  }
  // What the device link's trace produces in one exchange and a longer one.
  void LogAnExchange() {
    dev->FlushInQueue();
    RecordingPortWindow();
    dev->SetAvailTriggerLength(1);
    dev->InitLogging(0);
    clock.Advance(12);
    dev->LogUserText("Send block 7");
    Send(std::string("\x02\x41\x20\x0D\xFF", 5));
    clock.Advance(30);
    Receive(std::string("\x06OK 1\r"));
    Receive("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn");
    Send(Bytes(20, 0));
  }
  void RecordingPortWindow() {
    dev->RegisterWindowHandler(&window);
    dev->SetHandlerMode(2);
  }
  struct Window : TSioWindow {
    void WindowProc(uint32_t, uint32_t, uint32_t) override {}
  } window;
  fs::path dir;
};

TEST_F(DispatchLog, GoldenFiles) {
  struct Case {
    const char* golden;
    bool hex, all_hex;
  };
  for (const Case& c :
       {Case{"dispatch_log_hex.log", true, false}, Case{"dispatch_log_all_hex.log", true, true}}) {
    SCOPED_TRACE(c.golden);
    LogAnExchange();
    fs::path out = dir / "trace.log";
    ASSERT_EQ(dev->DumpLog(out.string(), c.hex, c.all_hex), 0);
    EXPECT_EQ(Masked(ReadFile(out)), ReadFile(fs::path(VANDREL_TEST_DATA) / c.golden));
    EXPECT_EQ(dev->LogQueue().Count(), 0);
    dev->DeregisterWindowHandler(&window);
  }
}

TEST_F(DispatchLog, HeaderAndTimeColumn) {
  clock.SetNow({2024, 12, 31, 23, 59, 59, 0});
  dev->InitLogging(0);
  clock.Advance(1234);
  dev->LogUserText("x");
  fs::path out = dir / "h.log";
  ASSERT_EQ(dev->DumpLog(out.string(), true, false), 0);
  auto lines = SplitCrLf(ReadFile(out));
  ASSERT_EQ(lines.size(), 8u);
  struct utsname u;
  ASSERT_EQ(::uname(&u), 0);
  EXPECT_EQ(lines[2], std::string("Operating System : ") + u.sysname + " " + u.release);
  EXPECT_EQ(lines[4], "Date/time: 01/01/25, 00:00:00");  // 1.234 s after the set time
  EXPECT_EQ(lines[7].substr(0, 10), "0001.234  ");
  EXPECT_EQ(lines[7].size(), 45u);
}

TEST_F(DispatchLog, TimeText) {
  const std::pair<uint32_t, const char*> cases[] = {
      {0, "0000.000"}, {1234, "0001.234"}, {9999999, "9999.999"}, {10000000, "10000.000"}};
  for (const auto& [ms, text] : cases) EXPECT_EQ(TSioBaseDispatcher::LogTimeText(ms), text);
}

TEST_F(DispatchLog, PayloadRendering) {
  struct Case {
    uint8_t type;
    uint16_t subtype;
    std::string payload;
    bool hex, all_hex;
    const char* rendered;
  };
  const Case cases[] = {
      {ltUser, lstNone, "OK", true, true, "OK"},
      {ltUser, lstNone, "O K", false, false, "O K"},
      {ltDispatch, lstWriteCom, "A \r", false, false, "A [13]"},
      {ltDispatch, lstWriteCom, "A \r", true, false, "A[20][0D]"},
      {ltDispatch, lstWriteCom, "A \r", true, true, "[41][20][0D]"},
      {ltDispatch, lstReadCom, std::string("\x7F\x05\x63", 3), false, false, "[127][5]c"},
      {ltDispatch, lstModemStatus, "~", false, false, "~(DCTS CTS DCD)"},
      {ltTrigAllc, lstTrigStatus, std::string("\x02", 1), false, false, "(Line status)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rendered);
    dev->InitLogging(0);
    uint32_t data = c.subtype == lstModemStatus ? (msDCTS | msCTS | msDCD) : 0;
    dev->AddLogEntry(c.type, c.subtype, static_cast<int32_t>(c.payload.size()), c.payload.data(),
                     data);
    fs::path out = dir / "r.log";
    ASSERT_EQ(dev->DumpLog(out.string(), c.hex, c.all_hex), 0);
    auto lines = SplitCrLf(ReadFile(out));
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[7].substr(44), c.rendered);
  }
  dev->InitLogging(0);
  dev->AddLogEntry(ltTelnet, lstNone, 0, nullptr, 24);
  fs::path out = dir / "t.log";
  ASSERT_EQ(dev->DumpLog(out.string(), false, false), 0);
  EXPECT_EQ(SplitCrLf(ReadFile(out))[7].substr(44), "[Terminal type]");
}

TEST_F(DispatchLog, ABudgetDropsTheOldestEntries) {
  dev->InitLogging(100);
  dev->AddLogEntry(ltDispatch, lstReadCom, 60, Bytes(60).data(), 60);
  dev->AddLogEntry(ltDispatch, lstReadCom, 50, Bytes(50).data(), 50);
  EXPECT_EQ(dev->LogQueue().BytesQueued(), 110);  // over by the newest entry
  dev->AddLogEntry(ltDispatch, lstReadCom, 5, Bytes(5).data(), 5);
  auto log = TakeLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].data, 50u);
  EXPECT_EQ(log[1].data, 5u);

  dev->InitLogging(0);  // no limit
  for (int i = 0; i < 50; ++i) dev->AddLogEntry(ltDispatch, lstReadCom, 60, Bytes(60).data(), 60);
  EXPECT_EQ(dev->LogQueue().Count(), 50);
}

TEST_F(DispatchLog, SwitchingLoggingOffKeepsOrDropsTheQueue) {
  dev->InitLogging(0);
  dev->LogUserText("a");
  dev->StopLogging();
  dev->LogUserText("b");  // not recorded
  EXPECT_EQ(dev->LogQueue().Count(), 1);
  dev->StartLogging();
  dev->ClearLogging();
  EXPECT_EQ(dev->LogQueue().Count(), 0);
  dev->LogUserText("c");
  dev->AbortLogging();
  EXPECT_FALSE(dev->LoggingOn());
  EXPECT_EQ(dev->LogQueue().Count(), 0);
}

TEST_F(DispatchLog, UserTextIsWrittenAsWindows1252) {
  dev->InitLogging(0);
  dev->LogUserText("25 \xC2\xB0\x43");  // "25 °C" in UTF-8
  fs::path out = dir / "u.log";
  ASSERT_EQ(dev->DumpLog(out.string(), false, true), 0);
  EXPECT_EQ(SplitCrLf(ReadFile(out))[7].substr(44), "25 \xB0\x43");
}

TEST_F(DispatchLog, AnEmptyQueueTouchesNoFile) {
  fs::path existing = dir / "old.log";
  std::ofstream(existing, std::ios::binary) << "keep me";
  auto before = fs::last_write_time(existing);
  dev->InitLogging(0);
  EXPECT_EQ(dev->DumpLog(existing.string(), true, false), 0);
  EXPECT_EQ(dev->AppendLog(existing.string(), true, false), 0);
  EXPECT_EQ(ReadFile(existing), "keep me");
  EXPECT_EQ(fs::last_write_time(existing), before);
  EXPECT_EQ(dev->DumpLog((dir / "new.log").string(), true, false), 0);
  EXPECT_FALSE(fs::exists(dir / "new.log"));
}

TEST_F(DispatchLog, AnUnwritableFileReturnsTheCodeAndKeepsTheQueue) {
  dev->InitLogging(0);
  dev->LogUserText("one");
  dev->LogUserText("two");
  EXPECT_EQ(dev->DumpLog((dir / "missing" / "x.log").string(), true, false), -2);
  EXPECT_EQ(dev->AppendLog(dir.string(), true, false), -5);  // a folder
  // A FIFO nobody reads, put where the log goes: refused at once, left as it is.
  const std::string fifo = (dir / "pipe.log").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(dev->DumpLog(fifo, true, false), -87);
  EXPECT_EQ(dev->AppendLog(fifo, true, false), -87);
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_EQ(dev->LogQueue().Count(), 2);
  fs::path out = dir / "ok.log";
  EXPECT_EQ(dev->DumpLog(out.string(), true, false), 0);
  EXPECT_EQ(SplitCrLf(ReadFile(out)).size(), 9u);
}

TEST_F(DispatchLog, AppendAddsAHeaderAndTheNewEntries) {
  fs::path out = dir / "day.log";
  dev->InitLogging(0);
  dev->LogUserText("first");
  ASSERT_EQ(dev->AppendLog(out.string(), true, false), 0);  // creates it
  dev->LogUserText("second");
  ASSERT_EQ(dev->AppendLog(out.string(), true, false), 0);
  auto lines = SplitCrLf(ReadFile(out));
  ASSERT_EQ(lines.size(), 16u);
  EXPECT_EQ(lines[8], "SIO v1.00");
  EXPECT_EQ(lines[7].substr(44), "first");
  EXPECT_EQ(lines[15].substr(44), "second");
  dev->LogUserText("third");
  ASSERT_EQ(dev->DumpLog(out.string(), true, false), 0);  // rewrites
  EXPECT_EQ(SplitCrLf(ReadFile(out)).size(), 8u);
}

}  // namespace
}  // namespace serial::testing
