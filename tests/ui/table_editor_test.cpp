// The property and saturation table editors as the technician uses them:
// opening and closing, the value dialog per cell, paste, views, files, and
// the transfers against the simulated device with the exact bits of every
// cell the technician did not change.
#include <QAction>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include <bit>
#include <cstring>
#include <deque>

#include "devicelink/table_transfer.h"
#include "request_trace.h"
#include "services/app_window.h"
#include "services/port_opening.h"
#include "services/table_files.h"
#include "tests/platform/odd_files.h"
#include "tests/platform/temp_folder.h"
#include "tools/flowsim/device_map.h"
#include "ui/input_dialog.h"
#include "ui/sat_table_editor.h"
#include "ui/table_editor.h"
#include "ui_fixture.h"
#include "ui_input_dialog.h"
#include "ui_sat_table_editor.h"
#include "ui_table_editor.h"

using namespace ui;
using namespace ui::testing;

namespace {

// "R 9780/28": the requests the device saw, in order.
QStringList Frames(const flowsim::FlowSimulator& sim) {
  return TraceText(Trace(sim.Requests()));
}

// The 20 frames of a property table, as the transfer moves them.
QStringList TableFrames(char kind, uint16_t base) {
  QStringList out;
  const auto frame = [&](int address, int n) {
    out << QString("%1 %2/%3").arg(kind).arg(address, 4, 16, QChar('0')).arg(n).toUpper();
  };
  frame(base, 28);
  frame(base + 28, 36);
  for (int r = 0; r < 18; ++r) frame(base + 64 + 56 * r, 56);
  return out;
}

std::vector<uint8_t> FloatBytes(float f) {
  const uint32_t u = std::bit_cast<uint32_t>(f);
  return {uint8_t(u >> 24), uint8_t(u >> 16), uint8_t(u >> 8), uint8_t(u)};
}

QStringList Column(QTableView* view, int column) {
  QStringList out;
  for (int r = 0; r < view->model()->rowCount(); ++r) {
    out << view->model()->index(r, column).data().toString();
  }
  return out;
}

}  // namespace

class TableEditorTest : public QObject {
  Q_OBJECT
  std::unique_ptr<UiWorld> world;
  std::deque<int> answers;             // message box answers, in order; Yes when none left
  std::deque<std::string> files;       // file dialog answers; cancel when none left
  std::vector<TFileRequest> requests;  // what the file dialogs were asked
  std::unique_ptr<platform::testing::TempFolder> dir;

  void StartOffline(int medium = 0, int language = 0) {
    world->WriteSettings(false, language, medium);
    world->UseManualClock();
    if (world->Start()) qFatal("start failed");
    world->UseSystemClock();
    services::Medium = medium;
    Hooks();
  }

  flowsim::FlowSimulator& StartOnline(bool steam = false) {
    flowsim::SimulatorOptions options;
    if (steam) options.setup.model = flowsim::DeviceModel::Steam;
    flowsim::FlowSimulator& sim = world->StartDevice(options);
    // A quick offline start, then the port opened as a connect opens it.
    StartOffline(steam ? 1 : 0);
    services::OpenComPort(1, 5);
    if (!devicelink::DeviceOnline) qFatal("device not online");
    sim.ClearRequests();
    Hooks();
    return sim;
  }

  void Hooks() {
    SetMessageBoxHook([this](const std::string& text, const std::string& caption, uint32_t flags) {
      world->boxes.push_back({text, caption, flags});
      if ((flags & 0x0F) == services::kMbOk) return services::kIdOk;
      if (answers.empty()) return services::kIdYes;
      const int a = answers.front();
      answers.pop_front();
      return a;
    });
    SetFileDialogHook([this](const TFileRequest& r) {
      requests.push_back(r);
      if (files.empty()) return std::string();
      const std::string f = files.front();
      files.pop_front();
      return f;
    });
  }

  // Opens the editor as the medium group does; `inside` runs while it is open,
  // then the editor is asked to close. True when it closed.
  bool Open(Tfrm_Tabelle& e, int tag, std::function<void()> inside = {}) {
    e.Tag = tag;
    e.setWindowTitle("Kompressibilitätstabelle");
    world->modal_scripts["Tfrm_Tabelle"] = [inside](QDialog&) {
      if (inside) inside();
    };
    ExecModal(e);
    return !world->stayed_open["Tfrm_Tabelle"] || !e.isVisible();
  }
  bool OpenSat(std::function<void()> inside = {}) {
    world->modal_scripts["Tfrm_UserSatTab"] = [inside](QDialog&) {
      if (inside) inside();
    };
    ExecModal(*frm_UserSatTab);
    return !frm_UserSatTab->isVisible();
  }

