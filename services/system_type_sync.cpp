#include "services/system_type_sync.h"

#include <functional>
#include <vector>

#include "devicelink/block_commands.h"
#include "devicelink/link_state.h"
#include "devicelink/window_scopes.h"
#include "services/bulk_transfer.h"
#include "services/parameter_edit.h"

namespace services {
namespace {

using devicelink::TParameterRecords;

// Circuit 1 feeds an output that was fed from circuit 2, a difference or a sum.
uint8_t CircuitOneSource(uint8_t code) {
  switch (code) {
    case 9: case 17: return 1;
    case 10: case 18: return 2;
    case 11: case 19: return 3;
    case 12: case 20: case 28: return 4;
    case 13: case 21: case 29: return 5;
    default: return code;
  }
}

struct TExchange {
  std::string name;
  std::function<bool()> run;
  // Puts the block's record back as it was read (a write that did not happen).
  std::function<void(const TParameterRecords&)> restore;
};

template <typename Read>
TExchange ReadOf(std::string name, Read read) {
  return {std::move(name), read, nullptr};
}

}  // namespace

void AdjustForSingleCircuitType(uint8_t type, TParameterRecords& r) {
  r.TempParams[1].Kind = 0;
  r.TempParams[1].Eq = 0;
  r.TempParams[0].Eq = 0;
  r.PressureParams[1].Kind = 0;
  r.PressureParams[1].Eq = 0;
  r.PressureParams[0].Eq = 0;
  if (r.FlowParams[0].Kind > 2) r.FlowParams[0].Kind = 1;
  r.FlowParams[1].Kind = 0;
  r.PulseOutputParams[1].Kind = 0;
  r.TrendSettings.Param = 0;
  if (r.UnitSwitches.First > 7) r.UnitSwitches.First -= 7;
  for (devicelink::TOutputSettings& o : r.OutputParams) o.Param = CircuitOneSource(o.Param);
  for (devicelink::TAlarmSettings& a : r.AlarmParams) {
    if (a.Param > 7) a.Param = 0;
  }
  if (r.SystemParams.Anzahl < 2) r.SystemParams.Anzahl = 2;
  devicelink::TDpSettings& dp = r.FlowParams2[0];
  if (type == 1) {
    // Range switching: each extra range at most the one before it.
    if (dp.Desdp2 > dp.Desdp) dp.Desdp2 = dp.Desdp;
    if (dp.Desdp3 > dp.Desdp2) dp.Desdp3 = dp.Desdp2;
    if (dp.Desdp4 > dp.Desdp3) dp.Desdp4 = dp.Desdp3;
  } else if (type == 2) {
    // Redundant transmitters measure the same range.
    dp.Desdp2 = dp.Desdp;
    dp.Desdp3 = dp.Desdp;
    dp.Desdp4 = dp.Desdp;
  }
}

TSystemTypeChange ChangeSystemType(uint8_t type) {
  namespace d = devicelink;
  TSystemTypeChange result;
  const uint8_t old_type = d::SystemParams.Kind;
  d::SystemParams.Kind = type;
  if (!d::DeviceOnline) {
    result.outcome = TSystemTypeChange::Outcome::Offline;
    return result;
  }
  if (type == old_type) return result;

  d::TProgressScope progress;
  auto write_system = [&](int index) {
    const bool ok = d::WriteSystemParams();
    StepProgress();
    WaitMs(kEditPauseMs);
    if (ok) {
      result.outcome = TSystemTypeChange::Outcome::Written;
    } else {
      result.outcome = TSystemTypeChange::Outcome::SystemWriteFailed;
      result.failed_exchange = index;
      result.failed_block = "WriteSystemParams";
    }
    return result;
  };
  if (type != 1 && type != 2) {
    StartProgress(1);
    return write_system(0);
  }

  StartProgress(kSystemTypeSyncExchanges);
  const std::vector<TExchange> reads = {
      ReadOf("ReadTempParams(0)", [] { return d::ReadTempParams(0); }),
      ReadOf("ReadTempParams(1)", [] { return d::ReadTempParams(1); }),
      ReadOf("ReadPressureParams(0)", [] { return d::ReadPressureParams(0); }),
      ReadOf("ReadPressureParams(1)", [] { return d::ReadPressureParams(1); }),
      ReadOf("ReadFlowParams(0)", [] { return d::ReadFlowParams(0); }),
      ReadOf("ReadFlowParams(1)", [] { return d::ReadFlowParams(1); }),
      ReadOf("ReadFlowParams2(0)", [] { return d::ReadFlowParams2(0); }),
      ReadOf("ReadPulseOutputParams(1)", [] { return d::ReadPulseOutputParams(1); }),
      ReadOf("ReadTrendSettings", [] { return d::ReadTrendSettings(); }),
      ReadOf("ReadUnitSwitches", [] { return d::ReadUnitSwitches(); }),
      ReadOf("ReadOutputParams(0)", [] { return d::ReadOutputParams(0); }),
      ReadOf("ReadOutputParams(1)", [] { return d::ReadOutputParams(1); }),
      ReadOf("ReadOutputParams(2)", [] { return d::ReadOutputParams(2); }),
      ReadOf("ReadOutputParams(3)", [] { return d::ReadOutputParams(3); }),
      ReadOf("ReadAlarmParams(0)", [] { return d::ReadAlarmParams(0); }),
      ReadOf("ReadAlarmParams(1)", [] { return d::ReadAlarmParams(1); }),
  };
  for (size_t i = 0; i < reads.size(); ++i) {
    if (!reads[i].run()) {
      d::SystemParams.Kind = old_type;
      result.outcome = TSystemTypeChange::Outcome::ReadFailed;
      result.failed_exchange = static_cast<int>(i);
      result.failed_block = reads[i].name;
      return result;
    }
    StepProgress();
  }

  const TParameterRecords before = TParameterRecords::Capture();
  TParameterRecords after = before;
  AdjustForSingleCircuitType(type, after);
  after.Commit();

  std::vector<TExchange> writes;
  for (int o = 0; o < 4; ++o) {
    writes.push_back({"WriteOutputParams(" + std::to_string(o) + ")",
                      [o] { return d::WriteOutputParams(o); },
                      [o](const TParameterRecords& r) {
                        d::OutputParams[static_cast<size_t>(o)] = r.OutputParams[static_cast<size_t>(o)];
                      }});
  }
  for (int c = 0; c < 2; ++c) {
    const size_t k = static_cast<size_t>(c);
    const std::string n = "(" + std::to_string(c) + ")";
    writes.push_back({"WriteTempParams" + n, [c] { return d::WriteTempParams(c); },
                      [k](const TParameterRecords& r) { d::TempParams[k] = r.TempParams[k]; }});
    writes.push_back({"WritePressureParams" + n, [c] { return d::WritePressureParams(c); },
                      [k](const TParameterRecords& r) { d::PressureParams[k] = r.PressureParams[k]; }});
    writes.push_back({"WriteFlowParams" + n, [c] { return d::WriteFlowParams(c); },
                      [k](const TParameterRecords& r) { d::FlowParams[k] = r.FlowParams[k]; }});
  }
  writes.push_back({"WriteFlowParams2(0)", [] { return d::WriteFlowParams2(0); },
                    [](const TParameterRecords& r) { d::FlowParams2[0] = r.FlowParams2[0]; }});
  writes.push_back({"WritePulseOutputParams(1)", [] { return d::WritePulseOutputParams(1); },
                    [](const TParameterRecords& r) { d::PulseOutputParams[1] = r.PulseOutputParams[1]; }});
  writes.push_back({"WriteTrendSettings", [] { return d::WriteTrendSettings(); },
                    [](const TParameterRecords& r) { d::TrendSettings = r.TrendSettings; }});
  writes.push_back({"WriteUnitSwitches", [] { return d::WriteUnitSwitches(); },
                    [](const TParameterRecords& r) { d::UnitSwitches = r.UnitSwitches; }});
  for (int a = 0; a < 2; ++a) {
    writes.push_back({"WriteAlarmParams(" + std::to_string(a) + ")",
                      [a] { return d::WriteAlarmParams(a); },
                      [a](const TParameterRecords& r) {
                        d::AlarmParams[static_cast<size_t>(a)] = r.AlarmParams[static_cast<size_t>(a)];
                      }});
  }
  for (size_t i = 0; i < writes.size(); ++i) {
    const bool ok = writes[i].run();
    StepProgress();
    WaitMs(kEditPauseMs);
    if (!ok) {
      // The device keeps its old type; what it did not receive stays as it was.
      for (size_t j = i; j < writes.size(); ++j) writes[j].restore(before);
      d::SystemParams.Anzahl = before.SystemParams.Anzahl;
      d::SystemParams.Kind = old_type;
      result.outcome = TSystemTypeChange::Outcome::WriteFailed;
      result.failed_exchange = static_cast<int>(reads.size() + i);
      result.failed_block = writes[i].name;
      return result;
    }
  }
  return write_system(static_cast<int>(reads.size() + writes.size()));
}

}  // namespace services
