// The commands of the "Parameter" menu against the simulated device: what each
// changes in the records and on the device, which requests it sends, and the
// report printed to a PDF through the print hook and shown in the preview.
#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QTimer>

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <set>

#include "devicelink/device_data.h"
#include "platform/clock.h"
#include "platform/text_encoding.h"
#include "services/data_folders.h"
#include "services/parameter_file.h"
#include "tests/platform/odd_files.h"
#include "tools/flowsim/device_map.h"
#include "tools/flowsim/protocol.h"
#include "ui/print_preview.h"
#include "ui/report_canvas.h"
#include "ui_fixture.h"
#include "ui_main_window.h"
#include "ui_print_preview.h"

using namespace ui;
using namespace ui::testing;
namespace dl = devicelink;

namespace {

// "R 80B0 8" / "W 82C0 32": the requests as the device saw them.
std::vector<std::string> Trace(const flowsim::FlowSimulator& sim) {
  std::vector<std::string> out;
  for (const flowsim::RequestRecord& r : sim.Requests()) {
    if (r.request.size() < 4) continue;
    char line[32];
    std::snprintf(line, sizeof line, "%c %04X %d",
                  r.request[0] == flowsim::kReadCommand ? 'R' : 'W',
                  r.request[1] << 8 | r.request[2], r.request[3]);
    out.push_back(line);
  }
  return out;
}

std::vector<std::string> Head(const std::vector<std::string>& v, size_t n) {
  return std::vector<std::string>(v.begin(), v.begin() + static_cast<long>(std::min(n, v.size())));
}

int PdfPages(const std::string& pdf) {
  static const QRegularExpression page("/Type\\s*/Page[^s]");
  return static_cast<int>(
      QString::fromLatin1(pdf.data(), static_cast<int>(pdf.size())).count(page));
}

// A set the operator has on screen, to tell it from defaults and from a file.
// Online, the refresh after a command reads the shown page's blocks from the
// device again; the remarks and the file name are the program's own.
void MarkSet(Tfrm_Main& w) {
  dl::TempParams[0].Konst = 42.5f;
  w.SetMemoLines({"keep me"});
  w.SetStatusPanel(0, "mine.PEG");
}
bool SetIsMarked(Tfrm_Main& w) {
  return (dl::DeviceOnline || dl::TempParams[0].Konst == 42.5f) &&
         w.MemoLines() == std::vector<std::string>{"keep me"} && w.StatusPanel(0) == "mine.PEG";
}

}  // namespace

class FileCommandsTest : public QObject {
  Q_OBJECT
  std::unique_ptr<UiWorld> world;
  std::deque<int> answers;        // message boxes, in order; none left: No
  std::deque<std::string> files;  // file dialogs, in order; none left: cancel
  std::vector<std::string> dialogs;
  std::vector<std::string> proposed;  // the name each file dialog opened with
  int print_dialogs = 0;

  Tfrm_Main& Start(bool online) {
    world->StartDevice();
    world->WriteSettings(online);
    // Offline, a quick start (the splash wait on a clock of its own); online, the
    // identification needs real time.
    dl::TransferTimeout = 1500;
    if (online) {
      world->UseSystemClock();
    } else {
      platform::SetClock(&world->UseManualClock());
    }
    if (world->Start()) qFatal("start failed");
    world->UseSystemClock();
    dl::TransferTimeout = 300;
    if (dl::DeviceOnline != online) qFatal("not as asked");
    SetMessageBoxHook([this](const std::string& text, const std::string& caption, uint32_t flags) {
      world->boxes.push_back({text, caption, flags});
      if (answers.empty())
        return (flags & 0x0F) == services::kMbYesNo ? services::kIdNo : services::kIdOk;
      const int a = answers.front();
      answers.pop_front();
      return a;
    });
    SetFileDialogHook([this](const TFileRequest& request) {
      dialogs.push_back(request.save ? "save" : "open");
      proposed.push_back(request.file_name);
      if (files.empty()) return std::string();
      std::string f = files.front();
      files.pop_front();
      return f;
    });
    world->Device().ClearRequests();
    world->boxes.clear();
    return *world->Main();
  }

