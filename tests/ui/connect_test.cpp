// The settings dialog's connect sequence against the simulated device: every
// failure with its log line, beep and outcome, the password check, the baud
// change, the parameter transfer and the refresh interval.
#include <QDateTime>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <cstring>
#include <filesystem>

#include "platform/clock.h"
#include "platform/text_encoding.h"
#include "serial/sio_port.h"
#include "services/parameter_file.h"
#include "services/port_opening.h"
#include "tools/flowsim/device_map.h"
#include "ui/pages/operating_pages.h"
#include "ui/password_dialog.h"
#include "ui/radio_group.h"
#include "ui/settings_dialog.h"
#include "request_trace.h"
#include "ui_fixture.h"
#include "ui_main_window.h"
#include "ui_password_dialog.h"
#include "ui_settings_dialog.h"

using namespace ui;
using namespace ui::testing;

namespace {

float FloatAt(flowsim::FlowSimulator& sim, uint16_t address) {
  const std::vector<uint8_t> b = sim.ReadMemory(address, 4);
  const uint32_t bits = uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

std::string LastLogLine(const std::string& log) {
  std::string s = log;
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  const size_t nl = s.rfind('\n');
  return nl == std::string::npos ? s : s.substr(nl + 1);
}

// The log without its last line.
std::string WithoutLastLine(const std::string& log) {
  std::string s = log;
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  const size_t nl = s.rfind('\n');
  return nl == std::string::npos ? std::string() : s.substr(0, nl + 1);
}

// The text of a log line behind its date and time.
std::string LogText(const std::string& line) {
  return line.size() > 21 ? line.substr(21) : std::string();
}

struct Choice {
  int online = 1;
  int com = 0;
  int baud = -1;  // -1: as the dialog shows it
  int transfer = -1;
  int refresh = 0;
};

}  // namespace

class ConnectTest : public QObject {
  Q_OBJECT
  std::unique_ptr<UiWorld> world;

  // Quick offline start, then real time for the exchanges.
  Tfrm_Main& StartOffline(flowsim::SimulatorOptions options = {}) {
    world->StartDevice(std::move(options));
    world->WriteSettings(false);
    world->UseManualClock();
    if (world->Start()) qFatal("start failed");
    world->UseSystemClock();
    return *world->Main();
  }

  // Opens the settings dialog, makes the choices and presses OK. after_ok runs
  // while the dialog would still be open.
  void Connect(const Choice& c, std::function<void()> after_ok = {}) {
    world->modal_scripts["TEinst"] = [c, after_ok](QDialog& d) {
      auto& e = static_cast<TEinst&>(d);
      e.Form()->Zustand_Grp->SetItemIndex(c.online);
      e.Form()->Com_Grp->SetItemIndex(c.com);
      if (c.baud >= 0) e.Form()->Bd_Grp->SetItemIndex(c.baud);
      if (c.transfer >= 0) e.Form()->Akt_Grp->SetItemIndex(c.transfer);
      e.Form()->Ref_Grp->SetItemIndex(c.refresh);
      e.Form()->BtnOk->click();
      if (after_ok) after_ok();
    };
    world->Main()->mnu_EinstellungenClick();
  }

  void AnswerPassword(const QString& entry, std::function<void()> check = {}) {
    world->modal_scripts["TPasswordDlg"] = [entry, check](QDialog& d) {
      auto& p = static_cast<TPasswordDlg&>(d);
      if (check) check();
      p.Form()->Password->setText(entry);
      p.Form()->mrOk->click();
    };
  }

 private slots:
  void init() { world = std::make_unique<UiWorld>(); }
  void cleanup() { world.reset(); }

