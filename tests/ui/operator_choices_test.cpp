// Only what the operator chose reaches the device: the mouse wheel over a choice
// list, a radio group or a notebook's tab bar changes nothing and sends nothing,
// while a click in the open list and the keyboard still choose and write; and a
// double-click that opens no dialog writes nothing.
#include <QAbstractButton>
#include <QCheckBox>
#include <QListWidget>
#include <QTabBar>
#include <QTableWidget>
#include <QWheelEvent>

#include <cstring>
#include <type_traits>

#include "tools/flowsim/device_map.h"
#include "parameter_page_fixture.h"

using namespace ui;
using namespace ui::testing;
namespace dl = devicelink;
namespace m = flowsim::map;

namespace {

// The parameter records as bytes, to see that nothing in them moved.
template <class T>
void Append(QByteArray& out, const T& record) {
  static_assert(std::is_trivially_copyable_v<T>);
  out.append(reinterpret_cast<const char*>(&record), sizeof record);
}
QByteArray Records() {
  const dl::TParameterRecords& r = dl::CurrentParameters;
  QByteArray out;
  Append(out, r.TempParams);
  Append(out, r.PressureParams);
  Append(out, r.FlowParams);
  Append(out, r.FlowParams2);
  Append(out, r.MediumParams);
  Append(out, r.GasCommon);
  Append(out, r.SupplyValues);
  Append(out, r.PulseOutputParams);
  Append(out, r.AlarmParams);
  Append(out, r.OutputParams);
  Append(out, r.UnitSwitches);
  for (const dl::TUserUnit& u : r.UserUnits) {
    Append(out, std::array{u.Variant, u.SymbolLength, u.Decimals});
    Append(out, std::array{u.Factor, u.Offset});
    out.append(u.Symbol.c_str());
  }
  Append(out, r.TrendSettings);
  Append(out, r.CorrectionFactors);
  Append(out, r.LimitValues);
  Append(out, r.SystemParams);
  Append(out, r.PresetValues);
  Append(out, r.DisplayEnable);
  return out;
}

// One notch of the wheel over the middle of the widget, up (+1) or down (-1).
void Wheel(QWidget* widget, int direction) {
  const QPointF at = QRectF(widget->rect()).center();
  QWheelEvent event(at, widget->mapToGlobal(at), QPoint(), QPoint(0, 120 * direction),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(widget, &event);
}

int CurrentIndex(QWidget* w) {
  if (auto* combo = qobject_cast<QComboBox*>(w)) return combo->currentIndex();
  if (auto* bar = qobject_cast<QTabBar*>(w)) return bar->currentIndex();
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->isChecked();
  return 0;
}

// The next entry of a combo the keyboard or a click would choose.
int OtherEntry(const QComboBox* combo) {
  return combo->currentIndex() + 1 < combo->count() ? combo->currentIndex() + 1
                                                    : combo->currentIndex() - 1;
}

}  // namespace

class OperatorChoicesTest : public QObject {
  Q_OBJECT
  std::unique_ptr<UiWorld> world;

  flowsim::FlowSimulator& Sim() { return world->Device(); }

  // Every combo, radio button, check box and tab bar of the page and the
  // window's notebooks, wheeled both ways: no request, no record changed, no
  // choice or page changed.
  void WheelOverEverything(Tfrm_Main& w, QWidget* page) {
    Ui::Tfrm_Main& f = FormOf(w);
    QList<QWidget*> targets;
    for (QComboBox* c : page->findChildren<QComboBox*>()) targets << c;
    for (QAbstractButton* b : page->findChildren<QAbstractButton*>()) {
      if (qobject_cast<QRadioButton*>(b) || qobject_cast<QCheckBox*>(b)) targets << b;
    }
    for (QTabBar* bar : w.findChildren<QTabBar*>()) targets << bar;
    QVERIFY(!targets.isEmpty());
    const QWidget* shown = f.NBParameter->currentWidget();
    for (QWidget* target : targets) {
      for (int direction : {1, -1}) {
        const QByteArray records = Records();
        const int index = CurrentIndex(target);
        Sim().ClearRequests();
        Wheel(target, direction);
        QCoreApplication::processEvents();
        const QString what = page->objectName() + "/" + target->objectName() + "/" +
                             target->metaObject()->className() + (direction > 0 ? " up" : " down");
        QVERIFY2(Sim().Requests().empty(), qPrintable(what + ": " + TraceOf(Sim()).join("; ")));
        QVERIFY2(Records() == records, qPrintable(what));
        QVERIFY2(CurrentIndex(target) == index, qPrintable(what));
        QVERIFY2(f.NBParameter->currentWidget() == shown, qPrintable(what));
      }
    }
  }