  std::string SaveDeviceSet(Tfrm_Main& w, const std::string& name) {
    const std::string path = world->Temp(name);
    files = {path};
    FormOf(w).mnu_Speichern->trigger();
    world->Device().ClearRequests();
    return path;
  }

  // Sets what a PDF print through the hook writes to.
  void PrintTo(const std::string& path) {
    SetPrintDialogHook([this, path](QPrinter& printer) {
      ++print_dialogs;
      QTest::qVerify(printer.copyCount() == 1, "copies", "", __FILE__, __LINE__);
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(QString::fromStdString(path));
      return true;
    });
  }

 private slots:
  void init() {
    world = std::make_unique<UiWorld>();
    answers.clear();
    files.clear();
    dialogs.clear();
    proposed.clear();
    print_dialogs = 0;
  }
  void cleanup() {
    SetPrintDialogHook(nullptr);
    dl::TransferTimeout = 1500;
    world.reset();
  }

  // Commands that write nothing to the device: the set on screen is kept unless
  // "Neu" or a good file replaced it offline, and only the requests listed are sent.
  void commandsThatChangeNothingOnTheDevice() {
    struct Case {
      const char* what;
      bool online;
      const char* command;
      std::deque<int> answers;
      std::deque<std::string> files;
      bool marked_after;  // the operator's set still there
      std::vector<std::string> requests;
      std::vector<std::string> dialogs;
      size_t boxes;
    };
    const std::string bad = world->Temp("bad.PEG");
    WriteFile(bad, "[T_User0]\r\nKonst=abc\r\n");
    const std::string missing = world->Temp("missing.PEG");
    // A whole set, as a save writes it.
    const std::string good = SaveDeviceSet(Start(false), "good.PEG");
    world->EndProgram();
    world->StopDevice();
    const std::vector<Case> cases = {
        {"new offline", false, "mnu_Neu", {}, {}, false, {}, {}, 0},
        {"new online, No", true, "mnu_Neu", {services::kIdNo}, {}, true, {"R 80B0 8"}, {}, 1},
        {"load offline, cancelled", false, "mnu_Laden", {}, {""}, true, {}, {"open"}, 0},
        {"load offline, bad file", false, "mnu_Laden", {}, {bad}, true, {}, {"open"}, 1},
        {"load offline, good file", false, "mnu_Laden", {}, {good}, false, {}, {"open"}, 0},
        {"load offline, no such file", false, "mnu_Laden", {}, {missing}, true, {}, {"open"}, 1},
        {"load online, No", true, "mnu_Laden", {services::kIdNo}, {}, true, {"R 80B0 8"}, {}, 1},
        {"load online, cancelled",
         true,
         "mnu_Laden",
         {services::kIdYes},
         {""},
         true,
         {"R 80B0 8", "R 80F0 16", "R 82C0 32", "R 82E0 32", "R 80A0 16"},
         {"open"},
         1},
        {"load online, bad file",
         true,
         "mnu_Laden",
         {services::kIdYes},
         {bad},
         true,
         {"R 80B0 8", "R 80F0 16", "R 82C0 32", "R 82E0 32", "R 80A0 16"},
         {"open"},
         2},
        {"save offline, cancelled", false, "mnu_Speichern", {}, {""}, true, {}, {"save"}, 0},
    };
    for (const Case& c : cases) {
      Tfrm_Main& w = Start(c.online);
      MarkSet(w);
      answers = c.answers;
      files = c.files;
      dialogs.clear();
      w.findChild<QAction*>(c.command)->trigger();
      // A refresh of the shown page may follow; only the command's own requests count.
      std::vector<std::string> sent = Head(Trace(world->Device()), c.requests.size());
      QVERIFY2(sent == c.requests, c.what);
      QVERIFY2(SetIsMarked(w) == c.marked_after, c.what);
      QVERIFY2(dialogs == c.dialogs, c.what);
      QVERIFY2(world->boxes.size() == c.boxes, c.what);
      // No write reached the device.
      for (const std::string& r : Trace(world->Device())) QVERIFY2(r[0] == 'R', c.what);
      QCOMPARE(CommBusy, uint8_t{0});
      world->EndProgram();
      world->StopDevice();
    }
  }

