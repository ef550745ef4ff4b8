// What the application services need of the main window beyond the device
// link's label and progress bar: the status-bar panels, message boxes, the open
// and save dialogs with their remembered state, and the remarks memo. The main
// window installs its implementation; tests install a recorder that answers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace services {

// Message-box buttons and icons, and the button that closed the box.
constexpr uint32_t kMbOk = 0x00;
constexpr uint32_t kMbOkCancel = 0x01;
constexpr uint32_t kMbYesNoCancel = 0x03;
constexpr uint32_t kMbYesNo = 0x04;
constexpr uint32_t kMbIconError = 0x10;
constexpr uint32_t kMbIconQuestion = 0x20;
constexpr uint32_t kMbIconWarning = 0x30;
constexpr uint32_t kMbIconInformation = 0x40;
// The second button (No, Cancel) is the default: Enter does not confirm.
constexpr uint32_t kMbDefButton2 = 0x100;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// The state a file dialog keeps between uses (OpenDialog and SaveDialog).
struct TFileDialogState {
  std::string DefaultExt;  // without the dot, e.g. "PEG"
  std::string Filter;      // "description|pattern" pairs joined by "|"
  std::string FileName;    // chosen (or preset) full name
  std::string InitialDir;
};

class TAppWindow {
 public:
  virtual ~TAppWindow() = default;

  virtual void SetStatusPanel(int panel, const std::string& text) = 0;
  virtual std::string StatusPanel(int panel) const = 0;

  // A modal message box; returns the kId* of the button chosen.
  virtual int MessageBox(const std::string& text, const std::string& caption, uint32_t flags) = 0;
  // The application's error report (an exception that ended a command).
  virtual void ShowError(const std::string& text) = 0;

  virtual TFileDialogState& OpenDialog() = 0;
  virtual TFileDialogState& SaveDialog() = 0;
  // Shows the dialog; on OK its FileName holds the choice and the result is true.
  virtual bool ExecuteOpenDialog(TFileDialogState& dialog) = 0;
  virtual bool ExecuteSaveDialog(TFileDialogState& dialog) = 0;

  // Param_Memo, the operator's free-text remarks saved with a parameter set.
  virtual std::vector<std::string> MemoLines() const = 0;
  virtual void SetMemoLines(const std::vector<std::string>& lines) = 0;

  // What the connect sequence asks of the window; silent where a window has
  // no such part (tests of the services).
  // Every caption and choice list again from the text module (medium changed).
  virtual void ApplyLanguageTexts() {}
  // The shown parameter page read and shown again.
  virtual void RefreshParameterPage() {}
  // The page the window shows (operating or parameter page) read and shown again.
  virtual void RefreshShownPage() {}
  // The operating display's refresh timer on, at the interval chosen last.
  virtual void StartRefreshTimer() {}
  // The text of the password edit, which it keeps between connects.
  virtual std::string PasswordEntry() const { return {}; }
  // Empties the password edit and asks for the password modally.
  virtual void AskPassword() {}
  // Empties what the pages show of values read from a device (circuit values,
  // error log, totalizers, trends) and shows the shown page again, read from the
  // device when online (another device) or from the records (the device is no
  // longer accepted).
  virtual void ClearDeviceValues() {}
};

// The installed window. Calling it before one is installed is a programming
// error and raises std::logic_error.
TAppWindow& AppWindow();
// Installs a window (not owned); nullptr uninstalls it.
void SetAppWindow(TAppWindow* window);
bool HasAppWindow();

}  // namespace services
