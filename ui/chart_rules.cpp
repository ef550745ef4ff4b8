#include "ui/chart_rules.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <limits>
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

// The dates a mark can name: years of four digits.
constexpr double kFirstShownTime =
    static_cast<double>(chr::sys_days(chr::year{0} / 1 / 1).time_since_epoch().count()) * kDay *
    kMsPerSecond;
constexpr double kLastShownTime =
    static_cast<double>(chr::sys_days(chr::year{10000} / 1 / 1).time_since_epoch().count()) * kDay *
        kMsPerSecond -
    1;

// Within the shown dates, so that no cast below meets a value beyond 64 bits;
// not-a-number ends at the first date.
double ShownTime(double x) {
  if (!(x >= kFirstShownTime)) return kFirstShownTime;
  return std::min(x, kLastShownTime);
}

std::string DayMonth(const chr::year_month_day& date) {
  return Two(static_cast<int>(static_cast<unsigned>(date.day()))) + "." +
         Two(static_cast<int>(static_cast<unsigned>(date.month()))) + ".";
}

// The marks of one step as they are offered, in time order: the ones whose
// label the room cannot hold at its edges left out.
class TMarks {
 public:
  enum TResult { kKept, kLeftOut, kEnd, kNoFit };

  TMarks(double min_x, double max_x, int max_ticks, const TLabelRoom* room)
      : min_x_(min_x), span_(max_x - min_x), max_ticks_(max_ticks), room_(room) {}

  // kNoFit: the step is too fine, its labels would touch or be too many.
  TResult Offer(double x, const std::string& label) {
    // Where labels keep apart, at most one or two at the start are left out:
    // a step that offers more is too fine, however far the span.
    if (++offered_ > max_ticks_ + 3) return kNoFit;
    if (room_ != nullptr) {
      const double centre = span_ > 0 ? (x - min_x_) / span_ * room_->width : 0;
      const double half = room_->label_width(label) / 2;
      if (centre - half < room_->left) return kLeftOut;
      if (centre + half > room_->right) return kEnd;
      if (!ticks.empty() && centre - half < right_ + room_->gap) return kNoFit;
      right_ = centre + half;
    }
    if (static_cast<int>(ticks.size()) == max_ticks_) return kNoFit;
    ticks.push_back({x, label});
    return kKept;
  }

  std::vector<TTimeTick> ticks;

 private:
  double min_x_;
  double span_;
  int max_ticks_;
  const TLabelRoom* room_;
  int offered_ = 0;
  double right_ = 0;
};

// Marks every step seconds from the first round one within the span; nullopt
// when the step is too fine.
std::optional<std::vector<TTimeTick>> SecondTicks(double min_x, double max_x, int64_t step,
                                                  int max_ticks, const TLabelRoom* room) {
  TMarks marks(min_x, max_x, max_ticks, room);
  if (max_x < kFirstShownTime || min_x > kLastShownTime) return marks.ticks;
  min_x = ShownTime(min_x);
  max_x = ShownTime(max_x);
  int64_t first =
      static_cast<int64_t>(std::ceil(min_x / kMsPerSecond / static_cast<double>(step))) * step;
  // The division may have lost a start just above a round time.
  if (static_cast<double>(first) * kMsPerSecond < min_x) first += step;
  chr::sys_days last_day{};
  for (int64_t t = first; static_cast<double>(t) * kMsPerSecond <= max_x; t += step) {
    const chr::sys_seconds tp{chr::seconds{t}};
    const chr::sys_days day = chr::floor<chr::days>(tp);
    const chr::year_month_day date{day};
    const chr::hh_mm_ss<chr::seconds> time{tp - day};
    std::string label;
    if (step >= kDay) {
      label = DayMonth(date) + platform::ZeroPad(static_cast<int>(date.year()), 4);
    } else {
      label = Two(static_cast<int>(time.hours().count())) + ":" +
              Two(static_cast<int>(time.minutes().count()));
      if (step < 60) label += ":" + Two(static_cast<int>(time.seconds().count()));
      // Hours always name their day; finer marks on the first one and where a
      // new day begins, so the span is never without its date.
      if (step >= 3600 || marks.ticks.empty() || day != last_day) {
        label = DayMonth(date) + " " + label;
      }
    }
    const TMarks::TResult r = marks.Offer(static_cast<double>(t) * kMsPerSecond, label);
    if (r == TMarks::kNoFit) return std::nullopt;
    if (r == TMarks::kEnd) break;
    if (r == TMarks::kKept) last_day = day;
  }
  return marks.ticks;
}

