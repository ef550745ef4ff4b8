// Saves a picture of every page and dialog of the program in German and in
// English: vandrel2_screenshots <folder> [steam]. The settings file decides the
// port; run it with a device online (scripts/screenshots.sh starts the simulated
// one). With "steam" (a steam device online) only the parameter pages, named
// steam-<language>-...
#include <QAbstractItemView>
#include <QApplication>
#include <QChart>
#include <QValueAxis>
#include <QXYSeries>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPixmap>
#include <QPoint>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "devicelink/device_data.h"
#include "devicelink/link_state.h"
#include "platform/clock.h"
#include "platform/ini_file.h"
#include "platform/main_thread.h"
#include "platform/port_names.h"
#include "serial/sio_port.h"
#include "devicelink/block_commands.h"
#include "services/program_texts.h"
#include "services/block_names.h"
#include "services/app_state.h"
#include "services/data_folders.h"
#include "services/port_failure.h"
#include "services/port_opening.h"
#include "services/settings_file.h"
#include "services/status_note.h"
#include "services/text_modules.h"
#include "tests/ui/form_access.h"
#include "tools/flowsim/device_map.h"
#include "tools/flowsim/port_link.h"
#include "tools/flowsim/pty_device.h"
#include "tools/flowsim/simulator.h"
#include "ui/about_box.h"
#include "ui/chart_window.h"
#include "ui/com_select_form.h"
#include "ui/dialog_hooks.h"
#include "ui/input_dialog.h"
#include "ui/main_window.h"
#include "ui/pages/operating_pages.h"
#include "ui/pages/system_pages.h"
#include "ui/pages/trend_page.h"
#include "ui/pages/units_page.h"
#include "ui/password_dialog.h"
#include "ui/program.h"
#include "ui/qt_main_thread.h"
#include "ui/radio_group.h"
#include "ui/sat_table_editor.h"
#include "ui/settings_dialog.h"
#include "ui/table_editor.h"
#include "ui_chart_window.h"
#include "ui_main_window.h"
#include "ui_password_dialog.h"
#include "ui_sat_table_editor.h"
#include "ui_settings_dialog.h"
#include "ui_table_editor.h"

namespace {

QString g_folder;

void Save(QWidget& w, const QString& name) {
  QApplication::processEvents();
  const QString file = g_folder + "/" + name + ".png";
  if (!w.grab().save(file)) std::cerr << "cannot save " << file.toStdString() << "\n";
  std::cout << file.toStdString() << "\n";
}

// Lets a window that was just shown be mapped, framed and painted.
void Settle(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// The window as the screen shows it, with the frame and title bar that a window
// manager (when one runs) draws around it.
void SaveOnScreen(QWidget& w, const QString& name) {
  const QRect r = w.frameGeometry();
  const QString file = g_folder + "/" + name + ".png";
  QScreen* screen = w.screen();
  if (screen == nullptr || !screen->grabWindow(0, r.x(), r.y(), r.width(), r.height()).save(file)) {
    std::cerr << "cannot save " << file.toStdString() << "\n";
  }
  std::cout << file.toStdString() << "\n";
}

// The value dialog with the longest limits the pages give, on the screen; the
// integers of the largest floats (a table editor's axis cell) on one line, and in
// a font of 30 pixels, too wide for the screen on one line, on two; short limits
// in that font, where the buttons set the width.
void ShootValueDialog(const QString& lang) {
  struct Limits {
    uint8_t quantity;
    float min, max;
    bool integer_only;
    int pixel_size;  // 0: the form's font
    const char* name;
  };
  const Limits cases[] = {{255, -1e9f, 1e9f, false, 0, "widest"},
                          {0, -273.15f, 1500, false, 0, "temperature"},
                          {255, -3e38f, 3e38f, true, 0, "largest"},
                          {255, -3e38f, 3e38f, true, 30, "largest-large-font"},
                          {255, 0, 1, false, 30, "short-large-font"}};
  const QFont form_font = ui::InputDlg->font();
  for (const Limits& l : cases) {
    ui::InputDlg->Precision = 5;
    ui::InputDlg->Quantity = l.quantity;
    ui::InputDlg->MinValue = l.min;
    ui::InputDlg->MaxValue = l.max;
    ui::InputDlg->Value = 0;
    ui::InputDlg->IntegerOnly = l.integer_only;
    QFont font = form_font;
    if (l.pixel_size > 0) font.setPixelSize(l.pixel_size);
    ui::InputDlg->setFont(font);
    ui::SetModalHook([&](QDialog& d) {
      d.show();
      Settle(400);  // a window manager frames it meanwhile
      Save(d, lang + "-dialog-InputDlg-" + l.name);
      SaveOnScreen(d, lang + "-dialog-InputDlg-" + l.name + "-screen");
      d.reject();
      return 0;
    });
    ui::ExecModal(*ui::InputDlg);
  }
  ui::InputDlg->IntegerOnly = false;
  ui::InputDlg->setFont(form_font);
  ui::SetModalHook(nullptr);
}

// Runs the command with Qt's own dialogs as the program opens them: each modal
// window that shows is saved under the next name and answered by its step.
struct ModalStep {
  QString name;
  std::function<void(QWidget&)> answer;
};
void RunAnswering(const std::function<void()>& command, const std::vector<ModalStep>& steps) {
  size_t next = 0;
  QPointer<QWidget> answered;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == answered || next >= steps.size()) return;
    answered = modal;
    Settle(300);  // the file dialog lists its folder meanwhile
    Save(*modal, steps[next].name);
    steps[next++].answer(*modal);
  });
  timer.start(100);
  command();
  timer.stop();
  if (next < steps.size()) std::cerr << "not shown: " << steps[next].name.toStdString() << "\n";
}