  // The value dialog: each call takes the next entry; "" presses the close box.
  std::deque<QString> entries;
  struct DialogSeen {
    bool integer_only;
    int quantity;
    float min, max, value;
    QString shown;
  };
  std::vector<DialogSeen> dialogs;
  void ScriptInput() {
    world->modal_scripts["InputDlg"] = [this](QDialog& d) {
      auto& dlg = static_cast<TInputDlg&>(d);
      dialogs.push_back({dlg.IntegerOnly, dlg.Quantity, dlg.MinValue, dlg.MaxValue, dlg.Value,
                         dlg.Form()->Input->text()});
      const QString entry = entries.empty() ? QString() : entries.front();
      if (!entries.empty()) entries.pop_front();
      if (entry.isEmpty()) {
        dlg.reject();  // the close box: no Cancel button, no Cancelled flag
      } else if (entry == "=") {
        dlg.Form()->OKBtn->click();  // OK on what it shows
      } else {
        dlg.Form()->Input->setText(entry);
        dlg.Form()->OKBtn->click();
      }
    };
  }

  QStringList BoxTexts() const {
    QStringList out;
    for (const Box& b : world->boxes) out << QString::fromStdString(b.text);
    return out;
  }

 private slots:
  void init() {
    world = std::make_unique<UiWorld>();
    dir = std::make_unique<platform::testing::TempFolder>();
    answers.clear();
    files.clear();
    requests.clear();
    entries.clear();
    dialogs.clear();
  }
  void cleanup() {
    world.reset();
    dir.reset();
  }

  void formsAndTexts() {
    StartOffline(0, 1);
    Tfrm_Tabelle& e = *frm_Tabelle;
    Open(e, 0);
    Ui::Tfrm_Tabelle& f = *e.Form();
    QCOMPARE(f.Datei1->title(), QString("Table"));
    QCOMPARE(f.mnu_Load->text(), QString("Open..."));
    QCOMPARE(f.mnu_Receive->text(), QString("Read from device"));
    QCOMPARE(f.mnu_Transmit->text(), QString("Send to device"));
    QVERIFY(f.N1->isSeparator());
    QCOMPARE(f.Bearbeiten1->title(), QString("Edit"));
    QCOMPARE(f.mnu_Druck->text(), QString("Pressure values"));
    QCOMPARE(f.mnu_Einfuegen->text(), QString("Paste"));
    QCOMPARE(e.PopupMenu()->actions().size(), 3);
    QVERIFY(f.mnu_Tabelle->isChecked());
    // Offline: nothing to read or send; the grid is the empty table.
    QVERIFY(!f.mnu_Receive->isEnabled() && !f.mnu_Transmit->isEnabled());
    QCOMPARE(f.TabGrid->model()->rowCount(), 18);
    QCOMPARE(f.TabGrid->model()->columnCount(), 14);
    QCOMPARE(f.TabGrid->font().family(), QString("Courier New"));
    QCOMPARE(f.TabGrid->horizontalHeader()->defaultSectionSize(), 100);
    // German on the next opening after the language changed.
    services::Language = 0;
    Open(e, 0);
    QCOMPARE(f.mnu_Receive->text(), QString("Vom Gerät lesen"));
    QCOMPARE(f.Bearbeiten1->title(), QString("Bearbeiten"));
    QCOMPARE(frm_UserSatTab->windowTitle(), QString("Tabelle"));
    QCOMPARE(frm_UserSatTab->Form()->mnu_Loeschen->text(), QString("Delete"));
  }

