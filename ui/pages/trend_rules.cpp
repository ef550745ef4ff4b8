#include "ui/pages/trend_rules.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "platform/text_encoding.h"
#include "services/program_texts.h"
#include "services/value_format.h"

namespace ui {
namespace {

using devicelink::TTrendRecord;

bool IsLeapYear(int year) {
  return year % 4 == 0;
}

// The samples a record holds, whatever its stamp claims.
int StoredCount(int count) {
  return std::min(count, devicelink::kTrendSamples);
}

std::string TrimBlanks(const std::string& s) {
  const size_t first = s.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

}  // namespace

void AdvanceTrendTime(TTrendTime& t, int interval) {
  if (interval == kSecondInterval) return;
  // Intervals above 60 minutes carry more than one hour.
  t.minute += interval;
  t.hour += t.minute / 60;
  t.minute %= 60;
  t.day += t.hour / 24;
  t.hour %= 24;
  if (t.month == 2) {
    if (t.day > (IsLeapYear(t.year) ? 29 : 28)) {
      t.day = 1;
      ++t.month;
    }
  } else if (t.day > 31 ||
             (t.day > 30 && (t.month == 4 || t.month == 6 || t.month == 9 || t.month == 11))) {
    t.day = 1;
    ++t.month;
  }
  if (t.month > 12) {
    t.month = 1;
    ++t.year;
  }
}

TTrendTime TrendStartTime(const TTrendRecord& r) {
  TTrendTime t{r.Year, r.Month, r.Day, r.Hour, r.Minute};
  if (r.Interval != kSecondInterval && r.Interval != 0) t.minute = r.Minute / r.Interval * r.Interval;
  return t;
}

int ShownSampleCount(const TTrendRecord& r) {
  return r.Count == 59 ? 60 : StoredCount(r.Count);
}

std::vector<TSampleTime> SampleTimes(const TTrendRecord& r) {
  std::vector<TSampleTime> times;
  TTrendTime t = TrendStartTime(r);
  const bool seconds = r.Interval == kSecondInterval;
  for (int j = 0; j < ShownSampleCount(r); ++j) {
    AdvanceTrendTime(t, r.Interval);
    times.push_back({t, seconds ? j : 0});
  }
  return times;
}

std::string ListTimeText(const TTrendTime& t) {
  return platform::ZeroPad(t.day, 2) + "." + platform::ZeroPad(t.month, 2) + "." +
         std::to_string(t.year) + " " + platform::ZeroPad(t.hour, 2) + ":" +
         platform::ZeroPad(t.minute, 2);
}

std::string SampleTimeText(const TSampleTime& s) {
  const TTrendTime& t = s.time;
  return platform::ZeroPad(t.day, 2) + "." + platform::ZeroPad(t.month, 2) + "." +
         platform::ZeroPad(t.year, 4) + " " + platform::ZeroPad(t.hour, 2) + ":" +
         platform::ZeroPad(t.minute, 2) + ":" + platform::ZeroPad(s.second, 2);
}

double TrendColumnValue(const TTrendRecord& r, int c, int j) {
  const size_t i = static_cast<size_t>(j);
  switch (c) {
    case 0:
      return (r.TempSamples.at(i) - 2731.0f) / 10.0f;
    case 1:
      return r.PressureSamples.at(i);
    case 2:
      return r.StdFlowSamples.at(i);
    case 3:
      return r.MassFlowSamples.at(i);
    default:
      throw std::out_of_range("trend column");
  }
}

void ComputeTrendStatistics(TTrendRecord& r) {
  const TTrendTime start = TrendStartTime(r);
  TTrendTime end = start;
  const int count = StoredCount(r.Count);
  for (int j = 0; j < count; ++j) AdvanceTrendTime(end, r.Interval);
  for (int c = 0; c < 4; ++c) {
    const size_t ci = static_cast<size_t>(c);
    double max = std::numeric_limits<double>::quiet_NaN();
    double min = max;
    double sum = 0;
    int used = 0;
    for (int j = 0; j < count; ++j) {
      const double v = TrendColumnValue(r, c, j);
      // A sample the device could not measure says nothing about the others.
      if (!std::isfinite(v)) continue;
      if (used == 0 || v > max) max = v;
      if (used == 0 || v < min) min = v;
      sum += v;
      ++used;
    }
    r.MaxValues[ci] = max;
    r.MinValues[ci] = min;
    r.MeanValues[ci] = used > 0 ? sum / used : std::numeric_limits<double>::quiet_NaN();
  }
  r.StartText = ListTimeText(start);
  r.EndText = ListTimeText(end);
}

std::string TrendListLine(const TTrendRecord& r) {
  return services::ProgramText(services::text_id::kTrendListCircuit,
                               {std::to_string(r.Circuit + 1)}) +
         " " + r.StartText + "  -  " + r.EndText + " [" + platform::ZeroPad(r.Count, 2) + "]";
}

std::vector<int> TrendListOrder(const devicelink::TTrendStore& store) {
  constexpr int n = devicelink::kTrendRecords;
  int k = store.TrendNewest >= n ? 0 : store.TrendNewest;
  if (store.TrendRingState == 2) k = (k + 1) % n;
  std::vector<int> order;
  for (int i = 0; i < n; ++i) {
    const TTrendRecord& r = store.Records.at(static_cast<size_t>(k));
    if (r.Status != 0 && r.Count != 0) order.push_back(k);
    k = (k + n - 1) % n;
  }
  return order;
}

std::array<std::string, 5> TrendGridHeadings(const std::array<std::string, 16>& texts) {
  std::array<std::string, 5> h;
  h[0] = texts[0];
  for (size_t c = 0; c < 4; ++c) {
    h[c + 1] = texts[c + 1] + "[" + TrimBlanks(services::GetUnitText(kTrendColumnKinds[c], true)) +
               "]";
  }
  return h;
}

std::string TrendExportHeading(const std::array<std::string, 5>& headings) {
  std::string line = "SerNo;Kreis";
  for (const std::string& h : headings) line += ";" + h;
  return line;
}

std::string TrendExportLines(const TTrendRecord& r, int circuit_number,
                             const std::string& serial_no) {
  std::string out;
  const std::vector<TSampleTime> times = SampleTimes(r);
  for (size_t j = 0; j < times.size(); ++j) {
    out += serial_no + ";" + std::to_string(circuit_number) + ";" + SampleTimeText(times[j]);
    for (int c = 0; c < 4; ++c) {
      const float v = static_cast<float>(TrendColumnValue(r, c, static_cast<int>(j)));
      out += ";" + services::FormatValue(kTrendColumnKinds[static_cast<size_t>(c)], 0, 1, v);
    }
    out += "\r\n";
  }
  return out;
}

}  // namespace ui