// What the file dialog lists: a parameter file with a long name, a link to it, a
// large file and a folder, in the documents folder.
void FillDocumentsFolder() {
  namespace fs = std::filesystem;
  const fs::path docs = services::GetDocumentsFolder();
  if (docs.empty() || fs::exists(docs / "Anlagen")) return;
  fs::create_directories(docs / "Anlagen");
  const fs::path set = docs / "Kunde Nord, Station 4, Kreis 1 (neu).PEG";
  std::ofstream(set, std::ios::binary) << "[T_User0]\r\nMin=1\r\n";
  std::error_code ec;
  fs::create_symlink(set.filename(), docs / "aktuell.PEG", ec);
  std::ofstream(docs / "Messwerte.PEG", std::ios::binary) << "[T_User0]\r\n";
  fs::resize_file(docs / "Messwerte.PEG", 48'000'000, ec);  // sparse
}

// The question before loading, the file dialog, and the print dialog.
void ShootQtDialogs(ui::Tfrm_Main& w, const QString& lang) {
  FillDocumentsFolder();
  const auto reject = [](QWidget& d) {
    if (auto* dialog = qobject_cast<QDialog*>(&d)) dialog->reject();
  };
  const auto yes = [reject](QWidget& d) {
    auto* box = qobject_cast<QMessageBox*>(&d);
    if (box != nullptr && box->button(QMessageBox::Yes) != nullptr) {
      box->button(QMessageBox::Yes)->click();
    } else {
      reject(d);
    }
  };
  RunAnswering([&] { w.mnu_LadenClick(); },
               {{lang + "-qt-question", yes}, {lang + "-qt-file-dialog", reject}});
  RunAnswering([&] { w.mnu_DruckenClick(ui::FormOf(w).mnu_Drucken); },
               {{lang + "-qt-print-dialog", reject}});
  // A FIFO chosen as a parameter file: refused at once, and said why.
  const std::string fifo = services::GetDocumentsFolder() + "/Pipe.PEG";
  ::mkfifo(fifo.c_str(), 0600);
  ui::SetFileDialogHook([&](const ui::TFileRequest&) { return fifo; });
  RunAnswering([&] { w.mnu_LadenClick(); },
               {{lang + "-qt-question-before-fifo", yes}, {lang + "-file-refused-fifo", reject}});
  ui::SetFileDialogHook(nullptr);
  // A set cut to its first half: the question names what it lacks before the
  // device is written. A write-protected set: refused before the overwrite question.
  const std::string whole = services::GetDocumentsFolder() + "/Ganz.PEG";
  const std::string half = services::GetDocumentsFolder() + "/Halb.PEG";
  std::filesystem::remove(whole);
  ui::SetFileDialogHook([&](const ui::TFileRequest&) { return whole; });
  w.mnu_SpeichernClick();
  {
    std::ifstream in(whole, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(half, std::ios::binary) << text.substr(0, text.find("[Alm_User1]"));
  }
  ui::SetFileDialogHook([&](const ui::TFileRequest&) { return half; });
  RunAnswering([&] { w.mnu_LadenClick(); },
               {{lang + "-qt-question-before-cut", yes}, {lang + "-load-lacks-parts", reject}});
  ::chmod(whole.c_str(), 0444);
  ui::SetFileDialogHook([&](const ui::TFileRequest&) { return whole; });
  RunAnswering([&] { w.mnu_SpeichernClick(); }, {{lang + "-save-write-protected", reject}});
  ui::SetFileDialogHook(nullptr);
  ::chmod(whole.c_str(), 0644);
  // Remark characters a parameter file cannot hold, named before the save.
  const std::vector<std::string> memo = w.MemoLines();
  w.SetMemoLines({"R = 5 Ω, √(Δp)"});
  RunAnswering([&] { w.mnu_SpeichernClick(); }, {{lang + "-qt-remark-characters", reject}});
  w.SetMemoLines(memo);
  // A parameter file saved over one that is there.
  const std::string existing = services::GetDocumentsFolder() + "/Messwerte.PEG";
  ui::SetFileDialogHook([&](const ui::TFileRequest&) { return existing; });
  RunAnswering([&] { w.mnu_SpeichernClick(); }, {{lang + "-qt-overwrite", reject}});
  ui::SetFileDialogHook(nullptr);
}

// The parameter report with a page of remarks as a PDF (pdftoppm makes pictures
// of its pages).
void PrintReportTo(ui::Tfrm_Main& w, const QString& name) {
  ui::SetPrintDialogHook([&](QPrinter& printer) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(g_folder + "/" + name);
    return true;
  });
  const std::vector<std::string> memo = w.MemoLines();
  w.SetMemoLines({"Bemerkung / remark 1", "Bemerkung / remark 2",
                  "Ein Absatz ohne Zeilenende, wie ihn das Bemerkungsfeld am Bildschirm umbricht: "
                  "Der Ausdruck bricht ihn an den Leerzeichen auf die Breite des Textes um, "
                  "und ein Wort, das länger als eine Zeile ist, wird in sich getrennt: "
                  "Messstellenbezeichnung_Kesselhaus_Nord_Kreis_zwei_Durchflusszähler_Nummer_"
                  "2026-117-A."});
  w.mnu_DruckenClick(ui::FormOf(w).mnu_Drucken);
  w.SetMemoLines(memo);
  ui::SetPrintDialogHook(nullptr);
}