  // Opening as a table of cases, offline.
  void openingOffline() {
    StartOffline(1);
    Tfrm_Tabelle& e = *frm_Tabelle;
    QApplication::clipboard()->setText("42");
    Open(e, 0, [&] {
      QVERIFY(e.SelectCell(3, 3));
      e.mnu_EinfuegenClick();
      e.Grid().FileName = dir->Path() + "/d.DTB";
      answers = {services::kIdNo};  // close: not saved
    });
    QCOMPARE(e.PropertyGrid().Cell(3, 3).text, std::string("42"));
    // The same table again: the grid is kept, flags and file name too.
    Open(e, 0, [&] {
      QCOMPARE(e.PropertyGrid().Cell(3, 3).text, std::string("42"));
      QVERIFY(e.Grid().ChangedSinceSave);
      QCOMPARE(e.Grid().FileName, dir->Path() + "/d.DTB");
      e.Grid().FileName = dir->Path() + "/d.dtb";
      answers = {services::kIdNo};
    });
    // A name of another spelling is not this table's file name at the next opening.
    Open(e, 0, [&] {
      QCOMPARE(e.Grid().FileName, std::string());
      QVERIFY(e.Grid().ChangedSinceSave);
      answers = {services::kIdNo};
    });
    // The other table of the device: empty, no file, clear flags.
    world->boxes.clear();
    Open(e, 1, [&] {
      QCOMPARE(e.PropertyGrid().Cell(3, 3).text, std::string());
      QVERIFY(!e.Grid().ChangedSinceSave && !e.Grid().ChangedSinceTransfer);
      QCOMPARE(e.Grid().FileName, std::string());
      QCOMPARE(QString(e.Grid().FileKind().extension), QString(".ETB"));
    });
    QVERIFY(world->boxes.empty());  // nothing to ask about
    // The same number on a gas device is another table as well.
    services::Medium = 0;
    Open(e, 1, [&] { QCOMPARE(QString(e.Grid().FileKind().extension), QString(".KTB")); });
  }

  void openingOnlineReadsOnlyThatTable() {
    flowsim::FlowSimulator& sim = StartOnline();
    Tfrm_Tabelle& e = *frm_Tabelle;
    QVERIFY(Open(e, 1, [&] {
      QVERIFY(e.Form()->mnu_Transmit->isEnabled());
      QCOMPARE(Frames(sim), TableFrames('R', flowsim::map::kPropertyTable1));
    }));
    // Opened and closed without an edit: nothing asked, nothing written.
    QCOMPARE(Frames(sim), TableFrames('R', flowsim::map::kPropertyTable1));
    QVERIFY(world->boxes.empty());
    QCOMPARE(e.PropertyGrid().Cell(1, 0).text, std::string("100"));
    QCOMPARE(e.PropertyGrid().Cell(0, 18).text, std::string("338"));
    QCOMPARE(e.Form()->TabGrid->model()->headerData(13, Qt::Horizontal).toString(),
             QString("4000"));
  }

  void unsentChangesAskBeforeTheDeviceRead() {
    flowsim::FlowSimulator& sim = StartOnline();
    Tfrm_Tabelle& e = *frm_Tabelle;
    const std::string file = dir->Path() + "/t.KTB";
    services::TPropertyCells cells{};
    for (auto& row : cells)
      for (auto& c : row) c = services::ValueCell(7);
    services::WritePropertyTableFile(file, cells);
    Open(e, 0, [&] {
      files = {file};
      e.mnu_LoadClick();
      QVERIFY(e.Grid().ChangedSinceTransfer && !e.Grid().ChangedSinceSave);
      answers = {services::kIdNo};  // close: not sent
    });
    sim.ClearRequests();
    world->boxes.clear();
    answers = {services::kIdNo, services::kIdNo};  // keep the loaded table, do not send it
    Open(e, 0);
    QCOMPARE(BoxTexts().value(0),
             QString("Die Tabelle enthält Änderungen, die noch nicht zum Gerät "
                     "gesendet wurden. Trotzdem die Tabelle des Geräts lesen "
                     "und die Änderungen verwerfen?"));
    QVERIFY(Frames(sim).isEmpty());
    QCOMPARE(e.PropertyGrid().Cell(5, 5).text, std::string("7"));
    answers = {services::kIdYes};  // now read the device's table
    Open(e, 0);
    QCOMPARE(Frames(sim), TableFrames('R', flowsim::map::kPropertyTable0));
    QVERIFY(!e.Grid().ChangedSinceTransfer);
    QVERIFY(e.PropertyGrid().Cell(5, 5).text != "7");
  }

