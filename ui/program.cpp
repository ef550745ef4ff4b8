#include "ui/program.h"

#include <QApplication>
#include <QPointer>

#include <charconv>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>

#include "platform/clock.h"
#include "platform/file_limits.h"
#include "platform/ini_file.h"
#include "platform/main_thread.h"
#include "platform/single_instance.h"
#include "serial/sio_errors.h"
#include "serial/sio_port.h"
#include "services/app_window.h"
#include "services/settings_file.h"
#include "ui/chart_window.h"
#include "ui/close_signals.h"
#include "ui/com_select_form.h"
#include "ui/dialog_hooks.h"
#include "ui/input_dialog.h"
#include "ui/main_window.h"
#include "ui/pages/trend_page.h"
#include "ui/password_dialog.h"
#include "ui/print_preview.h"
#include "ui/qt_main_thread.h"
#include "ui/sat_table_editor.h"
#include "ui/settings_dialog.h"
#include "ui/table_editor.h"
#include "ui/wheel_guard.h"

namespace ui {

bool CheckSingleInstance() {
  if (platform::EnsureSingleInstance("Vandrel2")) return true;
  ShowMessageBox(nullptr, "vandrel2 is already running!!", "vandrel2", services::kMbOk);
  return false;
}

TProgram::TProgram(std::string program_folder) : program_folder_(std::move(program_folder)) {}

TProgram::~TProgram() {
  serial::SetExceptionDisplay(nullptr);
  // The dialogs belong to the main window and go with it.
  delete main_;
  serial::SetPortSelectionDialog(nullptr);
}

std::optional<int> TProgram::Start() {
  // A configured port that does not exist asks for one that does.
  serial::SetPortSelectionDialog(SelectComPort);
  main_ = new Tfrm_Main(program_folder_);
  new TWheelGuard(main_);
  // A session's end asks for the close, as the window's close button does.
  new TCloseSignals(main_, [window = QPointer<Tfrm_Main>(main_)] {
    if (window) window->CloseBySignal();
  });
  // An error of the port's own threads or handlers reaches the operator as any
  // handler's error does, in a message box on the interface thread.
  serial::SetExceptionDisplay([window = QPointer<Tfrm_Main>(main_)](std::exception_ptr error) {
    std::string text;
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      text = e.what();
    } catch (...) {
      text = "unknown error";
    }
    platform::GetMainThread().Post([window, text] {
      if (window) window->ShowError(text);
    });
  });
  try {
    if (!main_->FormCreate()) return 1;
  } catch (const std::exception& e) {
    // As the class library reports an error of the creation handler: the
    // program goes on with the window as far as it came. The window is shown
    // in any case: a process without a window would hold the single-instance
    // lock, and every later start would be refused.
    main_->ShowError(e.what());
    if (!main_->isVisible()) main_->show();
  }
  new Tsansicht(main_);
  new TInputDlg(main_);
  new TEinst(*main_, main_);
  new Tfrm_Tabelle(main_);
  new TPasswordDlg(main_);
  new Tfrm_Grafik(&main_->TrendPage(), main_);
  new Tfrm_UserSatTab(main_);
  return std::nullopt;
}

int WriteOnlineSettings(int com) {
  const std::string name = services::SettingsFileName();
  if (name.empty() || com < 1 || com > 8) {
    std::cerr << "vandrel2: no settings folder, or port outside COM1..COM8\n";
    return 1;
  }
  try {
    platform::TIniFile ini(name, false, platform::FileKind::kSettingsFile);
    ini.WriteInteger("Einstellungen", "Online", 1);
    ini.WriteInteger("Einstellungen", "Anschlu\xC3\x9F", com - 1);
    ini.UpdateFile();
  } catch (const platform::FileError& e) {
    std::cerr << "vandrel2: " << e.what() << "\n";
    return 1;
  }
  return 0;
}

int ProgramMain(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--online-com") == 0) {
    int com = 0;
    const char* end = argv[2] + std::strlen(argv[2]);
    const auto [ptr, ec] = std::from_chars(argv[2], end, com);
    return ec == std::errc() && ptr == end ? WriteOnlineSettings(com) : 1;
  }
  // The guard comes before any window; the message needs the application object.
  const bool first = platform::EnsureSingleInstance("Vandrel2");
  QApplication app(argc, argv);
  QApplication::setApplicationName("vandrel2");
  if (!first) {
    ShowMessageBox(nullptr, "vandrel2 is already running!!", "vandrel2", services::kMbOk);
    return 0;
  }
  TQtMainThread main_thread;
  platform::SetMainThread(&main_thread);
  platform::SetBeepHook([](uint32_t) { QApplication::beep(); });
  int code = 0;
  {
    TProgram program;
    if (auto exit_code = program.Start()) {
      code = *exit_code;
    } else {
      code = QApplication::exec();
    }
  }
  platform::SetBeepHook(nullptr);
  platform::SetMainThread(nullptr);
  platform::ReleaseSingleInstance();
  return code;
}

}  // namespace ui