// Every parameter page, then the system page with active presets and the
// unit page with user units switched on by the operator (and off again).
void ShootParameterPages(ui::Tfrm_Main& w, const QString& prefix) {
  auto* f = &ui::FormOf(w);
  f->Notebook->setCurrentWidget(f->TabParameter);
  for (int i = 0; i < f->NBParameter->count(); ++i) {
    f->NBParameter->setCurrentIndex(i);
    w.NotebookMouseDown(f->NBParameter);
    Save(w, prefix + "-parameter-" + f->NBParameter->widget(i)->objectName());
  }
  // The medium kinds of both modules as the list drops down.
  f->NBParameter->setCurrentWidget(f->TabPar1);
  w.NotebookMouseDown(f->NBParameter);
  f->ComboPG1->showPopup();
  Save(*f->ComboPG1->view()->window(), prefix + "-parameter-TabPar1-medium-kinds");
  f->ComboPG1->hidePopup();
  f->NBParameter->setCurrentWidget(f->TabParSystem);
  w.NotebookMouseDown(f->NBParameter);
  const auto presets = devicelink::PresetValues;  // records only; the device keeps its own
  devicelink::PresetValues = {293.15f, 101.325f, 0, 0, 0, 0, 1500, 0};
  w.findChild<ui::TSystemPages*>()->ShowPresetValues();
  Save(w, prefix + "-parameter-TabParSystem-presets");
  devicelink::PresetValues = presets;
  f->NBParameter->setCurrentWidget(f->TabparEinheiten);
  w.NotebookMouseDown(f->NBParameter);
  auto* units = w.findChild<ui::TUnitsPage*>();
  f->CheckUserEinheiten->setChecked(true);
  units->CheckUserEinheitenClick();
  for (int sheet : {1, 4}) {
    f->PC_Usereinheiten->setCurrentIndex(sheet);
    Save(w, prefix + "-parameter-TabparEinheiten-on-" + QString::number(sheet));
  }
  f->PC_Usereinheiten->setCurrentIndex(0);
  f->CheckUserEinheiten->setChecked(false);
  units->CheckUserEinheitenClick();
}

// A menu as it drops down.
void SaveMenu(QMenu* menu, const QString& name) {
  menu->popup(QPoint(0, 0));
  Save(*menu, name);
  menu->hide();
}