  // Closing questions: (online, flags, answers) -> questions in order, frames
  // sent, editor closed or not.
  void closingQuestions_data() {
    QTest::addColumn<bool>("online");
    QTest::addColumn<bool>("unsent");
    QTest::addColumn<bool>("unsaved");
    QTest::addColumn<QList<int>>("replies");
    QTest::addColumn<QString>("file");  // save dialog answer: "" cancel, "ok", "bad"
    QTest::addColumn<bool>("reject");   // the device rejects the first write
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<int>("writes");
    QTest::addColumn<bool>("closed");
    const int Y = services::kIdYes, N = services::kIdNo, C = services::kIdCancel;
    const QString send = "send?", save = "save?", sendFailed = "send failed",
                  saveFailed = "save failed";
    QTest::newRow("offline, nothing changed")
        << false << false << false << QList<int>{} << "" << false << QStringList{} << 0 << true;
    QTest::newRow("offline, unsaved: No")
        << false << false << true << QList<int>{N} << "" << false << QStringList{save} << 0 << true;
    QTest::newRow("offline, unsaved: Yes, saved") << false << false << true << QList<int>{Y} << "ok"
                                                  << false << QStringList{save} << 0 << true;
    QTest::newRow("offline, unsaved: Yes, dialog cancelled")
        << false << false << true << QList<int>{Y} << "" << false << QStringList{save} << 0
        << false;
    QTest::newRow("offline, unsaved: Yes, save fails")
        << false << false << true << QList<int>{Y} << "bad" << false
        << QStringList{save, saveFailed} << 0 << false;
    QTest::newRow("offline, unsaved: Cancel") << false << false << true << QList<int>{C} << ""
                                              << false << QStringList{save} << 0 << false;
    QTest::newRow("offline, unsent only: nothing to send offline")
        << false << true << false << QList<int>{} << "" << false << QStringList{} << 0 << true;
    QTest::newRow("online, both: send Yes, save No")
        << true << true << true << QList<int>{Y, N} << "" << false << QStringList{send, save} << 20
        << true;
    QTest::newRow("online, both: send No, save Yes")
        << true << true << true << QList<int>{N, Y} << "ok" << false << QStringList{send, save} << 0
        << true;
    QTest::newRow("online, unsent: send Cancel")
        << true << true << false << QList<int>{C} << "" << false << QStringList{send} << 0 << false;
    QTest::newRow("online, unsent: send Yes, device rejects")
        << true << true << false << QList<int>{Y} << "" << true << QStringList{send, sendFailed}
        << 4 << false;  // the first frame's four attempts
    QTest::newRow("online, nothing changed")
        << true << false << false << QList<int>{} << "" << false << QStringList{} << 0 << true;
  }

  void closingQuestions() {
    QFETCH(bool, online);
    QFETCH(bool, unsent);
    QFETCH(bool, unsaved);
    QFETCH(QList<int>, replies);
    QFETCH(QString, file);
    QFETCH(bool, reject);
    QFETCH(QStringList, asked);
    QFETCH(int, writes);
    QFETCH(bool, closed);
    flowsim::FlowSimulator* sim = nullptr;
    if (online) {
      sim = &StartOnline();
    } else {
      StartOffline();
    }
    Tfrm_Tabelle& e = *frm_Tabelle;
    const std::string saved = dir->Path() + "/out.KTB";
    bool still_open = false;
    std::vector<Box> boxes;
    Open(e, 0, [&] {
      if (sim != nullptr) sim->ClearRequests();
      world->boxes.clear();
      e.Grid().ChangedSinceTransfer = unsent;
      e.Grid().ChangedSinceSave = unsaved;
      answers = std::deque<int>(replies.begin(), replies.end());
      if (file == "ok") files = {saved};
      if (file == "bad") files = {dir->Path() + "/missing/out.KTB"};
      if (reject) sim->InjectFault(flowsim::FaultKind::Reject, flowsim::kEveryFrame);
      e.reject();
      still_open = e.isVisible();
      boxes = world->boxes;
      if (reject) QVERIFY(e.Grid().ChangedSinceTransfer);  // the table still has to go
      if (file == "ok") QVERIFY(!e.Grid().ChangedSinceSave);
      if (sim != nullptr) sim->ClearFaults();
      // Let the harness close it.
      e.Grid().ChangedSinceTransfer = e.Grid().ChangedSinceSave = false;
    });
    QStringList seen;
    for (const Box& b : boxes) {
      const QString t = QString::fromStdString(b.text);
      seen << (t.contains("zum Gerät gesendet werden?")       ? "send?"
               : t.contains("gespeichert werden?")            ? "save?"
               : t.contains("nicht vollständig zum Gerät")    ? "send failed"
               : t.contains("kann nicht gespeichert werden:") ? "save failed"
                                                              : t);
    }
    QCOMPARE(seen, asked);
    for (const Box& b : boxes) {
      if (QString::fromStdString(b.text).endsWith('?')) {
        QCOMPARE(b.flags, services::kMbYesNoCancel | services::kMbIconWarning);
      }
    }
    QCOMPARE(!still_open, closed);
    if (sim != nullptr) {
      int w = 0;
      for (const QString& t : Frames(*sim)) w += t.startsWith('W');
      QCOMPARE(w, writes);
    }
    QCOMPARE(platform::testing::Exists(saved), file == "ok");
  }

