// Texts of the relay, output, trend, system, correction and unit pages: the
// blocks of the four shipped modules, the loaders on the form, and modules
// that lack blocks or carry more strings than the controls have places.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTableWidget>

#include "platform/text_encoding.h"
#include "ui/pages/units_page.h"
#include "ui/radio_group.h"
#include "ui_fixture.h"
#include "ui_main_window.h"

using namespace ui;
using namespace ui::testing;

namespace {

QStringList Items(const QComboBox* combo) {
  QStringList items;
  for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
  return items;
}

}  // namespace

class ParameterTextsTest : public QObject {
  Q_OBJECT
  std::unique_ptr<UiWorld> world;

  std::string Folder(const std::string& gas_german) { return world->ModuleFolder(gas_german); }

  Tfrm_Main& Start(const std::string& folder = {}) {
    world->WriteSettings(false);
    world->UseManualClock();
    if (world->Start(folder)) qFatal("start failed");
    return *world->Main();
  }

 private slots:
  void init() { world = std::make_unique<UiWorld>(); }
  void cleanup() { world.reset(); }

  // Beside the block lengths of the shipped modules (shipped_texts_test): the
  // alarm kinds also label the limit list, at most 13 wide, and the system
  // page's messages are there.
  void shippedModulesLabelsAndMessages() {
    services::ProgramFolder = platform::ProgramFolder() + "/";
    for (int medium : {0, 1}) {
      for (int language : {0, 1}) {
        services::Medium = medium;
        services::Language = language;
        services::TextBlock kinds;
        services::GetTextBlock(7216, 1, kinds);
        QVERIFY(platform::Utf8Length(kinds[0]) <= 13 && platform::Utf8Length(kinds[1]) <= 13);
        for (uint16_t id : {18, 19, 20, 21}) QVERIFY(!services::GetText(id).empty());
      }
    }
  }

  void loadersFillThePages() {
    Tfrm_Main& w = Start();
    Ui::Tfrm_Main& f = FormOf(w);
    QCOMPARE(f.GroupAlm1->title(), QString("Relais 1 - REL1"));
    QCOMPARE(f.GroupAlm2->title(), QString("Relais 2 - REL2"));
    QCOMPARE(f.ComboAlm1->count(), 34);
    QCOMPARE(f.ComboAlm2->itemText(33), QString("Summe Energie"));
    QCOMPARE(Items(f.ComboAlmKind1), QStringList({"Untergrenze", "Obergrenze", "Unter- und Obergrenze"}));
    QCOMPARE(f.GroupAus1->title(), QString("Analogausgang 1 - AO1"));
    QCOMPARE(f.GroupAus2->title(), QString("Analogausgang 2 - AO2"));
    QCOMPARE(f.ComboAus2->count(), 22);
    QCOMPARE(f.ComboAus1->itemText(0), QString("Konstantstrom"));
    QCOMPARE(f.ComboTrend->count(), 2);
    QCOMPARE(f.ComboTrendinterval->count(), 12);
    QCOMPARE(f.ComboTrendinterval->itemText(11), QString("60 Minuten"));
    QCOMPARE(f.Combosystem->count(), 4);
    QCOMPARE(f.AnzahlMU->Items(), QStringList({"2 MU - AI5", "3 MU - AI6"}));
    QCOMPARE(f.RG_Grenzen->Items().size(), 2);
    QVERIFY(!f.lbl_Systemfaktor->isHidden() && !f.ed_SystemFaktor->isHidden());
    QCOMPARE(f.GroupFaktor1->title(), QString("Korrekturfaktoren Kreis 1"));
    QCOMPARE(f.GroupFaktor2->title(), QString("Korrekturfaktoren Kreis 2"));
    QCOMPARE(f.FlowKorr2->item(7, 0)->text(), QString("Stützstelle 8"));
    QCOMPARE(f.CheckUserEinheiten->text(), QString("Benutzerdefinierte Einheiten"));
    QCOMPARE(f.PC_Usereinheiten->tabText(9), QString("Energie"));
    // The unit groups come from the unit table, not the text module.
    QCOMPARE(f.Radio_E_Temp->Items(), QStringList({"°C", "°F", "K"}));
    QCOMPARE(f.Radio_E_Temp->Columns(), 1);
    QCOMPARE(f.Radio_E_Druck->Columns(), 2);
    QCOMPARE(f.Radio_E_Masse->Columns(), 3);
    QCOMPARE(f.Radio_E_Arbeit->Items().size(), 9);
    // Start-up leaves user units off: the sheets are hidden.
    QVERIFY(!f.CheckUserEinheiten->isChecked());
    QVERIFY(f.PC_Usereinheiten->isHidden());

    w.mnu_SpracheClick(f.mnu_Englisch);
    QCOMPARE(f.GroupAlm1->title(), QString("Relay 1 - REL1"));
    QCOMPARE(f.ComboAlm1->itemText(15), QString("Temperature difference"));
    QCOMPARE(f.ComboAus1->count(), 22);
    QCOMPARE(f.Combosystem->itemText(3), QString("Difference circuit 1 - circuit 2"));
    QCOMPARE(f.PC_Usereinheiten->tabText(0), QString("Temperature"));
    QCOMPARE(f.FlowKorr1->item(0, 0)->text(), QString("Point 1"));
  }