// Both table editors as the medium group opens them, with the device's tables
// read; the property editor in its three views, with its menus.
void ShootTableEditors(const QString& lang) {
  ui::SetModalHook([&](QDialog& d) {
    d.show();
    if (auto* t = qobject_cast<ui::Tfrm_Tabelle*>(&d)) {
      Save(d, lang + "-table-editor");
      SaveMenu(t->Form()->Datei1, lang + "-table-editor-menu-file");
      SaveMenu(t->Form()->Bearbeiten1, lang + "-table-editor-menu-edit");
      SaveMenu(t->PopupMenu(), lang + "-table-editor-menu-popup");
      t->mnu_TemperaturClick(t->Form()->mnu_Temperatur);
      Save(d, lang + "-table-editor-temperatures");
      t->mnu_TemperaturClick(t->Form()->mnu_Druck);
      Save(d, lang + "-table-editor-pressures");
      t->mnu_TemperaturClick(t->Form()->mnu_Tabelle);
    } else if (auto* s = qobject_cast<ui::Tfrm_UserSatTab*>(&d)) {
      Save(d, lang + "-sat-table-editor");
      SaveMenu(s->Form()->Datei1, lang + "-sat-table-editor-menu-file");
    }
    d.reject();
    return 0;
  });
  ui::frm_Tabelle->Tag = 0;
  ui::frm_Tabelle->setWindowTitle(lang == "de" ? "Kompressibilitätstabelle 1"
                                                : "Compressibility table 1");
  ui::ExecModal(*ui::frm_Tabelle);
  ui::frm_UserSatTab->setWindowTitle(lang == "de" ? "Sattdampftabelle" : "Saturated steam table");
  ui::ExecModal(*ui::frm_UserSatTab);
  ui::SetModalHook(nullptr);
}

// ---- The status bar in the states the program reaches by itself

// Waits for the window to hear of what happened at its port (a device that went
// away is told through the event loop), at most 3 s.
bool WaitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 300 && !done(); ++i) Settle(10);
  return done();
}

// The status bar takes its new height, one layout after the other.
void SaveStatus(ui::Tfrm_Main& w, const QString& name) {
  for (int i = 0; i < 4; ++i) QApplication::processEvents();
  if (ui::FormOf(w).Label_Online->text() != "OFFLINE") {
    std::cerr << name.toStdString() << ": the program is not offline\n";
  }
  Save(w, name);
}

// The operator goes online (or offline) at port com through the settings
// dialog; a selection of another port is cancelled, the password dialog gets
// password. A failed connect leaves the settings open: they are cancelled.
void Connect(ui::Tfrm_Main& w, bool online, uint32_t com, const QString& password = {}) {
  ui::SetModalHook([&](QDialog& d) {
    d.show();
    if (d.objectName() == "TEinst") {
      auto& e = static_cast<ui::TEinst&>(d);
      e.Form()->Zustand_Grp->SetItemIndex(online ? 1 : 0);
      e.Form()->Com_Grp->SetItemIndex(static_cast<int>(com) - 1);
      e.Form()->BtnOk->click();
    } else if (d.objectName() == "TPasswordDlg") {
      auto& p = static_cast<ui::TPasswordDlg&>(d);
      p.SetText(password);
      p.Form()->mrOk->click();
    }
    if (d.isVisible()) d.reject();
    return d.result();
  });
  w.mnu_EinstellungenClick();
  ui::SetModalHook(nullptr);
}

// The picture of a failed connect when it failed for the reason wanted. A
// reason this machine cannot give (no access to a port as root, a built-in
// port of every number) is shown through the note the failure would leave,
// the program being offline from the connect before.
void SavePortFailure(ui::Tfrm_Main& w, const QString& name, services::TPortFailure wanted,
                     bool tried) {
  const services::TPortFailure& got = services::PortFailure();
  const std::string text = services::PortFailureText(got);
  const bool reached = tried && got.kind == wanted.kind && w.StatusPanel(0) == text;
  if (!reached) {
    std::cerr << name.toStdString() << ": not reached on this machine, its note shown by hand\n";
    if (devicelink::DeviceOnline) Connect(w, false, 1);
    services::ShowStatusNote(services::TStatusNote::PortFailed(wanted));
  }
  SaveStatus(w, name);
}

