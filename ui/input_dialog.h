// The modal dialog through which the operator types one number: shown in the unit of
// the lists, filtered as typed, clamped to the limits and handed back in device units.
#pragma once

#include <QDialog>
#include <QSize>
#include <QKeyEvent>

#include <cstdint>
#include <memory>

namespace Ui {
class TInputDlg;
}

namespace ui {

class TInputDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TInputDlg(QWidget* parent = nullptr);
  ~TInputDlg() override;
  Ui::TInputDlg* Form() const { return form_.get(); }

  float DisplayMin = 0;      // lower limit in the display unit, set on activation
  float DisplayMax = 0;      // upper limit in the display unit, set on activation
  float DisplayValue = 0;    // the value in the display unit, set on activation
  bool IntegerOnly = false;  // show value and limits truncated to integers
  bool Cancelled = false;    // set by the Cancel button, cleared on every activation
  int32_t Precision = 7;     // significant digits shown; also limits the typed length
  float Value = 0;           // in device units: in from the caller, out on OK
  float MaxValue = 0;        // upper limit in device units
  float MinValue = 0;        // lower limit in device units
  uint8_t Quantity = 255;    // quantity kind 0..17, 255 a plain number

 public slots:
  void FormActivate();
  void OKBtnClick();
  void CancelBtnClick();
  // The key filter of Input; true when the key is dealt with and goes no further.
  bool InputKeyPress(QKeyEvent* event);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // The caption and the label above the entry show the limits; the label and
  // the buttons take the room their texts need, and the layout the dialog's.
  void ShowLimits(const QString& min, const QString& max);

  std::unique_ptr<Ui::TInputDlg> form_;
  // The least sizes of the form as designed, which every activation starts
  // from afresh.
  struct {
    QSize label;
    QSize ok;
    QSize cancel;
  } designed_;
  // The value text as activation showed it: OK on it returns Value untouched
  // when it lies within the limits, not the rounded text read back.
  QString shown_text_;
};

extern TInputDlg* InputDlg;

}  // namespace ui