// Marks on the first of every step-th month (months counted from year 0, so
// yearly steps fall on round years); nullopt when the step is too fine.
std::optional<std::vector<TTimeTick>> MonthTicks(double min_x, double max_x, int64_t step,
                                                 int max_ticks, const TLabelRoom* room) {
  TMarks marks(min_x, max_x, max_ticks, room);
  if (max_x < kFirstShownTime || min_x > kLastShownTime) return marks.ticks;
  min_x = ShownTime(min_x);
  max_x = ShownTime(max_x);
  const chr::sys_days first_day =
      chr::floor<chr::days>(chr::sys_seconds{chr::seconds{
          static_cast<int64_t>(std::floor(min_x / kMsPerSecond))}});
  const chr::year_month_day from{first_day};
  int64_t month = static_cast<int64_t>(static_cast<int>(from.year())) * 12 +
                  static_cast<int64_t>(static_cast<unsigned>(from.month())) - 1;
  month = (month / step + (month % step > 0 ? 1 : 0)) * step;  // no month before year 0
  for (;; month += step) {
    const chr::year_month_day date{chr::year{static_cast<int>(month / 12)},
                                   chr::month{static_cast<unsigned>(month % 12 + 1)}, chr::day{1}};
    const double x = static_cast<double>(chr::sys_days(date).time_since_epoch().count()) *
                     static_cast<double>(kDay) * kMsPerSecond;
    if (x < min_x) continue;  // the first of the span's own month lies before it
    if (x > max_x) break;
    const std::string year = platform::ZeroPad(static_cast<int>(date.year()), 4);
    const TMarks::TResult r = marks.Offer(
        x,
        step < 12 ? Two(static_cast<int>(static_cast<unsigned>(date.month()))) + "." + year : year);
    if (r == TMarks::kNoFit) return std::nullopt;
    if (r == TMarks::kEnd) break;
  }
  return marks.ticks;
}

}  // namespace

std::vector<TTimeTick> TimeAxisTicks(double min_x, double max_x, int max_ticks,
                                     const TLabelRoom* room) {
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
  // The finest step that fits with two marks at least, else with one: a
  // coarser step may have room for a shorter label that a finer one had to
  // leave out at an edge.
  std::vector<TTimeTick> one;
  const auto enough = [&](const std::optional<std::vector<TTimeTick>>& ticks) {
    if (ticks && ticks->size() == 1 && one.empty()) one = *ticks;
    return ticks && ticks->size() >= 2;
  };
  for (int64_t step : kSecondSteps) {
    if (auto ticks = SecondTicks(min_x, max_x, step, max_ticks, room); enough(ticks)) return *ticks;
  }
  for (int64_t step : kMonthSteps) {
    if (auto ticks = MonthTicks(min_x, max_x, step, max_ticks, room); enough(ticks)) return *ticks;
  }
  return one;
}

namespace {

double Pow10(int e) {
  return std::pow(10.0, e);
}

std::string Chars(double v, std::chars_format format, int precision) {
  std::array<char, 64> buf;
  const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v, format, precision);
  return std::string(buf.data(), r.ptr);
}

}  // namespace

TValueScale ValueAxisScale(double min_y, double max_y, int max_ticks) {
  if (!std::isfinite(min_y) || !std::isfinite(max_y)) return {min_y, max_y, {}};
  if (min_y > max_y) std::swap(min_y, max_y);
  max_ticks = std::max(max_ticks, 3);  // a span across 0 has at least 3 marks
  const double magnitude = std::max(std::fabs(min_y), std::fabs(max_y));
  // Values closer than a float can tell apart at their size are one value.
  if (!(max_y - min_y > std::max(magnitude * 1e-12, 1e-200))) {
    const double d = std::max(1.0, magnitude * 0.01);
    min_y -= d;
    max_y += d;
  }
  const double span = max_y - min_y;
  if (!std::isfinite(span)) return {min_y, max_y, {}};
  int e = static_cast<int>(std::floor(std::log10(span / (max_ticks - 1))));
  for (; e <= std::numeric_limits<double>::max_exponent10; ++e) {
    for (int mult : {1, 2, 5}) {
      // In units of the step; a negative power of ten multiplies, being exact
      // where its inverse is not.
      const auto units = [&](double v) {
        return e < 0 ? v * Pow10(-e) / mult : v / (Pow10(e) * mult);
      };
      const auto value = [&](double n) {
        if (n == 0) return 0.0;  // no "-0"
        return e < 0 ? n * mult / Pow10(-e) : n * mult * Pow10(e);
      };
      const double first = std::floor(units(min_y));
      const double last = std::ceil(units(max_y));
      if (last - first + 1 > max_ticks) continue;
      TValueScale scale{value(first), value(last), {}};
      const double top = std::max(std::fabs(scale.min), std::fabs(scale.max));
      const bool scientific = top >= 1e9 || e < -9;
      const int digits = scientific ? std::max(0, static_cast<int>(std::floor(std::log10(top))) - e)
                                    : std::max(0, -e);
      for (double n = first; n <= last; ++n) {
        const double v = value(n);
        scale.ticks.push_back(
            {v,
             scientific && v == 0
                 ? std::string("0")
                 : Chars(v, scientific ? std::chars_format::scientific : std::chars_format::fixed,
                         digits)});
      }
      return scale;
    }
  }
  return {min_y, max_y, {}};
}

int HalfToEven(int length) {
  const int half = length / 2;
  if (length % 2 == 0) return half;
  return half % 2 == 0 ? half : half + 1;
}

}  // namespace ui
