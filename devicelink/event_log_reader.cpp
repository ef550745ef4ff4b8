#include "devicelink/event_log_reader.h"

#include <array>
#include <stdexcept>
#include <string>

#include "devicelink/block_codec.h"
#include "devicelink/block_commands.h"
#include "devicelink/device_data.h"
#include "devicelink/window_link.h"
#include "platform/main_thread.h"

namespace devicelink {
namespace {

constexpr uint8_t kArchiveSlots = 8;

void StepProgressBar() {
  TWindowLink& window = WindowLink();
  window.SetProgressPosition(window.ProgressPosition() + 1);
  platform::ProcessMessages();
}

TDeviceClock TakeDate(TBlockReader& r) {
  return BlockDateToClock(DecodeBlockDate(r.Bytes(6)));
}

// One step back around the ring of eight slots.
uint8_t Previous(uint8_t slot) {
  return slot == 0 ? kArchiveSlots - 1 : slot - 1;
}

}  // namespace

int32_t ReadErrorStatus(uint8_t& mask) {
  std::string data;
  if (!ReadDeviceBlock(kEventHeaderAddress, 16, data)) return -1;
  TBlockReader r(data);
  r.Skip(13);
  const uint8_t bits = r.Byte();
  r.Skip(1);
  const uint8_t count = r.Byte();
  mask = bits;
  return count;
}

bool ReadErrorLog() {
  std::string data;
  if (!ReadDeviceBlock(kEventHeaderAddress, 32, data)) return false;
  {
    TBlockReader r(data);
    r.Skip(14);
    const uint8_t byte15 = r.Byte();
    const uint8_t byte16 = r.Byte();
    std::array<uint8_t, kErrorTypes> newest{};
    for (uint8_t& b : newest) b = r.Byte();
    DeviceErrorLog.HeaderByte15 = byte15;
    DeviceErrorLog.HeaderByte16 = byte16;
    DeviceErrorLog.NewestIndex = newest;
  }
  StepProgressBar();

  for (int t = 0; t < kErrorTypes; ++t) {
    if (!ReadDeviceBlock(static_cast<uint16_t>(kEventPagesAddress + 128 * t), 128, data)) {
      return false;
    }
    TBlockReader r(data);
    std::array<TErrorLogEntry, kEntriesPerErrorType> page;
    for (TErrorLogEntry& e : page) {
      e.Active = r.Byte();
      e.Flag = r.Byte();
      e.Reserved[0] = r.Byte();
      e.Reserved[1] = r.Byte();
      e.Come = TakeDate(r);
      e.Go = TakeDate(r);
    }
    for (int s = 0; s < kEntriesPerErrorType; ++s) {
      DeviceErrorLog.Entries.at(static_cast<size_t>(kEntriesPerErrorType * t + s)) = page.at(s);
    }
    StepProgressBar();
  }
  return true;
}

bool ReadIntegratorHistory() {
  std::string data;
  if (!ReadDeviceBlock(kArchivePointersAddress, 2, data)) return false;
  uint8_t slot[2];
  for (int c = 0; c < 2; ++c) {
    const uint8_t pointer = static_cast<uint8_t>(data.at(c));
    // The pointer names the slot written next; the newest is the one before it. A
    // pointer of 8 has just run past the last slot, which is then the newest.
    if (pointer > kArchiveSlots) throw std::out_of_range("archive ring pointer out of range");
    slot[c] = Previous(pointer);
  }

  for (int c = 0; c < 2; ++c) {
    for (size_t f = 0; f < kArchiveSlots; ++f) {
      const uint16_t address = static_cast<uint16_t>(kArchiveAddress + 256 * c + 32 * slot[c]);
      if (!ReadDeviceBlock(address, 32, data)) return false;
      TBlockReader r(data);
      TIntegratorRecord& record = IntegratorHistory.at(c).at(f);
      TIntegratorRecord fresh = record;  // the reserved bytes are not the device's
      fresh.Start = TakeDate(r);
      fresh.End = TakeDate(r);
      fresh.Total = r.Single();
      fresh.MassTotal = r.Single();
      fresh.Counter = r.DWord();
      record = fresh;
      StepProgressBar();
      slot[c] = Previous(slot[c]);
    }
  }
  return true;
}

}  // namespace devicelink