  void sendKeepsTheBitsOfUntouchedCells() {
    flowsim::FlowSimulator& sim = StartOnline();
    const uint16_t base = flowsim::map::kPropertyTable0;
    // A value that shows as "1" in 7 digits.
    sim.WriteMemory(base + 64 + 56 * 2 + 4 * 6, FloatBytes(1.0000001f));
    const std::vector<uint8_t> before = sim.ReadMemory(base, 64 + 56 * 18);
    Tfrm_Tabelle& e = *frm_Tabelle;
    ScriptInput();
    entries = {"=", "0.5", ""};  // OK as shown, then 0.5, then the close box
    Open(e, 0, [&] {
      QCOMPARE(e.PropertyGrid().Cell(7, 3).text, std::string("1"));
      QVERIFY(e.SelectCell(7, 3));
      e.TabGridDblClick();
      sim.ClearRequests();
      e.mnu_TransmitClick();
      QCOMPARE(Frames(sim), TableFrames('W', base));
      QVERIFY(!e.Grid().ChangedSinceTransfer);
    });
    QCOMPARE(dialogs.size(), size_t(3));  // the close box ended the entry
    std::vector<uint8_t> expected = before;
    const std::vector<uint8_t> half = FloatBytes(0.5f);
    std::copy(half.begin(), half.end(), expected.begin() + 64 + 56 * 3 + 4 * 6);
    QCOMPARE(sim.ReadMemory(base, 64 + 56 * 18), expected);
  }

  void fileKeyGoesToItsDeviceAddress() {
    flowsim::FlowSimulator& sim = StartOnline(true);
    const std::string file = dir->Path() + "/e.ETB";
    services::TPropertyCells cells{};
    cells[3 + 1][5 + 1] = services::ValueCell(42.5f);  // key "3 - 5"
    services::WritePropertyTableFile(file, cells);
    QVERIFY(ReadFile(file).find("3 - 5=42.5\r\n") != std::string::npos);
    Tfrm_Tabelle& e = *frm_Tabelle;
    Open(e, 1, [&] {
      files = {file};
      e.mnu_LoadClick();
      QCOMPARE(requests.back().filter, std::string("Enthalpie Tabellen (*.ETB *.etb)"));
      QCOMPARE(requests.back().default_ext, std::string("ETB"));
      e.mnu_TransmitClick();
    });
    QCOMPARE(sim.ReadMemory(0x9BC0 + 64 + 3 * 56 + 5 * 4, 4), FloatBytes(42.5f));
  }

  // A send, a new table, a cell edit and a close, all during the opening's read.
  void commandsDuringAReadAreIgnoredAndCloseWaits() {
    flowsim::FlowSimulator& sim = StartOnline();
    Tfrm_Tabelle& e = *frm_Tabelle;
    bool running = false, visible_after_close = false;
    ScriptInput();
    QTimer::singleShot(300, &e, [&] {
      running = e.TransferRunning();
      e.Grid().ChangedSinceTransfer = true;  // so that a send would go
      e.mnu_TransmitClick();
      e.mnu_NeuClick();
      e.TabGridDblClick();
      e.reject();
      visible_after_close = e.isVisible();
    });
    // The close comes once the read has ended.
    QVERIFY(Open(e, 0, [&] { QTRY_VERIFY(!e.isVisible()); }));
    QVERIFY(running);
    QVERIFY(visible_after_close);
    QVERIFY(dialogs.empty());
    QVERIFY(world->boxes.empty());
    QCOMPARE(Frames(sim), TableFrames('R', flowsim::map::kPropertyTable0));
    QVERIFY(!e.Grid().ChangedSinceTransfer);
  }

