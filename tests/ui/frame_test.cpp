// The frame of the main window: menus, status bar, window buttons, the tabs of
// the parameter notebook, and the radio groups the dialogs and pages use.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>

#include "ui/about_box.h"
#include "ui/input_dialog.h"
#include "ui/password_dialog.h"
#include "ui/radio_group.h"
#include "ui/settings_dialog.h"
#include "ui/tab_rows.h"
#include "ui_fixture.h"
#include "ui_main_window.h"
#include "ui_settings_dialog.h"

using namespace ui;
using namespace ui::testing;

class FrameTest : public QObject {
  Q_OBJECT
  std::unique_ptr<UiWorld> world;

  Tfrm_Main& StartOffline(int language = 0, int medium = 0) {
    world->WriteSettings(false, language, medium);
    world->UseManualClock();
    if (world->Start()) qFatal("start failed");
    return *world->Main();
  }

 private slots:
  void init() { world = std::make_unique<UiWorld>(); }
  void cleanup() { world.reset(); }

  void menuSeparatorsShowNoTextAndFileCommandsAreEnabled() {
    for (int language : {0, 1}) {
      Tfrm_Main& w = StartOffline(language);
      for (const char* name : {"mnu_N1", "mnu_N2"}) {
        auto* a = w.findChild<QAction*>(name);
        QVERIFY(a != nullptr);
        QVERIFY(a->isSeparator());
        QVERIFY2(a->text().isEmpty(), name);
      }
      // The file and print commands can be chosen (what they do: file_commands_test).
      for (QAction* a : {FormOf(w).mnu_Neu, FormOf(w).mnu_Laden, FormOf(w).mnu_Speichern,
                         FormOf(w).mnu_Seitenansicht, FormOf(w).mnu_Drucken}) {
        QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
      }
      QVERIFY(FormOf(w).mnu_Beenden->isEnabled());
      world->EndProgram();
    }
  }

  void windowHasMinimiseButNoMaximise() {
    Tfrm_Main& w = StartOffline();
    QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(w.windowFlags() & Qt::WindowSystemMenuHint);
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QWidget* about = w.AboutBox();
    QVERIFY(about->windowFlags() & Qt::WindowSystemMenuHint);
    QVERIFY(!(about->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
  }

  void statusPanelsHaveTheirWidthsAndNoneIsCut() {
    Tfrm_Main& w = StartOffline();
    QTest::qWait(50);
    auto* p0 = w.findChild<QLabel*>("StatusPanel0");
    auto* p1 = w.findChild<QWidget*>("StatusPanel1");
    auto* p2 = w.findChild<QWidget*>("StatusPanel2");
    auto* p3 = w.findChild<QWidget*>("StatusPanel3");
    QVERIFY(p0 && p1 && p2 && p3);
    QCOMPARE(p0->width(), 400);
    QCOMPARE(p1->width(), 150);
    QCOMPARE(p2->width(), 60);
    QVERIFY(p3->width() > 0);
    QStatusBar* bar = FormOf(w).StatusBar;
    const QPoint right = p3->mapTo(bar, QPoint(p3->width(), 0));
    QVERIFY(right.x() <= bar->width());
    // The progress bar and the label sit in their panels.
    QCOMPARE(FormOf(w).Label_Online->geometry(), p2->geometry());

    // A reason with what to do about it is shown whole: the bar grows for its
    // lines, and shrinks back for a short text.
    const int one_line = p0->height();
    const QString reason =
        "COM4: there is no device /dev/serial/by-id/usb-Serial_Adapter_A50285BI-if00-port0 "
        "(is the adapter plugged in?). Link /home/technician/.local/share/vandrel2/ports/com4 "
        "to the adapter's /dev/serial/by-id/... name.";
    w.SetStatusPanel(0, reason.toStdString());
    QTRY_VERIFY(p0->height() > one_line);
    const QRect needed =
        p0->fontMetrics().boundingRect(p0->contentsRect(), Qt::TextWordWrap, reason);
    QVERIFY(needed.height() <= p0->contentsRect().height());
    QCOMPARE(p0->toolTip(), reason);
    w.SetStatusPanel(0, "file.PEG");
    QTRY_COMPARE(p0->height(), one_line);
  }

  // The settings, password and value input dialogs have dialog frames: no
  // minimise or maximise, and a size the operator cannot change. The settings
  // dialog ends at its buttons.
  void dialogsHaveDialogFrames() {
    StartOffline();
    for (QDialog* d : std::initializer_list<QDialog*>{Einst, PasswordDlg, InputDlg}) {
      QVERIFY(d != nullptr);
      const Qt::WindowFlags flags = d->windowFlags();
      QVERIFY2(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)),
               qPrintable(d->objectName()));
      QVERIFY(flags & Qt::WindowCloseButtonHint);
      QVERIFY(flags & Qt::WindowSystemMenuHint);
      d->show();
      QApplication::processEvents();
      QVERIFY2(d->minimumSize() == d->maximumSize(), qPrintable(d->objectName()));
      d->hide();
    }
    Einst->show();
    QApplication::processEvents();
    const int bottom_margin = Einst->layout()->contentsMargins().bottom();
    const QWidget* ok = Einst->Form()->BtnOk;
    const QWidget* rs = Einst->Form()->GroupRSIndex;
    QCOMPARE(ok->mapTo(Einst, QPoint(0, ok->height())).y(), Einst->height() - bottom_margin);
    QCOMPARE(rs->mapTo(Einst, QPoint(0, rs->height())).y(), Einst->height() - bottom_margin);
    Einst->hide();
  }