  // Offline, "Laden..." ended by a cancelled dialog, a file that cannot be read
  // or a bad file leaves the shown page with the operator's set, not with the
  // defaults the command started from.
  void loadOfflineThatLoadsNothingShowsTheSetAsItStands() {
    const std::string bad = world->Temp("bad.PEG");
    WriteFile(bad, "[T_User0]\r\nKonst=abc\r\n");
    const std::string missing = world->Temp("missing.PEG");
    Tfrm_Main& w = Start(false);
    auto& f = FormOf(w);
    f.Notebook->setCurrentWidget(f.TabParameter);
    f.NBParameter->setCurrentWidget(f.TabPar1);
    auto lines = [&] {
      QStringList out;
      for (int i = 0; i < f.ListePT1->count(); ++i) out << f.ListePT1->item(i)->text();
      return out;
    };
    dl::TempParams[0].Kind = 0;
    dl::TempParams[0].Konst = 99.f;
    w.RefreshShownPage();
    const QStringList edited = lines();
    QVERIFY(edited.join("").contains("99.0000"));
    for (const std::string& file : {std::string(), missing, bad}) {
      files = {file};
      f.mnu_Laden->trigger();
      QCOMPARE(dl::TempParams[0].Konst, 99.f);
      QVERIFY2(lines() == edited, file.c_str());
    }
  }

  void newOfflineResetsToDefaults() {
    Tfrm_Main& w = Start(false);
    MarkSet(w);
    FormOf(w).mnu_Neu->trigger();
    QCOMPARE(dl::TempParams[0].Konst, 0.0f);
    QCOMPARE(dl::PressureParams[0].Konst, 100.0f);
    QVERIFY(w.MemoLines().empty());
    QCOMPARE(w.StatusPanel(0), std::string());
  }

  // "Neu" online: the defaults go to the device only after its system block was
  // read; a block the device did not take is named afterwards.
  void newOnlineSendsTheDefaultsAfterTheSystemRead() {
    Tfrm_Main& w = Start(true);
    MarkSet(w);
    world->Device().InjectFaultAt(flowsim::FaultKind::NoAnswer, flowsim::map::kSystemParams, 4);
    answers = {services::kIdYes};
    FormOf(w).mnu_Neu->trigger();
    // Then the refresh of the shown page reads; nothing is written.
    const std::vector<std::string> refused = Trace(world->Device());
    QCOMPARE(Head(refused, 5), (std::vector<std::string>{"R 80B0 8", "R 80A0 16", "R 80A0 16",
                                                         "R 80A0 16", "R 80A0 16"}));
    for (const std::string& r : refused) QVERIFY(r[0] == 'R');
    QVERIFY(SetIsMarked(w));
    QCOMPARE(world->boxes.size(), size_t{1});

    world->Device().ClearRequests();
    world->boxes.clear();
    world->Device().InjectFaultAt(flowsim::FaultKind::Reject, flowsim::map::kTrendSettings, 4);
    answers = {services::kIdYes};
    FormOf(w).mnu_Neu->trigger();
    const std::vector<std::string> sent = Trace(world->Device());
    QCOMPARE(Head(sent, 2), (std::vector<std::string>{"R 80B0 8", "R 80A0 16"}));
    QVERIFY(std::count(sent.begin(), sent.end(), "W 8100 32") == 1);
    QCOMPARE(dl::TempParams[0].Konst, 0.0f);
    QVERIFY(w.MemoLines().empty());
    QCOMPARE(world->boxes.size(), size_t{2});
    // Named as the pages name it; the device may hold it or not.
    QCOMPARE(world->boxes[1].text,
             std::string("Diese Parameterblöcke haben das Gerät möglicherweise nicht erreicht: "
                         "Trendaufzeichnung. Bitte den Parametersatz erneut senden."));
  }

