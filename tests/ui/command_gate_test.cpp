// Every run of exchanges against what the operator or the session does while it
// goes on, through the real window and the simulated devices on
// pseudo-terminals. Whatever comes during a run waits for its end and runs
// after it, never inside; the other port gets nothing of the run; once the
// close is asked nothing new starts, a run of reads ends, a set goes out whole
// to the device it began on (or, the device silent, ends at its first failed
// block, which is reported), the settings are written and nothing is sent
// after the end.
#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "devicelink/block_commands.h"
#include "devicelink/link_state.h"
#include "platform/text_encoding.h"
#include "parameter_page_fixture.h"
#include "services/program_texts.h"
#include "services/text_modules.h"
#include "ui/pages/circuit_rules.h"
#include "ui/settings_dialog.h"
#include "ui/table_editor.h"
#include "ui_settings_dialog.h"

using namespace ui;
using namespace ui::testing;

namespace {

enum class TRunKind {
  kPageRefresh,
  kTrendRead,
  kBulkRead,
  kLoad,
  kNew,
  kNewAsking,
  kTableSend,
  kTableReceive,
  kClockSet
};

enum class TIntruder { kNew, kOtherPort, kLanguage, kClockSet, kListEdit, kClose, kSignal };

struct TRunSpec {
  bool writes;              // sends what the operator chose (a write run)
  size_t trigger_at;        // requests of the run before the intruder comes
  bool report_when_silent;  // closed with the device silent, blocks are not sent
};

TRunSpec Spec(TRunKind run) {
  switch (run) {
    case TRunKind::kPageRefresh: return {false, 3, false};
    case TRunKind::kTrendRead: return {false, 5, false};
    case TRunKind::kBulkRead: return {false, 5, false};
    case TRunKind::kLoad: return {true, 8, true};
    case TRunKind::kNew: return {true, 8, true};
    // Closed while it checks the identification: it asks and sends nothing.
    case TRunKind::kNewAsking: return {false, 1, false};
    case TRunKind::kTableSend: return {true, 25, true};
    case TRunKind::kTableReceive: return {false, 3, false};
    // The write is answered (late); the close then lets its read-back fail.
    case TRunKind::kClockSet: return {true, 1, false};
  }
  return {};
}

constexpr uint16_t kClockAddress = 0xA000;

// The blocks written, in their order, a block repeated after a lost reply once.
std::vector<uint16_t> WrittenBlocks(flowsim::FlowSimulator& sim) {
  std::vector<uint16_t> blocks;
  for (const TraceLine& l : Trace(sim.Requests())) {
    if (l.write && (blocks.empty() || blocks.back() != l.address)) blocks.push_back(l.address);
  }
  return blocks;
}
// Silent for two blocks' attempts, then answering again.
constexpr int kSilentFrames = 8;

}  // namespace

class CommandGateTest : public QObject {
  Q_OBJECT
  std::unique_ptr<UiWorld> world;

  // What was shown, and whether the run was still going on then.
  struct TShown {
    std::string what;
    bool during_run;
    bool after_trigger;
  };

  void Rows() {
    QTest::addColumn<int>("intruder_code");
    QTest::addColumn<bool>("silent");
    const std::pair<TIntruder, const char*> intruders[] = {
        {TIntruder::kNew, "Neu"},
        {TIntruder::kOtherPort, "settings to another port"},
        {TIntruder::kLanguage, "language switch"},
        {TIntruder::kClockSet, "clock SET"},
        {TIntruder::kListEdit, "a list edit"},
        {TIntruder::kClose, "the close from the window"},
        {TIntruder::kSignal, "SIGTERM"},
    };
    for (const auto& [intruder, name] : intruders) {
      for (bool silent : {false, true}) {
        const std::string row =
            std::string(name) + (silent ? ", the device goes silent" : ", the device answers");
        QTest::newRow(row.c_str()) << int(intruder) << silent;
      }
    }
  }