  void cellDialogsPerCell() {
    StartOffline();
    Tfrm_Tabelle& e = *frm_Tabelle;
    ScriptInput();
    QApplication::clipboard()->setText("550");
    Open(e, 0, [&] {
      e.Grid().New();
      // The axes are edited in their views.
      QVERIFY(!e.SelectCell(0, 5));
      e.mnu_TemperaturClick(e.Form()->mnu_Temperatur);
      QCOMPARE(e.Form()->TabGrid->model()->columnCount(), 1);
      for (int row = 1; row <= 4; ++row) {
        QVERIFY(e.SelectCell(0, row));
        entries = {QString::number(250 + row)};
        e.TabGridDblClick();
      }
      QVERIFY(e.SelectCell(0, 5));
      entries = {"100"};  // below row 4: the dialog clamps it up
      e.TabGridDblClick();
      QCOMPARE(e.PropertyGrid().Cell(0, 5).text, std::string("254"));
      const DialogSeen t = dialogs.back();
      QVERIFY(t.integer_only);
      QCOMPARE(t.quantity, 15);
      QCOMPARE(t.min, 254.0f);
      QCOMPARE(t.max, 1000.0f);
      // The pressure axis stays in kPa: 550 shows 550 and OK keeps it.
      e.mnu_TemperaturClick(e.Form()->mnu_Druck);
      QVERIFY(e.Form()->mnu_Druck->isChecked() && !e.Form()->mnu_Tabelle->isChecked());
      QVERIFY(e.SelectCell(2, 0));
      e.mnu_EinfuegenClick();
      entries = {"="};
      e.TabGridDblClick();
      QCOMPARE(dialogs.back().quantity, 255);
      QCOMPARE(dialogs.back().shown, QString("550"));
      QCOMPARE(e.PropertyGrid().Cell(2, 0).text, std::string("550"));
      // Back to the table: nothing in the hidden views was lost.
      e.mnu_TemperaturClick(e.Form()->mnu_Tabelle);
      QCOMPARE(e.Form()->TabGrid->model()->headerData(1, Qt::Horizontal).toString(),
               QString("550"));
      QCOMPARE(e.Form()->TabGrid->model()->headerData(3, Qt::Vertical).toString(), QString("254"));
      // Continuous entry wraps from the last cell to the first.
      QVERIFY(e.SelectCell(14, 18));
      entries = {"1.5", "2.5", ""};
      e.TabGridDblClick();
      QCOMPARE(e.PropertyGrid().Cell(14, 18).text, std::string("1.5"));
      QCOMPARE(e.PropertyGrid().Cell(1, 1).text, std::string("2.5"));
      QCOMPARE(e.PropertyGrid().Cell(1, 2).text, std::string("0"));
      QCOMPARE(*e.SelectedCell(), std::make_pair(1, 2));
      QCOMPARE(dialogs.back().max, 1000.0f);
      // A bare double-click, cancelled, changes nothing.
      e.Grid().ChangedSinceTransfer = e.Grid().ChangedSinceSave = false;
      entries = {""};
      e.TabGridDblClick();
      entries = {"="};
      e.TabGridDblClick();
      QVERIFY(!e.Grid().ChangedSinceTransfer && !e.Grid().ChangedSinceSave);
      QCOMPARE(InputDlg->IntegerOnly, false);
    });
  }

  void pasteCopyDelete() {
    StartOffline();
    Tfrm_Tabelle& e = *frm_Tabelle;
    Open(e, 0, [&] {
      e.Grid().New();
      e.Grid().ChangedSinceSave = false;
      QVERIFY(e.SelectCell(4, 4));
      for (const char* bad : {"abc", "12abc", "1e39", "1\t2\n3\t4"}) {
        QApplication::clipboard()->setText(bad);
        e.mnu_EinfuegenClick();
      }
      QCOMPARE(world->beeps.size(), size_t(4));
      QVERIFY(!e.Grid().ChangedSinceSave);
      QApplication::clipboard()->setText("1,25\r\n");
      e.mnu_EinfuegenClick();
      QCOMPARE(e.PropertyGrid().Cell(4, 4).text, std::string("1.25"));
      QVERIFY(e.Grid().ChangedSinceSave);
      QApplication::clipboard()->clear();
      QVERIFY(e.SelectCell(5, 5));
      e.mnu_KopierenClick();
      QCOMPARE(QApplication::clipboard()->text(), QString("0"));
      QVERIFY(e.SelectCell(4, 4));
      e.mnu_LoeschenClick();
      QCOMPARE(e.PropertyGrid().Cell(4, 4).text, std::string("0"));
      answers = {services::kIdNo};
    });
  }