  void connectFailures_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("log");
    QTest::addColumn<bool>("stays_open");
    QTest::addColumn<int>("panel_text");
    QTest::newRow("no identification") << "ident"
                                       << "ERROR:  Einst, OK, GetInitString" << true << 49;
    QTest::newRow("unknown identification")
        << "unknown"
        << "ERROR:  Einst, OK, GetInitString ?\?(XX-ABC7 )" << false << 0;
    QTest::newRow("system block unreadable") << "system"
                                             << "ERROR:  Einst, OK, GetSystem_user" << false << 49;
    QTest::newRow("password block unreadable") << "passwordblock"
                                               << "ERROR:  Einst, OK, GetPassword" << false << 0;
    QTest::newRow("password wrong twice") << "password"
                                          << "ERROR:  Einst, OK, Password" << false << 48;
  }
  void connectFailures() {
    QFETCH(QString, fault);
    QFETCH(QString, log);
    QFETCH(bool, stays_open);
    QFETCH(int, panel_text);
    flowsim::SimulatorOptions options;
    if (fault == "password") options.password = "geheim";
    Tfrm_Main& w = StartOffline(options);
    flowsim::FlowSimulator& sim = world->Device();
    if (fault == "ident")
      sim.InjectFaultAt(flowsim::FaultKind::NoAnswer, flowsim::map::kIdentification,
                        flowsim::kEveryFrame);
    if (fault == "unknown") GiveUnknownIdentification(sim);
    if (fault == "system")
      sim.InjectFaultAt(flowsim::FaultKind::NoAnswer, flowsim::map::kSystemParams,
                        flowsim::kEveryFrame);
    if (fault == "passwordblock")
      sim.InjectFaultAt(flowsim::FaultKind::NoAnswer, flowsim::map::kPasswordBlock,
                        flowsim::kEveryFrame);
    bool deactivated_early = false;
    AnswerPassword("falsch", [&] { deactivated_early = !w.Port().Open(); });

    std::string panel_while_open;
    bool port_open_while_open = true;
    Connect(Choice{}, [&] {
      panel_while_open = w.StatusPanel(0);
      port_open_while_open = w.Port().Open();
    });

    QCOMPARE(QString::fromStdString(LastLogLine(world->ErrorLog())).section(": ", 1), log);
    QVERIFY(LastLogLine(world->ErrorLog()).size() ==
            21 + static_cast<size_t>(log.toStdString().size()));
    QCOMPARE(world->beeps, std::vector<uint32_t>({platform::kBeepInformation}));
    QCOMPARE(world->stayed_open["TEinst"], stays_open);
    QCOMPARE(world->modal_count["TPasswordDlg"], fault == "password" ? 1 : 0);
    QVERIFY(!deactivated_early);
    const std::string expected_panel =
        panel_text ? services::GetText(static_cast<uint16_t>(panel_text)) : "";
    if (stays_open) {
      QCOMPARE(panel_while_open, expected_panel);
      QVERIFY(!port_open_while_open);
    } else {
      QCOMPARE(w.StatusPanel(0), expected_panel);
    }
    QVERIFY(!devicelink::DeviceOnline);
    QVERIFY(!w.Port().Open());
    QCOMPARE(FormOf(w).Label_Online->text(), QString("OFFLINE"));
    QVERIFY(!w.RefreshTimer()->isActive());
  }

  // A port that cannot be opened is not a silent device: the log gives the
  // reason right after the failed identification, status panel 0 shows it and
  // keeps it when the operator gives up.
  void portThatCannotBeOpened_data() {
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("com");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("asked");  // the port selection dialog
    QTest::newRow("held by another program")
        << "held" << 1 << 1 << int(services::TPortFailureKind::kInUse) << 0;
    QTest::newRow("adapter unplugged, none chosen instead")
        << "unplugged" << 0 << 1 << int(services::TPortFailureKind::kNoSuchDevice) << 1;
    QTest::newRow("not linked, none chosen instead")
        << "" << 1 << 5 << int(services::TPortFailureKind::kNoSuchDevice) << 1;
  }
  void portThatCannotBeOpened() {
    QFETCH(QString, port);
    QFETCH(int, language);
    QFETCH(int, com);
    QFETCH(int, kind);
    QFETCH(int, asked);
    world->SpoilCom1(port.toStdString());
    world->WriteSettings(false, language);
    world->UseManualClock();
    QCOMPARE(world->Start(), std::nullopt);
    world->UseSystemClock();
    Tfrm_Main& w = *world->Main();

    std::string panel_while_open;
    Choice c;
    c.com = com - 1;
    Connect(c, [&] { panel_while_open = w.StatusPanel(0); });

    const services::TPortFailure& failure = services::PortFailure();
    QCOMPARE(int(failure.kind), kind);
    QCOMPARE(failure.com_number, uint32_t(com));
    const std::string reason = services::PortFailureText(failure);
    QVERIFY(reason.find("COM" + std::to_string(com)) != std::string::npos);
    const std::string log = world->ErrorLog();
    QCOMPARE(LogText(LastLogLine(WithoutLastLine(log))),
             std::string("ERROR:  Einst, OK, GetInitString"));
    QCOMPARE(LogText(LastLogLine(log)), platform::Utf8ToCp1252(reason));
    QCOMPARE(world->beeps, std::vector<uint32_t>({platform::kBeepInformation}));
    QCOMPARE(world->modal_count["TComSelectForm"], asked);
    QVERIFY(world->stayed_open["TEinst"]);
    QCOMPARE(panel_while_open, reason);
    QCOMPARE(w.StatusPanel(0), reason);
    QVERIFY(!devicelink::DeviceOnline);
    QVERIFY(!w.Port().Open());
    QCOMPARE(FormOf(w).Label_Online->text(), QString("OFFLINE"));
    QVERIFY(world->boxes.empty());
    // The note follows a switch of the language.
    w.mnu_SpracheClick(language == 0 ? FormOf(w).mnu_Englisch : FormOf(w).mnu_Deutsch);
    QVERIFY(w.StatusPanel(0) != reason);
    QCOMPARE(w.StatusPanel(0), services::PortFailureText(failure));
  }

