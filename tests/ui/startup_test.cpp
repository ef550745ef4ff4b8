// Start-up and shutdown of the program: the single-instance guard, the text
// module check, offline and online starts, the splash time, the close.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QTimer>

#include <set>
#include <stdexcept>
#include <thread>

#include "platform/single_instance.h"
#include "serial/sio_errors.h"
#include "serial/sio_port.h"
#include "services/parameter_file.h"
#include "services/port_opening.h"
#include "tests/platform/odd_files.h"
#include "tools/flowsim/device_map.h"
#include "ui/about_box.h"
#include "ui_fixture.h"
#include "ui_main_window.h"

using namespace ui;
using namespace ui::testing;

namespace {

// Reads of one device address since the simulator started.
int ReadsAt(flowsim::FlowSimulator& sim, uint16_t address) {
  int n = 0;
  for (const flowsim::RequestRecord& r : sim.Requests()) {
    if (r.request.size() >= 3 && r.request[0] == devicelink::kReadRequest &&
        (r.request[1] << 8 | r.request[2]) == address) {
      ++n;
    }
  }
  return n;
}

// Records when the about box is shown and hidden, in ticks of the clock in use.
class SplashWatch : public QObject {
 public:
  SplashWatch() { qApp->installEventFilter(this); }
  ~SplashWatch() override { qApp->removeEventFilter(this); }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched->objectName() == "TAboutBox") {
      if (event->type() == QEvent::Show) shown.push_back(platform::GetTickCount());
      if (event->type() == QEvent::Hide) hidden.push_back(platform::GetTickCount());
    }
    return false;
  }
  std::vector<uint32_t> shown, hidden;
};

}  // namespace

class StartupTest : public QObject {
  Q_OBJECT
  std::unique_ptr<UiWorld> world;

 private:
  // A quick offline start on the message loop given.
  void StartOfflineWith(TQtMainThread& loop) {
    platform::SetMainThread(&loop);
    world->WriteSettings(false);
    world->UseManualClock();
    QCOMPARE(world->Start(), std::nullopt);
  }

 private slots:
  void init() { world = std::make_unique<UiWorld>(); }
  void cleanup() { world.reset(); }

