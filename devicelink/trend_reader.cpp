#include "devicelink/trend_reader.h"

#include <stdexcept>
#include <string>

#include "devicelink/block_codec.h"
#include "devicelink/block_commands.h"
#include "devicelink/device_data.h"

namespace devicelink {
namespace {

constexpr uint8_t kHeaderBytes = 36;
constexpr uint8_t kStampBytes = 8;

struct SampleRead {
  uint16_t offset;
  uint8_t n;
};
// Temperature and pressure words, then the two flows as singles.
constexpr SampleRead kSampleReads[4] = {{8, 120}, {128, 120}, {248, 240}, {488, 240}};

struct Stamp {
  uint8_t Circuit, Interval;
  uint16_t Year;
  uint8_t Month, Day, Hour, Minute, Count;
};

Stamp DecodeStamp(const std::string& data) {
  TBlockReader r(data);
  Stamp s{};
  s.Circuit = r.Byte();
  s.Interval = r.Byte();
  s.Year = DecodeBlockYear(r.Byte());
  s.Month = r.Byte();
  s.Day = r.Byte();
  s.Hour = r.Byte();
  s.Minute = r.Byte();
  s.Count = r.Byte();
  return s;
}

bool SameStamp(const TTrendRecord& r, const Stamp& s) {
  return r.Circuit == s.Circuit && r.Interval == s.Interval && r.Year == s.Year &&
         r.Month == s.Month && r.Day == s.Day && r.Hour == s.Hour && r.Minute == s.Minute &&
         r.Count == s.Count;
}

bool ValidStamp(const Stamp& s) {
  return s.Hour <= 23 && s.Minute <= 59 && s.Day >= 1 && s.Day <= 31 && s.Month >= 1 &&
         s.Month <= 12 && s.Interval >= 1 && s.Interval <= 100 && s.Circuit <= 2 &&
         s.Count <= kTrendSamples;
}

void StoreStamp(TTrendRecord& r, const Stamp& s) {
  r.Circuit = s.Circuit;
  r.Interval = s.Interval;
  r.Year = s.Year;
  r.Month = s.Month;
  r.Day = s.Day;
  r.Hour = s.Hour;
  r.Minute = s.Minute;
  r.Count = s.Count;
}

}  // namespace

bool ReadTrendHeader() {
  if (!TrendStore) return false;
  std::string data;
  if (!ReadDeviceBlock(kTrendHeaderAddress, kHeaderBytes, data)) return false;
  TBlockReader r(data);
  TTrendStore& store = *TrendStore;
  store.TrendRingState = r.Byte();
  store.TrendNewest = r.Byte();
  for (float& v : store.TrendHeaderValues) v = r.Single();
  store.TrendHeaderWord = r.Word();
  return true;
}

bool ReadTrendBlock(int k) {
  if (k < 0 || k >= kTrendRecords) throw std::out_of_range("trend block index out of range");
  if (!TrendStore) return false;
  TTrendRecord& record = TrendStore->Records.at(static_cast<size_t>(k));
  const uint16_t address = TrendBlockAddress(k);

  std::string data;
  if (!ReadDeviceBlock(address, kStampBytes, data)) return false;
  const Stamp stamp = DecodeStamp(data);
  // Unchanged since the last complete read: samples and statistics stay.
  if (record.Status == 1 && SameStamp(record, stamp)) return true;

  record.Status = 0;
  StoreStamp(record, stamp);
  if (!ValidStamp(stamp)) {
    // An empty or erased slot, not an error.
    StoreStamp(record, Stamp{});
    record.TempSamples.fill(0);
    record.PressureSamples.fill(0);
    record.StdFlowSamples.fill(0);
    record.MassFlowSamples.fill(0);
    return true;
  }

  std::string columns[4];
  for (int i = 0; i < 4; ++i) {
    const SampleRead& read = kSampleReads[i];
    if (!ReadDeviceBlock(static_cast<uint16_t>(address + read.offset), read.n, columns[i])) {
      return false;
    }
  }
  // Decode completely before storing, so a short block leaves the old samples.
  TTrendRecord fresh = record;
  TBlockReader temperatures(columns[0]);
  TBlockReader pressures(columns[1]);
  TBlockReader std_flows(columns[2]);
  TBlockReader mass_flows(columns[3]);
  for (int j = 0; j < kTrendSamples; ++j) {
    fresh.TempSamples.at(j) = static_cast<float>(temperatures.Word());
    fresh.PressureSamples.at(j) = pressures.Word();
    fresh.StdFlowSamples.at(j) = std_flows.Single();
    fresh.MassFlowSamples.at(j) = mass_flows.Single();
  }
  fresh.Status = 1;
  record = std::move(fresh);
  return true;
}

}  // namespace devicelink
