// The operating pages as the operator reads them: circuit lists, error log and
// its export, totalizers; against the simulated device.
#include <QAction>
#include <QGroupBox>
#include <QListWidget>
#include <QMenu>
#include <QRegularExpression>
#include <QTabBar>
#include <QTimer>

#include "devicelink/event_log_reader.h"
#include "platform/text_encoding.h"
#include "services/value_format.h"
#include "ui/pages/operating_lines.h"
#include "ui/pages/operating_pages.h"
#include "ui_fixture.h"
#include "ui_main_window.h"

using namespace ui;
using namespace ui::testing;

namespace {

QStringList Lines(QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
  return out;
}

QString Pad(const QString& label, int width) {
  return label.leftJustified(width, ' ');
}

QString FV(uint8_t kind, float value) {
  return QString::fromStdString(services::FormatValue(kind, 1, 1, value));
}

QString DT(const devicelink::TDeviceClock& c) {
  return QString::fromStdString(services::DeviceTimeToText(c));
}

}  // namespace

class OperatingPagesTest : public QObject {
  Q_OBJECT
  std::unique_ptr<UiWorld> world;

  Tfrm_Main& StartOnline(flowsim::SimulatorOptions options = {}) {
    world->StartDevice(std::move(options));
    world->WriteSettings(true);
    if (world->Start()) qFatal("start failed");
    if (!devicelink::DeviceOnline) qFatal("device not online");
    return *world->Main();
  }

 private slots:
  void init() { world = std::make_unique<UiWorld>(); }
  void cleanup() { world.reset(); }

  void lineRules() {
    QCOMPARE(OperatingTimeText(90061), std::string("    25:01:01    hms"));
    QCOMPARE(OperatingTimeText(0), std::string("     0:00:00    hms"));
    const std::pair<int, int> codes[] = {{0, 0}, {5, 5}, {6, 3}, {9, 6}, {20, 14}, {31, 19}};
    for (auto [code, index] : codes)
      QCOMPARE(OutputSourceTextIndex(static_cast<uint8_t>(code)), index);
    services::ProgramFolder = platform::ProgramFolder() + "/";
    QVERIFY(StatusLines(0, 0xFF).empty());
    QVERIFY(StatusLines(-1, 0xFF).empty());
    QVERIFY(StatusLines(3, 0).empty());
    const std::vector<std::string> all = StatusLines(1, 0xFF);
    QCOMPARE(all.size(), size_t(7));
    QCOMPARE(all[0], std::string());
    QCOMPARE(StatusLines(1, 0x10).size(), size_t(2));
  }

  void circuitListShowsDeviceValues() {
    Tfrm_Main& w = StartOnline();
    const QStringList l = Lines(FormOf(w).ListeK1);
    const devicelink::TCircuitValues& v = devicelink::LiveValues[0];
    QCOMPARE(l.value(0), Pad("Systemtyp: zwei getrennte Messkreise", 54));
    QCOMPARE(l.value(1), Pad("Temperatur", 54) + FV(0, v.Temperature));
    QCOMPARE(l.value(2), Pad("Druck", 54) + FV(1, v.Pressure));
    QCOMPARE(l.value(3), Pad("Dichte", 54) + FV(2, v.Density));
    QCOMPARE(l.value(4), Pad("Normvolumenstrom", 54) + FV(3, v.FlowOrPower));
    QCOMPARE(l.value(5), Pad("Betriebsvolumenstrom", 54) + FV(7, v.OperatingFlow));
    QCOMPARE(l.value(6), Pad("Massestrom", 54) + FV(4, v.MassFlow));
    QCOMPARE(l.value(7),
             Pad("Normvolumen (Zählerstand)", 54) + FV(5, v.TotalOrEnergyA + v.TotalOrEnergyB));
    QCOMPARE(l.value(8), Pad("Masse (Zählerstand)", 54) + FV(6, v.MassTotalA + v.MassTotalB));
    QCOMPARE(l.value(9), QString());
    QVERIFY(v.OperatingSeconds > 0);
    const uint32_t s = v.OperatingSeconds;
    QCOMPARE(l.value(10), Pad("Betriebszeit", 51) + QString("%1:%2:%3    hms")
                                                        .arg(s / 3600, 6)
                                                        .arg(s % 3600 / 60, 2, 10, QChar('0'))
                                                        .arg(s % 60, 2, 10, QChar('0')));
    QCOMPARE(l.value(11), QString());
    // The device's outputs 1 and 2 take circuit 1's temperature (code 1) and
    // standard volume flow (code 4).
    QCOMPARE(l.value(12),
             Pad("Analogausgang 1 - Temperatur Kreis 1", 54) + FV(17, devicelink::OutputCurrents[0]));
    QCOMPARE(l.value(13), Pad("Analogausgang 2 - Normvolumenstrom Kreis 1", 54) +
                              FV(17, devicelink::OutputCurrents[1]));
    // The device reports one present error: the flow measurement.
    QCOMPARE(l.mid(l.size() - 2), QStringList({"", "Störung: Durchflussmessung"}));
    // Values and units sit in the same columns on every value line.
    for (int i : {1, 2, 3, 6, 12}) QCOMPARE(l[i].indexOf('.'), l[1].indexOf('.'));
  }