  // Every caption of the parameter notebook is shown whole, in both languages
  // and for both media.
  void parameterTabsShowEveryCaptionWhole() {
    for (int medium : {0, 1}) {
      for (int language : {0, 1}) {
        Tfrm_Main& w = StartOffline(language, medium);
        auto* rows = w.findChild<TTabRows*>("NBParameter_Tabs");
        QVERIFY(rows != nullptr);
        FormOf(w).Notebook->setCurrentWidget(FormOf(w).TabParameter);
        QTest::qWait(20);
        QTabWidget* nb = FormOf(w).NBParameter;
        QVERIFY(nb->tabBar()->isHidden());
        for (int i = 0; i < nb->count(); ++i) {
          QToolButton* tab = rows->Tab(i);
          QVERIFY(tab != nullptr);
          QCOMPARE(tab->text(), nb->tabText(i));
          QVERIFY2(tab->width() >= tab->sizeHint().width(), qPrintable(tab->text()));
          QVERIFY(tab->geometry().right() < rows->width());
        }
        // A click on a tab shows its page.
        rows->Tab(5)->click();
        QCOMPARE(nb->currentIndex(), 5);
        QVERIFY(rows->Tab(5)->isChecked());
        QVERIFY(!rows->Tab(0)->isChecked());
        world->EndProgram();
      }
    }
  }

  void radioGroupClicksOnlyOnAChange() {
    TRadioGroup group;
    group.SetItems({"a", "b", "c"});
    QSignalSpy click(&group, &TRadioGroup::Click);
    QSignalSpy operator_click(&group, &TRadioGroup::OperatorClick);
    group.SetItemIndex(1);
    group.SetItemIndex(1);  // the item already chosen: no click
    QCOMPARE(click.count(), 1);
    QCOMPARE(operator_click.count(), 0);
    group.Button(1)->click();  // the operator clicks the chosen item: nothing
    QCOMPARE(click.count(), 1);
    group.Button(2)->click();
    QCOMPARE(click.count(), 2);
    QCOMPARE(operator_click.count(), 1);
    QCOMPARE(group.ItemIndex(), 2);
    group.SetItemIndex(-1);
    QCOMPARE(group.ItemIndex(), -1);
    group.SetItemIndex(2);  // chosen again after none: a change
    QCOMPARE(click.count(), 3);
    group.SetItems({"x", "y"});  // new items: nothing chosen
    group.SetItemIndex(0);
    QCOMPARE(click.count(), 4);
  }
};

QTEST_MAIN(FrameTest)
#include "frame_test.moc"
