#include "ui/chart_rules.h"

#include <array>
#include <chrono>
#include <cmath>
#include <optional>

#include "platform/text_encoding.h"
#include "services/unit_tables.h"
#include "ui/input_dialog_logic.h"

namespace ui {
namespace {

namespace chr = std::chrono;

constexpr double kMsPerSecond = 1000;
constexpr int64_t kDay = 86400;

std::string Two(int v) {
  return platform::ZeroPad(v, 2);
}

}  // namespace

double ChartTime(const TSampleTime& s) {
  const TTrendTime& t = s.time;
  const chr::year_month_day date{chr::year{t.year}, chr::month{static_cast<unsigned>(t.month)},
                                 chr::day{static_cast<unsigned>(t.day)}};
  const int64_t days = chr::sys_days(date).time_since_epoch().count();
  const int64_t seconds = days * kDay + t.hour * 3600 + t.minute * 60 + s.second;
  return static_cast<double>(seconds) * kMsPerSecond;
}

std::vector<std::vector<TChartPoint>> TrendCurves(const devicelink::TTrendRecord& r, int c) {
  const services::TUnitRow* unit = services::FindUnitRow(kTrendColumnKinds.at(static_cast<size_t>(c)));
  std::vector<std::vector<TChartPoint>> curves;
  bool open = false;
  const std::vector<TSampleTime> times = SampleTimes(r);
  for (size_t j = 0; j < times.size(); ++j) {
    const float v = ToDisplayUnit(static_cast<float>(TrendColumnValue(r, c, static_cast<int>(j))), unit);
    if (!std::isfinite(v)) {
      open = false;
      continue;
    }
    if (!open) curves.emplace_back();
    open = true;
    curves.back().push_back({ChartTime(times[j]), v});
  }
  return curves;
}

namespace {

// Marks every step seconds from the first round one within the span; nullopt
// as soon as there would be more than max_ticks.
std::optional<std::vector<TTimeTick>> SecondTicks(double min_x, double max_x, int64_t step,
                                                  int max_ticks) {
  std::vector<TTimeTick> ticks;
  const int64_t first =
      static_cast<int64_t>(std::ceil(min_x / kMsPerSecond / static_cast<double>(step))) * step;
  for (int64_t t = first; static_cast<double>(t) * kMsPerSecond <= max_x; t += step) {
    if (static_cast<int>(ticks.size()) == max_ticks) return std::nullopt;
    const chr::sys_seconds tp{chr::seconds{t}};
    const chr::sys_days day = chr::floor<chr::days>(tp);
    const chr::year_month_day date{day};
    const chr::hh_mm_ss<chr::seconds> time{tp - day};
    const std::string dm = Two(static_cast<int>(static_cast<unsigned>(date.day()))) + "." +
                           Two(static_cast<int>(static_cast<unsigned>(date.month()))) + ".";
    const std::string hm = Two(static_cast<int>(time.hours().count())) + ":" +
                           Two(static_cast<int>(time.minutes().count()));
    std::string label;
    if (step < 60) {
      label = hm + ":" + Two(static_cast<int>(time.seconds().count()));
    } else if (step < kDay) {
      label = dm + " " + hm;
    } else {
      label = dm + std::to_string(static_cast<int>(date.year()));
    }
    ticks.push_back({static_cast<double>(t) * kMsPerSecond, label});
  }
  return ticks;
}

// Marks on the first of every step-th month (months counted from year 0, so
// yearly steps fall on round years); nullopt past max_ticks.
std::optional<std::vector<TTimeTick>> MonthTicks(double min_x, double max_x, int64_t step,
                                                 int max_ticks) {
  std::vector<TTimeTick> ticks;
  const chr::sys_days first_day =
      chr::floor<chr::days>(chr::sys_seconds{chr::seconds{
          static_cast<int64_t>(std::floor(min_x / kMsPerSecond))}});
  const chr::year_month_day from{first_day};
  int64_t month = static_cast<int64_t>(static_cast<int>(from.year())) * 12 +
                  static_cast<int64_t>(static_cast<unsigned>(from.month())) - 1;
  month = (month / step + (month % step > 0 ? 1 : 0)) * step;  // months are not negative here
  for (;; month += step) {
    const chr::year_month_day date{chr::year{static_cast<int>(month / 12)},
                                   chr::month{static_cast<unsigned>(month % 12 + 1)}, chr::day{1}};
    const double x = static_cast<double>(chr::sys_days(date).time_since_epoch().count()) *
                     static_cast<double>(kDay) * kMsPerSecond;
    if (x < min_x) continue;  // the first of the span's own month lies before it
    if (x > max_x) break;
    if (static_cast<int>(ticks.size()) == max_ticks) return std::nullopt;
    const std::string year = std::to_string(static_cast<int>(date.year()));
    ticks.push_back({x, step < 12 ? Two(static_cast<int>(static_cast<unsigned>(date.month()))) +
                                        "." + year
                                  : year});
  }
  return ticks;
}

}  // namespace

std::vector<TTimeTick> TimeAxisTicks(double min_x, double max_x, int max_ticks) {
  // Round steps of seconds up to two weeks, then of months and years, so a
  // span of minutes and one of decades alike get a few readable marks.
  static constexpr std::array<int64_t, 21> kSecondSteps = {
      1,    2,    5,    10,   15,    30,    60,    120,  300,      600,      900,
      1800, 3600, 7200, 10800, 21600, 43200, kDay, 2 * kDay, 7 * kDay, 14 * kDay};
  static constexpr std::array<int64_t, 13> kMonthSteps = {1,   2,   3,    6,    12,   24,  60,
                                                          120, 240, 600, 1200, 6000, 120000};
  if (!(max_x >= min_x) || !std::isfinite(min_x) || !std::isfinite(max_x) || max_ticks < 1) {
    return {};
  }
  for (int64_t step : kSecondSteps) {
    if (auto ticks = SecondTicks(min_x, max_x, step, max_ticks)) return *ticks;
  }
  for (int64_t step : kMonthSteps) {
    if (auto ticks = MonthTicks(min_x, max_x, step, max_ticks)) return *ticks;
  }
  return {};
}

int HalfToEven(int length) {
  const int half = length / 2;
  if (length % 2 == 0) return half;
  return half % 2 == 0 ? half : half + 1;
}

}  // namespace ui