// A COM number without a link whose built-in port passes the check.
std::optional<uint32_t> BuiltInPort(const std::function<bool(const std::string&)>& check) {
  for (uint32_t n = 3; n <= services::kPortChoices; ++n) {
    if (std::filesystem::symlink_status(platform::PortLinkPath(n)).type() !=
        std::filesystem::file_type::not_found) {
      continue;
    }
    if (check("/dev/ttyS" + std::to_string(n - 1))) return n;
  }
  return std::nullopt;
}

// A simulated device of the program's own, linked as COM2.
struct OwnDevice {
  explicit OwnDevice(flowsim::SimulatorOptions options = {}) : sim(std::move(options)), pty(sim) {
    pty.Start();
    link = std::make_unique<flowsim::PortLink>(platform::PortsFolder(), 2, pty.SlavePath());
  }
  ~OwnDevice() { GoAway(); }
  // As an unplugged adapter: the device and its link are gone.
  void GoAway() {
    link.reset();
    pty.Stop();
  }
  flowsim::FlowSimulator sim;
  flowsim::PtyDevice pty;
  std::unique_ptr<flowsim::PortLink> link;
};

// Each reason a connect fails for, the wrong password and the lost link, each
// reached as the operator reaches it; the device of COM1 online again after.
void ShootStatusBar(ui::Tfrm_Main& w, const QString& lang) {
  using services::TPortFailureKind;
  namespace fs = std::filesystem;
  const QString prefix = lang + "-status-";
  {
    // Another program holds the port.
    OwnDevice device;
    serial::TSioComPort other;
    other.SetComNumber(2);
    other.SetOpen(true);
    Connect(w, true, 2);
    SavePortFailure(w, prefix + "port-in-use", {TPortFailureKind::kInUse, 2, {}, true, {}}, true);
  }
  {
    // The link of an adapter that is not plugged in.
    const std::string adapter = "/dev/serial/by-id/usb-Serial_Adapter_A50285BI-if00-port0";
    const bool absent = !fs::exists(adapter);
    const fs::path link = platform::PortLinkPath(4);
    fs::create_directories(link.parent_path());
    fs::remove(link);
    fs::create_symlink(adapter, link);
    if (absent) Connect(w, true, 4);
    SavePortFailure(w, prefix + "port-unplugged",
                    {TPortFailureKind::kNoSuchDevice, 4, adapter, true, {}}, absent);
    fs::remove(link);
  }
  {
    // No link and no built-in port of that number.
    const auto missing = BuiltInPort([](const std::string& path) { return !fs::exists(path); });
    if (missing) Connect(w, true, *missing);
    SavePortFailure(w, prefix + "port-missing",
                    {TPortFailureKind::kNoSuchDevice, 3, "/dev/ttyS2", false, {}},
                    missing.has_value());
  }
  {
    // A built-in port this user may not open.
    const auto denied = BuiltInPort([](const std::string& path) {
      return fs::exists(path) && ::access(path.c_str(), R_OK | W_OK) != 0;
    });
    if (denied) Connect(w, true, *denied);
    SavePortFailure(w, prefix + "port-denied",
                    {TPortFailureKind::kPermissionDenied, 1, "/dev/ttyS0", false, {}},
                    denied.has_value());
  }
  {
    // A device whose password is in force, given a wrong one.
    OwnDevice device;
    device.sim.EnablePassword("geheim");
    Connect(w, true, 2, "falsch");
    if (w.StatusPanel(0) != services::GetText(48)) {
      std::cerr << "password-wrong: the panel says " << w.StatusPanel(0) << "\n";
    }
    SaveStatus(w, prefix + "device-password-wrong");
  }
  {
    // Online, then the device goes away.
    OwnDevice device;
    Connect(w, true, 2);
    if (!devicelink::DeviceOnline) std::cerr << "link-lost: the device did not connect\n";
    w.RefreshShownPage();  // values to be shown from before the loss
    device.GoAway();
    if (!WaitFor([&] { return w.LinkLostSince().has_value(); })) {
      std::cerr << "link-lost: the program did not notice\n";
    }
    SaveStatus(w, prefix + "link-lost");
  }
  Connect(w, true, 1);
  if (!devicelink::DeviceOnline) std::cerr << "COM1 did not connect again\n";
}

