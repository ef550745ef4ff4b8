// The value input dialog: its key filter, the reading of the entry on OK, the unit
// conversion both ways, and the dialog itself driven by keys.
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <bit>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "devicelink/device_data.h"
#include "platform/clock.h"
#include "services/app_state.h"
#include "ui/input_dialog.h"
#include "ui/input_dialog_logic.h"
#include "ui_input_dialog.h"

using ui::TInputDlg;

namespace {

constexpr int kRefused = -1;
// The room the form leaves between OK and Cancel.
constexpr int kButtonGap = 10;

// The user-unit choice of the device data model, as a test case sets it.
void SetUnits(bool user_units_on, uint8_t kind, uint8_t variant, int32_t medium) {
  devicelink::UnitSwitches.Einheiten = user_units_on ? 1 : 0;
  for (auto& unit : devicelink::UserUnits) unit.Variant = 0;
  if (kind < devicelink::UserUnits.size()) devicelink::UserUnits.at(kind).Variant = variant;
  services::Medium = medium;
}

}  // namespace

class InputDialogTest : public QObject {
  Q_OBJECT

 private:
  std::vector<uint32_t> beeps_;

 private slots:
  void init() {
    beeps_.clear();
    platform::SetBeepHook([this](uint32_t type) { beeps_.push_back(type); });
    SetUnits(false, 0, 0, 0);
  }
  void cleanup() {
    platform::SetBeepHook(nullptr);
    SetUnits(false, 0, 0, 0);
  }

