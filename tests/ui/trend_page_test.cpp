// The trend page against the simulated device: reading the ring into the list
// and the grid, what a second read costs, a fault in the middle of a read, the
// export file byte for byte, and the chart window opened from the page.
#include <QChart>
#include <QComboBox>
#include <QDateTime>
#include <QLineSeries>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>

#include <sys/resource.h>

#include <bit>
#include <csignal>

#include "devicelink/frame_transfer.h"
#include "devicelink/trend_reader.h"
#include "services/data_folders.h"
#include "services/value_format.h"
#include "tools/flowsim/device_map.h"
#include "ui/chart_window.h"
#include "ui/pages/trend_page.h"
#include "ui_chart_window.h"
#include "ui_fixture.h"
#include "ui_main_window.h"

using namespace ui;
using namespace ui::testing;

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v >> 8));
  b.push_back(static_cast<uint8_t>(v));
}

void PutSingle(Bytes& b, float f) {
  const uint32_t v = std::bit_cast<uint32_t>(f);
  for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<uint8_t>(v >> shift));
}

struct Samples {
  std::vector<uint16_t> temperature, pressure;
  std::vector<float> std_flow, mass_flow;
};

// A device trend block: stamp, then the four columns of 60 samples (the ones
// not given are 0).
Bytes Block(int circuit, int interval, int year, int month, int day, int hour, int minute,
            int count, const Samples& s) {
  Bytes b = {static_cast<uint8_t>(circuit), static_cast<uint8_t>(interval),
             static_cast<uint8_t>(year % 100), static_cast<uint8_t>(month),
             static_cast<uint8_t>(day), static_cast<uint8_t>(hour),
             static_cast<uint8_t>(minute), static_cast<uint8_t>(count)};
  for (size_t j = 0; j < 60; ++j) Put16(b, j < s.temperature.size() ? s.temperature[j] : 0);
  for (size_t j = 0; j < 60; ++j) Put16(b, j < s.pressure.size() ? s.pressure[j] : 0);
  for (size_t j = 0; j < 60; ++j) PutSingle(b, j < s.std_flow.size() ? s.std_flow[j] : 0);
  for (size_t j = 0; j < 60; ++j) PutSingle(b, j < s.mass_flow.size() ? s.mass_flow[j] : 0);
  return b;
}

// The device's requests as "R aaaa n" / "W aaaa n".
QStringList Trace(const flowsim::FlowSimulator& sim) {
  QStringList out;
  for (const flowsim::RequestRecord& r : sim.Requests()) {
    out << QString("%1 %2 %3")
               .arg(r.request.at(0) == flowsim::kReadCommand ? "R" : "W")
               .arg(r.request.at(1) << 8 | r.request.at(2), 4, 16, QChar('0'))
               .arg(r.request.at(3));
  }
  return out;
}

QString Cell(QTableWidget* grid, int row, int column) {
  const QTableWidgetItem* item = grid->item(row, column);
  return item != nullptr ? item->text() : QString();
}

// The list line of a device block, worked out from its stamp bytes.
QString ExpectedLine(const Bytes& stamp) {
  const int interval = stamp[1];
  const QDateTime start(QDate(2000 + stamp[2], stamp[3], stamp[4]),
                        QTime(stamp[5], stamp[6] / interval * interval), Qt::UTC);
  const QDateTime end = start.addSecs(60 * interval * stamp[7]);
  return QString("Kreis %1: %2  -  %3 [%4]")
      .arg(stamp[0] + 1)
      .arg(start.toString("dd.MM.yyyy hh:mm"), end.toString("dd.MM.yyyy hh:mm"))
      .arg(stamp[7], 2, 10, QChar('0'));
}

uint16_t TemperatureWord(const Bytes& block, int j) {
  return static_cast<uint16_t>(block.at(8 + 2 * j) << 8 | block.at(9 + 2 * j));
}

// A temperature sample in °C, as the grid shows it.
QString Temperature(uint16_t word) {
  return QString::fromStdString(
      services::FormatValue(0, 0, 1, (static_cast<float>(word) - 2731.0f) / 10.0f));
}
QString Temperature(const Bytes& block, int j) {
  return Temperature(TemperatureWord(block, j));
}

}  // namespace

class TrendPageTest : public QObject {
  Q_OBJECT
  std::unique_ptr<UiWorld> world;