  // The temperature line of circuit 1 that opens the value dialog.
  static int EditableLine() {
    for (int line = 0; line < 10; ++line) {
      if (TemperatureEditRow(0, line)) return line;
    }
    return -1;
  }

  void Check(TRunKind run) {
    QFETCH(int, intruder_code);
    QFETCH(bool, silent);
    const auto intruder = static_cast<TIntruder>(intruder_code);
    const TRunSpec spec = Spec(run);
    const bool closes = intruder == TIntruder::kClose || intruder == TIntruder::kSignal;

    flowsim::SimulatorOptions options;
    options.setup.model = flowsim::DeviceModel::Steam;
    Tfrm_Main& w = StartOnlineQuick(*world, options);
    Ui::Tfrm_Main& f = FormOf(w);
    flowsim::FlowSimulator& com1 = world->Device();
    flowsim::FlowSimulator& com2 = world->StartOtherDevice(2, options);
    devicelink::TransferTimeout = 300;
    ShowPage(w, f.TabPar1);
    const int line = EditableLine();
    QVERIFY(line >= 0);

    // What the run needs: a set saved from this device for the load, the
    // table editor's script.
    const std::string set_file = world->Temp("set.PEG");
    bool run_active = false;
    bool fired = false;
    std::vector<TShown> shown;
    const auto note = [&](const std::string& what) {
      shown.push_back({what, run_active, fired});
    };
    SetFileDialogHook([&](const TFileRequest& request) {
      note("file dialog");
      if (request.save && !std::filesystem::exists(set_file)) return set_file;
      return run == TRunKind::kLoad && !request.save ? set_file : std::string();
    });
    if (run == TRunKind::kLoad) {
      f.mnu_Speichern->trigger();
      QVERIFY(std::filesystem::exists(set_file));
    }
    SetMessageBoxHook([&](const std::string& text, const std::string&, uint32_t flags) {
      note("box: " + text);
      const uint32_t buttons = flags & 0x0F;
      return buttons == 0x04 || buttons == 0x03 ? 6 : 1;
    });
    world->modal_scripts["Tfrm_Tabelle"] = [&](QDialog& d) {
      if (run == TRunKind::kTableSend) static_cast<Tfrm_Tabelle&>(d).mnu_TransmitClick();
    };
    if (frm_Tabelle != nullptr) frm_Tabelle->Tag = 0;
    world->modal_scripts["TEinst"] = [&](QDialog& d) {
      note("settings");
      auto& e = static_cast<TEinst&>(d);
      e.Form()->Zustand_Grp->SetItemIndex(1);
      e.Form()->Com_Grp->SetItemIndex(1);
      e.Form()->BtnOk->click();
    };
    world->modal_scripts["InputDlg"] = [&](QDialog& d) {
      note("value dialog");
      static_cast<TInputDlg&>(d).Form()->OKBtn->click();
    };

    const std::function<void()> action = [&] {
      switch (run) {
        case TRunKind::kPageRefresh:
          w.NotebookMouseDown(f.NBParameter);
          break;
        case TRunKind::kTrendRead:
          f.cmd_ReadTrends->click();
          break;
        case TRunKind::kBulkRead:
          f.mnu_Speichern->trigger();
          break;
        case TRunKind::kLoad:
          f.mnu_Laden->trigger();
          break;
        case TRunKind::kNew:
        case TRunKind::kNewAsking:
          f.mnu_Neu->trigger();
          break;
        case TRunKind::kTableSend:
        case TRunKind::kTableReceive:
          w.Gate().Command(frm_Tabelle, [] { ExecModal(*frm_Tabelle); });
          break;
        case TRunKind::kClockSet:
          f.cmd_SetDateTime->click();
          break;
      }
    };
    // The writes of the whole run without anything coming in between.
    // (Twice: a new set sent to this device changes what the next one sends.)
    std::vector<uint16_t> whole;
    if (spec.writes && !silent) {
      for (int i = 0; i < 2; ++i) {
        com1.ClearRequests();
        action();
      }
      whole = WrittenBlocks(com1);
      QVERIFY(!whole.empty());
    }
    shown.clear();
    world->modal_count.clear();
    com1.ClearRequests();
    com2.ClearRequests();
    std::filesystem::remove(world->SettingsFile());
    QVERIFY(world->ErrorLog().empty());

    const auto intrude = [&] {
      switch (intruder) {
        case TIntruder::kNew:
          f.mnu_Neu->trigger();
          break;
        case TIntruder::kOtherPort:
          w.mnu_EinstellungenClick();
          break;
        case TIntruder::kLanguage:
          f.mnu_Englisch->trigger();
          break;
        case TIntruder::kClockSet:
          f.cmd_SetDateTime->click();
          break;
        case TIntruder::kListEdit:
          DoubleClick(f.ListePT1, line);
          break;
        case TIntruder::kClose:
          w.close();
          break;
        case TIntruder::kSignal:
          std::raise(SIGTERM);
          break;
      }
    };
    size_t at_trigger = 0;
    bool closing_said = intruder != TIntruder::kClose;
    QElapsedTimer since_trigger;
    QTimer poll;
    poll.setInterval(2);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (fired || com1.RequestCount() < spec.trigger_at) return;
      fired = true;
      poll.stop();
      at_trigger = com1.RequestCount();
      since_trigger.start();
      if (silent) com1.InjectFault(flowsim::FaultKind::NoAnswer, kSilentFrames);
      intrude();
      // A close that waits for the run says so.
      if (intruder == TIntruder::kClose && w.Gate().Busy()) {
        closing_said =
            w.StatusPanel(0) == services::ProgramText(services::text_id::kClosingAfterTransfer);
      }
      // Chosen once more while a closed program waits: nothing starts.
      if (closes) {
        f.mnu_Neu->trigger();
        w.mnu_EinstellungenClick();
        f.cmd_SetDateTime->click();
      }
    });
    // The clock's two exchanges take a moment only when the device is slow.
    if (run == TRunKind::kClockSet) com1.InjectFault(flowsim::FaultKind::LateReply, 1, 100);
    poll.start();
    run_active = true;
    action();
    run_active = false;
    const size_t at_run_end = com1.RequestCount();
    QVERIFY2(fired, "the run ended before anything came in between");
    // What was kept meets a device that answers again.
    if (!closes) com1.ClearFaults();

    if (closes) {
      QTRY_VERIFY_WITH_TIMEOUT(w.FormClosed(), 20000);
      QVERIFY(closing_said);
      QVERIFY2(since_trigger.elapsed() < 15000, qPrintable(QString::number(since_trigger.elapsed())));
      const size_t at_end = com1.RequestCount();
      QTest::qWait(300);
      QCOMPARE(com1.RequestCount(), at_end);
      QVERIFY(std::filesystem::exists(world->SettingsFile()));
      // The log is in the files' code page: compared in it.
      const std::string report = platform::Utf8ToCp1252(
          services::ProgramText(services::text_id::kNotSentAtClose, {"%"}));
      const std::string report_head = report.substr(0, report.find('%'));
      const bool reported = silent && spec.report_when_silent;
      QCOMPARE(world->ErrorLog().find(report_head) != std::string::npos, reported);
      // After the close nothing is asked or opened, but for the one report
      // of a close from the window.
      std::vector<std::string> after;
      for (const TShown& s : shown) {
        if (s.after_trigger) after.push_back(s.what);
      }
      if (reported && intruder == TIntruder::kClose) {
        QCOMPARE(after.size(), size_t{1});
        QVERIFY(after[0].find(platform::Cp1252ToUtf8(report_head)) != std::string::npos);
      } else {
        QVERIFY2(after.empty(), after.empty() ? "" : after[0].c_str());
      }
      QCOMPARE(world->modal_count["TEinst"], 0);
      if (spec.writes && !silent) {
        QCOMPARE(WrittenBlocks(com1), whole);
      } else if (!spec.writes) {
        QCOMPARE(Writes(com1), 0);
        // The exchange under way, with its attempts when the device is silent.
        QVERIFY(com1.RequestCount() <= at_trigger + (silent ? 4 : 1));
      }
      QCOMPARE(com2.RequestCount(), size_t{0});
      return;
    }

    // Nothing of the intruder ran inside the run: its question, its dialogs
    // came after it (the run's own question is the run's).
    const std::string question = "box: " + services::GetText(16);
    const auto count = [&](const std::string& what, bool during_run) {
      return std::count_if(shown.begin(), shown.end(), [&](const TShown& s) {
        return s.after_trigger && s.what == what && s.during_run == during_run;
      });
    };
    QCOMPARE(count(question, true), run == TRunKind::kNewAsking ? 1 : 0);
    QCOMPARE(count("settings", true), 0);
    QCOMPARE(count("value dialog", true), 0);
    const auto writes_after_run = [&](uint16_t address) {
      const std::vector<TraceLine> trace = Trace(com1.Requests());
      return std::count_if(trace.begin() + static_cast<std::ptrdiff_t>(at_run_end), trace.end(),
                           [&](const TraceLine& l) { return l.write && l.address == address; });
    };
    switch (intruder) {
      case TIntruder::kNew: {
        QTRY_COMPARE_WITH_TIMEOUT(count(question, false), 1, 20000);
        // The defaults go out after the run, once.
        const uint16_t temperature = devicelink::BlockAddressOf(devicelink::TempParams[0]);
        QTRY_COMPARE_WITH_TIMEOUT(writes_after_run(temperature), 1, 60000);
        break;
      }
      case TIntruder::kOtherPort:
        QTRY_COMPARE_WITH_TIMEOUT(count("settings", false), 1, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!w.Gate().Busy(), 20000);
        QCOMPARE(int(w.Port().ComNumber()), 2);
        QCOMPARE(com1.RequestCount(), at_run_end);
        break;
      case TIntruder::kLanguage:
        QCOMPARE(services::Language, 0);
        QTRY_COMPARE_WITH_TIMEOUT(services::Language, 1, 20000);
        break;
      case TIntruder::kClockSet:
        QTRY_COMPARE_WITH_TIMEOUT(writes_after_run(kClockAddress), 1, 20000);
        break;
      case TIntruder::kListEdit:
        QTRY_COMPARE_WITH_TIMEOUT(count("value dialog", false), 1, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(
            writes_after_run(devicelink::BlockAddressOf(devicelink::TempParams[0])), 1, 20000);
        break;
      case TIntruder::kClose:
      case TIntruder::kSignal:
        break;
    }
    // The other port never gets a write.
    QCOMPARE(Writes(com2), 0);
    if (intruder != TIntruder::kOtherPort) QCOMPARE(com2.RequestCount(), size_t{0});
  }

 private slots:
  void init() { world = std::make_unique<UiWorld>(); }
  void cleanup() { world.reset(); }

  void duringAPageRefresh_data() { Rows(); }
  void duringAPageRefresh() { Check(TRunKind::kPageRefresh); }
  void duringTheTrendRead_data() { Rows(); }
  void duringTheTrendRead() { Check(TRunKind::kTrendRead); }
  void duringTheBulkReadForASave_data() { Rows(); }
  void duringTheBulkReadForASave() { Check(TRunKind::kBulkRead); }
  void duringALoad_data() { Rows(); }
  void duringALoad() { Check(TRunKind::kLoad); }
  void duringNew_data() { Rows(); }
  void duringNew() { Check(TRunKind::kNew); }
  void duringNewsIdentificationCheck_data() { Rows(); }
  void duringNewsIdentificationCheck() { Check(TRunKind::kNewAsking); }
  void duringATableSend_data() { Rows(); }
  void duringATableSend() { Check(TRunKind::kTableSend); }
  void duringATableReceive_data() { Rows(); }
  void duringATableReceive() { Check(TRunKind::kTableReceive); }
  void duringTheClockSet_data() { Rows(); }
  void duringTheClockSet() { Check(TRunKind::kClockSet); }
};

QTEST_MAIN(CommandGateTest)
#include "command_gate_test.moc"
