#pragma once

#include <cstdint>

// Where the device keeps what. Circuit ch is 0 or 1; other indexes as noted.
namespace flowsim::map {

constexpr std::uint16_t kTrendHeader = 0x0000;  // 36 bytes
constexpr std::uint16_t kTrendBlocks = 0x0024;  // 44 blocks of 728 bytes
constexpr int kTrendBlockCount = 44;
constexpr int kTrendBlockSize = 728;
constexpr int kTrendSamples = 60;

constexpr std::uint16_t kOutputParams = 0x8000;       // + 16·i, i 0..3
constexpr std::uint16_t kAlarmParams = 0x8040;        // + 16·i, i 0..1
constexpr std::uint16_t kFlowParams = 0x8060;         // + 32·ch
constexpr std::uint16_t kSystemParams = 0x80A0;       // 16
constexpr std::uint16_t kIdentification = 0x80B0;     // 8 characters
constexpr std::uint16_t kLimitValues = 0x80C0;        // 16
constexpr std::uint16_t kPasswordBlock = 0x80E0;      // 13; byte 12 is the baud index below
constexpr std::uint16_t kOperatingMode = 0x80EC;      // 4; byte 0 baud index 0..7
constexpr std::uint16_t kGasCommon = 0x80F0;          // 16
constexpr std::uint16_t kTempParams = 0x8100;         // + 32·ch
constexpr std::uint16_t kPulseParams = 0x8140;        // + 8·ch
constexpr std::uint16_t kSupplyValues = 0x8150;       // + 16·ch
constexpr std::uint16_t kArchivePointers = 0x8176;    // 2
constexpr std::uint16_t kTrendSettings = 0x8178;      // 4
constexpr std::uint16_t kUnitSwitches = 0x817C;       // 4
constexpr std::uint16_t kPressureParams = 0x8180;     // + 32·ch
constexpr std::uint16_t kFlowParams2 = 0x81C0;        // + 32·ch
constexpr std::uint16_t kCorrectionFactors = 0x8200;  // + 32·ch
constexpr std::uint16_t kMediumParams = 0x82C0;       // + 32·ch
constexpr std::uint16_t kEventHeader = 0x8400;        // 32
constexpr std::uint16_t kEventEntries = 0x8420;       // + 128·type + 16·entry
constexpr int kEventTypes = 16;
constexpr int kEventsPerType = 8;
constexpr std::uint16_t kArchiveRecords = 0x8C20;  // + 256·ch + 32·slot
constexpr int kArchiveSlots = 8;
constexpr std::uint16_t kSerialNumber = 0x8FC0;     // 16 characters
constexpr std::uint16_t kUserUnits = 0x9000;        // + 16·kind, kind 0..15
constexpr std::uint16_t kPresetValues = 0x9120;     // + 4·i, i 0..7
constexpr std::uint16_t kDisplayEnable = 0x9140;    // 4
constexpr std::uint16_t kSaturationTable = 0x9580;  // 32 rows of T, p, rho, h
constexpr int kSaturationRows = 32;
constexpr std::uint16_t kPropertyTable0 = 0x9780;
constexpr std::uint16_t kPropertyTable1 = 0x9BC0;
constexpr int kTablePressures = 14;
constexpr int kTableTemperatures = 18;
constexpr std::uint16_t kClock = 0xA000;  // 16 bytes, one decimal digit per byte
constexpr int kClockDigits = 12;
constexpr std::uint16_t kLiveValues = 0xF800;  // + 80·ch
constexpr int kLiveValuesSize = 80;
constexpr std::uint16_t kOutputCurrents = 0xF900;  // 4 singles, mA

// Byte offsets of the fields in a circuit's live-value block.
namespace live {
constexpr int kValue0 = 0;
constexpr int kDensity = 16;
constexpr int kPressure = 20;
constexpr int kTemperatureK = 24;
constexpr int kDiffPressure = 28;
constexpr int kOperatingFlow = 32;
constexpr int kMassFlow = 36;
constexpr int kMassTotalA = 40;
constexpr int kMassTotalB = 44;
constexpr int kFlowOrPower = 48;
constexpr int kTotalOrEnergyA = 52;
constexpr int kTotalOrEnergyB = 56;
constexpr int kOperatingSeconds = 60;
constexpr int kTemperature2K = 64;
}  // namespace live

constexpr std::uint16_t TrendBlock(int k) {
  return static_cast<std::uint16_t>(kTrendBlocks + kTrendBlockSize * k);
}
constexpr std::uint16_t EventEntry(int type, int entry) {
  return static_cast<std::uint16_t>(kEventEntries + 128 * type + 16 * entry);
}
constexpr std::uint16_t ArchiveRecord(int ch, int slot) {
  return static_cast<std::uint16_t>(kArchiveRecords + 256 * ch + 32 * slot);
}
constexpr std::uint16_t LiveValues(int ch) {
  return static_cast<std::uint16_t>(kLiveValues + kLiveValuesSize * ch);
}

}  // namespace flowsim::map