  Tfrm_Main& StartOnline() {
    world->StartDevice();
    world->WriteSettings(true);
    if (world->Start()) qFatal("start failed");
    if (!devicelink::DeviceOnline) qFatal("device not online");
    Tfrm_Main& w = *world->Main();
    FormOf(w).NBBetrieb->setCurrentWidget(FormOf(w).TabTrend);
    w.NotebookMouseDown(FormOf(w).NBBetrieb);
    return w;
  }

  // Two records and a serial number with blanks, everything else erased.
  void SmallRing(flowsim::FlowSimulator& sim) {
    Bytes header = {1, 1};
    header.resize(36, 0);
    sim.WriteMemory(flowsim::map::kTrendHeader, header);
    for (int k = 2; k < 44; ++k) {
      sim.WriteMemory(devicelink::TrendBlockAddress(k), Bytes(728, 0xFF));
    }
    sim.WriteMemory(devicelink::TrendBlockAddress(0),
                    Block(0, 15, 2024, 3, 5, 10, 37, 2,
                          {{2731, 2936}, {400, 1234}, {350.5f, 1234.5f}, {0.0005f, -2.5f}}));
    sim.WriteMemory(devicelink::TrendBlockAddress(1),
                    Block(1, 60, 2024, 12, 31, 23, 0, 1, {{0}, {7}, {0}, {1e6f}}));
    const std::string serial = "SN 4711         ";
    sim.WriteMemory(flowsim::map::kSerialNumber, Bytes(serial.begin(), serial.end()));
  }

  void Export(Tfrm_Main& w, const std::string& file) {
    SetFileDialogHook([file](const TFileRequest&) { return file; });
    FormOf(w).cmd_ExportTrends->click();
  }

  void CheckIdle(Tfrm_Main& w) {
    Ui::Tfrm_Main& f = FormOf(w);
    QVERIFY(f.cmd_ReadTrends->isEnabled() && f.cmd_ExportTrends->isEnabled());
    QVERIFY(!f.ComboTrends->isHidden());
    QVERIFY(f.Zeitmesser->isHidden());
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QVERIFY(!w.TrendPage().TrendReadRunning());
  }

 private slots:
  void init() { world = std::make_unique<UiWorld>(); }
  void cleanup() { world.reset(); }

