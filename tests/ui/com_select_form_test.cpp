// The port selection dialog: its controls and answers, and a start-up whose
// configured port is missing.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <set>

#include "serial/sio_port.h"
#include "ui/com_select_form.h"
#include "ui/radio_group.h"
#include "ui/settings_dialog.h"
#include "ui_com_select_form.h"
#include "ui_fixture.h"
#include "ui_settings_dialog.h"

using namespace ui;
using namespace ui::testing;

class ComSelectFormTest : public QObject {
  Q_OBJECT
  std::unique_ptr<UiWorld> world;

  static serial::TPortProbe Probe(std::set<uint32_t> present, std::set<uint32_t> refused = {}) {
    return [present, refused](uint32_t n) {
      if (refused.count(n) > 0) return serial::TPortState::kNoPermission;
      return present.count(n) > 0 ? serial::TPortState::kPresent : serial::TPortState::kAbsent;
    };
  }

 private slots:
  void init() { world = std::make_unique<UiWorld>(); }
  void cleanup() { world.reset(); }

  void offersThePresentPortsAndAnswersOkOnAChosenOne() {
    TComSelectForm form(nullptr, Probe({1, 3}));
    auto* f = form.Form();
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

  // Every text of the dialog is in the program's language; a port the user may
  // not open is not offered, and the dialog says which and why.
  void speaksTheProgramsLanguageAndNamesRefusedPorts() {
    struct Texts {
      const char *caption, *line1, *line2, *ok, *cancel, *refused;
    };
    const Texts texts[] = {
        {"Anschluss wählen", "Der eingestellte serielle Anschluss ist nicht gültig.",
         "Bitte einen anderen Anschluss wählen.", "OK", "Abbrechen",
         "COM2, COM4: Zugriff verweigert, nicht angeboten (Benutzer nicht in der Gruppe "
         "\"dialout\")."},
        {"Select Port", "The configured serial port is not valid.", "Please choose another port.",
         "OK", "Cancel",
         "COM2, COM4: access denied, not offered (user not in the group \"dialout\")."},
    };
    for (int language : {0, 1}) {
      services::Language = language;
      const Texts& t = texts[language];
      TComSelectForm form(nullptr, Probe({1}, {2, 4}));
      auto* f = form.Form();
      QCOMPARE(form.windowTitle(), QString(t.caption));
      QCOMPARE(f->Label1->text(), QString(t.line1));
      QCOMPARE(f->Label2->text(), QString(t.line2));
      QCOMPARE(f->OkBtn->text(), QString(t.ok));
      QCOMPARE(f->AbortBtn->text(), QString(t.cancel));
      QCOMPARE(f->PortsComboBox->count(), 1);
      QCOMPARE(f->PortsComboBox->itemText(0), QString("COM1"));
      QVERIFY(!f->Label3->isHidden());
      QCOMPARE(f->Label3->text(), QString(t.refused));
    }
    services::Language = 0;
    TComSelectForm plain(nullptr, Probe({1}));
    QVERIFY(plain.Form()->Label3->isHidden());
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
    // Only the ports the settings can hold are offered.
    for (const QString& entry : offered)
      QVERIFY(serial::ComNumberOfEntry(entry.toStdString()) <= 8);
    QCOMPARE(devicelink::DeviceOnline, choose);
    QCOMPARE(devicelink::ComPort()->ComNumber(), uint16_t(choose ? 1 : 2));
    QVERIFY(world->boxes.empty());
    // The port chosen is the configured one: the settings dialog shows it,
    // it is saved, and the next start opens it without asking.
    QCOMPARE(services::PortIndex, choose ? 0 : 1);
    int shown = -1;
    world->modal_scripts["TEinst"] = [&](QDialog& d) {
      shown = static_cast<TEinst&>(d).Form()->Com_Grp->ItemIndex();
    };
    world->Main()->mnu_EinstellungenClick();
    QCOMPARE(shown, choose ? 0 : 1);
    world->Main()->close();
    world->EndProgram();
    QVERIFY(ReadFile(world->SettingsFile()).find(choose ? "Anschlu\xDF=0" : "Anschlu\xDF=1") !=
            std::string::npos);
    world->modal_scripts.erase("TEinst");
    QCOMPARE(world->Start(), std::nullopt);
    // (Cancelled, the program ended offline and starts offline.)
    QCOMPARE(world->modal_count["TComSelectForm"], 1);
    QCOMPARE(devicelink::DeviceOnline, choose);
  }
};

QTEST_MAIN(ComSelectFormTest)
#include "com_select_form_test.moc"