  // A command chosen while a refresh waits for the device is carried out once
  // the refresh has ended: its question, dialog or preview comes then, once.
  void aCommandChosenDuringARefreshIsCarriedOutAfterIt() {
    struct Case {
      const char* command;
      std::function<int()> shown;  // how often its first sign was seen
    };
    Tfrm_Main& w = Start(true);
    SetPrintDialogHook([this](QPrinter&) {
      ++print_dialogs;
      return false;
    });
    const Case cases[] = {
        {"mnu_Neu", [&] { return int(world->boxes.size()); }},
        {"mnu_Laden", [&] { return int(world->boxes.size()); }},
        {"mnu_Speichern", [&] { return int(std::count(dialogs.begin(), dialogs.end(), "save")); }},
        {"mnu_Seitenansicht", [&] { return world->modal_count["Tsansicht"]; }},
        {"mnu_Drucken", [&] { return print_dialogs; }},
    };
    for (const Case& c : cases) {
      world->boxes.clear();
      dialogs.clear();
      world->modal_count.clear();
      print_dialogs = 0;
      world->Device().InjectFault(flowsim::FaultKind::LateReply, 1, 400);
      int during = -1;
      QTimer::singleShot(100, [&] {
        // Twice, while the refresh waits for its late reply.
        w.findChild<QAction*>(c.command)->trigger();
        w.findChild<QAction*>(c.command)->trigger();
        during = c.shown();
      });
      w.RefreshTimerTimer();
      QVERIFY2(during == 0, c.command);
      QTRY_VERIFY2(c.shown() == 1, c.command);
      QTest::qWait(100);
      QVERIFY2(c.shown() == 1, c.command);
      QCOMPARE(CommBusy, uint8_t{0});
    }
  }

  // An unknown device answers the identification: nothing else is sent, no
  // question and no dialog.
  void unknownDeviceStopsEveryCommand() {
    Tfrm_Main& w = Start(true);
    world->Device().WriteMemory(flowsim::map::kIdentification,
                                std::vector<uint8_t>{'M', 'V', '-', 'X', 'X', 'X', '7', ' '});
    MarkSet(w);
    PrintTo(world->Temp("never.pdf"));
    for (const char* command :
         {"mnu_Neu", "mnu_Laden", "mnu_Speichern", "mnu_Seitenansicht", "mnu_Drucken"}) {
      world->Device().ClearRequests();
      w.findChild<QAction*>(command)->trigger();
      QCOMPARE(Trace(world->Device()), std::vector<std::string>{"R 80B0 8"});
      QVERIFY2(world->boxes.empty(), command);
      QVERIFY2(dialogs.empty(), command);
      QCOMPARE(print_dialogs, 0);
      QCOMPARE(world->modal_count["Tsansicht"], 0);
      QVERIFY(SetIsMarked(w));
    }
  }

  // Loading online keeps the device's gas-check bytes when the file brings the
  // device's gas values; otherwise, or when a read of them failed, both are 0.
  void loadOnlineKeepsOrClearsTheGasCheckBytes() {
    struct Case {
      const char* what;
      float ho;  // 0: the file as saved from the device
      bool fail_gas_read;
      std::vector<uint8_t> ready;
    };
    Tfrm_Main& w = Start(true);
    const std::string saved = SaveDeviceSet(w, "device.PEG");
    for (const Case& c :
         {Case{"same gas", 0, false, {5, 7}}, Case{"other gas", 12.5f, false, {0, 0}},
          Case{"gas read failed", 0, true, {0, 0}}}) {
      const std::string file = world->Temp(std::string(c.what) + ".PEG");
      WriteFile(file, ReadFile(saved));
      if (c.ho != 0) {
        std::string text = ReadFile(file);
        const size_t at = text.find("[EG_User]\r\nHo=");
        QVERIFY(at != std::string::npos);
        const size_t value = at + std::strlen("[EG_User]\r\nHo=");
        text.replace(value, text.find('\r', value) - value, "12.5");
        WriteFile(file, text);
      }
      // The device's own check results, which the file does not hold.
      world->Device().WriteMemory(flowsim::map::kMediumParams + 2, std::vector<uint8_t>{5});
      world->Device().WriteMemory(flowsim::map::kMediumParams + 32 + 2, std::vector<uint8_t>{7});
      if (c.fail_gas_read) {
        world->Device().InjectFaultAt(flowsim::FaultKind::NoAnswer, flowsim::map::kGasCommon, 4);
      }
      world->Device().ClearRequests();
      answers = {services::kIdYes};
      files = {file};
      FormOf(w).mnu_Laden->trigger();
      const std::vector<std::string> sent = Trace(world->Device());
      const size_t gas_reads = c.fail_gas_read ? 4 : 1;
      std::vector<std::string> expected = {"R 80B0 8"};
      for (size_t i = 0; i < gas_reads; ++i) expected.push_back("R 80F0 16");
      for (const char* r : {"R 82C0 32", "R 82E0 32", "R 80A0 16"}) expected.push_back(r);
      QCOMPARE(Head(sent, expected.size()), expected);
      // Then the whole set goes to the device.
      QVERIFY(std::count(sent.begin(), sent.end(), "W 82C0 32") == 1);
      QVERIFY(std::count(sent.begin(), sent.end(), "W 82E0 32") == 1);
      const std::vector<uint8_t> m0 = world->Device().ReadMemory(flowsim::map::kMediumParams, 4);
      const std::vector<uint8_t> m1 =
          world->Device().ReadMemory(flowsim::map::kMediumParams + 32, 4);
      QVERIFY2(m0[2] == c.ready[0] && m1[2] == c.ready[1], c.what);
      QCOMPARE(w.StatusPanel(0), services::ShortFileName(file));
      QCOMPARE(CommBusy, uint8_t{0});
      // Back to the device's gas for the next case.
      if (c.ho != 0) {
        world->Device().WriteMemory(flowsim::map::kGasCommon,
                                    std::vector<uint8_t>{0x41, 0x33, 0x33, 0x33});
      }
    }
  }

