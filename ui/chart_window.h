// The trend chart window (its chart comes with the trend page).
#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class Tfrm_Grafik;
}

namespace ui {

class Tfrm_Grafik : public QWidget {
  Q_OBJECT

 public:
  explicit Tfrm_Grafik(QWidget* parent = nullptr);
  ~Tfrm_Grafik() override;
  Ui::Tfrm_Grafik* Form() const { return form_.get(); }

 private:
  std::unique_ptr<Ui::Tfrm_Grafik> form_;
};

extern Tfrm_Grafik* frm_Grafik;

}  // namespace ui
