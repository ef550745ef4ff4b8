#include "services/bulk_transfer.h"

#include <optional>
#include <stdexcept>

#include "devicelink/block_commands.h"
#include "devicelink/device_data.h"
#include "devicelink/device_run.h"
#include "devicelink/link_state.h"
#include "devicelink/window_link.h"
#include "devicelink/window_scopes.h"
#include "platform/clock.h"
#include "platform/main_thread.h"
#include "services/app_state.h"

namespace services {
namespace {

using namespace devicelink;

constexpr uint32_t kBlockPauseMs = 100;
constexpr int32_t kWriteAllSteps = 29;
constexpr uint8_t kUserUnitCount = 16;

// Counts the commands of a bulk transfer that failed.
class FailureCount {
 public:
  void operator()(bool ok) {
    if (!ok) ++failed_;
  }
  int32_t Failed() const { return failed_; }

 private:
  int32_t failed_ = 0;
};

// The run of the command when there is one, else one of its own.
class TRunOfCommand {
 public:
  TRunOfCommand() {
    if (CurrentRun() == nullptr) own_.emplace();
  }
  TRun& operator*() const { return *CurrentRun(); }
  TRun* operator->() const { return CurrentRun(); }

 private:
  std::optional<TRun> own_;
};

}  // namespace

void WaitMs(uint32_t ms) {
  const uint32_t t0 = platform::GetTickCount();
  for (;;) {
    const uint32_t t = platform::GetTickCount();
    platform::ProcessMessages();
    if (t < t0) return;  // the counter wrapped: do not wait for it to come round
    if (t - t0 > ms) return;
    platform::Sleep(1);
  }
}

void StartProgress(int32_t count) {
  TWindowLink& window = WindowLink();
  window.SetProgressMax(count);
  window.SetProgressPosition(0);
  window.SetProgressVisible(true);
  platform::ProcessMessages();
}

void StepProgress() {
  TWindowLink& window = WindowLink();
  window.SetProgressPosition(window.ProgressPosition() + 1);
  platform::ProcessMessages();
}

int32_t ReadAllParameters() {
  // Some fifty reads: seconds at the slower rates. A close ends it.
  TCursorScope cursor;
  TRunOfCommand command;
  FailureCount run;
  for (int32_t c = 0; c < 2; ++c) {
    run(ReadTempParams(c));
    run(ReadPressureParams(c));
    run(ReadFlowParams(c));
    run(ReadSupplyValues(c));
    run(ReadFlowParams2(c));
    run(ReadMediumParams(c));
    run(ReadPulseOutputParams(c));
    run(ReadAlarmParams(c));
    run(ReadCorrectionFactors(c));
  }
  for (int32_t o = 0; o < 4; ++o) run(ReadOutputParams(o));
  run(ReadOperatingMode());
  if (Medium == 0) run(ReadGasCommon());
  run(ReadLimitValues());
  run(ReadUnitSwitches());
  if (UnitSwitches.Einheiten != 0) {
    for (uint8_t i = 0; i < kUserUnitCount; ++i) run(ReadUserUnit(i));
  }
  run(ReadTrendSettings());
  run(ReadSystemParams());
  for (int32_t i = 0; i < 8; ++i) run(ReadPresetValue(i));
  run(ReadDisplayEnable());
  // A read with failures must not look like success because its last exchange
  // happened to work; one ended by the program's close is no failure of the
  // device.
  if (run.Failed() > 0 && DeviceOnline && !command->Ended()) {
    WindowLink().SetOnlineLabel("OFFLINE", kColourRed);
  }
  return run.Failed();
}

int32_t WriteAllParameters() {
  if (BaudIndex < 0 || BaudIndex > 7) throw std::out_of_range("baud index out of range");
  // Hourglass and progress bar for the run, restored on every way out. The set
  // the operator chose goes out whole, a close waiting for its end.
  TCursorScope cursor;
  TProgressScope progress;
  TRunOfCommand command;
  TRun::TWholeSet whole_set(*command);
  StartProgress(kWriteAllSteps);
  FailureCount run;

  // The device decides which system types it allows; the record's own type is
  // limited to them.
  const TSystemSettings copy = SystemParams;
  run(ReadSystemParams());
  // Closed before anything was sent: the device keeps its set whole.
  if (command->Ended()) {
    SystemParams = copy;
    return run.Failed();
  }
  StepProgress();
  WaitMs(kBlockPauseMs);
  const uint8_t mask = SystemParams.KindMask;
  // The capability flags are the device's own and never come from a file: after
  // an offline start or a file load only the read tells a single-circuit device.
  const uint8_t flags = SystemParams.SystemTypeFlags;
  SystemParams = copy;
  SystemParams.SystemTypeFlags = flags;
  SystemParams.KindMask = mask;
  SystemParams.Kind = copy.Kind & mask;

  const bool single = (SystemParams.SystemTypeFlags & kSingleCircuitFlags) != 0;
  auto write = [&](bool ok) {
    run(ok);
    WaitMs(kBlockPauseMs);
  };
  for (int32_t c = 0; c < 2; ++c) {
    const bool circuit = !single || c == 0;
    if (circuit) write(WriteTempParams(c));
    StepProgress();
    if (circuit) write(WritePressureParams(c));
    StepProgress();
    if (circuit) write(WriteFlowParams(c));
    StepProgress();
    if (circuit) write(WriteSupplyValues(c));
    if (circuit) write(WriteFlowParams2(c));
    StepProgress();
    if (circuit) write(WriteMediumParams(c));
    StepProgress();
    if (circuit) write(WritePulseOutputParams(c));
    StepProgress();
    write(WriteAlarmParams(c));  // both relays on every device
    StepProgress();
  }
  for (int32_t o = 0; o < 4; ++o) {
    if (!single || o == 0) write(WriteOutputParams(o));
    StepProgress();
  }
  if (Medium == 0) write(WriteGasCommon());
  run(WriteUnitSwitches());
  StepProgress();
  WaitMs(kBlockPauseMs);
  if (UnitSwitches.Einheiten != 0) {
    for (uint8_t i = 0; i < kUserUnitCount; ++i) write(WriteUserUnit(i));
  }
  if ((SystemParams.SystemTypeFlags & kNoTrendFlags) == 0) write(WriteTrendSettings());
  StepProgress();
  for (int32_t c = 0; c < 2; ++c) {
    if (!single || c == 0) write(WriteCorrectionFactors(c));
    StepProgress();
  }
  write(WriteLimitValues());
  StepProgress();

  // Only byte 0 (the device port's baud) is ours; bytes 1..3 are the device's own
  // settings, which an offline start or a file load never fetched.
  const bool mode_read = ReadOperatingMode();
  run(mode_read);
  OperatingMode[0] = static_cast<uint8_t>(BaudIndex);
  if (mode_read) {
    run(WriteOperatingMode());
  } else {
    command->AddNotSent(BlockAddressOf(OperatingMode));
  }
  WaitMs(kBlockPauseMs);
  StepProgress();

  write(WriteSystemParams());
  StepProgress();
  for (int32_t i = 0; i < 8; ++i) run(WritePresetValue(i));
  WaitMs(kBlockPauseMs);
  StepProgress();
  write(WriteDisplayEnable());
  StepProgress();
  WaitMs(kBlockPauseMs);
  // The online label shows the link as the last exchange found it.
  return run.Failed();
}

}  // namespace services
