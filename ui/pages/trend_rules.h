// What the trend page computes from the trend store, free of widgets: the
// calendar of a record's samples, the statistics, the list line, the grid's
// heading and times, and the lines of the export file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "devicelink/device_data.h"

namespace ui {

// The four sample columns: temperature, pressure, standard volume flow and
// mass flow, shown in the display unit of these quantity kinds.
constexpr std::array<uint8_t, 4> kTrendColumnKinds = {0, 1, 3, 4};

// The interval that stands for one second between samples.
constexpr int kSecondInterval = 100;

struct TTrendTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  bool operator==(const TTrendTime&) const = default;
};

// One sampling interval (minutes) forward, carrying into hour, day, month and
// year; every fourth year is a leap year. The one-second interval leaves the time
// as it is (the sample index gives the seconds).
void AdvanceTrendTime(TTrendTime& t, int interval);

// The record's stamp with the minute rounded down to a multiple of the interval
// (the one-second interval keeps the minute).
TTrendTime TrendStartTime(const devicelink::TTrendRecord& r);

// Samples shown and exported: Count, but 60 for a Count of 59.
int ShownSampleCount(const devicelink::TTrendRecord& r);

// Time of a shown sample: start time advanced by j + 1 intervals; the seconds
// count the samples at the one-second interval and are 0 otherwise.
struct TSampleTime {
  TTrendTime time;
  int second = 0;
};
std::vector<TSampleTime> SampleTimes(const devicelink::TTrendRecord& r);

// "DD.MM.YYYY hh:mm" (year unpadded) of the list.
std::string ListTimeText(const TTrendTime& t);
// "DD.MM.YYYY hh:mm:ss" of the grid and the export file.
std::string SampleTimeText(const TSampleTime& s);

// Value of sample j in column c (0..3) as the page uses it: the temperature's
// 0.1 K as degrees Celsius (in single precision), the others as they are.
double TrendColumnValue(const devicelink::TTrendRecord& r, int c, int j);

// Maximum, minimum and mean of each column over the record's Count samples, and
// the list's start and end texts, into the record. Samples that are not finite
// are left out; a column without a finite sample gets NaN. The samples stay as
// they are.
void ComputeTrendStatistics(devicelink::TTrendRecord& r);

// "Kreis n: <start>  -  <end> [nn]" (in the current language) from the texts
// ComputeTrendStatistics left.
std::string TrendListLine(const devicelink::TTrendRecord& r);

// The records the list shows, newest first: from the newest index (taken as 0
// above 43; the one after it when the ring state is 2) backwards round the ring,
// leaving out records without samples.
std::vector<int> TrendListOrder(const devicelink::TTrendStore& store);

// The grid's heading row from the strings of the trend text block: the time
// heading, then each column heading with its display unit in brackets.
std::array<std::string, 5> TrendGridHeadings(const std::array<std::string, 16>& texts);

// The export file's heading line, without line end.
std::string TrendExportHeading(const std::array<std::string, 5>& headings);
// The lines of the record's shown samples, oldest first, each ending in CR LF.
std::string TrendExportLines(const devicelink::TTrendRecord& r, int circuit_number,
                             const std::string& serial_no);

}  // namespace ui
