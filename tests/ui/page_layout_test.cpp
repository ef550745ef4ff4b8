// Every notebook page of the main window as the device fills it, in both
// languages and for both media: each group, list, table and choice lies inside
// its page and inside the widget that holds it, so every frame is drawn whole,
// and every caption and line is shown whole. The window is laid out for the
// sans-serif font the setup installs; the test uses it whatever the machine
// would choose.
#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QComboBox>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QSet>
#include <QStyle>
#include <QTabWidget>

#include "parameter_page_fixture.h"
#include "tools/flowsim/device_map.h"

using namespace ui;
using namespace ui::testing;

namespace {

// The controls of the page that stick out of the page or of their holder,
// named with their geometry in page coordinates, and those whose text is cut;
// checked collects the names of all that were looked at.
QStringList Outside(QWidget* page, QSet<QString>& checked) {
  QStringList out;
  const QRect inside = page->rect();
  for (QWidget* w : page->findChildren<QWidget*>()) {
    const bool captioned = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLabel*>(w);
    if (captioned && w->isVisible() && w->width() < w->sizeHint().width()) {
      out << QString("%1 %2 wide, its text %3")
                 .arg(w->objectName())
                 .arg(w->width())
                 .arg(w->sizeHint().width());
    }
    const bool framed = qobject_cast<QGroupBox*>(w) || qobject_cast<QAbstractScrollArea*>(w) ||
                        qobject_cast<QComboBox*>(w);
    if (!framed || !w->isVisible()) continue;
    checked << w->objectName();
    const QRect on_page(w->mapTo(page, QPoint(0, 0)), w->size());
    const bool in_holder = w->parentWidget()->rect().contains(w->geometry());
    // A list that cannot scroll sideways shows each line whole.
    auto* list = qobject_cast<QListWidget*>(w);
    if (list != nullptr && list->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOff) {
      const int margin =
          list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
      const QFontMetricsF metrics(list->font());
      for (int i = 0; i < list->count(); ++i) {
        const QString line = list->item(i)->text();
        if (metrics.horizontalAdvance(line) + 2 * margin > list->viewport()->width()) {
          out << QString("%1 line \"%2\" wider than %3")
                     .arg(list->objectName(), line)
                     .arg(list->viewport()->width());
        }
      }
    }
    if (inside.contains(on_page) && in_holder) continue;
    out << QString("%1 %2,%3 %4x%5 in %6 %7x%8")
               .arg(w->objectName())
               .arg(on_page.x())
               .arg(on_page.y())
               .arg(on_page.width())
               .arg(on_page.height())
               .arg(page->objectName())
               .arg(inside.width())
               .arg(inside.height());
  }
  return out;
}

}  // namespace

class PageLayoutTest : public QObject {
  Q_OBJECT
  std::unique_ptr<UiWorld> world;
  QFont machine_font_;

 private slots:
  void initTestCase() {
    machine_font_ = QApplication::font();
    QFont laid_out_for = machine_font_;
    laid_out_for.setFamily("DejaVu Sans");
    QVERIFY2(QFontInfo(laid_out_for).family() == "DejaVu Sans",
             "the font the window is laid out for is missing: scripts/setup.sh installs it");
    QApplication::setFont(laid_out_for);
  }
  void cleanupTestCase() { QApplication::setFont(machine_font_); }
  void init() { world = std::make_unique<UiWorld>(); }
  void cleanup() { world.reset(); }

  void everyControlWholeInsideItsPage_data() {
    QTest::addColumn<bool>("steam");
    QTest::addColumn<bool>("english");
    QTest::newRow("gas, German") << false << false;
    QTest::newRow("gas, English") << false << true;
    QTest::newRow("steam, German") << true << false;
    QTest::newRow("steam, English") << true << true;
  }
  void everyControlWholeInsideItsPage() {
    QFETCH(bool, steam);
    QFETCH(bool, english);
    flowsim::SimulatorOptions options;
    options.setup.model = steam ? flowsim::DeviceModel::Steam : flowsim::DeviceModel::Gas;
    Tfrm_Main& w = StartOnlineQuick(*world, options);
    Ui::Tfrm_Main& f = FormOf(w);
    // User units on, so that the unit page shows its sheets too.
    PutDeviceByte(world->Device(), flowsim::map::kUnitSwitches + 1, 1);
    if (english) w.mnu_SpracheClick(f.mnu_Englisch);
    QCOMPARE(services::Medium, steam ? 1 : 0);

    QStringList outside;
    QSet<QString> checked;
    for (auto [tab, notebook] :
         {std::pair{f.TabBetrieb, f.NBBetrieb}, std::pair{f.TabParameter, f.NBParameter}}) {
      f.Notebook->setCurrentWidget(tab);
      for (int i = 0; i < notebook->count(); ++i) {
        notebook->setCurrentIndex(i);
        w.NotebookMouseDown(notebook);
        QApplication::processEvents();
        QWidget* page = notebook->currentWidget();
        QTabWidget* sheets = page->findChild<QTabWidget*>();
        const int sheet_count = sheets != nullptr && sheets->isVisible() ? sheets->count() : 1;
        for (int s = 0; s < sheet_count; ++s) {
          if (sheet_count > 1) sheets->setCurrentIndex(s);
          QApplication::processEvents();
          outside << Outside(page, checked);
        }
      }
    }
    for (const char* name : {"ListePG1", "ListePF1", "ListePG2", "ListePF2", "ListeIntegrator2"}) {
      QVERIFY2(checked.contains(name), name);
    }
    QVERIFY2(outside.isEmpty(), qPrintable(outside.join("\n")));
  }
};

QTEST_MAIN(PageLayoutTest)
#include "page_layout_test.moc"