// What the window says of a run of exchanges: a page the device did not
// report (a device on COM2 whose circuit-1 temperature block does not answer),
// a trend read the device breaks off, the close waiting for a set to go out,
// and the reports of blocks that may not have reached the device.
void ShootRunStates(ui::Tfrm_Main& w, const QString& lang) {
  auto* f = &ui::FormOf(w);
  const QString prefix = lang + "-status-";
  {
    OwnDevice device;
    device.sim.InjectFaultAt(flowsim::FaultKind::NoAnswer, flowsim::map::kTempParams,
                             flowsim::kEveryFrame);
    device.sim.InjectFaultAt(flowsim::FaultKind::NoAnswer, flowsim::map::TrendBlock(3),
                             flowsim::kEveryFrame);
    f->Notebook->setCurrentWidget(f->TabParameter);
    f->NBParameter->setCurrentWidget(f->TabPar1);
    Connect(w, true, 2);
    devicelink::TransferTimeout = 300;
    w.NotebookMouseDown(f->NBParameter);
    Save(w, prefix + "page-not-read");
    f->Notebook->setCurrentWidget(f->TabBetrieb);
    f->NBBetrieb->setCurrentWidget(f->TabTrend);
    w.NotebookMouseDown(f->NBBetrieb);
    w.TrendPage().cmd_ReadTrendsClick(f->cmd_ReadTrends);
    Save(w, prefix + "trend-read-stopped");
    f->NBBetrieb->setCurrentWidget(f->TabKreis1);
  }
  Connect(w, true, 1);
  if (!devicelink::DeviceOnline) std::cerr << "COM1 did not connect again\n";
  // Set by hand: the close itself would end the program.
  const std::string panel = w.StatusPanel(0);
  w.SetStatusPanel(0, services::ProgramText(services::text_id::kClosingAfterTransfer));
  Save(w, prefix + "closing-waits");
  w.SetStatusPanel(0, panel);
  const std::string blocks = services::BlockNames(
      {devicelink::BlockAddressOf(devicelink::TempParams[1]),
       devicelink::BlockAddressOf(devicelink::AlarmParams[1]),
       devicelink::BlockAddressOf(devicelink::OutputParams[2])});
  const auto close_box = [](QWidget& d) {
    if (auto* dialog = qobject_cast<QDialog*>(&d)) dialog->reject();
  };
  std::string not_sent = services::GetText(13314);
  not_sent.replace(not_sent.find('#'), 1, blocks);
  RunAnswering([&] { ui::ShowMessageBox(&w, not_sent, "vandrel2", services::kMbOk); },
               {{lang + "-box-not-sent", close_box}});
  RunAnswering(
      [&] {
        ui::ShowMessageBoxAfterClose(
            &w, services::ProgramText(services::text_id::kNotSentAtClose, {blocks}), "vandrel2",
            services::kMbOk | services::kMbIconWarning);
      },
      {{lang + "-box-not-sent-at-close", close_box}});
}

// The status bar at start, in both languages, with a device that says no: its
// password in force, or an identification of neither model. Each is a start of
// its own with the settings online at COM2; the settings are as before after.
void ShootStartStates() {
  const std::string settings = services::SettingsFileName();
  std::string kept;
  {
    std::ifstream in(settings, std::ios::binary);
    kept.assign(std::istreambuf_iterator<char>(in), {});
  }
  for (const bool locked : {true, false}) {
    OwnDevice device;
    if (locked) {
      device.sim.EnablePassword("geheim");
    } else {
      const std::string other = "XX-ABC7 ";
      device.sim.WriteMemory(flowsim::map::kIdentification,
                             std::vector<uint8_t>(other.begin(), other.end()));
    }
    for (const int language : {0, 1}) {
      {
        platform::TIniFile ini(settings, false, platform::FileKind::kSettingsFile);
        ini.WriteInteger("Einstellungen", "Online", 1);
        ini.WriteInteger("Einstellungen", "Anschlu\xC3\x9F", 1);
        ini.WriteInteger("System", "Sprache", language);
        ini.UpdateFile();
      }
      ui::TProgram program;
      if (program.Start()) {
        std::cerr << "a start with the settings at COM2 ended at once\n";
        continue;
      }
      ui::Tfrm_Main& w = *program.MainWindow();
      w.RefreshTimer()->stop();
      SaveStatus(w, QString(language == 0 ? "de" : "en") + "-status-device-" +
                        (locked ? "locked" : "unknown"));
      w.close();
    }
  }
  platform::WriteFileAtomically(settings, kept, platform::FileKind::kSettingsFile);
}

