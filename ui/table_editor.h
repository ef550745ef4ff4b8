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

  // Which of the device's two property tables the editor works on (0 or 1);
  // the medium group sets it, and the caption, before showing the editor.
  int Tag = 0;

 private:
  std::unique_ptr<Ui::Tfrm_Tabelle> form_;
};

extern Tfrm_Tabelle* frm_Tabelle;

}  // namespace ui