  void secondInstanceIsRefused() {
    world->SetEnv("XDG_RUNTIME_DIR", world->Temp("run"));
    std::filesystem::create_directories(world->Temp("run"));
    // Another process's lock: a lock of our own on a separate open of the file.
    const std::string path = platform::SingleInstanceLockPath("Vandrel2");
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT, 0600);
    QVERIFY(fd >= 0);
    QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0);
    QVERIFY(!CheckSingleInstance());
    QCOMPARE(world->boxes.size(), size_t(1));
    QCOMPARE(world->boxes[0].text, std::string("vandrel2 is already running!!"));
    QCOMPARE(world->boxes[0].flags, services::kMbOk);
    for (QWidget* w : QApplication::topLevelWidgets()) QVERIFY(!w->isVisible());
    ::close(fd);
    QVERIFY(CheckSingleInstance());
    platform::ReleaseSingleInstance();
  }

  void badTextModuleEndsWithExitCode1_data() {
    QTest::addColumn<QString>("module");
    QTest::newRow("missing") << QString();
    QTest::newRow("wrong family") << QString("0=XYZ9\n1=Kein Modul\n");
  }
  void badTextModuleEndsWithExitCode1() {
    QFETCH(QString, module);
    const std::string folder = world->Temp("program");
    std::filesystem::create_directories(folder);
    for (const char* name : {"Ltx1en.txt", "Ltx2de.txt", "Ltx2en.txt"}) {
      std::filesystem::copy_file(platform::ProgramFolder() + "/" + name, folder + "/" + name);
    }
    if (!module.isEmpty()) WriteFile(folder + "/Ltx1de.txt", module.toStdString());
    world->WriteSettings(false);
    const std::string before = ReadFile(world->SettingsFile());

    QCOMPARE(world->Start(folder), std::optional<int>(1));
    QCOMPARE(world->boxes.size(), size_t(1));
    QCOMPARE(world->boxes[0].text, std::string("Sprachen - Dll fehlt!"));
    QCOMPARE(world->boxes[0].flags, services::kMbOk | services::kMbIconError);
    QVERIFY(world->Main()->AboutBox() == nullptr);
    QVERIFY(!devicelink::TrendStore);
    world->EndProgram();
    QCOMPARE(ReadFile(world->SettingsFile()), before);
  }

  // A text module or a settings file that is a FIFO nobody writes to: the start
  // is not held, and the message names it.
  void fifoModuleOrSettingsDoNotHoldTheStart_data() {
    QTest::addColumn<bool>("module");
    QTest::newRow("text module") << true;
    QTest::newRow("settings file") << false;
  }
  void fifoModuleOrSettingsDoNotHoldTheStart() {
    QFETCH(bool, module);
    const std::string folder = world->ModuleFolder();
    world->WriteSettings(false);
    const std::string fifo = module ? folder + "/Ltx1de.txt" : world->SettingsFile();
    std::filesystem::remove(fifo);
    QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);
    platform::testing::FifoRelease release({fifo});
    world->UseManualClock();
    QElapsedTimer took;
    took.start();
    const std::optional<int> ended = world->Start(folder);
    QVERIFY(took.elapsed() < 1000);
    QCOMPARE(ended, module ? std::optional<int>(1) : std::nullopt);
    QCOMPARE(world->boxes.size(), size_t(1));
    const std::string expected = module ? "Sprachen - Dll fehlt!\n\nTextmodul \"" + fifo + "\": "
                                        : "Einstellungsdatei \"" + fifo + "\": ";
    QVERIFY2(world->boxes[0].text.rfind(expected, 0) == 0, world->boxes[0].text.c_str());
    QVERIFY(world->boxes[0].text.find("FIFO (benannte Pipe)") != std::string::npos);
    world->EndProgram();
    QVERIFY(std::filesystem::is_fifo(fifo));
  }

  void offlineStartResetsParametersSendsNothingAndKeepsSplash() {
    flowsim::FlowSimulator& sim = world->StartDevice();
    world->WriteSettings(false);
    world->UseManualClock(100000);
    devicelink::TempParams[0].Max = -12345.0f;
    SplashWatch splash;

    QCOMPARE(world->Start(), std::nullopt);
    Tfrm_Main& w = *world->Main();
    QCOMPARE(sim.RequestCount(), size_t(0));
    QVERIFY(!devicelink::DeviceOnline);
    QCOMPARE(FormOf(w).Label_Online->text(), QString("OFFLINE"));
    QVERIFY(devicelink::TempParams[0].Max != -12345.0f);
    const auto after_start = devicelink::TempParams;
    services::ResetParameters();
    QCOMPARE(devicelink::TempParams[0].Max, after_start[0].Max);

    QCOMPARE(splash.shown.size(), size_t(1));
    QCOMPARE(splash.hidden.size(), size_t(1));
    QVERIFY(splash.hidden[0] - 100000u > 3000u);
    QVERIFY(splash.hidden[0] - splash.shown[0] >= 2990u);
    QVERIFY(!w.AboutBox()->isVisible());
    QVERIFY(w.SystemTimer()->isActive());
    QVERIFY(!w.RefreshTimer()->isActive());
    QCOMPARE(FormReady, uint8_t(1));
    QVERIFY(devicelink::TrendStore && devicelink::TableData);
    QCOMPARE(devicelink::TrendStore->ListMap[43], -1);
    QCOMPARE(w.windowTitle(), QString::fromStdString(services::GetText(1)));
  }

  void onlineStartIdentifiesAndReadsCircuit1() {
    flowsim::FlowSimulator& sim = world->StartDevice();
    world->WriteSettings(true);
    QCOMPARE(world->Start(), std::nullopt);
    Tfrm_Main& w = *world->Main();
    QVERIFY(devicelink::DeviceOnline);
    QCOMPARE(FormOf(w).Label_Online->text(), QString("ONLINE"));
    QCOMPARE(devicelink::DeviceIdent, std::string("MV-NGX7 "));
    QVERIFY(ReadsAt(sim, flowsim::map::kIdentification) >= 1);
    // Once by the text loading, once by the start itself.
    QCOMPARE(ReadsAt(sim, flowsim::map::kLiveValues), 2);
    QCOMPARE(ReadsAt(sim, flowsim::map::kLiveValues + 80), 0);
    QVERIFY(FormOf(w).ListeK1->count() > 10);
    QVERIFY(FormOf(w).ListeK1->item(1)->text().startsWith("Temperatur  "));
    QVERIFY(!FormOf(w).Ed_DateTime->text().isEmpty());
    QVERIFY(!w.RefreshTimer()->isActive());
  }

  // A device the program does not take: a device whose password is in force
  // (identification and password block only) or one of neither model
  // (identification only). Offline with the pages reset, and status panel 0
  // says why.
  void onlineStartWithADeviceNotTaken_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("device");
    QTest::newRow("password in force") << 0 << "password";
    QTest::newRow("password block unreadable") << 1 << "unreadable";
    QTest::newRow("neither gas nor steam, German") << 0 << "unknown";
    QTest::newRow("neither gas nor steam, English") << 1 << "unknown";
  }
  void onlineStartWithADeviceNotTaken() {
    QFETCH(int, language);
    QFETCH(QString, device);
    flowsim::SimulatorOptions options;
    if (device == "password") options.password = "geheim";
    flowsim::FlowSimulator& sim = world->StartDevice(options);
    if (device == "unreadable")
      sim.InjectFaultAt(flowsim::FaultKind::NoAnswer, flowsim::map::kPasswordBlock,
                        flowsim::kEveryFrame);
    if (device == "unknown") GiveUnknownIdentification(sim);
    world->WriteSettings(true, language);
    devicelink::TempParams[0].Max = -12345.0f;
    QCOMPARE(world->Start(), std::nullopt);
    Tfrm_Main& w = *world->Main();

    std::set<int> read;
    for (const flowsim::RequestRecord& r : sim.Requests()) {
      QVERIFY(r.request.size() >= 3 && r.request[0] == devicelink::kReadRequest);
      read.insert(r.request[1] << 8 | r.request[2]);
    }
    const std::set<int> expected =
        device == "unknown"
            ? std::set<int>{flowsim::map::kIdentification}
            : std::set<int>{flowsim::map::kIdentification, flowsim::map::kPasswordBlock};
    QCOMPARE(read, expected);
    QVERIFY(!devicelink::DeviceOnline);
    QCOMPARE(FormOf(w).Label_Online->text(), QString("OFFLINE"));
    const std::string text = device != "unknown" ? services::GetText(services::kDeviceLockedText)
                             : language == 0     ? std::string("Kein GAS- oder DAMPF Rechner")
                                                 : std::string("No GAS or STEAM flow computer");
    QVERIFY(!text.empty());
    QCOMPARE(w.StatusPanel(0), text);
    QCOMPARE(FormOf(w).ListeK1->count(), 0);
    QVERIFY(devicelink::TempParams[0].Max != -12345.0f);
    QVERIFY(world->boxes.empty());
  }

  // Online settings with a port that cannot be opened: the program starts
  // offline as before and says why in status panel 0, without a message box.
  void onlineStartWithAPortThatCannotBeOpened_data() {
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("asked");  // the port selection dialog, cancelled
    QTest::newRow("held by another program")
        << "held" << 0 << int(services::TPortFailureKind::kInUse) << 0;
    QTest::newRow("adapter unplugged")
        << "unplugged" << 1 << int(services::TPortFailureKind::kNoSuchDevice) << 1;
  }
  void onlineStartWithAPortThatCannotBeOpened() {
    QFETCH(QString, port);
    QFETCH(int, language);
    QFETCH(int, kind);
    QFETCH(int, asked);
    world->SpoilCom1(port.toStdString());
    int selection_asked = 0;
    SetModalHook([&](QDialog& d) {
      if (d.objectName() == "TComSelectForm") ++selection_asked;
      return 0;
    });
    world->WriteSettings(true, language);
    world->UseManualClock();
    QCOMPARE(world->Start(), std::nullopt);
    Tfrm_Main& w = *world->Main();

    QCOMPARE(int(services::PortFailure().kind), kind);
    const std::string reason = services::PortFailureText(services::PortFailure());
    QVERIFY(reason.find("COM1") != std::string::npos);
    QCOMPARE(w.StatusPanel(0), reason);
    QCOMPARE(w.findChild<QLabel*>("StatusPanel0")->text(), QString::fromStdString(reason));
    QCOMPARE(selection_asked, asked);
    QVERIFY(world->boxes.empty());
    QVERIFY(!devicelink::DeviceOnline);
    QVERIFY(!w.Port().Open());
    QCOMPARE(FormOf(w).Label_Online->text(), QString("OFFLINE"));
    if (port == "held") QCOMPARE(world->Device().RequestCount(), size_t(0));
  }

  void closeWritesSettingsOnce() {
    world->WriteSettings(false);
    world->UseManualClock();
    QCOMPARE(world->Start(), std::nullopt);
    Tfrm_Main& w = *world->Main();
    services::Language = 1;
    w.close();
    QVERIFY(w.FormClosed());
    QVERIFY(!devicelink::TrendStore && !devicelink::TableData);
    QVERIFY(w.AboutBox() == nullptr);
    QVERIFY(!w.Port().Open());
    QVERIFY(ReadFile(world->SettingsFile()).find("Sprache=1") != std::string::npos);
    // Nothing more is written, neither by a second close nor by the end.
    WriteFile(world->SettingsFile(), "sentinel");
    w.close();
    world->EndProgram();
    QCOMPARE(ReadFile(world->SettingsFile()), std::string("sentinel"));
  }

  void closeDuringExchangeWaitsForItsEnd() {
    flowsim::FlowSimulator& sim = world->StartDevice();
    world->WriteSettings(true);
    QCOMPARE(world->Start(), std::nullopt);
    Tfrm_Main& w = *world->Main();
    QVERIFY(devicelink::DeviceOnline);
    w.RefreshTimer()->setInterval(2000);
    w.RefreshTimer()->start();
    sim.InjectFault(flowsim::FaultKind::LateReply, 1, 600);
    bool store_alive_after_close = false;
    bool timers_stopped = false;
    bool closed_at_once = true;
    QTimer::singleShot(150, [&] {
      w.close();
      closed_at_once = w.FormClosed();
      store_alive_after_close = devicelink::TrendStore != nullptr;
      timers_stopped = !w.RefreshTimer()->isActive() && !w.SystemTimer()->isActive();
    });
    w.RefreshTimerTimer();
    QVERIFY(!closed_at_once);
    QVERIFY(store_alive_after_close);
    QVERIFY(timers_stopped);
    QTRY_VERIFY_WITH_TIMEOUT(w.FormClosed(), 5000);
    QVERIFY(!devicelink::TrendStore);
  }

  // An error before the window was shown: the window is there when the message
  // loop runs, so no process without a window holds the single-instance lock.
  void startUpErrorBeforeTheWindowIsShownStillShowsIt() {
    struct FailingLoop : TQtMainThread {
      bool failed = false;
      void ProcessMessages() override {
        if (!failed) {
          failed = true;
          throw std::runtime_error("Fehler beim Start");
        }
        TQtMainThread::ProcessMessages();
      }
    } loop;
    StartOfflineWith(loop);
    Tfrm_Main& w = *world->Main();
    QVERIFY(loop.failed);
    QCOMPARE(world->boxes.size(), size_t(1));
    QCOMPARE(world->boxes[0].text, std::string("Fehler beim Start"));
    QVERIFY(w.isVisible());
    QVERIFY(!w.AboutBox()->isVisible());
    QVERIFY(w.SystemTimer()->isActive());
    world->EndProgram();
    platform::SetMainThread(nullptr);
  }

  // The window shows during the splash, but the operator's input waits until the
  // start-up is over and every dialog a handler may open exists.
  void inputDuringTheSplashIsIgnored() {
    struct ClickingLoop : TQtMainThread {
      bool clicked = false;
      void ProcessMessages() override {
        Tfrm_Main* main = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets()) {
          if (auto* m = dynamic_cast<Tfrm_Main*>(top); m != nullptr && m->isVisible()) main = m;
        }
        if (!clicked && main != nullptr) {
          clicked = true;
          QTest::mouseDClick(FormOf(*main).ListePT1->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        }
        TQtMainThread::ProcessMessages();
      }
    } loop;
    StartOfflineWith(loop);
    QVERIFY(loop.clicked);
    QVERIFY(world->boxes.empty());
    QCOMPARE(world->modal_count["InputDlg"], 0);
    world->EndProgram();
    platform::SetMainThread(nullptr);
  }

  // An error of the port's threads is shown as a handler's error is, on the
  // interface thread.
  void portThreadErrorEndsInMessageBox() {
    world->WriteSettings(false);
    world->UseManualClock();
    QCOMPARE(world->Start(), std::nullopt);
    world->UseSystemClock();
    std::thread port_thread([] {
      serial::ShowException(std::make_exception_ptr(std::runtime_error("No memory")));
    });
    port_thread.join();
    QVERIFY(world->boxes.empty());  // not from the port's thread
    QTRY_COMPARE(world->boxes.size(), size_t(1));
    QCOMPARE(world->boxes[0].text, std::string("No memory"));
  }

  void handlerErrorEndsInMessageBox() {
    flowsim::FlowSimulator& sim = world->StartDevice();
    world->WriteSettings(true);
    QCOMPARE(world->Start(), std::nullopt);
    Tfrm_Main& w = *world->Main();
    QVERIFY(devicelink::DeviceOnline);
    // The third counted error beeps; a sound system that fails throws from there.
    platform::SetBeepHook([](uint32_t) { throw std::runtime_error("no sound device"); });
    sim.InjectFault(flowsim::FaultKind::BadChecksum, flowsim::kEveryFrame);
    w.NotebookMouseDown(FormOf(w).NBBetrieb);
    QCOMPARE(world->boxes.size(), size_t(1));
    QCOMPARE(world->boxes[0].text, std::string("no sound device"));
    QCOMPARE(CommBusy, uint8_t(0));
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QVERIFY(!FormOf(w).Zeitmesser->isVisible());
    // The next handler runs normally.
    sim.ClearFaults();
    platform::SetBeepHook(nullptr);
    w.NotebookMouseDown(FormOf(w).NBBetrieb);
    QCOMPARE(world->boxes.size(), size_t(1));
    QVERIFY(FormOf(w).ListeK1->count() > 10);
  }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
