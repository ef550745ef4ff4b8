// Texts of the windows from the text modules: the language menu, the about box,
// and a module that lacks blocks.
#include <QAction>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QTreeView>

#include <fcntl.h>
#include <sys/stat.h>

#include <clocale>
#include <ctime>

#include "ui/about_box.h"
#include "ui/qt_translations.h"
#include "ui/radio_group.h"
#include "ui/settings_dialog.h"
#include "ui_about_box.h"
#include "ui_fixture.h"
#include "ui_main_window.h"
#include "ui_settings_dialog.h"

using namespace ui;
using namespace ui::testing;

class LanguageTest : public QObject {
  Q_OBJECT
  std::unique_ptr<UiWorld> world;

  std::string Folder(const std::string& gas_german = {}, bool without_gas_english = false) {
    return world->ModuleFolder(gas_german, without_gas_english);
  }

  Tfrm_Main& Start(const std::string& folder) {
    world->WriteSettings(false);
    world->UseManualClock();
    if (world->Start(folder)) qFatal("start failed");
    return *world->Main();
  }

 private slots:
  void init() { world = std::make_unique<UiWorld>(); }
  void cleanup() { world.reset(); }

  void languageMenuSwitchesEveryText() {
    Tfrm_Main& w = Start(Folder());
    QCOMPARE(FormOf(w).mnu_Parameter->title(), QString("&Parameter"));
    QVERIFY(FormOf(w).mnu_Deutsch->isChecked());
    w.mnu_SpracheClick(FormOf(w).mnu_Englisch);
    QCOMPARE(services::Language, 1);
    QVERIFY(FormOf(w).mnu_Englisch->isChecked() && !FormOf(w).mnu_Deutsch->isChecked());
    QCOMPARE(FormOf(w).mnu_Parameter->title(), QString("&Parameters"));
    QCOMPARE(FormOf(w).mnu_Beenden->text(), QString("E&xit"));
    QCOMPARE(FormOf(w).mnu_Sprache->title(), QString("&Language"));
    QCOMPARE(FormOf(w).Notebook->tabText(0), QString("Operating display"));
    QCOMPARE(FormOf(w).NBBetrieb->tabText(3), QString("Error log"));
    QCOMPARE(FormOf(w).NBParameter->tabText(8), QString("Remarks"));
    QCOMPARE(FormOf(w).GroupInteg2->title(), QString("Circuit 2"));
    QVERIFY(!w.AboutBox()->isVisible());
    // The about box opened now speaks the new language.
    w.mnu_InfoClick();
    QCOMPARE(world->modal_count["TAboutBox"], 1);
    QCOMPARE(w.AboutBox()->windowTitle(), QString("About"));
    QCOMPARE(w.AboutBox()->MemoLines(),
             QStringList({"", "vandrel2 V03.00", QString::fromStdString(services::GetText(33)), "",
                          "Display, parameterisation and service", "over the serial port (RS232)",
                          "Edition for Linux"}));
    // And the settings dialog too.
    world->modal_scripts["TEinst"] = [](QDialog& d) { d.reject(); };
    w.mnu_EinstellungenClick();
    QCOMPARE(Einst->windowTitle(), QString("Settings"));
    QCOMPARE(Einst->Form()->Bd_Grp->title(), QString("Baud rate"));
    QCOMPARE(Einst->Form()->Ref_Grp->Items(), QStringList({"Manual", "2 s", "5 s"}));
    QCOMPARE(Einst->Form()->Ref_Grp->ItemIndex(), 0);
    w.mnu_SpracheClick(FormOf(w).mnu_Deutsch);
    QCOMPARE(FormOf(w).Notebook->tabText(0), QString("Betriebsanzeige"));
  }

  // Qt's own dialogs follow the language menu; the program's own texts stay
  // those of the modules and forms.
  void qtDialogsFollowTheLanguageMenu() {
    struct Shown {
      QString yes, cancel, look_in;
    };
    const auto shown = [] {
      QMessageBox box;
      QFileDialog files;
      files.setOption(QFileDialog::DontUseNativeDialog);
      auto* look_in = files.findChild<QLabel*>("lookInLabel");
      if (look_in == nullptr) qFatal("file dialog without its look-in label");
      return Shown{box.addButton(QMessageBox::Yes)->text(),
                   box.addButton(QMessageBox::Cancel)->text(), look_in->text()};
    };
    UseQtLanguage(1);  // Qt's own English, as before any start
    Tfrm_Main& w = Start(Folder());
    Shown s = shown();
    QCOMPARE(s.yes, QString("&Ja"));
    QCOMPARE(s.cancel, QString("Abbrechen"));
    QCOMPARE(s.look_in, QString("Suchen in:"));
    w.mnu_SpracheClick(FormOf(w).mnu_Englisch);
    s = shown();
    QCOMPARE(s.yes, QString("&Yes"));
    QCOMPARE(s.cancel, QString("Cancel"));
    QCOMPARE(s.look_in, QString("Look in:"));
    QCOMPARE(FormOf(w).Notebook->tabText(0), QString("Operating display"));
    w.mnu_SpracheClick(FormOf(w).mnu_Deutsch);
    QCOMPARE(shown().yes, QString("&Ja"));
    QCOMPARE(FormOf(w).Notebook->tabText(0), QString("Betriebsanzeige"));
  }

