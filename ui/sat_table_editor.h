// The saturation-table editor (its grid comes with the table editing).
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class Tfrm_UserSatTab;
}

namespace ui {

class Tfrm_UserSatTab : public QDialog {
  Q_OBJECT

 public:
  explicit Tfrm_UserSatTab(QWidget* parent = nullptr);
  ~Tfrm_UserSatTab() override;
  Ui::Tfrm_UserSatTab* Form() const { return form_.get(); }

 private:
  std::unique_ptr<Ui::Tfrm_UserSatTab> form_;
};

extern Tfrm_UserSatTab* frm_UserSatTab;

}  // namespace ui