  void readListsTheRing() {
    Tfrm_Main& w = StartOnline();
    flowsim::FlowSimulator& sim = world->Device();
    Ui::Tfrm_Main& f = FormOf(w);
    QVERIFY(f.cmd_Grafik->isVisible() && !f.cmd_Grafik->isEnabled());
    QVERIFY(!f.ComboTrends->isVisible());
    QCOMPARE(Cell(f.Trendgrid, 0, 1), QString("Temperatur[°C]"));
    QCOMPARE(Cell(f.Trendgrid, 2, 0), QString("Mittelwert"));

    f.cmd_ReadTrends->click();
    CheckIdle(w);
    QVERIFY(f.cmd_Grafik->isEnabled());
    // The simulated ring: blocks 0 to 29 of circuit 1, 29 the newest with 20 samples.
    QCOMPARE(f.ComboTrends->count(), 30);
    for (int line = 0; line < 30; ++line) {
      const int k = 29 - line;
      QCOMPARE(f.ComboTrends->itemText(line),
               ExpectedLine(sim.ReadMemory(devicelink::TrendBlockAddress(k), 8)));
    }
    QCOMPARE(f.ComboTrends->currentIndex(), 0);
    const Bytes newest = sim.ReadMemory(devicelink::TrendBlockAddress(29), 728);
    QCOMPARE(newest[7], uint8_t(20));
    uint16_t max = 0;
    for (int j = 0; j < 20; ++j) max = std::max(max, TemperatureWord(newest, j));
    QCOMPARE(Cell(f.Trendgrid, 1, 1), Temperature(max));
    const QDateTime start(QDate(2000 + newest[2], newest[3], newest[4]), QTime(newest[5], newest[6]), Qt::UTC);
    QCOMPARE(Cell(f.Trendgrid, 4, 0), start.addSecs(900).toString("dd.MM.yyyy hh:mm:ss"));
    QCOMPARE(Cell(f.Trendgrid, 4, 1), Temperature(newest, 0));
    QCOMPARE(Cell(f.Trendgrid, 23, 0), start.addSecs(20 * 900).toString("dd.MM.yyyy hh:mm:ss"));
    QCOMPARE(Cell(f.Trendgrid, 23, 1), Temperature(newest, 19));
    QCOMPARE(Cell(f.Trendgrid, 24, 0), QString());

    // The operator picks an older record: 60 rows.
    f.ComboTrends->setCurrentIndex(3);
    emit f.ComboTrends->activated(3);
    const Bytes older = sim.ReadMemory(devicelink::TrendBlockAddress(26), 728);
    QCOMPARE(Cell(f.Trendgrid, 63, 1), Temperature(older, 59));
    QCOMPARE(Cell(f.Trendgrid, 3, 0), QString("Minimum"));

    // Again, with the ring unchanged: the header and one stamp per block.
    sim.ClearRequests();
    f.cmd_ReadTrends->click();
    QStringList expected = {"R 0000 36"};
    for (int k = 0; k < 44; ++k) {
      expected << QString("R %1 8").arg(devicelink::TrendBlockAddress(k), 4, 16, QChar('0'));
    }
    QCOMPARE(Trace(sim), expected);
    QCOMPARE(f.ComboTrends->count(), 30);

    // Block 5 gets new samples and time, block 20 a new stamp that cannot be
    // read: the list shows block 5 as it now is, and nothing is exported.
    Samples warm;
    warm.temperature.assign(60, 3000);
    warm.pressure.assign(60, 500);
    const Bytes block5 = Block(0, 15, 2026, 1, 2, 3, 0, 60, warm);
    sim.WriteMemory(devicelink::TrendBlockAddress(5), block5);
    sim.WriteMemory(devicelink::TrendBlockAddress(20), Bytes{0, 15, 26, 1, 3, 4, 0, 60});
    sim.InjectFaultAt(flowsim::FaultKind::BadChecksum, devicelink::TrendBlockAddress(20),
                      flowsim::kEveryFrame);
    bool asked = false;
    SetFileDialogHook([&](const TFileRequest&) {
      asked = true;
      return std::string();
    });
    f.cmd_ExportTrends->click();
    sim.ClearFaults();
    QVERIFY(!asked);
    CheckIdle(w);
    QCOMPARE(f.ComboTrends->count(), 30);
    const int line5 = 29 - 5;
    QCOMPARE(f.ComboTrends->itemText(line5), ExpectedLine(block5));
    f.ComboTrends->setCurrentIndex(line5);
    emit f.ComboTrends->activated(line5);
    QCOMPARE(Cell(f.Trendgrid, 1, 1), QString::fromStdString(services::FormatValue(0, 0, 1, 26.9f)));
    QCOMPARE(Cell(f.Trendgrid, 2, 2), QString(" 500.0000   "));
    QCOMPARE(Cell(f.Trendgrid, 4, 0), QString("02.01.2026 03:15:00"));

    // The chart window shows the store; a new read empties it.
    f.cmd_Grafik->click();
    QVERIFY(frm_Grafik->isVisible());
    frm_Grafik->Form()->SpeedButton2->click();
    QCOMPARE(frm_Grafik->Chart(0)->series().size(), 30);
    QCOMPARE(frm_Grafik->Chart(0)->title(), QString("Temperatur[°C]"));
    f.cmd_ReadTrends->click();
    QVERIFY(frm_Grafik->Chart(0)->series().isEmpty());
    QVERIFY(frm_Grafik->Form()->SpeedButton1->isChecked());
    frm_Grafik->hide();

    // Headings and the button in the other language.
    w.mnu_SpracheClick(f.mnu_Englisch);
    QCOMPARE(Cell(f.Trendgrid, 0, 0), QString("Date / time"));
    QCOMPARE(Cell(f.Trendgrid, 0, 4), QString("Mass flow[kg/h]"));
    QCOMPARE(Cell(f.Trendgrid, 1, 0), QString("Maximum"));
    QCOMPARE(f.cmd_ReadTrends->text(), QString("Read trends"));
    QCOMPARE(f.ComboTrends->count(), 30);
  }