  // The file dialog lists sizes and dates in the program's language, with columns
  // wide enough for them; the program's own numbers keep the point throughout.
  void fileDialogListsInTheProgramsLanguage() {
    Tfrm_Main& w = Start(Folder());
    const std::string folder = world->Temp("liste");
    WriteFile(folder + "/a.PEG", "[T_User0]\r\n");
    std::filesystem::resize_file(folder + "/a.PEG", 1234567);
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 11;
    local.tm_mday = 11;
    local.tm_hour = 7;
    local.tm_min = 46;
    local.tm_sec = 36;
    local.tm_isdst = -1;
    const timespec when[2] = {{std::mktime(&local), 0}, {std::mktime(&local), 0}};
    QCOMPARE(::utimensat(AT_FDCWD, (folder + "/a.PEG").c_str(), when, 0), 0);
    struct Listed {
      QString size, date;
      bool wide_enough = false;
      std::string chosen;
    };
    const auto listed = [&] {
      Listed out;
      int polls = 0;
      QTimer timer;
      QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        auto* tree = dialog->findChild<QTreeView*>("treeView");
        QAbstractItemModel* model = tree->model();
        out.wide_enough = false;
        for (int row = 0; row < model->rowCount(tree->rootIndex()); ++row) {
          if (model->index(row, 0, tree->rootIndex()).data().toString() != "a.PEG") continue;
          out.size = model->index(row, 1, tree->rootIndex()).data().toString();
          out.date = model->index(row, 3, tree->rootIndex()).data().toString();
          out.wide_enough = true;
          for (int c = 0; c < 4; ++c) {
            const QString text = model->index(row, c, tree->rootIndex()).data().toString();
            out.wide_enough = out.wide_enough && tree->header()->sectionSize(c) >
                                                     tree->fontMetrics().horizontalAdvance(text);
          }
        }
        if ((!out.size.isEmpty() && out.wide_enough) || ++polls > 100) dialog->reject();
      });
      timer.start(50);
      TFileRequest request;
      request.initial_dir = folder;
      out.chosen = ExecFileDialog(&w, request);
      return out;
    };
    const auto numbers_keep_the_point = [] {
      return QLocale().decimalPoint() == QChar('.') && QString::number(1.5) == "1.5" &&
             std::string(std::setlocale(LC_NUMERIC, nullptr)) == "C";
    };
    Listed german = listed();
    QCOMPARE(german.size, QString("1,18 MiB"));
    QCOMPARE(german.date, QString("11.12.26 07:46"));
    QVERIFY(german.wide_enough);
    QCOMPARE(german.chosen, std::string());
    QVERIFY(numbers_keep_the_point());
    w.mnu_SpracheClick(FormOf(w).mnu_Englisch);
    Listed english = listed();
    QCOMPARE(english.size, QString("1.18 MiB"));
    QCOMPARE(english.date, QString("11 Dec 2026 07:46:36"));
    QVERIFY(english.wide_enough);
    QVERIFY(numbers_keep_the_point());
  }

  void missingEnglishModuleKeepsGerman() {
    Tfrm_Main& w = Start(Folder({}, true));
    w.mnu_SpracheClick(FormOf(w).mnu_Englisch);
    QCOMPARE(world->boxes.size(), size_t(1));
    QCOMPARE(world->boxes[0].text, std::string("Sprachen - Dll fehlt!"));
    QCOMPARE(world->boxes[0].flags, kMbYesOnly | services::kMbIconError);
    QCOMPARE(services::Language, 0);
    QVERIFY(FormOf(w).mnu_Deutsch->isChecked() && !FormOf(w).mnu_Englisch->isChecked());
    QCOMPARE(FormOf(w).Notebook->tabText(0), QString("Betriebsanzeige"));
  }

  void moduleWithoutBlocksKeepsBuiltInCaptions() {
    Tfrm_Main& w = Start(Folder("0=NGX7\n1=Nur Titel\n"));
    QCOMPARE(w.windowTitle(), QString("Nur Titel"));
    QCOMPARE(FormOf(w).mnu_Parameter->title(), QString("&Parameter"));
    QCOMPARE(FormOf(w).NBBetrieb->tabText(0), QString("Kreis1"));
    w.mnu_InfoClick();
    QCOMPARE(w.AboutBox()->windowTitle(), QString());
    QCOMPARE(w.AboutBox()->MemoLines(), QStringList({"", " V03.00", "", "", "", "", ""}));
    // The settings dialog's captions come from block 21504 even when it is missing.
    world->modal_scripts["TEinst"] = [](QDialog& d) { d.reject(); };
    w.mnu_EinstellungenClick();
    QCOMPARE(Einst->windowTitle(), QString());
    QCOMPARE(Einst->Form()->Com_Grp->title(), QString());
    QCOMPARE(Einst->Form()->Com_Grp->Items().value(7), QString("Com 8"));
  }
};

QTEST_MAIN(LanguageTest)
#include "language_test.moc"