 private slots:
  void init() { world = std::make_unique<UiWorld>(); }
  void cleanup() {
    world.reset();
    QApplication::setDoubleClickInterval(400);
  }

  void wheelChangesNothing() {
    Tfrm_Main& w = StartOnlineQuick(*world);
    Ui::Tfrm_Main& f = FormOf(w);
    // User units on, so that the unit sheets and their tab bar are shown.
    PutDeviceByte(Sim(), m::kUnitSwitches + 1, 1);
    for (int i = 0; i < f.NBParameter->count(); ++i) {
      QWidget* page = f.NBParameter->widget(i);
      ShowPage(w, page);
      WheelOverEverything(w, page);
    }
    QVERIFY(!f.PC_Usereinheiten->isHidden());
    // The operating pages too: their choices show, the tab bars stay.
    f.Notebook->setCurrentWidget(f.TabBetrieb);
    w.NotebookMouseDown(f.Notebook);  // the page change's own read, done first
    WheelOverEverything(w, f.TabBetrieb);
  }

  // The same choices made by the keyboard and by a click in the open list
  // still write the block the choice belongs to.
  void keyboardAndClickStillChoose() {
    Tfrm_Main& w = StartOnlineQuick(*world);
    Ui::Tfrm_Main& f = FormOf(w);
    // The open list takes the click that opened it for a double-click interval.
    QApplication::setDoubleClickInterval(20);
    struct Case {
      QWidget* page;
      QComboBox* combo;
      int block;
    };
    const Case cases[] = {
        {f.TabPar1, f.ComboPT1, m::kTempParams},
        {f.TabPar1, f.ComboPD1, m::kPressureParams},
        {f.TabPar1, f.ComboPF1, m::kFlowParams},
        {f.TabPar1, f.ComboIA1, m::kPulseParams},
        {f.TabPar2, f.ComboPT2, m::kTempParams + 32},
        {f.TabPar2, f.ComboIA2, m::kPulseParams + 8},
        {f.TabParRelais, f.ComboAlm1, m::kAlarmParams},
        {f.TabParRelais, f.ComboAlmKind2, m::kAlarmParams + 16},
        {f.TabParAusgang, f.ComboAus1, m::kOutputParams},
        {f.TabParTrend, f.ComboTrend, m::kTrendSettings},
        {f.TabParTrend, f.ComboTrendinterval, m::kTrendSettings},
        // Last: a single-circuit type takes circuit 2's page away.
        {f.TabParSystem, f.Combosystem, m::kSystemParams},
    };
    for (const Case& k : cases) {
      for (const QString how : {"keyboard", "click"}) {
        const QString what = k.combo->objectName() + " by " + how;
        ShowPage(w, k.page);
        const int before = k.combo->currentIndex();
        QVERIFY2(before >= 0, qPrintable(what));
        const int target = OtherEntry(k.combo);
        Sim().ClearRequests();
        if (how == "keyboard") {
          k.combo->setFocus();
          QTest::keyClick(k.combo, target > before ? Qt::Key_Down : Qt::Key_Up);
        } else {
          k.combo->showPopup();
          QAbstractItemView* view = k.combo->view();
          QTRY_VERIFY(view->isVisible());
          QTest::qWait(40);
          const QRect item = view->visualRect(view->model()->index(target, 0));
          QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
          QTRY_VERIFY(!view->isVisible());
        }
        bool wrote = false;
        for (const TraceLine& l : Trace(Sim().Requests())) wrote |= l.write && l.address == k.block;
        QVERIFY2(wrote, qPrintable(what + ": " + TraceOf(Sim()).join("; ")));
        QVERIFY2(k.combo->currentIndex() == target, qPrintable(what));
      }
    }
  }