void Shoot(ui::Tfrm_Main& w, const QString& lang) {
  auto* f = &ui::FormOf(w);
  f->Notebook->setCurrentWidget(f->TabBetrieb);
  for (int i = 0; i < f->NBBetrieb->count(); ++i) {
    f->NBBetrieb->setCurrentIndex(i);
    w.NotebookMouseDown(f->NBBetrieb);
    Save(w, lang + "-betrieb-" + f->NBBetrieb->widget(i)->objectName());
  }
  ShootParameterPages(w, lang);
  // The clock field as the system page shows it after a read.
  f->NBParameter->setCurrentWidget(f->TabParSystem);
  w.OperatingPages().cmd_SetDateTimeClick();
  Save(w, lang + "-parameter-TabParSystem-set");
  // The trend page after a read, and circuit 1's records in the chart window.
  f->Notebook->setCurrentWidget(f->TabBetrieb);
  f->NBBetrieb->setCurrentWidget(f->TabTrend);
  w.TrendPage().cmd_ReadTrendsClick(f->cmd_ReadTrends);
  Save(w, lang + "-betrieb-TabTrend-read");
  w.TrendPage().cmd_GrafikClick();
  ui::frm_Grafik->Form()->SpeedButton2->click();
  Save(*ui::frm_Grafik, lang + "-grafik-ch1");
  // Every chart dragged across the last hours of its records, then across
  // their last half hour, at the start size and enlarged; the marks are laid
  // out anew after the layout.
  const QSize start = ui::frm_Grafik->size();
  for (QSize size : {start, QSize(1020, 740)}) {
    ui::frm_Grafik->resize(size);
    for (double span_ms : {6 * 3600e3, 1800e3}) {
      for (int i = 0; i < 4; ++i) {
        QChart* chart = ui::frm_Grafik->Chart(i);
        chart->zoomReset();
        QApplication::processEvents();
        double last = 0;
        for (QAbstractSeries* series : chart->series()) {
          for (const QPointF& p : static_cast<QXYSeries*>(series)->points()) {
            last = std::max(last, p.x());
          }
        }
        QAbstractSeries* any = chart->series().value(0);
        if (any == nullptr) continue;
        const QRectF area = chart->plotArea();
        const double left = chart->mapToPosition(QPointF(last - span_ms, 0), any).x();
        const double right = chart->mapToPosition(QPointF(last, 0), any).x();
        chart->zoomIn(QRectF(left, area.top(), right - left, area.height()));
      }
      for (int n = 0; n < 10; ++n) QApplication::processEvents();
      Save(
          *ui::frm_Grafik,
          lang + "-grafik-ch1-dragged-" + (span_ms > 3600e3 ? "hours" : "minutes") +
              (size == start ? QString() : QString("-%1x%2").arg(size.width()).arg(size.height())));
    }
  }
  ui::frm_Grafik->resize(start);
  // Circuit 2 has no records: bare axes and a word why.
  ui::frm_Grafik->Form()->SpeedButton3->click();
  for (int n = 0; n < 10; ++n) QApplication::processEvents();
  Save(*ui::frm_Grafik, lang + "-grafik-ch2");
  // One record stamped 1999 beside this year's: the time axis steps by years.
  for (devicelink::TTrendRecord& r : devicelink::TrendStore->Records) {
    if (r.Status != 1 || r.Circuit != 0) continue;
    const uint16_t year = r.Year;
    r.Year = 1999;
    ui::frm_Grafik->Form()->SpeedButton2->click();
    Save(*ui::frm_Grafik, lang + "-grafik-ch1-long-span");
    // The first chart dragged across its last fiftieth, where this year's
    // records are, then across those records, as the operator would.
    {
      QChart* chart = ui::frm_Grafik->Chart(0);
      const QRectF area = chart->plotArea();
      chart->zoomIn(QRectF(area.right() - area.width() / 50, area.top(), area.width() / 50 + 2,
                           area.height()));
      Save(*ui::frm_Grafik, lang + "-grafik-ch1-long-span-dragged-1");
      const auto* x = static_cast<QValueAxis*>(chart->axes(Qt::Horizontal).value(0));
      double from = x->max();
      double to = x->min();
      for (QAbstractSeries* series : chart->series()) {
        for (const QPointF& p : static_cast<QXYSeries*>(series)->points()) {
          if (p.x() < x->min()) continue;
          from = std::min(from, p.x());
          to = std::max(to, p.x());
        }
      }
      QAbstractSeries* any = chart->series().value(0);
      const double left = chart->mapToPosition(QPointF(from, 0), any).x() - 3;
      const double right = chart->mapToPosition(QPointF(to, 0), any).x() + 3;
      chart->zoomIn(QRectF(left, area.top(), right - left, area.height()));
      Save(*ui::frm_Grafik, lang + "-grafik-ch1-long-span-dragged-2");
    }
    r.Year = year;
    break;
  }
  // User units switched on after the read: grid and charts in °F and psi.
  {
    const devicelink::TUnitSwitches switches = devicelink::UnitSwitches;
    const auto units = devicelink::UserUnits;
    devicelink::UnitSwitches.Einheiten = 1;
    devicelink::UserUnits[0].Variant = 1;
    devicelink::UserUnits[1].Variant = 3;
    ui::frm_Grafik->Form()->SpeedButton2->click();
    Save(*ui::frm_Grafik, lang + "-grafik-ch1-user-units");
    w.TrendPage().Refresh(f->TabTrend);
    Save(w, lang + "-betrieb-TabTrend-user-units");
    devicelink::UnitSwitches = switches;
    devicelink::UserUnits = units;
    w.TrendPage().Refresh(f->TabTrend);
  }
  ui::frm_Grafik->hide();
  f->NBBetrieb->setCurrentWidget(f->TabKreis1);

  ui::SetModalHook([&](QDialog& d) {
    d.show();
    if (d.objectName() == "TEinst") {
      auto& e = static_cast<ui::TEinst&>(d);
      Save(d, lang + "-dialog-settings");
      // Going online from offline shows the transfer choice.
      devicelink::DeviceOnline = false;
      e.Form()->Zustand_Grp->SetItemIndex(0);
      e.Form()->Zustand_Grp->SetItemIndex(1);
      Save(d, lang + "-dialog-settings-connect");
      devicelink::DeviceOnline = true;
    } else if (d.objectName() == "TPasswordDlg") {
      static_cast<ui::TPasswordDlg&>(d).SetText("abc");
      Save(d, lang + "-dialog-password");
    } else {
      Save(d, lang + "-dialog-" + d.objectName());
    }
    d.reject();
    return 0;
  });
  w.mnu_EinstellungenClick();
  if (ui::PasswordDlg != nullptr) ui::ExecModal(*ui::PasswordDlg);
  w.mnu_InfoClick();
  w.mnu_DruckenClick(f->mnu_Seitenansicht);
  PrintReportTo(w, lang + "-report.pdf");
  // As a configured port that does not exist brings it up.
  uint16_t chosen = 0;
  ui::SelectComPort(chosen);
  ui::SetModalHook(nullptr);
  {
    // With ports the user may not open, named below the list.
    ui::TComSelectForm form(
        nullptr,
        [](uint32_t n) {
          if (n == 2 || n == 3) return serial::TPortState::kNoPermission;
          return n == 1 ? serial::TPortState::kPresent : serial::TPortState::kAbsent;
        },
        services::kPortChoices);
    form.show();
    Save(form, lang + "-dialog-TComSelectForm-refused");
  }
  ShootTableEditors(lang);
  ShootValueDialog(lang);
  ShootQtDialogs(w, lang);
  ShootStatusBar(w, lang);
  ShootRunStates(w, lang);
  // The splash as it shows over the window.
  w.AboutBox()->show();
  Save(*w.AboutBox(), lang + "-splash");
  w.AboutBox()->hide();
}

