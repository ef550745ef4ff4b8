// The program's main window, the frame of its pages: the one form with the
// notebooks, the status bar with the progress bar and online label, the menus,
// the refresh and clock timers, the busy flag, start-up and a close deferred
// until a running exchange has ended. The page groups (ui/pages/) own their
// handlers and lists; the frame dispatches to them through its page table. It is
// also the window the lower layers talk to (online label, progress bar, status
// panels, message and file dialogs, the connect sequence's requests).
#pragma once

#include <QMainWindow>
#include <QRect>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "devicelink/window_link.h"
#include "devicelink/window_scopes.h"
#include "platform/clock.h"
#include "services/app_window.h"
#include "ui/busy_flags.h"
#include "ui/command_gate.h"
#include "ui/pages/page.h"

class QCloseEvent;
class QLabel;
class QAction;
class QTabWidget;
class QTimer;

namespace serial {
class TSioComPort;
}

namespace Ui {
class Tfrm_Main;
}

namespace ui {

class TAboutBox;
class TOperatingPages;
class TTrendPage;
class TTabRows;
class TUnitsPage;

class Tfrm_Main : public QMainWindow,
                  public devicelink::TWindowLink,
                  public services::TAppWindow,
                  private TPageContext {
  Q_OBJECT

 public:
  // program_folder: where the text modules are; empty for the program's own folder.
  explicit Tfrm_Main(std::string program_folder = {}, QWidget* parent = nullptr);
  ~Tfrm_Main() override;

  // Brings the program up. False when it must end at once with exit code 1.
  // An error after the splash has been shown is passed on after the splash is
  // hidden and the clock timer started.
  bool FormCreate();

  serial::TSioComPort& Port() const { return *port_; }
  TAboutBox* AboutBox() const { return about_box_; }
  QTimer* RefreshTimer() const { return refresh_timer_; }
  QTimer* SystemTimer() const { return system_timer_; }
  bool FormClosed() const { return closed_; }
  // The gate every command enters by (see command_gate.h).
  TCommandGate& Gate() const { return *gate_; }
  // A signal to end (SIGTERM, SIGHUP, SIGINT) asks for the close as the
  // window's close button does; what may not have reached the device then
  // goes into the error log only.
  void CloseBySignal();
  const TPageTable& PageTable() const { return pages_; }
  TOperatingPages& OperatingPages() const { return *operating_; }
  TTrendPage& TrendPage() const { return *trend_; }
  // Empties the device clock field (the settings dialog, when it closes).
  void ClearClockField();

  // Texts and choice lists of the window from the text module, then the shown
  // page refreshed.
  void ApplyLanguageTexts() override;
  // Reads again what the shown page displays.
  void RefreshShownPage() override;
  void RefreshParameterPage() override;

  // What the pages use of the frame (the form itself only they reach).
  int ShownCircuit() const override;
  bool Command(const QObject* control, std::function<void()> body) override;
  bool OperatorEvent(const QObject* control, std::function<void()> body) override;

  // devicelink::TWindowLink
  void SetOnlineLabel(const std::string& caption, uint32_t colour) override;
  void SetProgressVisible(bool visible) override;
  void SetProgressMax(int max) override;
  void SetProgressPosition(int position) override;
  int ProgressPosition() const override;
  void SetCursor(devicelink::TCursorShape shape) override;
  void LinkLost() override;
  // Since when the link is down with its device; nullopt while it is up.
  const std::optional<platform::LocalDateTime>& LinkLostSince() const { return link_lost_since_; }

  // services::TAppWindow
  void SetStatusPanel(int panel, const std::string& text) override;
  std::string StatusPanel(int panel) const override;
  int MessageBox(const std::string& text, const std::string& caption, uint32_t flags) override;
  void ShowError(const std::string& text) override;
  services::TFileDialogState& OpenDialog() override { return open_dialog_; }
  services::TFileDialogState& SaveDialog() override { return save_dialog_; }
  bool ExecuteOpenDialog(services::TFileDialogState& dialog) override;
  bool ExecuteSaveDialog(services::TFileDialogState& dialog) override;
  std::vector<std::string> MemoLines() const override;
  void SetMemoLines(const std::vector<std::string>& lines) override;
  void StartRefreshTimer() override;
  std::string PasswordEntry() const override;
  void AskPassword() override;
  void ClearDeviceValues() override;

 public slots:
  void RefreshTimerTimer();
  void SystemTimerTimer();
  void NotebookMouseDown(QTabWidget* notebook);
  void StatusBarDrawPanel(int panel, const QRect& rect);
  void mnu_BeendenClick();
  void mnu_EinstellungenClick();
  void mnu_SpracheClick(QAction* sender);
  void mnu_InfoClick();
  // The parameter set as a whole (file_commands.cpp).
  void mnu_NeuClick();
  void mnu_LadenClick();
  void mnu_SpeichernClick();
  // Page preview (sender mnu_Seitenansicht) or print (mnu_Drucken).
  void mnu_DruckenClick(QAction* sender);

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The window tests reach the controls of the form (they define this).
  friend inline Ui::Tfrm_Main& FormOf(const Tfrm_Main& window);

  Ui::Tfrm_Main& Form() const override { return *form_; }
  QWidget* DialogParent() override { return this; }
  bool StartUp();
  void FormClose();
  void PrepareStatusBar();
  void ConnectHandlers();
  void FocusChanged(QWidget* old_widget, QWidget* now);
  // A notebook page reached in any way (click, keyboard, the program): it is
  // refreshed as a click would, once no command is running any more.
  void RequestNavigation();
  void Navigate();
  // How an error that ends a command reaches the operator.
  void ShowCommandError(std::exception_ptr error);
  // What may not have reached the device when the program closed: into the
  // error log, and for a close from the window into one box.
  void ReportNotSentAtClose();
  // Helpers of the file commands.
  bool AskYesNo(const std::string& text, uint32_t flags);
  // Where printing the report to a file starts.
  std::string ReportFileName() const;
  bool ReadDeviceSet(uint16_t question);
  void SendWholeSet();
  // The sub-notebook the main notebook shows.
  QTabWidget* ShownNotebook() const;

  // Text loaders of the frame's own parts.
  void LoadMenuTexts();
  void LoadOperatingPageTexts();
  void LoadParameterPageTexts();

  std::unique_ptr<Ui::Tfrm_Main> form_;
  std::string program_folder_;
  std::unique_ptr<serial::TSioComPort> port_;
  TAboutBox* about_box_ = nullptr;
  QTimer* refresh_timer_;
  QTimer* system_timer_;
  QAction* mnu_N1_;
  QAction* mnu_N2_;
  QLabel* panel0_ = nullptr;
  std::vector<QWidget*> panels_;
  std::vector<std::string> panel_texts_;
  services::TFileDialogState open_dialog_;
  services::TFileDialogState save_dialog_;
  TPageTable pages_;
  TOperatingPages* operating_ = nullptr;
  TTrendPage* trend_ = nullptr;
  TUnitsPage* units_ = nullptr;
  TTabRows* parameter_tabs_ = nullptr;
  // Every command enters by it; it knows whether the program closes.
  TCommandGate* gate_;
  // The navigation handler's own page switch under way, and the count of
  // handled navigations.
  bool navigating_ = false;
  unsigned navigations_ = 0;
  // FormClose has run.
  bool closed_ = false;
  // The close came from a signal, not from the window.
  bool close_by_signal_ = false;
  std::optional<devicelink::TCursorScope> closing_hourglass_;
  std::optional<platform::LocalDateTime> link_lost_since_;
};

// The one main window while it exists.
extern Tfrm_Main* frm_Main;

}  // namespace ui
