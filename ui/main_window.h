// The program's main window: the operating display and parameter notebooks, the
// status bar with the progress bar and online label, the menus, the refresh and
// clock timers, start-up and shutdown. It is also the window the lower layers
// talk to (online label, progress bar, status panels, message and file dialogs).
#pragma once

#include <QMainWindow>
#include <QRect>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "devicelink/window_link.h"
#include "dialog_hooks.h"
#include "services/app_window.h"

class QCloseEvent;
class QLabel;
class QMenu;
class QAction;
class QTabWidget;
class QTimer;
class QListWidget;

namespace serial {
class TSioComPort;
}

namespace Ui {
class Tfrm_Main;
}

namespace ui {

class TAboutBox;

// 1 once start-up has made the buffers and shown the window.
extern uint8_t FormReady;
// 1 while one of the guarded handlers (refresh and clock timers, page entry,
// notebook click, load) runs; the others then do nothing.
extern uint8_t CommBusy;

class Tfrm_Main : public QMainWindow, public devicelink::TWindowLink, public services::TAppWindow {
  Q_OBJECT

 public:
  // program_folder: where the text modules are; empty for the program's own folder.
  explicit Tfrm_Main(std::string program_folder = {}, QWidget* parent = nullptr);
  ~Tfrm_Main() override;

  // Brings the program up. False when it must end at once with exit code 1.
  // An error after the splash has been shown is passed on after the splash is
  // hidden and the clock timer started.
  bool FormCreate();

  Ui::Tfrm_Main* Form() const { return form_.get(); }
  serial::TSioComPort& Port() const { return *port_; }
  TAboutBox* AboutBox() const { return about_box_; }
  QTimer* RefreshTimer() const { return refresh_timer_; }
  QTimer* SystemTimer() const { return system_timer_; }
  QLabel* StatusPanelLabel() const { return panel0_; }
  bool FormClosed() const { return form_closed_; }

  // Texts and choice lists of the window from the text module, then the shown
  // page refreshed.
  void ApplyLanguageTexts();
  // Reads again what the shown page displays.
  void RefreshShownPage();
  void RefreshParameterPage();

  // Operating pages.
  void RefreshCircuitValues(int circuit);
  void ShowMeasuredValues();
  void ShowErrorLog();
  void ShowIntegrators();

  // Runs a handler body: exceptions end in a message box; cursor, progress bar
  // and busy flag come back; a close asked for meanwhile follows afterwards.
  template <class F>
  void Guarded(F&& body);

  // devicelink::TWindowLink
  void SetOnlineLabel(const std::string& caption, uint32_t colour) override;
  void SetProgressVisible(bool visible) override;
  void SetProgressMax(int max) override;
  void SetProgressPosition(int position) override;
  int ProgressPosition() const override;
  void SetCursor(devicelink::TCursorShape shape) override;

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

  TFileRequest SaveTrendDialog;
  TFileRequest SaveDialog_ErrorProt;

 public slots:
  void RefreshTimerTimer();
  void SystemTimerTimer();
  void TabKreis1Enter(QWidget* page);
  void NotebookMouseDown(QTabWidget* notebook);
  void StatusBarDrawPanel(int panel, const QRect& rect);
  void PopupMenu1Popup();
  void Speichern1Click();
  void cmd_SetDateTimeClick();
  void cmd_GrafikClick();
  void mnu_NeuClick();
  void mnu_LadenClick();
  void mnu_SpeichernClick();
  void mnu_DruckenClick();
  void mnu_BeendenClick();
  void mnu_EinstellungenClick();
  void mnu_SpracheClick(QAction* sender);
  void mnu_InfoClick();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormClose();
  void PrepareStatusBar();
  void ConnectHandlers();
  void FocusChanged(QWidget* old_widget, QWidget* now);
  void SetList(QListWidget* list, const std::vector<std::string>& lines);
  void AfterHandler();
  void ShowHandlerError(const std::string& text);

  // Text loaders.
  void LoadMenuTexts();
  void LoadOperatingPageTexts();
  void LoadParameterPageTexts();
  void LoadIntegratorTexts();

  std::unique_ptr<Ui::Tfrm_Main> form_;
  std::string program_folder_;
  std::unique_ptr<serial::TSioComPort> port_;
  TAboutBox* about_box_ = nullptr;
  QTimer* refresh_timer_;
  QTimer* system_timer_;
  QMenu* popup_menu_;
  QAction* speichern_action_;
  QAction* mnu_N1_;
  QAction* mnu_N2_;
  QLabel* panel0_;
  std::vector<QWidget*> panels_;
  std::vector<std::string> panel_texts_;
  services::TFileDialogState open_dialog_;
  services::TFileDialogState save_dialog_;
  int handler_depth_ = 0;
  bool close_pending_ = false;
  bool form_closed_ = false;
};

// The one main window while it exists.
extern Tfrm_Main* frm_Main;

template <class F>
void Tfrm_Main::Guarded(F&& body) {
  ++handler_depth_;
  const uint8_t busy = CommBusy;
  try {
    body();
  } catch (const std::exception& e) {
    CommBusy = busy;
    ShowHandlerError(e.what());
  } catch (...) {
    CommBusy = busy;
    ShowHandlerError("unknown error");
  }
  --handler_depth_;
  AfterHandler();
}

}  // namespace ui