  // Circuit 2's tab clicked while circuit 1 is being read: circuit 1's read
  // fills circuit 1's list, and circuit 2's page is read after it.
  void tabChangeDuringARead() {
    Tfrm_Main& w = StartOnline();
    Ui::Tfrm_Main& f = FormOf(w);
    flowsim::FlowSimulator& sim = world->Device();
    QTabBar* bar = f.NBBetrieb->tabBar();
    const auto click = [&](QWidget* page) {
      QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(f.NBBetrieb->indexOf(page)).center());
    };
    click(f.TabKreis2);  // both lists hold lines of an earlier read
    QTRY_VERIFY_WITH_TIMEOUT(f.ListeK2->count() > 10 && CommBusy == 0, 5000);
    // What circuit 1's lines are while its read is the newest (the output
    // currents, common to both, are read again for circuit 2).
    std::vector<std::string> circuit_1;
    connect(f.ListeK1->model(), &QAbstractItemModel::rowsInserted, this,
            [&] { circuit_1 = MeasuredValueLines(0); });
    // The read's first exchange answers late; the second click comes meanwhile.
    sim.InjectFault(flowsim::FaultKind::LateReply, 1, 300);
    QTimer::singleShot(150, [&] {
      QCOMPARE(CommBusy, uint8_t(1));
      click(f.TabKreis2);
    });
    click(f.TabKreis1);
    size_t seen = 0;
    do {
      seen = sim.RequestCount();
      QTest::qWait(400);
    } while (sim.RequestCount() != seen || CommBusy != 0);
    QCOMPARE(f.NBBetrieb->currentWidget(), f.TabKreis2);
    QVERIFY(circuit_1.size() > 10);
    uint8_t mask = 0;
    const int32_t count = devicelink::ReadErrorStatus(mask);
    for (int c = 0; c < 2; ++c) {
      std::vector<std::string> expected = c == 0 ? circuit_1 : MeasuredValueLines(1);
      for (const std::string& line : StatusLines(count, mask)) expected.push_back(line);
      QStringList lines;
      for (const std::string& line : expected) lines << QString::fromStdString(line);
      QCOMPARE(Lines(c == 0 ? f.ListeK1 : f.ListeK2), lines);
    }
  }

  void steamCircuitListInEnglish() {
    flowsim::SimulatorOptions options;
    options.setup.model = flowsim::DeviceModel::Steam;
    world->StartDevice(options);
    world->WriteSettings(true, 1, 0);
    QCOMPARE(world->Start(), std::nullopt);
    Tfrm_Main& w = *world->Main();
    QCOMPARE(services::Medium, 1);
    const QStringList l = Lines(FormOf(w).ListeK1);
    const devicelink::TCircuitValues& v = devicelink::LiveValues[0];
    QCOMPARE(l.value(4), Pad("Power", 54) + FV(8, v.FlowOrPower));
    QCOMPARE(l.value(7), Pad("Energy (counter)", 54) + FV(9, v.TotalOrEnergyA + v.TotalOrEnergyB));
    QVERIFY(l.value(10).startsWith(Pad("Operating time", 51)));
    QCOMPARE(FormOf(w).NBBetrieb->tabText(0), QString("Circuit 1"));
  }

  void singleCircuitDeviceShowsOneOutput() {
    flowsim::SimulatorOptions options;
    options.setup.singleCircuit = true;
    Tfrm_Main& w = StartOnline(options);
    const QStringList l = Lines(FormOf(w).ListeK1);
    QVERIFY(!l.value(0).startsWith("Systemtyp"));  // no title for single-circuit devices
    QCOMPARE(l.filter("Analogausgang").size(), 1);
  }

  void errorLogListsNewestFirstAndExports() {
    Tfrm_Main& w = StartOnline();
    FormOf(w).NBBetrieb->setCurrentWidget(FormOf(w).TabFehler);
    w.NotebookMouseDown(FormOf(w).NBBetrieb);
    const QStringList l = Lines(FormOf(w).ErrorListe);
    const auto& e = devicelink::DeviceErrorLog.Entries;
    const QString nbsp = QString(QChar(0xA0));
    // Temperature circuit 1: three past errors. No error is present, so the
    // device's index names the free slot after the newest one and the list starts
    // one before it, newest first.
    QCOMPARE(int(devicelink::DeviceErrorLog.NewestIndex[0]), 3);
    QCOMPARE(l.value(0), Pad("Temperatur Kreis 1", 28));
    QCOMPARE(l.value(1), DT(e[2].Come) + " bis " + DT(e[2].Go) + nbsp + "unquittiert");
    QCOMPARE(l.value(2), DT(e[1].Come) + " bis " + DT(e[1].Go) + QString(12, ' '));
    QCOMPARE(l.value(3), DT(e[0].Come) + " bis " + DT(e[0].Go) + QString(12, ' '));
    QCOMPARE(l.value(4), QString());
    QCOMPARE(l.value(5), Pad("Druck Kreis 1", 28));
    QCOMPARE(l.value(6), QString());
    // Flow circuit 1: the present error first, in the column of the go time.
    QCOMPARE(l.value(7), Pad("Durchfluss Kreis 1", 28));
    QCOMPARE(l.value(8), DT(e[17].Come) + QString(24, ' ') + "noch aktiv");
    // The word of a present error stands where the suffix of a past one does.
    QCOMPARE(l.value(8).indexOf("noch"), l.value(1).indexOf(nbsp));
    QCOMPARE(l.value(9), DT(e[16].Come) + " bis " + DT(e[16].Go) + QString(12, ' '));
    QVERIFY(e[2].Come.Day != 0 && e[2].Come.Year >= 2024);

    // Export: the list as it stands, one line each.
    bool enabled = false;
    w.OperatingPages().PopupMenu1Popup();
    enabled = w.findChild<QAction*>("Speichern1")->isEnabled();
    QVERIFY(enabled);
    const std::string file = world->Temp("ErrorListe.txt");
    WriteFile(file, "old content that is longer than nothing at all, much longer");
    TFileRequest asked;
    SetFileDialogHook([&](const TFileRequest& r) {
      asked = r;
      return file;
    });
    w.OperatingPages().Speichern1Click();
    QCOMPARE(asked.file_name, std::string("ErrorListe"));
    QCOMPARE(asked.default_ext, std::string("txt"));
    QVERIFY(asked.overwrite_prompt && asked.save);
    std::string expected;
    for (const QString& line : l) expected += platform::Utf8ToCp1252(line.toStdString()) + "\r\n";
    QCOMPARE(ReadFile(file), expected);
    QVERIFY(world->boxes.empty());

    // A file that cannot be made is reported, and nothing else happens.
    SetFileDialogHook([&](const TFileRequest&) { return world->Temp("missing/folder/x.txt"); });
    w.OperatingPages().Speichern1Click();
    QCOMPARE(world->boxes.size(), size_t(1));
    QCOMPARE(CommBusy, uint8_t(0));

    // In English as well one blank between the words and the times, the
    // suffix of an unacknowledged error after the module's non-breaking space;
    // the shorter word between the times moves the present error's word along.
    w.mnu_SpracheClick(FormOf(w).mnu_Englisch);
    const QStringList en = Lines(FormOf(w).ErrorListe);
    QCOMPARE(en.value(1), DT(e[2].Come) + " to " + DT(e[2].Go) + nbsp + "unacknowledged");
    QCOMPARE(en.value(8), DT(e[17].Come) + QString(23, ' ') + "still active");
    QCOMPARE(en.value(8).indexOf("still"), en.value(1).indexOf(nbsp));
  }

  void emptyErrorListCannotBeSaved() {
    world->WriteSettings(false);
    world->UseManualClock();
    QCOMPARE(world->Start(), std::nullopt);
    Tfrm_Main& w = *world->Main();
    FormOf(w).NBBetrieb->setCurrentWidget(FormOf(w).TabFehler);
    w.NotebookMouseDown(FormOf(w).NBBetrieb);  // offline: refused, list stays empty
    QCOMPARE(FormOf(w).ErrorListe->count(), 0);
    w.OperatingPages().PopupMenu1Popup();
    QVERIFY(!w.findChild<QAction*>("Speichern1")->isEnabled());
    bool asked = false;
    SetFileDialogHook([&](const TFileRequest&) {
      asked = true;
      return std::string();
    });
    w.OperatingPages().Speichern1Click();
    QVERIFY(!asked);
  }

  void totalizersNewestFirst() {
    Tfrm_Main& w = StartOnline();
    FormOf(w).NBBetrieb->setCurrentWidget(FormOf(w).TabIntegrator);
    w.NotebookMouseDown(FormOf(w).NBBetrieb);
    for (int c = 0; c < 2; ++c) {
      const QStringList l = Lines(c == 0 ? FormOf(w).ListeIntegrator1 : FormOf(w).ListeIntegrator2);
      const auto& h = devicelink::IntegratorHistory[static_cast<size_t>(c)];
      int records = 0;
      for (const auto& r : h) records += r.End.Day != 0 ? 1 : 0;
      QVERIFY(records >= 2);
      QCOMPARE(l.size(), 3 * records);
      for (int i = 0; i < records; ++i) {
        const auto& r = h[static_cast<size_t>(i)];
        QCOMPARE(l[3 * i], Pad("Beginn:", 13) + DT(r.Start) + "   " + Pad("Normvolumen:", 13) +
                               FV(5, r.Total));
        QCOMPARE(l[3 * i + 1],
                 Pad("Ende:", 13) + DT(r.End) + "   " + Pad("Masse:", 13) + FV(6, r.MassTotal));
        QCOMPARE(l[3 * i + 2], QString());
        if (i > 0) {
          // Newest first: each period ends when or before the one above starts.
          const auto& newer = h[static_cast<size_t>(i - 1)];
          const auto key = [](const devicelink::TDeviceClock& t) {
            return ((((int64_t{t.Year} * 13 + t.Month) * 32 + t.Day) * 24 + t.Hour) * 60 +
                    t.Minute) *
                       60 +
                   t.Second;
          };
          QVERIFY(key(r.End) <= key(newer.Start) || key(r.Start) < key(newer.Start));
        }
      }
    }
    QCOMPARE(FormOf(w).GroupInteg1->title(), QString("Kreis 1"));
  }
};

QTEST_MAIN(OperatingPagesTest)
#include "operating_pages_test.moc"