  void newAndLoadAskFirstAndBadFilesAreRefused() {
    StartOffline();
    Tfrm_Tabelle& e = *frm_Tabelle;
    const std::string bad = dir->Path() + "/bad.KTB";
    WriteFile(bad, "[Temperatur]\r\n0=253\r\n[Werte]\r\n3 - 4=abc\r\n");
    Open(e, 0, [&] {
      e.Grid().New();
      QApplication::clipboard()->setText("3");
      QVERIFY(e.SelectCell(2, 2));
      e.mnu_EinfuegenClick();
      world->boxes.clear();
      answers = {services::kIdNo};
      e.mnu_NeuClick();  // refused: the edit stays
      QCOMPARE(e.PropertyGrid().Cell(2, 2).text, std::string("3"));
      answers = {services::kIdNo};
      e.mnu_LoadClick();
      QVERIFY(requests.empty());  // no dialog after No
      QCOMPARE(BoxTexts(), QStringList(2,
                                       "Die Tabelle enthält Änderungen, die nicht gespeichert "
                                       "sind. Trotzdem verwerfen?"));
      world->boxes.clear();
      answers = {services::kIdYes};
      files = {bad};
      e.mnu_LoadClick();
      QCOMPARE(requests.back().filter, std::string("Kompr. Tabellen (*.KTB *.ktb)"));
      QCOMPARE(BoxTexts().value(1), QString("Die Tabellendatei kann nicht geladen werden:\n") +
                                        QString::fromStdString(bad) +
                                        "\n[Werte] 3 - 4 = \"abc\"\nDer Wert ist keine Zahl.");
      QCOMPARE(e.PropertyGrid().Cell(2, 2).text, std::string("3"));
      QCOMPARE(e.Grid().FileName, std::string());
      answers = {services::kIdYes};
      e.mnu_NeuClick();
      QCOMPARE(e.PropertyGrid().Cell(2, 2).text, std::string("0"));
      QVERIFY(!e.Grid().ChangedSinceSave);
    });
  }