  // Failures that cannot be logged are still handled; the operator hears of the
  // log once per connect.
  void unwritableErrorLogIsToldOnce() {
    world->SpoilCom1("held");
    world->WriteSettings(false);
    world->UseManualClock();
    QCOMPARE(world->Start(), std::nullopt);
    world->UseSystemClock();
    Tfrm_Main& w = *world->Main();
    std::filesystem::create_directories(world->DataFolder() + "/Errors.log");
    Connect(Choice{});
    QCOMPARE(world->boxes.size(), size_t(1));
    QVERIFY(world->boxes[0].text.rfind(services::GetText(23) + "\n", 0) == 0);
    QCOMPARE(w.StatusPanel(0), services::PortFailureText(services::PortFailure()));
    QVERIFY(!devicelink::DeviceOnline);
  }

  void passwordIsPaddedAndAskedOnce() {
    flowsim::SimulatorOptions options;
    options.password = "ab";
    Tfrm_Main& w = StartOffline(options);
    AnswerPassword("ab");
    Connect(Choice{});
    QVERIFY(devicelink::DeviceOnline);
    QCOMPARE(devicelink::PasswordBlock.DevicePassword, std::string("ab------"));
    QCOMPARE(world->modal_count["TPasswordDlg"], 1);
    QCOMPARE(FormOf(w).Label_Online->text(), QString("ONLINE"));
    // Known from now on: the next connect does not ask again.
    Connect(Choice{});
    QVERIFY(devicelink::DeviceOnline);
    QCOMPARE(world->modal_count["TPasswordDlg"], 1);
    QVERIFY(world->beeps.empty());
    QCOMPARE(world->ErrorLog(), std::string());
  }

  void emptyEntryMatchesDashes() {
    flowsim::SimulatorOptions options;
    options.password = "";
    StartOffline(options);
    Connect(Choice{});
    QVERIFY(devicelink::PasswordBlock.PasswordActive != 0);
    QVERIFY(devicelink::DeviceOnline);
    QCOMPARE(world->modal_count["TPasswordDlg"], 0);
  }

  void passwordDialogLeavesSettingsActiveAndSendsParameters() {
    flowsim::SimulatorOptions options;
    options.password = "geheim";
    Tfrm_Main& w = StartOffline(options);
    flowsim::FlowSimulator& sim = world->Device();
    devicelink::TempParams[0].Max = 77.5f;
    devicelink::GasCommon.Ho = 99.0f;  // differs from the device's gas values
    bool transfer_kept = false;
    bool port_open = false;
    AnswerPassword("geheim", [&] {
      transfer_kept =
          !Einst->Form()->Akt_Grp->isHidden() && Einst->Form()->Akt_Grp->ItemIndex() == 1;
      port_open = w.Port().Open();
    });
    Choice c;
    c.transfer = 1;
    Connect(c);
    QVERIFY(transfer_kept);
    QVERIFY(port_open);
    QVERIFY(devicelink::DeviceOnline);
    QCOMPARE(FloatAt(sim, flowsim::map::kTempParams + 8), 77.5f);
    QCOMPARE(FloatAt(sim, flowsim::map::kGasCommon), 99.0f);
    // Changed gas values: the device must check its composition again.
    QCOMPARE(sim.ReadMemory(flowsim::map::kMediumParams + 2, 1)[0], uint8_t(0));
    QCOMPARE(sim.ReadMemory(flowsim::map::kMediumParams + 32 + 2, 1)[0], uint8_t(0));
  }