// The parameter pages of a steam device.
void ShootSteam(ui::Tfrm_Main& w, const QString& lang) {
  ShootParameterPages(w, "steam-" + lang);
  PrintReportTo(w, "steam-" + lang + "-report.pdf");
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  g_folder = argc > 1 ? QString(argv[1]) : QString("screenshots");
  const bool steam = argc > 2 && QString(argv[2]) == "steam";
  auto shoot = steam ? ShootSteam : Shoot;
  QDir().mkpath(g_folder);
  ui::TQtMainThread main_thread;
  platform::SetMainThread(&main_thread);
  int code = 0;
  {
    ui::TProgram program;
    if (auto exit_code = program.Start()) return *exit_code;
    ui::Tfrm_Main& w = *program.MainWindow();
    w.RefreshTimer()->stop();
    if (!devicelink::DeviceOnline) {
      std::cerr << "the device is not online; the pictures show an offline program\n";
      code = 2;
    }
    w.mnu_SpracheClick(FormOf(w).mnu_Deutsch);
    shoot(w, "de");
    w.mnu_SpracheClick(FormOf(w).mnu_Englisch);
    shoot(w, "en");
    w.mnu_SpracheClick(FormOf(w).mnu_Deutsch);
    w.close();
  }
  if (!steam) ShootStartStates();
  platform::SetMainThread(nullptr);
  return code;
}
