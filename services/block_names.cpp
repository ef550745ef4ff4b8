#include "services/block_names.h"

#include <algorithm>
#include <optional>

#include "devicelink/block_commands.h"
#include "devicelink/device_clock.h"
#include "devicelink/table_transfer.h"
#include "services/program_texts.h"
#include "services/text_modules.h"

namespace services {
namespace {

using K = devicelink::TParameterBlockKind;

// Captions of the parameter notebook's pages and of the groups on them.
constexpr uint16_t kCircuitPage = 529;  // + circuit
constexpr uint16_t kTrendGroup = 10240;
constexpr uint16_t kSystemPage = 534;
constexpr uint16_t kUnitsPage = 536;
constexpr uint16_t kTableCaption = 1297;
constexpr uint16_t kBaudGroup = 21506;

std::string Joined(std::initializer_list<std::string> parts) {
  std::string text;
  for (const std::string& p : parts) {
    if (p.empty()) continue;
    if (!text.empty()) text += ' ';
    text += p;
  }
  return text;
}

std::string Caption(uint16_t id) {
  return GetText(id);
}

std::string Numbered(uint16_t id, int index) {
  return Joined({Caption(id), std::to_string(index + 1)});
}

std::string CircuitGroup(int circuit, uint16_t group) {
  return Joined({Caption(static_cast<uint16_t>(kCircuitPage + circuit)), Caption(group)});
}

std::string ParameterBlockName(const devicelink::TParameterBlock& b) {
  switch (b.kind) {
    case K::Temperature:
      return CircuitGroup(b.index, 2048);
    case K::Pressure:
      return CircuitGroup(b.index, 3072);
    case K::Flow:
    case K::Flow2:
      return CircuitGroup(b.index, 4096);
    case K::Medium:
      return CircuitGroup(b.index, 5120);
    case K::Gas:
      return ProgramText(text_id::kPartGas);
    case K::Supply:
      return CircuitGroup(b.index, 20480);
    case K::PulseOutput:
      return CircuitGroup(b.index, 6144);
    case K::Relay:
      return Numbered(7168, b.index);
    case K::AnalogOutput:
      return Numbered(8192, b.index);
    case K::UnitSwitches:
      return Joined({Caption(kUnitsPage), Caption(9232)});
    case K::UserUnit:
      return Joined({Caption(kUnitsPage), Numbered(9248, b.index)});
    case K::Trend:
      return Caption(kTrendGroup);
    case K::Correction:
      return Numbered(12288, b.index);
    case K::Limits:
      return Joined({Caption(kSystemPage), Caption(11296)});
    case K::System:
      return Joined({Caption(kSystemPage), Caption(11264)});
    case K::Preset:
      return Joined({Caption(kSystemPage),
                     ProgramText(text_id::kBlockPreset, {std::to_string(b.index + 1)})});
    case K::DisplayEnable:
      return ProgramText(text_id::kBlockDisplayEnable);
    case K::OperatingMode:
      return Caption(kBaudGroup);
  }
  return {};
}

bool InTable(uint16_t address, uint16_t base, uint32_t bytes) {
  return address >= base && static_cast<uint32_t>(address - base) < bytes;
}

}  // namespace

std::string BlockName(uint16_t block_address) {
  if (const std::optional<devicelink::TParameterBlock> b =
          devicelink::ParameterBlockAt(block_address)) {
    const std::string name = ParameterBlockName(*b);
    if (!name.empty()) return name;
  }
  // A table's frames lie behind its start; the saturation table fills 32 rows
  // of 16 bytes, a property table its axes and 18 rows.
  for (uint16_t base : devicelink::kPropertyTableAddress) {
    if (InTable(block_address, base, 64 + 56 * 18)) return Caption(kTableCaption);
  }
  if (InTable(block_address, devicelink::kSatTableAddress, 32 * 16)) {
    return Caption(kTableCaption);
  }
  if (block_address == devicelink::kDeviceClockAddress) {
    return ProgramText(text_id::kBlockClock);
  }
  return ProgramText(text_id::kBlockOther, {devicelink::HexAddress(block_address)});
}

std::string BlockNames(const std::vector<uint16_t>& block_addresses) {
  std::vector<std::string> names;
  for (uint16_t address : block_addresses) {
    std::string name = BlockName(address);
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  std::string text;
  for (const std::string& n : names) {
    if (!text.empty()) text += ", ";
    text += n;
  }
  return text;
}

}  // namespace services