  // Saving a set read with failures asks first (No is the default) and names the
  // number of failed reads; No writes no file.
  void saveOnlineAsksWhenReadsFailed() {
    Tfrm_Main& w = Start(true);
    for (int answer : {services::kIdNo, services::kIdYes}) {
      world->boxes.clear();
      dialogs.clear();
      world->Device().InjectFaultAt(flowsim::FaultKind::NoAnswer, flowsim::map::kTrendSettings, 4);
      const std::string path = world->Temp("partial.PEG");
      answers = {answer};
      files = {path};
      FormOf(w).mnu_Speichern->trigger();
      QCOMPARE(world->boxes.size(), size_t{1});
      const Box& box = world->boxes[0];
      QVERIFY2(box.text.rfind("Nicht vom Gerät gelesene Parameterblöcke: 1. ", 0) == 0,
               box.text.c_str());
      QCOMPARE(box.flags & 0x0F, services::kMbYesNo);
      QVERIFY(box.flags & services::kMbDefButton2);
      QCOMPARE(std::filesystem::exists(path), answer == services::kIdYes);
      QCOMPARE(dialogs.size(), size_t(answer == services::kIdYes ? 1 : 0));
    }
  }

  void saveOnlineReadsTheWholeSetFirst() {
    Tfrm_Main& w = Start(true);
    const std::string path = SaveDeviceSet(w, "device.PEG");
    QVERIFY(world->boxes.empty());
    QVERIFY(ReadFile(path).find("[EG_User]\r\nHo=11.2\r\n") != std::string::npos);
  }

  // The report through the print hook: a PDF of one page, two with remarks.
  void printsToPdfThroughTheHook() {
    for (bool remarks : {false, true}) {
      Tfrm_Main& w = Start(false);
      if (remarks) w.SetMemoLines({"Zähler getauscht am 3.12."});
      const std::string pdf = world->Temp("report.pdf");
      PrintTo(pdf);
      FormOf(w).mnu_Drucken->trigger();
      QCOMPARE(print_dialogs, 1);
      const std::string bytes = ReadFile(pdf);
      QVERIFY(bytes.rfind("%PDF", 0) == 0);
      QCOMPARE(PdfPages(bytes), remarks ? 2 : 1);
      world->EndProgram();
      world->StopDevice();
      print_dialogs = 0;
    }
  }