  // Units switched to °F and psi after the read: whatever shows the trends
  // next names the unit its values are in.
  void headingsNameTheUnitsOfTheirValues_data() {
    QTest::addColumn<QString>("then");
    for (const char* then : {"language switch", "page reached again", "chart"}) {
      QTest::newRow(then) << QString(then);
    }
  }
  void headingsNameTheUnitsOfTheirValues() {
    QFETCH(QString, then);
    Tfrm_Main& w = StartOnline();
    SmallRing(world->Device());
    Ui::Tfrm_Main& f = FormOf(w);
    f.cmd_ReadTrends->click();
    f.ComboTrends->setCurrentIndex(1);  // record 0, circuit 1
    emit f.ComboTrends->activated(1);
    const auto value = [](uint8_t kind, float v) {
      return QString::fromStdString(services::FormatValue(kind, 0, 1, v));
    };
    QCOMPARE(Cell(f.Trendgrid, 0, 1), QString("Temperatur[°C]"));
    QCOMPARE(Cell(f.Trendgrid, 1, 1), value(0, 20.5f));
    QCOMPARE(Cell(f.Trendgrid, 1, 2), value(1, 1234.0f));
    devicelink::UnitSwitches.Einheiten = 1;
    devicelink::UserUnits[0].Variant = 1;  // °F
    devicelink::UserUnits[1].Variant = 3;  // psi

    if (then == "chart") {
      f.cmd_Grafik->click();
      frm_Grafik->Form()->SpeedButton2->click();
      const auto first_y = [](int chart) {
        return static_cast<QLineSeries*>(frm_Grafik->Chart(chart)->series().value(0))->at(0).y();
      };
      QVERIFY(frm_Grafik->Chart(0)->title().endsWith("[°F]"));
      QCOMPARE(first_y(0), 32.0);  // 0 °C
      QVERIFY(frm_Grafik->Chart(1)->title().endsWith("[psi]"));
      QCOMPARE(first_y(1), double(400 * 0.1450377f));
      frm_Grafik->hide();
      return;
    }
    if (then == "language switch") {
      w.mnu_SpracheClick(f.mnu_Englisch);
      QCOMPARE(Cell(f.Trendgrid, 0, 1), QString("Temperature[°F]"));
    } else {
      // Through a page that reads no units from the device.
      f.NBBetrieb->setCurrentWidget(f.TabFehler);
      QTRY_VERIFY_WITH_TIMEOUT(f.ErrorListe->count() > 0 && CommBusy == 0, 5000);
      f.NBBetrieb->setCurrentWidget(f.TabTrend);
      QTRY_COMPARE(Cell(f.Trendgrid, 0, 1), QString("Temperatur[°F]"));
    }
    QCOMPARE(Cell(f.Trendgrid, 1, 1), value(0, 20.5f));
    QCOMPARE(Cell(f.Trendgrid, 1, 1), QString("  68.9000   "));
    QVERIFY(Cell(f.Trendgrid, 0, 2).endsWith("[psi]"));
    QCOMPARE(Cell(f.Trendgrid, 1, 2), value(1, 1234.0f));
  }

  void exportFileByteForByte() {
    Tfrm_Main& w = StartOnline();
    SmallRing(world->Device());
    const std::string file = world->Temp("Trenddaten.txt");
    WriteFile(file, std::string(5000, 'x'));  // longer than the new content
    TFileRequest asked;
    SetFileDialogHook([&](const TFileRequest& r) {
      asked = r;
      return file;
    });
    FormOf(w).cmd_ExportTrends->click();
    CheckIdle(w);
    QCOMPARE(asked.file_name, std::string("Trenddaten"));
    QCOMPARE(asked.default_ext, std::string("txt"));
    QVERIFY(asked.save && asked.overwrite_prompt);
    QCOMPARE(asked.initial_dir, services::GetDocumentsFolder());
    // Newest record first, samples oldest first; Windows-1252, CR LF everywhere.
    const std::string expected =
        "SerNo;Kreis;Datum / Uhrzeit;Temperatur[\xB0" "C];Druck[kPa];Normvolumenstrom[Nm\xB3/h];"
        "Massestrom[kg/h]\r\n"
        "SN 4711         ;2;01.01.2025 00:00:00;-273.1000   ;   7.0000   ;   0.0000   ;"
        "   1.0000E+6\r\n"
        "SN 4711         ;1;05.03.2024 10:45:00;   0.0000   ; 400.0000   ; 350.5000   ;"
        "   0.5000E-3\r\n"
        "SN 4711         ;1;05.03.2024 11:00:00;  20.5000   ;   1.2340E+3;   1.2345E+3;"
        "  -2.5000   \r\n";
    QCOMPARE(QByteArray::fromStdString(ReadFile(file)), QByteArray::fromStdString(expected));
    QCOMPARE(FormOf(w).ComboTrends->count(), 2);
    QVERIFY(world->boxes.empty());
  }