  void readsAllParametersOnConnect() {
    StartOffline();
    flowsim::FlowSimulator& sim = world->Device();
    devicelink::TempParams[0].Max = -1.0f;
    devicelink::PressureParams[1].Max = -1.0f;
    Choice c;
    c.transfer = 0;
    Connect(c);
    QVERIFY(devicelink::DeviceOnline);
    QCOMPARE(devicelink::TempParams[0].Max, FloatAt(sim, flowsim::map::kTempParams + 8));
    QCOMPARE(devicelink::PressureParams[1].Max,
             FloatAt(sim, flowsim::map::kPressureParams + 32 + 12));
    QVERIFY(devicelink::TempParams[0].Max != -1.0f);
  }

  void baudChangeRejectedKeepsOldRate() {
    Tfrm_Main& w = StartOffline();
    flowsim::FlowSimulator& sim = world->Device();
    Choice first;
    first.baud = 5;
    Connect(first);
    QVERIFY(devicelink::DeviceOnline);
    QCOMPARE(services::BaudIndex, 5);
    sim.InjectFaultAt(flowsim::FaultKind::Reject, flowsim::map::kOperatingMode, 4);
    Choice change;
    change.baud = 7;
    int baud_shown = -1;
    Connect(change, [&] { baud_shown = Einst->Form()->Bd_Grp->ItemIndex(); });
    QCOMPARE(QString::fromStdString(LastLogLine(world->ErrorLog())).section(": ", 1),
             QString("ERROR:  Einst, OK, SetBetrieb"));
    QVERIFY(world->beeps.empty());
    QCOMPARE(baud_shown, 5);
    QCOMPARE(services::BaudIndex, 5);
    QCOMPARE(devicelink::OperatingMode[0], uint8_t(5));
    QVERIFY(devicelink::DeviceOnline);
    QCOMPARE(FormOf(w).Label_Online->text(), QString("ONLINE"));
    QCOMPARE(sim.PendingFaults(), size_t(0));
  }

  // The device's own bytes of the operating-mode block stay as the device has
  // them, whatever the program last read.
  void baudChangeKeepsTheDevicesOwnModeBytes() {
    StartOffline();
    flowsim::FlowSimulator& sim = world->Device();
    Choice first;
    first.baud = 5;
    Connect(first);
    QVERIFY(devicelink::DeviceOnline);
    const std::vector<uint8_t> own = {7, 8, 9};
    sim.WriteMemory(flowsim::map::kOperatingMode + 1, own);
    Choice change;
    change.baud = 6;
    Connect(change);
    QCOMPARE(sim.ReadMemory(flowsim::map::kOperatingMode, 4), (std::vector<uint8_t>{6, 7, 8, 9}));
    QCOMPARE(services::BaudIndex, 6);
  }

  // The new rate goes only into the device the connect stays with.
  void baudIsWrittenOnlyWhenThePortStays_data() {
    QTest::addColumn<int>("com");
    QTest::newRow("baud alone") << 0;
    QTest::newRow("port and baud together") << 1;
  }
  void baudIsWrittenOnlyWhenThePortStays() {
    QFETCH(int, com);
    Tfrm_Main& w = StartOffline();
    flowsim::FlowSimulator& com1 = world->Device();
    flowsim::FlowSimulator& com2 = world->StartOtherDevice(2);
    Choice first;
    first.baud = 5;
    Connect(first);
    QVERIFY(devicelink::DeviceOnline);
    const std::vector<uint8_t> mode1 = com1.ReadMemory(flowsim::map::kOperatingMode, 4);
    const std::vector<uint8_t> mode2 = com2.ReadMemory(flowsim::map::kOperatingMode, 4);
    com1.ClearRequests();
    com2.ClearRequests();
    Choice change;
    change.com = com;
    change.baud = 6;
    Connect(change);

    auto mode_writes = [](flowsim::FlowSimulator& sim) {
      int n = 0;
      for (const TraceLine& l : Trace(sim.Requests()))
        n += l.write && l.address == flowsim::map::kOperatingMode;
      return n;
    };
    QCOMPARE(mode_writes(com1), com == 0 ? 1 : 0);
    QCOMPARE(mode_writes(com2), 0);
    std::vector<uint8_t> expected1 = mode1;
    if (com == 0) expected1[0] = 6;
    QCOMPARE(com1.ReadMemory(flowsim::map::kOperatingMode, 4), expected1);
    QCOMPARE(com2.ReadMemory(flowsim::map::kOperatingMode, 4), mode2);
    QVERIFY(devicelink::DeviceOnline);
    QCOMPARE(int(w.Port().ComNumber()), com + 1);
    QCOMPARE(services::PortIndex, com);
    QCOMPARE(services::BaudIndex, 6);
    QVERIFY(world->ErrorLog().empty());
  }