  void keyFilter_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("allSelected");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("precision");
    QTest::addColumn<int>("expected");
    auto row = [](const char* name, const char* text, bool all, char key, int precision,
                  int expected) {
      QTest::newRow(name) << QString(text) << all << int(key) << precision << expected;
    };
    row("backspace on a full text", "-123.45", false, '\b', 5, '\b');
    row("0 past every digit limit", "123456", false, '0', 5, '0');
    row("a digit replaces an all-selected long text", "-123.45", true, '7', 5, '7');
    row("a digit into an empty text", "", true, '5', 5, '5');
    row("5th digit without a point", "1234", false, '5', 5, '5');
    row("6th digit without a point", "12345", false, '6', 5, kRefused);
    row("point text below 6 characters", "123.4", false, '5', 5, '5');
    row("point text of 6 characters", "123.45", false, '6', 5, kRefused);
    row("precision 7 allows 8 characters with a point", "123.456", false, '7', 7, '7');
    row("negative 5 digits", "-1234", false, '5', 5, '5');
    row("negative 6 digits", "-12345", false, '6', 5, kRefused);
    row("negative point text of 6 characters", "-123.4", false, '5', 5, '5');
    row("negative point text of 7 characters", "-123.45", false, '6', 5, kRefused);
    row("below one: 5th significant digit", "0.1234", false, '5', 5, '5');
    row("below one: 6th significant digit", "0.12345", false, '6', 5, kRefused);
    row("leading zeros after 0. do not count", "0.00001234", false, '5', 5, '5');
    row("leading zeros counted, 6th significant", "0.000012345", false, '6', 5, kRefused);
    row("a zero after a break counts", "0.010234", false, '5', 5, kRefused);
    row("point: comma typed", "12", false, ',', 5, '.');
    row("point: all selected", "12", true, '.', 5, kRefused);
    row("point: empty", "", true, '.', 5, kRefused);
    row("point: a second one", "1.2", false, '.', 5, kRefused);
    row("minus: all selected", "12", true, '-', 5, '-');
    row("minus: after E", "1E", false, '-', 5, '-');
    row("minus: inside a number", "12", false, '-', 5, kRefused);
    row("minus: after an exponent digit", "1E5", false, '-', 5, kRefused);
    row("E: lower case", "12", false, 'e', 5, 'E');
    row("E: a second one", "1E5", false, 'E', 5, kRefused);
    row("E: all selected", "12", true, 'E', 5, kRefused);
    row("E: empty", "", true, 'E', 5, kRefused);
    row("letter", "12", false, 'a', 5, kRefused);
    row("plus", "", true, '+', 5, kRefused);
    row("blank", "1", false, ' ', 5, kRefused);
  }
  void keyFilter() {
    QFETCH(QString, text);
    QFETCH(bool, allSelected);
    QFETCH(int, key);
    QFETCH(int, precision);
    QFETCH(int, expected);
    const std::optional<char> got =
        ui::FilterInputKey(text.toStdString(), allSelected, static_cast<char>(key), precision);
    QCOMPARE(got ? int(*got) : kRefused, expected);
  }

  void entry_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<float>("min");
    QTest::addColumn<float>("max");
    QTest::addColumn<float>("expected");
    QTest::addColumn<bool>("beep");
    auto row = [](const char* name, const char* text, float min, float max, float expected,
                  bool beep) {
      QTest::newRow(name) << QString(text) << min << max << expected << beep;
    };
    row("within the limits", "50", 0, 100, 50, false);
    row("above the maximum", "150", 0, 100, 100, true);
    row("below the minimum", "-5", 0, 100, 0, true);
    row("the maximum itself", "100", 0, 100, 100, false);
    row("below 1e-9 is 0", ".0000000001", -1, 1, 0, true);
    row("above -1e-9 is 0", "-0.0000000001", -1, 1, 0, true);
    row("1e-9 itself stays", "1E-9", -1, 1, 1e-9f, false);
    row("zero", "0", -1, 1, 0, false);
    row("comma", "12,5", 0, 100, 12.5f, false);
    row("exponent", "1.5E2", 0, 1000, 150, false);
    row("lone minus", "-", -10, 10, 0, false);
    row("trailing E", "12E", 0, 100, 12, false);
    row("trailing E-", "12E-", 0, 100, 12, false);
    row("empty", "", -10, 10, 0, false);
    row("lone minus below the minimum", "-", 1, 10, 1, true);
    row("exponent beyond double", "1E999", -1, 1, 1, true);
    row("negative exponent beyond double", "-1E999", -1, 1, -1, true);
    row("exponent below double", "1E-999", -1, 1, 0, true);
    row("infinity is no number", "INF", -1, 1, 0, false);
    row("not a number is no number", "NAN", -1, 1, 0, false);
  }
  void entry() {
    QFETCH(QString, text);
    QFETCH(float, min);
    QFETCH(float, max);
    QFETCH(float, expected);
    QFETCH(bool, beep);
    const ui::TInputEntry got = ui::ReadInputEntry(text.toStdString(), min, max);
    QCOMPARE(got.display_value, expected);
    QCOMPARE(got.beep, beep);
  }

  void completeNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("complete");
    for (const char* t : {"0", "12", "-12.5", "12.", "0,5", "1E5", "1.5E-3", "1E999"})
      QTest::newRow(t) << QString(t) << true;
    for (const char* t : {"", "-", "12E", "12E-", ".", "-E"})
      QTest::newRow(*t ? t : "empty") << QString(t) << false;
  }
  void completeNumber() {
    QFETCH(QString, text);
    QFETCH(bool, complete);
    QCOMPARE(ui::IsCompleteNumber(text.toStdString()), complete);
  }

  // OK on the text as shown returns the value itself, not the rounded text;
  // a text that is no number yet keeps the dialog open.
  void unchangedAndIncompleteEntries() {
    TInputDlg dlg;
    dlg.Precision = 5;
    dlg.Quantity = 255;
    dlg.MinValue = 0;
    dlg.MaxValue = 100000;
    auto exec = [&dlg] {
      QTimer::singleShot(10000, &dlg, &QDialog::reject);
      return dlg.exec();
    };
    QLineEdit* input = dlg.Form()->Input;
    for (float value : {101.325f, 12345.678f}) {
      dlg.Value = value;
      QTimer::singleShot(0, &dlg, [&] { QTest::keyClick(input, Qt::Key_Return); });
      QCOMPARE(exec(), int(QDialog::Accepted));
      QCOMPARE(dlg.Value, value);
    }
    // Typed again as shown: still the value itself.
    dlg.Value = 101.325f;
    QTimer::singleShot(0, &dlg, [&] {
      QCOMPARE(input->text(), QString("101.32"));
      QTest::keyClicks(input, "101.32");
      QTest::keyClick(input, Qt::Key_Return);
    });
    QCOMPARE(exec(), int(QDialog::Accepted));
    QCOMPARE(dlg.Value, 101.325f);
    QVERIFY(beeps_.empty());

    const std::pair<const char*, float> incomplete[] = {
        {"", 0}, {"-", 0}, {"12E", 12e-3f}, {"12E-", 12e-3f}};
    for (const auto& [typed, completed] : incomplete) {
      beeps_.clear();
      dlg.Value = 5;
      bool stayed_open = false;
      QTimer::singleShot(0, &dlg, [&] {
        input->setText(typed);
        dlg.Form()->OKBtn->click();
        stayed_open = dlg.isVisible();
        // The operator completes the number.
        QTest::keyClicks(input, "-3");
        QTest::keyClick(input, Qt::Key_Return);
      });
      QCOMPARE(exec(), int(QDialog::Accepted));
      QVERIFY2(stayed_open, typed);
      QCOMPARE(beeps_.front(), platform::kBeepDefault);
      QCOMPARE(dlg.Value, completed);
    }
  }

  // OK on the text as shown: a value the operator could have entered comes back
  // bit for bit; one outside the limits (a device value, or limits that moved
  // below it) is clamped with a beep, as typed; an integer-only cell gives the
  // integer it shows.
  void unchangedOk_data() {
    QTest::addColumn<int>("quantity");
    QTest::addColumn<float>("value");
    QTest::addColumn<float>("min");
    QTest::addColumn<float>("max");
    QTest::addColumn<bool>("integerOnly");
    QTest::addColumn<float>("returned");
    QTest::addColumn<bool>("beep");
    QTest::newRow("inside, more digits than shown")
        << 255 << 12345.678f << 0.f << 1e5f << false << 12345.678f << false;
    QTest::newRow("on the upper limit") << 255 << 120.f << 90.f << 120.f << false << 120.f << false;
    QTest::newRow("above: limit lowered below it")
        << 255 << 80.f << 0.f << 50.f << false << 50.f << true;
    QTest::newRow("below: device value under the limits")
        << 255 << 0.f << 90.f << 120.f << false << 90.f << true;
    QTest::newRow("above, its shown text rounds onto the limit")
        << 255 << 100.0004f << 0.f << 100.f << false << 100.f << true;
    QTest::newRow("above, in the display unit")
        << 1 << 250.f << 0.f << 200.f << false << 200.f << true;
    QTest::newRow("integer only, whole") << 255 << 42.f << 0.f << 1000.f << true << 42.f << false;
    QTest::newRow("integer only, not whole: the integer shown")
        << 255 << 273.9f << 0.f << 1000.f << true << 273.f << false;
    QTest::newRow("integer only, not whole and above")
        << 255 << 1000.7f << 0.f << 1000.f << true << 1000.f << true;
  }
  void unchangedOk() {
    QFETCH(int, quantity);
    QFETCH(float, value);
    QFETCH(float, min);
    QFETCH(float, max);
    QFETCH(bool, integerOnly);
    QFETCH(float, returned);
    QFETCH(bool, beep);
    SetUnits(true, 1, 1, 0);  // pressure in bar
    TInputDlg dlg;
    dlg.Precision = 5;
    dlg.Quantity = static_cast<uint8_t>(quantity);
    dlg.MinValue = min;
    dlg.MaxValue = max;
    dlg.IntegerOnly = integerOnly;
    dlg.Value = value;
    dlg.FormActivate();
    dlg.OKBtnClick();
    QCOMPARE(std::bit_cast<uint32_t>(dlg.Value), std::bit_cast<uint32_t>(returned));
    QCOMPARE(beeps_,
             beep ? std::vector<uint32_t>{platform::kBeepInformation} : std::vector<uint32_t>{});
  }

  void integerText_data() {
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("truncated, not rounded") << 273.9f << "273";
    QTest::newRow("negative truncated toward zero") << -273.9f << "-273";
    QTest::newRow("minus a half is 0, not -0") << -0.5f << "0";
    QTest::newRow("beyond 32 bits") << 1e10f << "10000000000";
  }
  void integerText() {
    QFETCH(float, value);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(ui::InputValueText(value, true, 5)), expected);
  }

  // Activation and OK on the dialog: what it shows and what typing gives back.
  void conversion_data() {
    QTest::addColumn<int>("quantity");
    QTest::addColumn<bool>("userUnits");
    QTest::addColumn<int>("variant");
    QTest::addColumn<float>("value");
    QTest::addColumn<float>("min");
    QTest::addColumn<float>("max");
    QTest::addColumn<bool>("integerOnly");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<float>("returned");
    QTest::newRow("degF") << 0 << true << 1 << 100.f << -50.f << 200.f << false << "212"
                          << "-58 .. 392"
                          << "212" << 100.f;
    QTest::newRow("degC with user units off")
        << 0 << false << 1 << 100.f << -50.f << 200.f << false << "100"
        << "-50 .. 200"
        << "20" << 20.f;
    QTest::newRow("pressure in bar") << 1 << true << 1 << 250.f << 0.f << 1000.f << false << "2.5"
                                     << "0 .. 10"
                                     << "3" << 300.f;
    QTest::newRow("plain number ignores user units")
        << 255 << true << 1 << 123.456f << -1000.f << 1000.f << false << "123.46"
        << "-1000 .. 1000"
        << "7.5" << 7.5f;
    QTest::newRow("kind 12 keeps the device unit")
        << 12 << true << 1 << 11.5f << 0.f << 100.f << false << "11500"
        << "0 .. 1E5"
        << "2000" << 2.f;
    QTest::newRow("variant without a row: unconverted")
        << 0 << true << 9 << 100.f << -50.f << 200.f << false << "100"
        << "-50 .. 200"
        << "20" << 20.f;
    QTest::newRow("integer only") << 255 << false << 0 << 273.9f << -0.5f << 1000.5f << true
                                  << "273"
                                  << "0 .. 1000"
                                  << "1000,5" << 1000.5f;
  }
  void conversion() {
    QFETCH(int, quantity);
    QFETCH(bool, userUnits);
    QFETCH(int, variant);
    QFETCH(float, value);
    QFETCH(float, min);
    QFETCH(float, max);
    QFETCH(bool, integerOnly);
    QFETCH(QString, shown);
    QFETCH(QString, caption);
    QFETCH(QString, typed);
    QFETCH(float, returned);
    SetUnits(userUnits, static_cast<uint8_t>(quantity), static_cast<uint8_t>(variant), 0);
    TInputDlg dlg;
    dlg.Precision = 5;
    dlg.Quantity = static_cast<uint8_t>(quantity);
    dlg.MinValue = min;
    dlg.MaxValue = max;
    dlg.Value = value;
    dlg.IntegerOnly = integerOnly;
    dlg.Cancelled = true;
    dlg.FormActivate();
    QCOMPARE(dlg.Form()->Input->text(), shown);
    QCOMPARE(dlg.windowTitle(), caption);
    QCOMPARE(dlg.Form()->LimitsLabel->text(), caption);
    QVERIFY(!dlg.Cancelled);
    dlg.Form()->Input->setText(typed);
    dlg.OKBtnClick();
    QCOMPARE(dlg.Value, returned);
    QVERIFY(beeps_.empty());
  }

  // The title bar may cut the caption short: the label above the entry shows it
  // whole, and the dialog widens for it, within the screen. What fits on one
  // line follows from the font and the screen the test finds; limits wider than
  // the screen go on two lines, never elided. A font of 22 pixels makes the
  // largest limits wider than any screen here, so both ways are taken. Short
  // limits in that font leave the buttons, grown to their captions, to set the
  // width: side by side, apart, inside the dialog.
  void limitsShownWhole_data() {
    QTest::addColumn<int>("quantity");
    QTest::addColumn<float>("min");
    QTest::addColumn<float>("max");
    QTest::addColumn<bool>("integerOnly");
    QTest::addColumn<int>("pixelSize");  // 0: the form's font
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("twoLines");  // the font makes the limits wider than the screen
    const QString largest =
        "-300000000549775575777803994281145270272 .. 300000000549775575777803994281145270272";
    QTest::newRow("widest limits of the pages")
        << 255 << -1e9f << 1e9f << false << 0 << "-1E9 .. 1E9" << false;
    QTest::newRow("temperature") << 0 << -273.15f << 1500.f << false << 0 << "-273.15 .. 1500"
                                 << false;
    QTest::newRow("integers of the largest floats")
        << 255 << -3e38f << 3e38f << true << 0 << largest << false;
    QTest::newRow("largest floats in a large font")
        << 255 << -3e38f << 3e38f << true << 22 << largest << true;
    QTest::newRow("short limits in a large font")
        << 255 << 0.f << 1.f << false << 22 << "0 .. 1" << false;
    QTest::newRow("short limits in a larger font")
        << 255 << 0.f << 1.f << false << 40 << "0 .. 1" << false;
  }
  void limitsShownWhole() {
    QFETCH(int, quantity);
    QFETCH(float, min);
    QFETCH(float, max);
    QFETCH(bool, integerOnly);
    QFETCH(int, pixelSize);
    QFETCH(QString, caption);
    QFETCH(bool, twoLines);
    SetUnits(false, 0, 0, 0);
    TInputDlg dlg;
    if (pixelSize > 0) {
      QFont font = dlg.font();
      font.setPixelSize(pixelSize);
      dlg.setFont(font);
    }
    const QSize designed = dlg.size();
    dlg.Precision = 5;
    dlg.Quantity = static_cast<uint8_t>(quantity);
    dlg.MinValue = min;
    dlg.MaxValue = max;
    dlg.Value = 0;
    dlg.IntegerOnly = integerOnly;
    dlg.FormActivate();
    Ui::TInputDlg& f = *dlg.Form();
    QLabel* label = f.LimitsLabel;
    QCOMPARE(dlg.windowTitle(), caption);

    const QFontMetricsF metrics(label->font());
    const auto width_of = [&metrics](const QString& text) {
      return static_cast<int>(std::ceil(metrics.horizontalAdvance(text)));
    };
    const int screen = dlg.screen()->availableGeometry().width();
    const bool one_line = width_of(caption) + 2 * label->x() <= screen;
    if (twoLines) QVERIFY2(!one_line, "the large font must not fit the screen");
    const QStringList halves = caption.split(" .. ");
    const QString expected = one_line ? caption : halves[0] + " ..\n" + halves[1];
    QCOMPARE(label->text(), expected);
    int widest = 0;
    for (const QString& line : expected.split('\n')) {
      widest = std::max(widest, width_of(line));
      QVERIFY(width_of(line) <= label->width());
    }
    QVERIFY(label->height() >= label->sizeHint().height());
    QVERIFY(label->geometry().bottom() < f.Input->y());
    QVERIFY(f.Input->geometry().bottom() < f.OKBtn->y());
    QCOMPARE(f.CancelBtn->y(), f.OKBtn->y());
    QVERIFY(label->geometry().right() < dlg.width());
    QVERIFY(f.Input->geometry().right() < dlg.width());
    // The buttons show their captions whole in the font in force, apart from
    // each other, inside the dialog.
    for (const QPushButton* b : {f.OKBtn, f.CancelBtn}) {
      const QFontMetrics caption(b->font());
      QVERIFY(b->width() > caption.horizontalAdvance(b->text()) &&
              b->height() > caption.height());
      QVERIFY(b->x() >= label->x() && b->geometry().right() < dlg.width() - label->x());
      QVERIFY(b->geometry().bottom() < dlg.height());
    }
    QVERIFY(f.OKBtn->x() + f.OKBtn->width() + kButtonGap <= f.CancelBtn->x());
    // As wide as the designed form, the limits or the buttons need, no wider.
    const int buttons = f.OKBtn->width() + kButtonGap + f.CancelBtn->width();
    QVERIFY(dlg.width() <= screen);
    QCOMPARE(dlg.width(),
             std::max({designed.width(), widest + 2 * label->x(), buttons + 2 * label->x()}));

    // The next use with short limits keeps nothing of this one: it is laid
    // out as in a dialog used for the first time.
    const auto activate_short = [](TInputDlg& d) {
      d.MinValue = 0;
      d.MaxValue = 1;
      d.IntegerOnly = false;
      d.FormActivate();
    };
    activate_short(dlg);
    TInputDlg fresh;
    fresh.setFont(dlg.font());
    fresh.Precision = 5;
    fresh.Quantity = 255;
    activate_short(fresh);
    QCOMPARE(label->text(), QString("0 .. 1"));
    QCOMPARE(dlg.size(), fresh.size());
    const Ui::TInputDlg& g = *fresh.Form();
    QCOMPARE(label->geometry(), g.LimitsLabel->geometry());
    QCOMPARE(f.Input->geometry(), g.Input->geometry());
    QCOMPARE(f.OKBtn->geometry(), g.OKBtn->geometry());
    QCOMPARE(f.CancelBtn->geometry(), g.CancelBtn->geometry());
  }

  // The dialog as the operator uses it: shown modally, keys typed, OK or Escape.
  void typedAndConfirmed() {
    SetUnits(true, 0, 1, 0);  // degF
    TInputDlg dlg;
    QCOMPARE(dlg.Form()->CancelBtn->text(), QString("Abbrechen"));
    QCOMPARE(dlg.Form()->Input->maxLength(), 20);
    dlg.Precision = 5;
    dlg.Quantity = 0;
    dlg.MinValue = -50;
    dlg.MaxValue = 200;
    dlg.Value = 0;
    QLineEdit* input = dlg.Form()->Input;
    // A failed check inside a step leaves the dialog open: close it all the same.
    auto exec = [&dlg] {
      QTimer::singleShot(10000, &dlg, &QDialog::reject);
      return dlg.exec();
    };

    // A point typed first is refused; the first digit replaces the selected text.
    QTimer::singleShot(0, &dlg, [&] {
      QCOMPARE(input->selectedText(), QString("32"));
      QTest::keyClicks(input, ".212");
      QCOMPARE(input->text(), QString("212"));
      QTest::keyClick(input, Qt::Key_Return);
    });
    QCOMPARE(exec(), int(QDialog::Accepted));
    QCOMPARE(dlg.Value, 100.f);
    QVERIFY(beeps_.empty());

    // Above the maximum: the maximum, a beep, and still OK.
    QTimer::singleShot(0, &dlg, [&] {
      QTest::keyClicks(input, "5e3");
      QCOMPARE(input->text(), QString("5E3"));
      QTest::mouseClick(dlg.Form()->OKBtn, Qt::LeftButton);
    });
    QCOMPARE(exec(), int(QDialog::Accepted));
    QCOMPARE(dlg.Value, 200.f);
    QCOMPARE(beeps_, std::vector<uint32_t>{platform::kBeepInformation});

    // Escape is Cancel: Cancelled set, the value untouched; the next use clears it.
    QTimer::singleShot(0, &dlg, [&] {
      QTest::keyClicks(input, "-1,5");
      QCOMPARE(input->text(), QString("-1.5"));
      QTest::keyClick(input, Qt::Key_Escape);
    });
    QCOMPARE(exec(), int(QDialog::Rejected));
    QVERIFY(dlg.Cancelled);
    QCOMPARE(dlg.Value, 200.f);
    QTimer::singleShot(0, &dlg, [&] {
      QVERIFY(!dlg.Cancelled);
      QTest::keyClicks(input, "-4x");
      QCOMPARE(input->text(), QString("-4"));
      QTest::keyClick(input, Qt::Key_Backspace);
      QTest::keyClicks(input, "40");
      QTest::keyClick(input, Qt::Key_Enter);
    });
    QCOMPARE(exec(), int(QDialog::Accepted));
    QCOMPARE(dlg.Value, -40.f);
    QCOMPARE(dlg.height(), 99);
    QCOMPARE(dlg.width(), std::max(176, 8 + dlg.Form()->OKBtn->width() + kButtonGap +
                                            dlg.Form()->CancelBtn->width() + 8));
  }
};

QTEST_MAIN(InputDialogTest)
#include "input_dialog_test.moc"
