// The port selection dialog: offers the serial ports present when the port is
// opened without a usable number. The list and the answer are serial's
// TComSelection; this is its window.
#pragma once

#include <QDialog>

#include <cstdint>
#include <memory>

#include "serial/sio_com_select.h"

namespace Ui {
class TComSelectForm;
}

namespace ui {

class TComSelectForm : public QDialog {
  Q_OBJECT

 public:
  // last: the highest port number offered.
  explicit TComSelectForm(QWidget* parent = nullptr,
                          const serial::TPortProbe& probe = serial::ProbePort,
                          uint32_t last = serial::kMaxSelectablePort);
  ~TComSelectForm() override;
  Ui::TComSelectForm* Form() const { return form_.get(); }
  const serial::TComSelection& Selection() const { return selection_; }

 public slots:
  void OkBtnClick();

 private:
  void FormCreate();
  std::unique_ptr<Ui::TComSelectForm> form_;
  serial::TComSelection selection_;
};

// The port's selection hook: shows the dialog modally, with the ports the
// settings can hold; true with the chosen number when it was left with OK on a
// port.
bool SelectComPort(uint16_t& com_number);

}  // namespace ui
