#include "services/parameter_edit.h"

#include <algorithm>
#include <string>

#include "devicelink/block_commands.h"
#include "devicelink/device_data.h"
#include "devicelink/device_run.h"
#include "devicelink/link_state.h"
#include "devicelink/window_scopes.h"
#include "services/bulk_transfer.h"
#include "services/status_note.h"

namespace services {

TEditResult RunEditSteps(const std::vector<TEditStep>& steps, int progress_max) {
  TEditResult result;
  if (!devicelink::DeviceOnline) return result;
  result.ran = true;
  if (progress_max < 0) {
    progress_max = 0;
    for (const TEditStep& s : steps) {
      if (s.kind == TEditStep::Kind::Step || (s.exchange && s.counted)) ++progress_max;
    }
  }
  devicelink::TProgressScope progress;
  StartProgress(progress_max);
  for (size_t i = 0; i < steps.size(); ++i) {
    const TEditStep& s = steps[i];
    switch (s.kind) {
      case TEditStep::Kind::Write:
      case TEditStep::Kind::Read:
        if (!s.exchange() && result.ok) {
          result.ok = false;
          result.failed_step = static_cast<int>(i);
        }
        if (s.counted) StepProgress();
        break;
      case TEditStep::Kind::Pause:
        WaitMs(s.ms);
        break;
      case TEditStep::Kind::Step:
        StepProgress();
        break;
    }
  }
  return result;
}

TEditResult WriteAndReadBack(const std::function<bool()>& write,
                             const std::function<bool()>& read) {
  return RunEditSteps({WriteStep(write), PauseStep(kEditPauseMs), ReadStep(read)});
}

TEditResult WriteAndReadBack(std::initializer_list<std::function<bool()>> writes,
                             std::initializer_list<std::function<bool()>> reads) {
  std::vector<TEditStep> steps;
  for (const auto& w : writes) {
    steps.push_back(WriteStep(w));
    steps.push_back(PauseStep(kEditPauseMs));
  }
  for (const auto& r : reads) steps.push_back(ReadStep(r));
  return RunEditSteps(steps);
}

TEditResult WriteWithoutReadBack(const std::function<bool()>& write) {
  return RunEditSteps({WriteStep(write), PauseStep(kEditPauseMs), ProgressStep()});
}

bool ReportedOrRead(uint16_t block_address, const std::function<bool()>& read) {
  if (!devicelink::DeviceOnline || devicelink::Reported(block_address) || read()) return true;
  if (!devicelink::RunEnded()) ShowStatusNote(TStatusNote::Text(kNotSentUnread));
  return false;
}

TActedOn ActedOnDeviceValues(const std::vector<uint16_t>& blocks,
                             const std::function<void()>& read_page) {
  const auto reported = [&] {
    return std::all_of(blocks.begin(), blocks.end(),
                       [](uint16_t b) { return devicelink::Reported(b); });
  };
  if (!devicelink::DeviceOnline || reported()) return TActedOn::kDeviceValues;
  std::vector<std::string> before;
  for (uint16_t b : blocks) before.push_back(devicelink::RecordBytes(b));
  read_page();
  if (devicelink::RunEnded()) return TActedOn::kEnded;
  if (!reported()) {
    ShowStatusNote(TStatusNote::Text(kNotSentUnread));
    return TActedOn::kUnread;
  }
  for (size_t i = 0; i < blocks.size(); ++i) {
    if (devicelink::RecordBytes(blocks[i]) != before[i]) {
      ShowStatusNote(TStatusNote::Text(kNotSentReadAnew));
      return TActedOn::kReadAnew;
    }
  }
  return TActedOn::kDeviceValues;
}

}  // namespace services
