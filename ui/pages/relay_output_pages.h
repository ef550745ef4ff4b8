// The relay alarm page and the analog output page.
#pragma once

#include "ui/pages/page.h"

class QComboBox;
class QListWidget;

namespace ui {

class TRelayOutputPages : public TPage {
  Q_OBJECT

 public:
  explicit TRelayOutputPages(TPageContext& context);

  std::vector<QWidget*> Pages() const override;
  void LoadTexts() override;
  void Refresh(QWidget* page) override;
  std::vector<uint16_t> Records(QWidget* page) const override;
  // The second output group only on a device with two circuits.
  TNavigation Navigate(QWidget* page) override;

  // The limit list of alarm a, the list of output o (0 and 1 have one).
  void ShowAlarmRelayParams(int a);
  void ShowAnalogOutputParams(int o);

 public slots:
  // The operator's choices and double-clicks; the sender tells the alarm or
  // output.
  void ComboAlm1Change(QComboBox* sender);
  void ComboAlmKind1Click(QComboBox* sender);
  void ListeAlm1DblClick(QListWidget* sender);
  void ComboAus1Click(QComboBox* sender);
  void ListeAus1DblClick(QListWidget* sender);

 private:
  void LoadRelayChoices();
  void LoadAnalogOutputChoices();
  // Choices and list of the alarm or output from its record.
  void ShowAlarm(int a);
  void ShowOutput(int o);
  // The edit's device side, then the group shown from the record read back.
  void WriteAlarm(int a);
  void WriteOutput(int o);
  int AlarmOf(const QObject* sender) const;
  int OutputOf(const QObject* sender) const;
};

}  // namespace ui