  // Reloaded choices show the records at once, not an empty selection.
  void reloadedChoicesShowTheRecords() {
    Tfrm_Main& w = Start();
    Ui::Tfrm_Main& f = FormOf(w);
    devicelink::AlarmParams[0].Param = 28;
    devicelink::AlarmParams[0].Kind = 1;
    devicelink::OutputParams[1].Param = 17;
    devicelink::TrendSettings.Time = 30;
    devicelink::SystemParams.Kind = 4;
    devicelink::SystemParams.Anzahl = 3;
    devicelink::LimitValues.U_Max = 1.3125f;
    devicelink::UserUnits[1].Variant = 1;
    w.mnu_SpracheClick(f.mnu_Englisch);
    QCOMPARE(f.ComboAlm1->currentIndex(), 22);
    QCOMPARE(f.ComboAlmKind1->currentIndex(), 1);
    QCOMPARE(f.ComboAus2->currentIndex(), 11);
    QCOMPARE(f.ComboTrendinterval->currentIndex(), 10);
    QCOMPARE(f.Combosystem->currentIndex(), 3);
    QCOMPARE(f.AnzahlMU->ItemIndex(), 1);
    QCOMPARE(f.RG_Grenzen->ItemIndex(), 0);
    QCOMPARE(f.Radio_E_Druck->ItemIndex(), 1);
  }

  // The language switch sets captions only: the check mark of the user units
  // is the device's switch and stays, the sheets stay shown, the unit groups
  // show the records, and no handler runs.
  void unitPageLoaderKeepsTheCheckMark() {
    Tfrm_Main& w = Start();
    Ui::Tfrm_Main& f = FormOf(w);
    devicelink::UnitSwitches.Einheiten = 1;
    devicelink::UserUnits[0].Variant = 2;
    devicelink::UserUnits[9].Variant = 5;
    f.Notebook->setCurrentWidget(f.TabParameter);
    f.NBParameter->setCurrentWidget(f.TabparEinheiten);
    w.NotebookMouseDown(f.NBParameter);
    QVERIFY(f.CheckUserEinheiten->isChecked());
    QVERIFY(!f.PC_Usereinheiten->isHidden());
    const auto units = devicelink::UserUnits;
    w.mnu_SpracheClick(f.mnu_Englisch);
    QVERIFY(f.CheckUserEinheiten->isChecked());
    QVERIFY(!f.PC_Usereinheiten->isHidden());
    QCOMPARE(devicelink::UnitSwitches.Einheiten, uint8_t(1));
    QCOMPARE(f.Radio_E_Temp->ItemIndex(), 2);
    QCOMPARE(f.Radio_E_Arbeit->ItemIndex(), 5);
    for (size_t k = 0; k < units.size(); ++k) QCOMPARE(devicelink::UserUnits[k].Symbol, units[k].Symbol);
    QCOMPARE(f.CheckUserEinheiten->text(), QString("User-defined units"));
  }

  // A small module: blocks that end early, a missing block that hides its
  // control, and more strings than the controls have places for.
  void smallModule() {
    std::string module = "0=NGX7\n1=Test\n"
                         "7168=Alarm\n7169=aus\n7170=T1\n"  // 7184 missing: no kinds either
                         "8192=Out\n8193=mA\n"
                         "9216=x\n9232=y\n9248=Units\n";
    for (int i = 1; i <= 12; ++i) module += std::to_string(9248 + i) + "=Sheet " + std::to_string(i) + "\n";
    module += "11264=Sys\n11265=A\n11280=MU\n11281=two\n11282=three\n11283=four\n11296=Limits\n11297=L0\n";
    module += "12288=Corr\n";
    for (int i = 1; i <= 12; ++i) module += std::to_string(12288 + i) + "=Row " + std::to_string(i) + "\n";
    Tfrm_Main& w = Start(Folder(module));
    Ui::Tfrm_Main& f = FormOf(w);
    QCOMPARE(f.GroupAlm1->title(), QString("Alarm 1 - REL1"));
    QCOMPARE(Items(f.ComboAlm1), QStringList({"aus", "T1"}));
    QCOMPARE(f.ComboAlmKind1->count(), 0);
    QCOMPARE(f.GroupAus2->title(), QString("Out 2 - AO2"));
    QCOMPARE(Items(f.ComboAus2), QStringList({"mA"}));
    // No trend blocks: the built-in captions stay.
    QCOMPARE(f.GroupTrend->title(), QString("Trendwert"));
    QCOMPARE(f.ComboTrend->count(), 0);
    QCOMPARE(f.AnzahlMU->Items(), QStringList({"two", "three", "four"}));
    QCOMPARE(f.RG_Grenzen->Items(), QStringList({"L0"}));
    // 11312 is missing: the check box keeps its caption; 11328 is missing: the
    // factor is not shown.
    QCOMPARE(f.Chk_Vorgabe->text(), QString("Vorgabewerte"));
    QVERIFY(f.lbl_Systemfaktor->isHidden());
    QVERIFY(f.ed_SystemFaktor->isHidden());
    // Twelve names for ten sheets, twelve labels for eight rows: the extra ones
    // have no place.
    QCOMPARE(f.PC_Usereinheiten->count(), 10);
    QCOMPARE(f.PC_Usereinheiten->tabText(9), QString("Sheet 10"));
    QCOMPARE(f.FlowKorr1->rowCount(), 8);
    QCOMPARE(f.FlowKorr1->item(7, 0)->text(), QString("Row 8"));
    QCOMPARE(f.GroupFaktor2->title(), QString("Corr 2"));
  }

  // Without block 9232 the unit page keeps its built-in captions.
  void unitPageNeedsBothMarkerBlocks() {
    Tfrm_Main& w = Start(Folder("0=NGX7\n9216=x\n9248=Units\n9249=T\n"));
    QCOMPARE(FormOf(w).CheckUserEinheiten->text(), QString("User-Einheiten"));
    QCOMPARE(FormOf(w).PC_Usereinheiten->tabText(0), QString("Temperatur"));
  }
};

QTEST_MAIN(ParameterTextsTest)
#include "parameter_texts_test.moc"