  void exportCancelledOrFailing() {
    Tfrm_Main& w = StartOnline();
    flowsim::FlowSimulator& sim = world->Device();
    SmallRing(sim);
    Ui::Tfrm_Main& f = FormOf(w);

    const std::string folder = world->Temp("exports");
    std::filesystem::create_directory(folder);

    // Cancel: the trends are read and listed, no file is written.
    SetFileDialogHook([](const TFileRequest&) { return std::string(); });
    f.cmd_ExportTrends->click();
    QCOMPARE(f.ComboTrends->count(), 2);
    QVERIFY(std::filesystem::is_empty(folder));

    // Without the serial number the lines carry none.
    sim.InjectFaultAt(flowsim::FaultKind::BadChecksum, flowsim::map::kSerialNumber,
                      flowsim::kEveryFrame);
    const std::string file = folder + "/a.txt";
    Export(w, file);
    sim.ClearFaults();
    const std::string text = ReadFile(file);
    QVERIFY(text.find("\r\n;2;01.01.2025 00:00:00;") != std::string::npos);
    QVERIFY(text.find("SN 4711") == std::string::npos);

    // A write that fails half-way leaves the old file whole and no other file.
    const std::string old = ReadFile(file);
    struct rlimit saved;
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 100;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
    Export(w, file);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    QCOMPARE(world->boxes.size(), size_t(1));
    QVERIFY(world->boxes[0].text.find(file) != std::string::npos);
    QCOMPARE(ReadFile(file), old);
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
      names.push_back(e.path().filename().string());
    }
    QCOMPARE(names, std::vector<std::string>{"a.txt"});
    CheckIdle(w);
    QCOMPARE(f.ComboTrends->count(), 2);
  }

  // The window closed during a trend read at 9600 baud (half a minute for the
  // whole ring): the read ends at its next exchange and the window goes without
  // waiting for the rest of the ring.
  void aCloseDuringTheReadEndsItAtItsNextExchange() {
    Tfrm_Main& w = StartOnline();
    flowsim::FlowSimulator& sim = world->Device();
    sim.SetPacing(9600);
    sim.ClearRequests();
    size_t at_close = 0;
    QTimer::singleShot(1500, [&] {
      at_close = sim.RequestCount();
      w.close();
    });
    FormOf(w).cmd_ReadTrends->click();
    QTRY_VERIFY_WITH_TIMEOUT(w.FormClosed(), 10000);
    // Only the part of the ring read before the close was asked for, and the
    // exchange under way then.
    QVERIFY(at_close > 1);
    QVERIFY2(sim.RequestCount() <= at_close + 1,
             qPrintable(QString("%1 after %2").arg(sim.RequestCount()).arg(at_close)));
  }

  // The operator goes to the trend page and clicks "Trendwerte lesen" (twice)
  // while the refresh of the page before still waits for a late reply: the
  // read follows once the refresh has ended, once.
  void aReadClickedDuringARefreshFollowsIt() {
    Tfrm_Main& w = StartOnline();
    flowsim::FlowSimulator& sim = world->Device();
    Ui::Tfrm_Main& f = FormOf(w);
    f.NBBetrieb->setCurrentWidget(f.TabKreis1);
    QTRY_VERIFY(CommBusy == 0 && !devicelink::ExchangeRunning());
    sim.ClearRequests();
    sim.InjectFault(flowsim::FaultKind::LateReply, 1, 400);
    int headers_during = -1;
    QTimer::singleShot(100, [&] {
      f.NBBetrieb->setCurrentWidget(f.TabTrend);
      f.cmd_ReadTrends->click();
      f.cmd_ReadTrends->click();
      headers_during = int(Trace(sim).count("R 0000 36"));
    });
    w.RefreshTimerTimer();
    QCOMPARE(headers_during, 0);
    QTRY_COMPARE(f.ComboTrends->count(), 30);
    QTest::qWait(200);
    QCOMPARE(int(Trace(sim).count("R 0000 36")), 1);
    CheckIdle(w);
  }

  void offlineGivesAnEmptyList() {
    world->WriteSettings(false);
    world->UseManualClock();
    QCOMPARE(world->Start(), std::nullopt);
    Tfrm_Main& w = *world->Main();
    Ui::Tfrm_Main& f = FormOf(w);
    f.cmd_ReadTrends->click();
    CheckIdle(w);
    QCOMPARE(f.ComboTrends->count(), 0);
    QVERIFY(!f.cmd_Grafik->isEnabled());
    QCOMPARE(Cell(f.Trendgrid, 4, 0), QString());
    QCOMPARE(Cell(f.Trendgrid, 0, 0), QString("Datum / Uhrzeit"));
  }
};

QTEST_MAIN(TrendPageTest)
#include "trend_page_test.moc"