  // A device whose password is in force gives nothing but its identification
  // and password block before the right password; a wrong or cancelled one
  // leaves none of a device's values on the pages.
  void lockedDeviceIsReadNoFurther_data() {
    QTest::addColumn<bool>("online_before");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<bool>("steam");
    QTest::newRow("online before, wrong password") << true << false << false;
    QTest::newRow("offline before, password dialog cancelled") << false << true << false;
    QTest::newRow("offline before, steam device, wrong password") << false << false << true;
  }
  void lockedDeviceIsReadNoFurther() {
    QFETCH(bool, online_before);
    QFETCH(bool, cancel);
    QFETCH(bool, steam);
    flowsim::SimulatorOptions options;
    if (steam) options.setup.model = flowsim::DeviceModel::Steam;
    Tfrm_Main& w = StartOffline(options);
    flowsim::FlowSimulator& sim = world->Device();
    Ui::Tfrm_Main& f = FormOf(w);
    if (online_before) {
      Connect(Choice{});
      QVERIFY(devicelink::DeviceOnline);
      w.OperatingPages().RefreshCircuitValues(0);
      QVERIFY(f.ListeK1->count() > 0);
      QVERIFY(devicelink::TempParams[0].Max != 0.0f);
    } else {
      devicelink::TempParams[0].Max = 77.5f;  // the operator's set
      w.SetMemoLines({"remark"});
      f.ListeK1->addItem("an earlier device's value");
    }
    f.ListeIntegrator1->addItem("an earlier device's total");
    sim.EnablePassword("geheim");
    if (cancel) {
      world->modal_scripts["TPasswordDlg"] = [](QDialog& d) {
        static_cast<TPasswordDlg&>(d).Form()->CancelBtn->click();
      };
    } else {
      AnswerPassword("falsch");
    }
    sim.ClearRequests();
    Choice c;
    c.transfer = 1;  // offered only from offline: nothing may be sent either
    Connect(c);

    QCOMPARE(TraceText(Trace(sim.Requests())),
             QStringList({"R 80B0/8", "R 80E0/13"}));
    QCOMPARE(world->modal_count["TPasswordDlg"], 1);
    QVERIFY(!devicelink::DeviceOnline);
    QVERIFY(!w.Port().Open());
    QCOMPARE(w.StatusPanel(0), services::GetText(48));
    QCOMPARE(f.ListeK1->count(), 0);
    QCOMPARE(f.ListeIntegrator1->count(), 0);
    QCOMPARE(services::Medium, 0);
    QCOMPARE(devicelink::TempParams[0].Max, online_before ? 0.0f : 77.5f);
    QCOMPARE(w.MemoLines(), online_before ? std::vector<std::string>{}
                                          : std::vector<std::string>{"remark"});
  }

  void refreshIntervalAndOfflineChoice() {
    Tfrm_Main& w = StartOffline();
    Choice c;
    c.refresh = 1;
    Connect(c);
    QVERIFY(w.RefreshTimer()->isActive());
    QCOMPARE(w.RefreshTimer()->interval(), 2000);
    // The dialog stops the refresh while it is open; Cancel gives it back as it
    // ran, whatever interval was clicked meanwhile.
    bool stopped_while_open = false;
    world->modal_scripts["TEinst"] = [&](QDialog& d) {
      stopped_while_open = !w.RefreshTimer()->isActive();
      static_cast<TEinst&>(d).Form()->Ref_Grp->SetItemIndex(2);
      static_cast<TEinst&>(d).Form()->BtnCancel->click();
    };
    w.mnu_EinstellungenClick();
    QVERIFY(stopped_while_open);
    QVERIFY(w.RefreshTimer()->isActive());
    QCOMPARE(w.RefreshTimer()->interval(), 2000);
    QVERIFY(devicelink::DeviceOnline);
    QCOMPARE(FormOf(w).Label_Online->text(), QString("ONLINE"));
    c.refresh = 2;
    Connect(c);
    QCOMPARE(w.RefreshTimer()->interval(), 5000);
    QVERIFY(w.RefreshTimer()->isActive());
    c.refresh = 0;
    Connect(c);
    QVERIFY(!w.RefreshTimer()->isActive());
    QCOMPARE(w.RefreshTimer()->interval(), 10000);
    // Offline: the port is closed on the way out.
    c.online = 0;
    Connect(c);
    QVERIFY(!devicelink::DeviceOnline);
    QVERIFY(!w.Port().Open());
    QCOMPARE(FormOf(w).Label_Online->text(), QString("OFFLINE"));
    QVERIFY(world->beeps.empty());
  }

