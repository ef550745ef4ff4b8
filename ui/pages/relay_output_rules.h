// What the relay alarm and analog output pages compute, without widgets: the
// device code of each choice and back, the quantity kind of a code, the value
// dialog's quantity and limits, the fit of an output scale to a new source, the
// edits of a limit pair and the lines of the two lists.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "devicelink/device_data.h"
#include "services/text_modules.h"
#include "ui/pages/dialog_row.h"

namespace ui {

// Entries of the source choices.
constexpr int kAlarmSourceCount = 34;
constexpr int kOutputSourceCount = 22;
// Alarm kinds 0 low limit, 1 high limit, 2 both.
constexpr int kAlarmKindCount = 3;

// The source code of alarm choice index (0..33); nullopt outside the list.
std::optional<uint8_t> AlarmCodeOfIndex(int index);
// The choice whose code is code; -1 for a code no choice gives (8, 16, 24..27,
// above 39), so the page never shows a source the device does not have.
int AlarmIndexOfCode(uint8_t code);
// Quantity kind of an alarm's limits by its source code.
uint8_t AlarmLimitKind(uint8_t code);

std::optional<uint8_t> OutputCodeOfIndex(int index);
int OutputIndexOfCode(uint8_t code);
// Quantity kind of an output's scale by its source code (17, mA, for the fixed
// current and codes without a source).
uint8_t OutputScaleKind(uint8_t code);

// The dialog of an alarm limit, by the source code; nullopt for code 0 (no
// source) and codes without a choice.
std::optional<TDialogRow> AlarmDialogRow(uint8_t code);
// The dialog of an output's scale (or of the fixed current for code 0), by the
// source code; nullopt for codes without a choice.
std::optional<TDialogRow> OutputDialogRow(uint8_t code);

// The scale brought into what the dialog accepts for a new source code: a bound
// outside the dialog's limits moves to the nearer limit; nothing the dialog
// would accept is cut. Code 0 and codes without a row leave the scale alone.
void FitOutputScale(uint8_t code, devicelink::TOutputSettings& output);
// The fixed current as the record holds it: tenths of a mA within 1.0..23.0 mA.
uint8_t KonstantOfCurrent(float milliampere);
// A fixed current byte brought into 10..230.
uint8_t ClampKonstant(uint8_t konstant);

// Which value a double-click on an alarm's limit list edits: the alarm kind 0
// edits the low limit, 1 the high limit, 2 the clicked line (0 low, 1 high).
enum class TAlarmLimit { Low, High };
std::optional<TAlarmLimit> AlarmLimitOfLine(uint8_t kind, int line);

// A low bound set to value: the high bound follows when it would be below it;
// and the other way round.
void SetLowBound(float& low, float& high, float value);
void SetHighBound(float& low, float& high, float value);

// Which value a double-click on an output's list edits.
enum class TOutputValue { Konstant, Min, Max, Err };
std::optional<TOutputValue> OutputValueOfLine(uint8_t code, int line);
// The dialog of the output's line: the scale rows by code, the fixed current in
// mA, the fault current as a plain number 1..23.
std::optional<TDialogRow> OutputLineDialog(uint8_t code, TOutputValue value);

// The limit list of an alarm: labels are the strings of the kind block, padded.
std::vector<std::string> AlarmLines(const devicelink::TAlarmSettings& alarm,
                                    const services::TextBlock& labels);
// The list of an output: scale, high end and fault current; or the fixed current.
std::vector<std::string> OutputLines(const devicelink::TOutputSettings& output,
                                     const services::TextBlock& labels);

}  // namespace ui
