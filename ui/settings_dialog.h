// The settings dialog: port, baud rate, online or offline, the direction of the
// parameter transfer on connecting, and the refresh interval. Its OK runs the
// connect sequence; failures go to the error log with a beep, not to a box.
#pragma once

#include <QDialog>

#include <memory>
#include <string>

namespace Ui {
class TEinst;
}

namespace ui {

class Tfrm_Main;

class TEinst : public QDialog {
  Q_OBJECT

 public:
  TEinst(Tfrm_Main& main, QWidget* parent = nullptr);
  ~TEinst() override;
  Ui::TEinst* Form() const { return form_.get(); }

 public slots:
  void FormActivate();
  void FormDeactivate();
  void Sprache();
  void Zustand_GrpClick();
  void Ref_GrpClick();
  void BtnOkClick();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  Tfrm_Main& main_;
  std::unique_ptr<Ui::TEinst> form_;
  // A failure text the connect put into status panel 0, kept by the closing.
  std::string failure_panel_text_;
  // The main window's refresh when the dialog opened.
  bool refresh_was_active_ = false;
  int refresh_interval_ = 0;
};

extern TEinst* Einst;

}  // namespace ui