  // The adapter unplugged while online: panel 0 says since when the link is down,
  // in the program's language; the values shown stay, and the note stays while
  // the program is offline, also when the settings dialog was opened and closed.
  void aLostLinkIsToldWithItsTime_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("said");
    QTest::newRow("German") << 0 << "Verbindung zum Gerät verloren seit ";
    QTest::newRow("English") << 1 << "Connection to the device lost since ";
  }
  void aLostLinkIsToldWithItsTime() {
    QFETCH(int, language);
    QFETCH(QString, said);
    world->StartDevice();
    world->WriteSettings(true, language);
    QCOMPARE(world->Start(), std::nullopt);
    Tfrm_Main& w = *world->Main();
    QVERIFY(devicelink::DeviceOnline);
    auto& f = FormOf(w);
    const auto lines = [&] {
      QStringList out;
      for (int i = 0; i < f.ListeK1->count(); ++i) out << f.ListeK1->item(i)->text();
      return out;
    };
    const QStringList shown = lines();
    QVERIFY(!shown.isEmpty());
    const QString when = QDateTime::currentDateTime().toString("dd.MM.yyyy hh:mm");
    world->StopDevice();
    QTRY_COMPARE_WITH_TIMEOUT(f.Label_Online->text(), QString("OFFLINE"), 1000);
    const QString panel = QString::fromStdString(w.StatusPanel(0));
    const QString until = QDateTime::currentDateTime().toString("dd.MM.yyyy hh:mm");
    QVERIFY2(panel.startsWith(said + when) || panel.startsWith(said + until), qPrintable(panel));
    QCOMPARE(lines(), shown);
    world->modal_scripts["TEinst"] = [](QDialog& d) {
      static_cast<TEinst&>(d).Form()->BtnCancel->click();
    };
    w.mnu_EinstellungenClick();
    QCOMPARE(QString::fromStdString(w.StatusPanel(0)), panel);
    QCOMPARE(lines(), shown);
  }

  // The lost link's note follows a language switch, with its time, also when the
  // settings dialog put it back; a panel that says something else since stays.
  void aLostLinkNoteFollowsTheLanguage() {
    world->StartDevice();
    world->WriteSettings(true, 0);
    QCOMPARE(world->Start(), std::nullopt);
    Tfrm_Main& w = *world->Main();
    auto& f = FormOf(w);
    world->StopDevice();
    QTRY_COMPARE_WITH_TIMEOUT(f.Label_Online->text(), QString("OFFLINE"), 1000);
    const std::string german = w.StatusPanel(0);
    const std::string lead = "Verbindung zum Gerät verloren seit ";
    QVERIFY2(german.rfind(lead, 0) == 0, german.c_str());
    const std::string when = german.substr(lead.size(), 19);
    const std::string english =
        "Connection to the device lost since " + when + ". The values shown are from before then.";
    w.mnu_SpracheClick(f.mnu_Englisch);
    QCOMPARE(w.StatusPanel(0), english);
    world->modal_scripts["TEinst"] = [](QDialog& d) {
      static_cast<TEinst&>(d).Form()->BtnCancel->click();
    };
    w.mnu_EinstellungenClick();
    QCOMPARE(w.StatusPanel(0), english);
    w.mnu_SpracheClick(f.mnu_Deutsch);
    QCOMPARE(w.StatusPanel(0), german);
    w.SetStatusPanel(0, "kunde.PEG");
    w.mnu_SpracheClick(f.mnu_Englisch);
    QCOMPARE(w.StatusPanel(0), std::string("kunde.PEG"));
  }

  void steamDeviceSwitchesTexts() {
    flowsim::SimulatorOptions options;
    options.setup.model = flowsim::DeviceModel::Steam;
    Tfrm_Main& w = StartOffline(options);
    QCOMPARE(services::Medium, 0);
    Connect(Choice{});
    QVERIFY(devicelink::DeviceOnline);
    QCOMPARE(services::Medium, 1);
    QCOMPARE(w.windowTitle(), QString::fromStdString(services::GetText(1)));
    QVERIFY(w.windowTitle().contains("Dampf") || w.windowTitle().contains("steam"));
  }
};

QTEST_MAIN(ConnectTest)
#include "connect_test.moc"