  // Printing to a file starts in the documents folder, named after the loaded
  // parameter file, else "Parameter" and the day; not as ~/print.pdf. The name
  // is the loaded file's whatever status panel 0 says since, and a refused load
  // keeps it.
  void printToFileStartsInTheDocumentsFolder() {
    if (!QPrinterInfo::availablePrinters().isEmpty()) QSKIP("a printer queue is set up here");
    const auto today = [] {
      const platform::LocalDateTime now = platform::Now();
      return platform::ZeroPad(now.year, 4) + "-" + platform::ZeroPad(now.month, 2) + "-" +
             platform::ZeroPad(now.day, 2);
    };
    const std::string first_day = today();
    Tfrm_Main& w = Start(false);
    std::vector<std::string> offered;
    SetPrintDialogHook([&](QPrinter& printer) {
      offered.push_back(printer.outputFileName().toStdString());
      return false;
    });
    FormOf(w).mnu_Drucken->trigger();
    const std::string docs = services::GetDocumentsFolder();
    QVERIFY(!docs.empty());
    const std::string file = SaveDeviceSet(w, "kunde.peg");
    files = {file};
    FormOf(w).mnu_Laden->trigger();
    FormOf(w).mnu_Drucken->trigger();
    w.SetStatusPanel(0, "Kein GAS- oder DAMPF Rechner");
    const std::string fifo = world->Temp("pipe.PEG");
    QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);
    files = {fifo};
    FormOf(w).mnu_Laden->trigger();
    FormOf(w).mnu_Drucken->trigger();
    FormOf(w).mnu_Neu->trigger();
    FormOf(w).mnu_Drucken->trigger();
    // Worked out before and after: the test may run across midnight.
    const std::set<std::string> by_day = {docs + "/Parameter_" + first_day + ".pdf",
                                          docs + "/Parameter_" + today() + ".pdf"};
    QCOMPARE(offered.size(), size_t{4});
    QVERIFY2(by_day.count(offered[0]) == 1, offered[0].c_str());
    QCOMPARE(offered[1], docs + "/kunde.pdf");
    QCOMPARE(offered[2], docs + "/kunde.pdf");
    QVERIFY2(by_day.count(offered[3]) == 1, offered[3].c_str());
  }

  // "Laden..." of what is no parameter file (a FIFO nobody writes to, a device,
  // a folder, a socket, a link to one of them, a file one byte over the limit),
  // offline and online, German and English: refused at once, said in the
  // program's language, nothing sent to the device; the set, its file and the
  // name the next save proposes stay.
  void loadingWhatIsNoParameterFileIsRefusedAtOnce() {
    using platform::testing::OddInput;
    platform::testing::TempFolder dir;
    const platform::testing::OddFiles odd_files(dir, "PEG", platform::FileKind::kParameterFile);
    const std::vector<platform::testing::OddInput>& inputs = odd_files.inputs;
    for (bool online : {false, true}) {
      Tfrm_Main& w = Start(online);
      const std::string own = SaveDeviceSet(w, "eigene.PEG");
      for (int language : {0, 1}) {
        w.mnu_SpracheClick(language == 0 ? FormOf(w).mnu_Deutsch : FormOf(w).mnu_Englisch);
        const std::string kind = language == 0 ? "Parameterdatei" : "Parameter file";
        for (const OddInput& input : inputs) {
          const QString what = QString("%1, %2, %3")
                                   .arg(online ? "online" : "offline")
                                   .arg(language)
                                   .arg(QString::fromStdString(input.what));
          MarkSet(w);
          world->boxes.clear();
          world->Device().ClearRequests();
          answers = {services::kIdYes};  // online: the question before sending
          files = {input.path};
          QElapsedTimer took;
          took.start();
          FormOf(w).mnu_Laden->trigger();
          QVERIFY2(took.elapsed() < 1000, qPrintable(what));
          const size_t question = online ? 1 : 0;
          QVERIFY2(world->boxes.size() == question + 1, qPrintable(what));
          const std::string& error = world->boxes[question].text;
          QVERIFY2(error.rfind(kind + " \"" + input.path + "\": ", 0) == 0, error.c_str());
          QVERIFY2(error.find(language == 0 ? input.german : input.english) != std::string::npos,
                   error.c_str());
          for (const std::string& r : Trace(world->Device()))
            QVERIFY2(r[0] == 'R', qPrintable(what));
          QVERIFY2(SetIsMarked(w), qPrintable(what));
          QCOMPARE(services::ParameterSetFile, own);
          QCOMPARE(CommBusy, uint8_t{0});
        }
      }
      proposed.clear();
      files = {""};
      FormOf(w).mnu_Speichern->trigger();
      QCOMPARE(proposed, std::vector<std::string>{own});
      world->EndProgram();
      world->StopDevice();
    }
  }

  // A set file cut short (its first half) is loaded only after a question that
  // names what it lacks, No the default, asked before anything changes: online
  // before any block goes to the device. No leaves the set, the remarks, panel 0,
  // the set's file and the device as they were; Yes loads it (and sends it).
  void aFileThatLacksPartsIsLoadedOnlyOnYes() {
    struct Case {
      const char* what;
      bool online;
      int answer;
    };
    for (const Case& c :
         {Case{"offline, No", false, services::kIdNo},
          Case{"offline, Yes", false, services::kIdYes}, Case{"online, No", true, services::kIdNo},
          Case{"online, Yes", true, services::kIdYes}}) {
      Tfrm_Main& w = Start(c.online);
      const std::string own = SaveDeviceSet(w, "eigene.PEG");
      w.SetMemoLines({"aus der Datei"});
      const std::string half = SaveDeviceSet(w, "halb.PEG");
      const std::string whole = ReadFile(half);
      WriteFile(half, whole.substr(0, whole.find("[Alm_User1]")));
      if (c.online) answers = {services::kIdYes};
      files = {own};
      FormOf(w).mnu_Laden->trigger();  // the set's file is "eigene.PEG" again
      QCOMPARE(services::ParameterSetFile, own);
      world->boxes.clear();
      MarkSet(w);
      world->Device().ClearRequests();
      std::vector<std::string> sent_before_question;
      SetMessageBoxHook([&](const std::string& text, const std::string& caption, uint32_t flags) {
        world->boxes.push_back({text, caption, flags});
        if (text.rfind("Der Datei fehlen Teile", 0) == 0) {
          sent_before_question = Trace(world->Device());
          return c.answer;
        }
        return services::kIdYes;  // online: the question before sending the set
      });
      files = {half};
      FormOf(w).mnu_Laden->trigger();
      const QString what = c.what;
      QVERIFY2(world->boxes.size() == (c.online ? 2u : 1u), qPrintable(what));
      const Box& question = world->boxes.back();
      QVERIFY2(question.text.find(": Relais 2, Analogausgang 1\u20134, Einheiten, ") !=
                   std::string::npos,
               question.text.c_str());
      QVERIFY(question.text.ends_with(c.online ? "Trotzdem laden und senden?" : "Trotzdem laden?"));
      QCOMPARE(question.flags & 0x0F, services::kMbYesNo);
      QVERIFY(question.flags & services::kMbDefButton2);
      for (const std::string& r : sent_before_question) QVERIFY2(r[0] == 'R', qPrintable(what));
      const std::vector<std::string> sent = Trace(world->Device());
      const bool wrote =
          std::any_of(sent.begin(), sent.end(), [](const std::string& r) { return r[0] == 'W'; });
      if (c.answer == services::kIdNo) {
        QVERIFY2(SetIsMarked(w), qPrintable(what));
        QVERIFY2(!wrote, qPrintable(what));
        QCOMPARE(services::ParameterSetFile, own);
      } else {
        QCOMPARE(w.MemoLines(), std::vector<std::string>{});  // cut before the remarks
        QCOMPARE(w.StatusPanel(0), services::ShortFileName(half));
        QCOMPARE(services::ParameterSetFile, half);
        QCOMPARE(wrote, c.online);
        if (!c.online) QCOMPARE(dl::TempParams[0].Konst, 0.f);
      }
      QCOMPARE(CommBusy, uint8_t{0});
      world->EndProgram();
      world->StopDevice();
    }
  }

  void cancelledPrintDialogPrintsNothing() {
    Tfrm_Main& w = Start(false);
    SetPrintDialogHook([this](QPrinter&) {
      ++print_dialogs;
      return false;
    });
    FormOf(w).mnu_Drucken->trigger();
    QCOMPARE(print_dialogs, 1);
    QVERIFY(world->boxes.empty());
  }

  void unwritablePdfIsReported() {
    Tfrm_Main& w = Start(false);
    PrintTo(world->Temp("no/such/folder/report.pdf"));
    FormOf(w).mnu_Drucken->trigger();
    QCOMPARE(world->boxes.size(), size_t{1});
    QCOMPARE(world->boxes[0].text, std::string("Der Ausdruck konnte nicht gestartet werden."));
  }

  // A print file where a FIFO stands, or one nobody may write, is refused and
  // left as it is.
  void aPrintFileThatIsNoRegularFileIsRefused() {
    Tfrm_Main& w = Start(false);
    const std::string fifo = world->Temp("pipe.pdf");
    QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string locked = world->Temp("gesperrt.pdf");
    WriteFile(locked, "alt");
    QCOMPARE(::chmod(locked.c_str(), 0444), 0);
    platform::testing::FifoRelease release({fifo});
    struct Case {
      std::string path;
      std::string reason;
    };
    for (const Case& c :
         {Case{fifo,
               "Das ist keine gewöhnliche Datei, sondern eine FIFO (benannte Pipe). Es bleibt, wie "
               "es ist; es wurde nichts geschrieben."},
          Case{locked,
               "Die Datei ist schreibgeschützt. Sie bleibt unverändert; es wurde nichts "
               "geschrieben."}}) {
      world->boxes.clear();
      PrintTo(c.path);
      QElapsedTimer took;
      took.start();
      FormOf(w).mnu_Drucken->trigger();
      QVERIFY(took.elapsed() < 1000);
      QCOMPARE(world->boxes.size(), size_t{1});
      QCOMPARE(world->boxes[0].text, "Druckdatei \"" + c.path + "\": " + c.reason);
    }
    QVERIFY(std::filesystem::is_fifo(fifo));
    QCOMPARE(ReadFile(locked), std::string("alt"));
  }

  // The report's stages let messages through; the print command chosen again
  // meanwhile starts nothing.
  void printStartedFromInsideItselfDoesNothing() {
    Tfrm_Main& w = Start(false);
    const std::string pdf = world->Temp("report.pdf");
    int nested = 0;
    SetPrintDialogHook([&](QPrinter& printer) {
      ++print_dialogs;
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(QString::fromStdString(pdf));
      for (QAction* a : {FormOf(w).mnu_Drucken, FormOf(w).mnu_Seitenansicht}) {
        QMetaObject::invokeMethod(
            &w,
            [&nested, a] {
              ++nested;
              a->trigger();
            },
            Qt::QueuedConnection);
      }
      return true;
    });
    FormOf(w).mnu_Drucken->trigger();
    QCOMPARE(nested, 2);
    QCOMPARE(print_dialogs, 1);
    QCOMPARE(world->modal_count["Tsansicht"], 0);
    QCOMPARE(PdfPages(ReadFile(pdf)), 1);
  }

  void previewSizeRule() {
    // Page pixels / printer dots per inch x screen dots per inch, halves to even.
    struct Case {
      int w, h, dpi;
      double screen;
      QSize expected;
    };
    for (const Case& c :
         {Case{101, 103, 100, 50, QSize(50, 52)}, Case{9921, 14031, 1200, 96, QSize(794, 1122)},
          Case{600, 300, 300, 72, QSize(144, 72)}}) {
      QCOMPARE(PreviewSize(c.w, c.h, c.dpi, c.dpi, c.screen), c.expected);
    }
  }

  void previewShowsPageOneAtScreenSize() {
    Tfrm_Main& w = Start(false);
    w.SetMemoLines({"not in the preview"});
    QSize shown;
    world->modal_scripts["Tsansicht"] = [&](QDialog& d) {
      shown = d.findChild<QLabel*>("Image")->pixmap().size();
    };
    FormOf(w).mnu_Seitenansicht->trigger();
    QCOMPARE(world->modal_count["Tsansicht"], 1);
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setPageOrientation(QPageLayout::Portrait);
    QCOMPARE(shown, PreviewSize(pdf.width(), pdf.height(), pdf.logicalDpiX(), pdf.logicalDpiY(),
                                QPixmap(1, 1).logicalDpiX()));
    QCOMPARE(sansicht->Form()->Image->size(), shown);
    // Portrait, and about a page of paper at the screen's resolution.
    QVERIFY(shown.height() > shown.width());
    QVERIFY(shown.width() > 500);
  }
};

QTEST_MAIN(FileCommandsTest)
#include "file_commands_test.moc"