  // A double-click that opens no dialog sends nothing: no line chosen, an
  // empty list, a mode or kind without lines.
  void doubleClickWithoutDialogWritesNothing() {
    Tfrm_Main& w = StartOnlineQuick(*world);
    Ui::Tfrm_Main& f = FormOf(w);
    struct Case {
      const char* name;
      QWidget* page;
      QAbstractItemView* list;
      int address;  // a mode byte set at the device first, 0 for none
      uint8_t mode;
      int line;     // -1: none, the empty area below the lines
    };
    const int none = -1;
    const Case cases[] = {
        {"temperature range, no line", f.TabPar1, f.ListePT1, m::kTempParams + 2, 1, none},
        {"pressure range, no line", f.TabPar1, f.ListePD1, m::kPressureParams + 2, 1, none},
        {"circuit 2's pressure range, no line", f.TabPar2, f.ListePD2,
         m::kPressureParams + 32 + 2, 1, none},
        {"flow mode without lines", f.TabPar1, f.ListePF1, m::kFlowParams + 1, 0, none},
        {"mass flow, no line", f.TabPar1, f.ListePF1, m::kFlowParams + 1, 3, none},
        {"medium kind without lines", f.TabPar1, f.ListePG1, m::kMediumParams + 3, 0, none},
        {"medium density kind, no line", f.TabPar1, f.ListePG1, m::kMediumParams + 3, 7, none},
        {"gas composition, the check line", f.TabPar1, f.ListePG1, m::kMediumParams + 3, 6, 4},
        {"table kind, no line", f.TabPar1, f.ListePG1, m::kMediumParams + 3, 14, none},
        {"pulse source without a value", f.TabPar1, f.ListeImp1, m::kPulseParams + 3, 0, none},
        {"supply values, no line", f.TabPar2, f.ListeVL2, 0, 0, none},
        {"alarm of both limits, no line", f.TabParRelais, f.ListeAlm2, m::kAlarmParams + 16 + 3,
         2, none},
        {"output, no line", f.TabParAusgang, f.ListeAus1, 0, 0, none},
        {"presets, no line", f.TabParSystem, f.ListeVorgaben, 0, 0, none},
        {"correction factors, label column", f.TabParKorrektur, f.FlowKorr1, 0, 0, 2},
    };
    AnswerValueDialog(*world, "1");
    for (const Case& k : cases) {
      if (k.address != 0) PutDeviceByte(Sim(), static_cast<uint16_t>(k.address), k.mode);
      ShowPage(w, k.page);
      Sim().ClearRequests();
      world->modal_count.clear();
      if (auto* grid = qobject_cast<QTableWidget*>(k.list)) {
        // Column 0 holds the labels.
        grid->setCurrentCell(k.line, 0);
        const QRect cell = grid->visualItemRect(grid->item(k.line, 0));
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
      } else {
        DoubleClick(static_cast<QListWidget*>(k.list), k.line);
      }
      QVERIFY2(world->modal_count.empty(), k.name);
      QVERIFY2(Sim().Requests().empty(), qPrintable(k.name + (": " + TraceOf(Sim()).join("; "))));
      QVERIFY2(!f.Zeitmesser->isVisible(), k.name);
    }
  }
};

QTEST_MAIN(OperatorChoicesTest)
#include "operator_choices_test.moc"
