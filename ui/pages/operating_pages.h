// The operating pages: the measured values of each circuit, the device's error
// log with its export, the totalizers, and the "SET" button of the device clock.
#pragma once

#include <set>
#include <vector>

#include "ui/dialog_hooks.h"
#include "ui/pages/page.h"

class QAction;
class QListWidget;
class QMenu;

namespace ui {

class TOperatingPages : public TPage {
  Q_OBJECT

 public:
  explicit TOperatingPages(TPageContext& context);

  std::vector<QWidget*> Pages() const override;
  void LoadTexts() override;
  void Refresh(QWidget* page) override;
  void Enter(QWidget* page) override;
  void Tick(QWidget* page) override;
  TNavigation Navigate(QWidget* page) override;
  void ClearDeviceValues() override;
  bool ReadFailed(QWidget* page) const override;

  // Reads circuit c (clock, system block, live values, circuit parameters,
  // output currents, unit switches and user units), stopping at the first
  // failure, and rebuilds its list once start-up has completed.
  void RefreshCircuitValues(int circuit);
  // The lines of circuit c from the data model and the error status into the
  // list of circuit c.
  void ShowMeasuredValues(int circuit);
  void ShowErrorLog();
  void ShowIntegrators();

  TFileRequest SaveDialog_ErrorProt;

 public slots:
  void TabKreis1Enter(QWidget* page);
  void PopupMenu1Popup();
  void Speichern1Click();
  void cmd_SetDateTimeClick();

 private:
  // A read of the page ended (ok) or failed; the pages whose last read failed.
  void NoteRead(const QWidget* page, bool ok);
  std::set<const QWidget*> failed_;
  QMenu* popup_menu_;
  QAction* speichern_action_;
};

}  // namespace ui