  // Files that are no table files at all, in German and English: a file far too
  // large, and what is no regular file, loaded or saved (refused by the save
  // dialog before it asks to replace it); the grid stays, and the FIFO a save
  // aimed at stays a FIFO.
  void filesThatAreNoTableFilesAreRefusedInTheProgramsLanguage_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("load_failed");
    QTest::addColumn<QString>("save_failed");
    QTest::addColumn<QString>("too_large");
    QTest::addColumn<QString>("fifo");
    QTest::newRow("German")
        << 0 << "Die Tabellendatei kann nicht geladen werden:\nTabellendatei \""
        << "Tabellendatei \""
        << "\": Die Datei ist größer als jede Datei ihrer Art (mehr als 2 MiB). Es wurde nichts "
           "gelesen."
        << "\": Das ist keine gewöhnliche Datei, sondern eine FIFO (benannte Pipe).";
    QTest::newRow("English")
        << 1 << "The table file cannot be loaded:\nTable file \""
        << "Table file \""
        << "\": The file is larger than any file of its kind (more than 2 MiB). Nothing was read."
        << "\": This is not a regular file but a FIFO (named pipe).";
  }
  void filesThatAreNoTableFilesAreRefusedInTheProgramsLanguage() {
    QFETCH(int, language);
    QFETCH(QString, load_failed);
    QFETCH(QString, save_failed);
    QFETCH(QString, too_large);
    QFETCH(QString, fifo);
    StartOffline(0, language);
    QCOMPARE(services::Language, language);
    const platform::testing::OddFiles odd_files(*dir, "KTB", platform::FileKind::kTableFile);
    const QString big = QString::fromStdString(dir->Path() + "/big.KTB");
    const QString pipe = QString::fromStdString(dir->Path() + "/link-fifo.KTB");
    Tfrm_Tabelle& e = *frm_Tabelle;
    Open(e, 0, [&] {
      e.Grid().New();
      const services::TPropertyCells before = e.PropertyGrid().Cells();
      world->boxes.clear();
      files = {big.toStdString(), pipe.toStdString()};
      e.mnu_LoadClick();
      e.mnu_LoadClick();
      QCOMPARE(
          BoxTexts(),
          QStringList({load_failed + big + too_large,
                       load_failed + pipe + fifo +
                           (language == 0 ? " Es wurde nichts gelesen." : " Nothing was read.")}));
      QCOMPARE(e.PropertyGrid().Cells(), before);
      world->boxes.clear();
      files = {pipe.toStdString()};
      e.mnu_Store1Click();
      QCOMPARE(BoxTexts().size(), 1);
      QVERIFY2(BoxTexts()[0].startsWith(save_failed + pipe + fifo), qPrintable(BoxTexts()[0]));
    });
    QVERIFY(std::filesystem::is_fifo(dir->Path() + "/fifo.KTB"));
  }

  void saturationEditor() {
    flowsim::FlowSimulator& sim = StartOnline(true);
    Tfrm_UserSatTab& s = *frm_UserSatTab;
    const uint16_t base = flowsim::map::kSaturationTable;
    sim.WriteMemory(base + 16 * 4 + 8, FloatBytes(1.0000001f));  // rho of row 5
    const std::vector<uint8_t> before = sim.ReadMemory(base, 512);
    ScriptInput();
    OpenSat([&] {
      QCOMPARE(s.Form()->TabGrid->model()->headerData(2, Qt::Horizontal).toString(),
               QString("rho[kg/m³]"));
      QCOMPARE(s.SatGrid().Cell(2, 5).text, std::string("1"));
      // Enter opens the dialog for the selected cell; the pressure of row 2
      // starts at row 1's.
      QVERIFY(s.SelectCell(1, 2));
      entries = {"="};
      QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
      QVERIFY(s.TabGridKeyPress(&enter));
      QCOMPARE(dialogs.back().min, s.SatGrid().Cell(1, 1).value);
      QCOMPARE(dialogs.back().quantity, 1);
      QVERIFY(!s.Grid().ChangedSinceSave);  // the text it showed
      QVERIFY(s.SelectCell(3, 1));
      QApplication::clipboard()->setText("2700.5");
      s.mnu_EinfuegenClick();
      sim.ClearRequests();
      s.mnu_TransmitClick();
      QCOMPARE(Frames(sim).size(), 16);
      // A failed read keeps the grid and says so.
      sim.InjectFault(flowsim::FaultKind::BadChecksum, flowsim::kEveryFrame);
      world->boxes.clear();
      s.mnu_ReceiveClick();
      sim.ClearFaults();
      QCOMPARE(BoxTexts(), QStringList{"Die Tabelle konnte nicht vom Gerät gelesen werden. Die "
                                       "angezeigte Tabelle ist unverändert."});
      QCOMPARE(s.SatGrid().Cell(3, 1).text, std::string("2700.5"));
      answers = {services::kIdYes};
      files = {dir->Path() + "/s"};  // the extension comes with the type
    });
    QVERIFY(ReadFile(dir->Path() + "/s.STB").find("[Row_01]\r\nT=") == 0);
    std::vector<uint8_t> expected = before;
    const std::vector<uint8_t> h = FloatBytes(2700.5f);
    std::copy(h.begin(), h.end(), expected.begin() + 12);
    QCOMPARE(sim.ReadMemory(base, 512), expected);
    // Offline the editor opens with the headings and 32 empty rows.
    devicelink::DeviceOnline = false;
    OpenSat([&] {
      QCOMPARE(s.Form()->TabGrid->model()->rowCount(), 32);
      QCOMPARE(Column(s.Form()->TabGrid, 0), QStringList(32, QString()));
      QVERIFY(!s.Form()->mnu_Receive->isEnabled());
    });
  }

  void yesNoCancelBox() {
    SetMessageBoxHook(nullptr);
    const std::pair<QMessageBox::StandardButton, int> cases[] = {
        {QMessageBox::Yes, services::kIdYes},
        {QMessageBox::No, services::kIdNo},
        {QMessageBox::Cancel, services::kIdCancel},
        {QMessageBox::NoButton, services::kIdCancel},  // Escape
    };
    for (auto [button, id] : cases) {
      QTimer::singleShot(0, [button] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box != nullptr);
        QCOMPARE(box->buttons().size(), 3);
        if (button == QMessageBox::NoButton) {
          QTest::keyClick(box, Qt::Key_Escape);
        } else {
          box->button(button)->click();
        }
      });
      QCOMPARE(ShowMessageBox(nullptr, "?", "t", services::kMbYesNoCancel), id);
    }
  }
};

QTEST_MAIN(TableEditorTest)
#include "table_editor_test.moc"
