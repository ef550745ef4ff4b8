#include "devicelink/table_transfer.h"

#include <string>
#include <utility>

#include "devicelink/block_codec.h"
#include "devicelink/block_commands.h"
#include "devicelink/device_data.h"
#include "devicelink/frame_transfer.h"
#include "devicelink/window_link.h"

namespace devicelink {
namespace {

constexpr int kTableFrames = 2 + kTableTemperatures;
constexpr uint16_t kTemperaturesOffset = 28;
constexpr uint16_t kRowsOffset = 64;
constexpr uint16_t kRowBytes = 4 * kTablePressures;  // 56
constexpr int kSatReadFrames = 4;
constexpr int kSatRowsPerReadFrame = kSatRows / kSatReadFrames;  // 8
constexpr int kSatWriteFrames = 16;
constexpr uint32_t kTablePauseMs = 50;
constexpr uint32_t kSatWritePauseMs = 20;

// Shows the progress bar for a run of frames and hides it however the run ends.
class FrameProgress {
 public:
  explicit FrameProgress(int frames) {
    TWindowLink& window = WindowLink();
    window.SetProgressMax(frames);
    window.SetProgressPosition(0);
    window.SetProgressVisible(true);
  }
  ~FrameProgress() { WindowLink().SetProgressVisible(false); }
  FrameProgress(const FrameProgress&) = delete;
  FrameProgress& operator=(const FrameProgress&) = delete;

  void Step(uint32_t pause_ms) {
    TWindowLink& window = WindowLink();
    window.SetProgressPosition(window.ProgressPosition() + 1);
    DelayMs(pause_ms);
  }
};

// The 20 blocks of a property table in device order: address, bytes and the
// record part each one carries.
struct TableBlock {
  uint16_t address;
  uint8_t n;
};

TableBlock TableFrame(uint16_t base, int i) {
  if (i == 0) return {base, 2 * kTablePressures};
  if (i == 1) return {static_cast<uint16_t>(base + kTemperaturesOffset), 2 * kTableTemperatures};
  return {static_cast<uint16_t>(base + kRowsOffset + kRowBytes * (i - 2)), kRowBytes};
}

// What frame i of a property table carries: the pressure axis, the temperature
// axis, then one row of values per temperature. T is const when writing.
template <class F, RecordOf<TPropertyTable> T>
void FrameLayout(F& f, T& table, int i) {
  if (i == 0) {
    for (auto& p : table.Pressures) f.Word(p);
  } else if (i == 1) {
    for (auto& t : table.Temperatures) f.Word(t);
  } else {
    for (auto& v : table.Values.at(static_cast<size_t>(i - 2))) f.Single(v);
  }
}

template <class F, RecordOf<TSatRow> R>
void Layout(F& f, R& row) {
  f.Single(row.T);
  f.Single(row.p);
  f.Single(row.rho);
  f.Single(row.h);
}

bool ValidTable(int32_t table) {
  return (table == 0 || table == 1) && TableData != nullptr;
}

}  // namespace

bool ReadTable(int32_t table) {
  if (!ValidTable(table)) return false;
  const uint16_t base = kPropertyTableAddress[table];
  TPropertyTable& t = *TableData;
  FrameProgress progress(kTableFrames);
  for (int i = 0; i < kTableFrames; ++i) {
    const TableBlock block = TableFrame(base, i);
    std::string data;
    if (!ReadDeviceBlock(block.address, block.n, data)) return false;
    TFieldReader f(data);
    FrameLayout(f, t, i);
    progress.Step(kTablePauseMs);
  }
  return true;
}

bool WriteTable(int32_t table) {
  if (!ValidTable(table)) return false;
  const uint16_t base = kPropertyTableAddress[table];
  const TPropertyTable& t = *TableData;
  FrameProgress progress(kTableFrames);
  for (int i = 0; i < kTableFrames; ++i) {
    TFieldWriter f;
    FrameLayout(f, t, i);
    if (!WriteDeviceBlock(TableFrame(base, i).address, f.Data())) return false;
    progress.Step(kTablePauseMs);
  }
  return true;
}

bool ReadUserSatTable() {
  UserSatTable = TSatTable{};
  FrameProgress progress(kSatReadFrames);
  for (int p = 0; p < kSatReadFrames; ++p) {
    std::string data;
    const uint16_t address = static_cast<uint16_t>(kSatTableAddress + 128 * p);
    if (!ReadDeviceBlock(address, 128, data)) return false;
    TFieldReader f(data);
    for (int i = 0; i < kSatRowsPerReadFrame; ++i) {
      Layout(f, UserSatTable.at(static_cast<size_t>(kSatRowsPerReadFrame * p + i)));
    }
    progress.Step(kTablePauseMs);
  }
  return true;
}

bool WriteUserSatTable() {
  FrameProgress progress(kSatWriteFrames);
  for (int i = 0; i < kSatWriteFrames; ++i) {
    TFieldWriter f;
    for (int row = 2 * i; row <= 2 * i + 1; ++row) {
      Layout(f, std::as_const(UserSatTable).at(static_cast<size_t>(row)));
    }
    if (!WriteDeviceBlock(static_cast<uint16_t>(kSatTableAddress + 32 * i), f.Data())) {
      return false;
    }
    progress.Step(kSatWritePauseMs);
  }
  return true;
}

}  // namespace devicelink
