// The property-table editor (its grid comes with the table editing).
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class Tfrm_Tabelle;
}

namespace ui {

class Tfrm_Tabelle : public QDialog {
  Q_OBJECT

 public:
  explicit Tfrm_Tabelle(QWidget* parent = nullptr);
  ~Tfrm_Tabelle() override;
  Ui::Tfrm_Tabelle* Form() const { return form_.get(); }

 private:
  std::unique_ptr<Ui::Tfrm_Tabelle> form_;
};

extern Tfrm_Tabelle* frm_Tabelle;

}  // namespace ui
