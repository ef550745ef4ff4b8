// The trace buffer and the file it writes, called directly.
#include "serial/sio_trace_buffer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/sio_errors.h"
#include "tests/platform/temp_folder.h"

namespace serial::testing {
namespace {

using platform::testing::Exists;
using platform::testing::ReadBytes;
using platform::testing::WriteBytes;

struct Piece {
  char kind;
  std::string bytes;
};

class TraceBufferTest : public ::testing::Test {
 protected:
  void Record(const std::vector<Piece>& pieces) {
    for (const Piece& p : pieces) {
      trace.Add(p.kind, reinterpret_cast<const uint8_t*>(p.bytes.data()), p.bytes.size());
    }
  }
  // The file a dump of the pieces into a buffer of size entries writes.
  std::string Dumped(uint32_t size, const std::vector<Piece>& pieces, bool hex = true,
                     bool all_hex = false) {
    EXPECT_EQ(trace.InitTracing(size), 0);
    Record(pieces);
    EXPECT_EQ(trace.DumpTrace(file, hex, all_hex), 0);
    return Exists(file) ? ReadBytes(file) : "(no file)";
  }

  platform::testing::TempFolder temp;
  std::string file = temp / "SERIAL.TRC";
  TSioTraceBuffer trace;
};

TEST_F(TraceBufferTest, GroupsTheEntriesByKindOldestFirst) {
  struct Case {
    const char* name;
    uint32_t size;
    std::vector<Piece> pieces;
    std::string file;
  };
  const Case cases[] = {
      {"a ring of 4 keeps the last 4 of 6", 4, {{'R', "abcdef"}}, "\r\nReceive: cdef"},
      {"a ring filled exactly", 4, {{'T', "wxyz"}}, "\r\nTransmit: wxyz"},
      {"each change of direction is a group after an empty line",
       100,
       {{'T', "ab"}, {'R', "cd"}, {'T', "e"}, {'R', "f"}},
       "\r\nTransmit: ab\r\n\r\nReceive: cd\r\n\r\nTransmit: e\r\n\r\nReceive: f"},
      {"the wrap keeps the groups of what is left", 3, {{'T', "ab"}, {'R', "cd"}},
       "\r\nTransmit: b\r\n\r\nReceive: cd"},
      {"another kind", 10, {{'T', "a"}, {'X', "b"}}, "\r\nTransmit: a\r\n\r\nSpecial-X: b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    trace.AbortTracing();
    EXPECT_EQ(Dumped(c.size, c.pieces), c.file);
  }
}

TEST_F(TraceBufferTest, RendersBytesAsTheSwitchesSay) {
  const std::string bytes = {'A', 0x20, 0x7F, 5, static_cast<char>(200)};
  struct Case {
    bool hex, all_hex;
    const char* items;
  };
  const Case cases[] = {
      {false, false, "A [127][5][200]"},
      {true, false, "A[20][7F][05][C8]"},
      {false, true, "[41][20][7F][05][C8]"},
      {true, true, "[41][20][7F][05][C8]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.items);
    trace.AbortTracing();
    EXPECT_EQ(Dumped(10, {{'R', bytes}}, c.hex, c.all_hex), std::string("\r\nReceive: ") + c.items);
  }
}

TEST_F(TraceBufferTest, LinesEndBeforeAnItemWouldPassColumn78) {
  const std::string letters(80, 'x');
  EXPECT_EQ(Dumped(100, {{'T', letters}}),
            "\r\nTransmit: " + std::string(78, 'x') + "\r\n" + std::string(2, 'x'));

  // Fifteen items of five columns fill 75; the sixteenth would reach 80.
  trace.AbortTracing();
  std::string items;
  for (int i = 0; i < 15; ++i) items += "[200]";
  EXPECT_EQ(Dumped(100, {{'R', std::string(16, static_cast<char>(200))}}, false),
            "\r\nReceive: " + items + "\r\n[200]");
}

TEST_F(TraceBufferTest, SizeAboveTheLimitLeavesTracingOff) {
  EXPECT_EQ(trace.InitTracing(kMaxTraceSize + 1), ecBadArgument);
  EXPECT_FALSE(trace.TracingOn());
  Record({{'R', "abc"}});
  EXPECT_EQ(trace.DumpTrace(file, true, false), 0);
  EXPECT_FALSE(Exists(file));

  EXPECT_EQ(trace.InitTracing(kMaxTraceSize), 0);
  EXPECT_TRUE(trace.TracingOn());
}

TEST_F(TraceBufferTest, FailedDumpFreesTheBuffer) {
  ASSERT_EQ(trace.InitTracing(10), 0);
  Record({{'R', "abc"}});
  EXPECT_LT(trace.DumpTrace(temp / "missing/SERIAL.TRC", true, false), 0);
  EXPECT_FALSE(trace.TracingOn());
  // Nothing is recorded any more, so nothing is written.
  Record({{'R', "def"}});
  trace.StartTracing();
  EXPECT_FALSE(trace.TracingOn());
  EXPECT_EQ(trace.DumpTrace(file, true, false), 0);
  EXPECT_FALSE(Exists(file));
}

TEST_F(TraceBufferTest, DumpEmptiesTheBufferAndTracingGoesOn) {
  EXPECT_EQ(Dumped(10, {{'R', "abc"}}), "\r\nReceive: abc");
  EXPECT_TRUE(trace.TracingOn());
  // An empty buffer leaves the file alone.
  EXPECT_EQ(trace.DumpTrace(file, true, false), 0);
  EXPECT_EQ(ReadBytes(file), "\r\nReceive: abc");
  Record({{'T', "d"}});
  EXPECT_EQ(trace.DumpTrace(file, true, false), 0);
  EXPECT_EQ(ReadBytes(file), "\r\nTransmit: d");
}

TEST_F(TraceBufferTest, AppendKeepsTheOldContent) {
  WriteBytes(file, "old\r\n");
  ASSERT_EQ(trace.InitTracing(10), 0);
  Record({{'R', "abc"}});
  EXPECT_EQ(trace.AppendTrace(file, true, false), 0);
  EXPECT_EQ(ReadBytes(file), "old\r\n\r\nReceive: abc");
  // Appending to a file that is not there yet makes it.
  const std::string fresh = temp / "fresh.TRC";
  Record({{'T', "d"}});
  EXPECT_EQ(trace.AppendTrace(fresh, true, false), 0);
  EXPECT_EQ(ReadBytes(fresh), "\r\nTransmit: d");
}

TEST_F(TraceBufferTest, PauseKeepsTheEntriesAndRecordsNothing) {
  ASSERT_EQ(trace.InitTracing(10), 0);
  Record({{'R', "ab"}});
  trace.StopTracing();
  Record({{'R', "cd"}});
  trace.StartTracing();
  Record({{'T', "e"}});
  EXPECT_EQ(trace.DumpTrace(file, true, false), 0);
  EXPECT_EQ(ReadBytes(file), "\r\nReceive: ab\r\n\r\nTransmit: e");
}

}  // namespace
}  // namespace serial::testing
