// What the chart window computes, free of widgets: the curves of a trend
// record, the marks of the time and value axes and the halves of the window's
// layout.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "devicelink/device_data.h"
#include "ui/pages/trend_rules.h"

namespace ui {

// The sample time as milliseconds since 1970 with the device's clock fields
// taken as UTC, so the time axis has no gap or fold where the local clock
// changes for daylight saving.
double ChartTime(const TSampleTime& s);

struct TChartPoint {
  double x;  // ChartTime
  double y;  // value in the display unit of the column
};

// The curve of column c (0..3) of a record: its shown samples in time order,
// split where a sample is not a number, so no line bridges a missing sample.
std::vector<std::vector<TChartPoint>> TrendCurves(const devicelink::TTrendRecord& r, int c);

struct TTimeTick {
  double x;
  std::string label;
};
// The room a time axis gives its labels, in pixels from the plot's left edge,
// where the span starts (it ends at `width`): a label is centred on its mark,
// lies within [left, right] and keeps `gap` from its neighbours.
struct TLabelRoom {
  double width = 0;
  double left = 0;
  double right = 0;
  double gap = 0;
  std::function<double(const std::string&)> label_width;
};
// At most max_ticks labelled marks at round times within [min_x, max_x]: the
// smallest round step (seconds to weeks, then months and years) that keeps
// within max_ticks and, with a room, whose labels keep apart; marks whose
// label would cross the room's edges are left out, and a step with two marks
// goes before a finer one with a single mark. Marks of seconds and
// minutes show the time, the first of them and the first of each new day with
// the date; hours show day and time, days the date, months "MM.YYYY" and years
// "YYYY". Times outside the years 0 to 9999 get no marks.
std::vector<TTimeTick> TimeAxisTicks(double min_x, double max_x, int max_ticks,
                                     const TLabelRoom* room = nullptr);

struct TValueTick {
  double y;
  std::string label;
};
struct TValueScale {
  double min;
  double max;
  std::vector<TValueTick> ticks;  // from min to max, min and max included
};
// The value axis for values from min_y to max_y: a round step of 1, 2 or 5
// times a power of ten, so that at most max_ticks (at least 3) marks cover
// them, each labelled with exactly the decimals the step needs (scientific
// notation from a billion on and for steps below a billionth). An empty span
// is widened by a hundredth of the value, at least by 1 either way. No ticks
// for values that are not finite or a span beyond the largest double.
TValueScale ValueAxisScale(double min_y, double max_y, int max_ticks);

// Half a length in pixels, an exact half rounded to the even neighbour.
int HalfToEven(int length);

}  // namespace ui
