// What the chart window computes, free of widgets: the curves of a trend
// record, the labels of the time axis and the halves of the window's layout.
#pragma once

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
// At most max_ticks labelled marks at round times within [min_x, max_x]: the
// smallest round step (seconds to weeks, then months and years) that keeps
// within max_ticks.
std::vector<TTimeTick> TimeAxisTicks(double min_x, double max_x, int max_ticks);

// Half a length in pixels, an exact half rounded to the even neighbour.
int HalfToEven(int length);

}  // namespace ui
