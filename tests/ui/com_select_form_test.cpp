// The port selection dialog: its controls and answers, and a start-up whose
// configured port is missing.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <set>

#include "serial/sio_port.h"
#include "ui/com_select_form.h"
#include "ui_com_select_form.h"
#include "ui_fixture.h"

using namespace ui;
using namespace ui::testing;

class ComSelectFormTest : public QObject {
  Q_OBJECT
  std::unique_ptr<UiWorld> world;

  static serial::TPortProbe Probe(std::set<uint32_t> present) {
    return [present](uint32_t n) { return present.count(n) > 0; };
  }

 private slots:
  void init() { world = std::make_unique<UiWorld>(); }
  void cleanup() { world.reset(); }

  void offersThePresentPortsAndAnswersOkOnAChosenOne() {
    TComSelectForm form(nullptr, Probe({1, 3}));
    auto* f = form.Form();
    QCOMPARE(form.windowTitle(), QString("Select Port"));
    QCOMPARE(f->Label1->text(), QString("The configured serial port is not valid."));
    QCOMPARE(f->Label2->text(), QString("Please choose another port."));
    QVERIFY(form.findChild<QFrame*>("Bevel1") != nullptr);
    QVERIFY(!f->PortsComboBox->isEditable());
    QCOMPARE(f->PortsComboBox->count(), 2);
    QCOMPARE(f->PortsComboBox->itemText(0), QString("COM1"));
    QCOMPARE(f->PortsComboBox->itemText(1), QString("COM3"));
    QCOMPARE(f->PortsComboBox->currentIndex(), 0);
    QVERIFY(f->OkBtn->isEnabled());
    QVERIFY(f->OkBtn->isDefault());

    form.show();
    f->PortsComboBox->setCurrentIndex(1);
    QTest::mouseClick(f->OkBtn, Qt::LeftButton);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(form.Selection().Answer(true), uint16_t(3));
  }

  void withNoPortOnlyCancelLeadsOut() {
    TComSelectForm form(nullptr, Probe({}));
    auto* f = form.Form();
    QCOMPARE(f->PortsComboBox->count(), 0);
    QVERIFY(!f->OkBtn->isEnabled());
    form.setResult(-1);
    form.show();
    QTest::keyClick(&form, Qt::Key_Return);
    QVERIFY(form.isVisible());
    QTest::mouseClick(f->AbortBtn, Qt::LeftButton);
    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), int(QDialog::Rejected));
  }

  // The technician's settings name COM2, whose adapter is unplugged; the device
  // is on COM1.
  void aMissingConfiguredPortAsksAtStartUp_data() {
    QTest::addColumn<bool>("choose");
    QTest::newRow("COM1 chosen") << true;
    QTest::newRow("cancelled") << false;
  }
  void aMissingConfiguredPortAsksAtStartUp() {
    QFETCH(bool, choose);
    world->StartDevice();
    WriteFile(world->SettingsFile(),
              "[Einstellungen]\r\nBaudrate=5\r\nAnschlu\xDF=1\r\nOnline=1\r\n"
              "[System]\r\nSprache=0\r\nMedium=0\r\n[Debug]\r\nMemDiag=0\r\nRS232=0\r\n");
    std::filesystem::create_symlink(world->Temp("unplugged"), world->DataFolder() + "/ports/com2");
    QStringList offered;
    world->modal_scripts["TComSelectForm"] = [&](QDialog& d) {
      auto& form = static_cast<TComSelectForm&>(d);
      QComboBox* list = form.Form()->PortsComboBox;
      for (int i = 0; i < list->count(); ++i) offered << list->itemText(i);
      if (!choose) return;
      list->setCurrentIndex(list->findText("COM1"));
      QTest::mouseClick(form.Form()->OkBtn, Qt::LeftButton);
    };

    QCOMPARE(world->Start(), std::nullopt);
    QCOMPARE(world->modal_count["TComSelectForm"], 1);
    QVERIFY(offered.contains("COM1"));
    QVERIFY(!offered.contains("COM2"));
    QCOMPARE(devicelink::DeviceOnline, choose);
    QCOMPARE(devicelink::ComPort()->ComNumber(), uint16_t(choose ? 1 : 2));
    QVERIFY(world->boxes.empty());
    QCOMPARE(services::PortIndex, 1);
  }
};

QTEST_MAIN(ComSelectFormTest)
#include "com_select_form_test.moc"
