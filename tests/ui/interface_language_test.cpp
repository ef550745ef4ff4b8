// The operator's language throughout: every page, dialog, menu, message box, file
// filter and status text shows no word of the other language, in the language
// the program starts in and after a switch to the other one.
//
// A German word is one the German texts use (the German modules, the program's
// own German wording, the forms' built-in captions) and the English ones do not;
// an English word the reverse.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>
#include <deque>
#include <fstream>
#include <iterator>
#include <set>

#include "services/program_texts.h"
#include "ui/about_box.h"
#include "ui/chart_window.h"
#include "ui/com_select_form.h"
#include "ui/input_dialog.h"
#include "ui/pages/circuit_pages.h"
#include "ui/pages/operating_pages.h"
#include "ui/pages/trend_page.h"
#include "ui/password_dialog.h"
#include "ui/sat_table_editor.h"
#include "ui/table_editor.h"
#include "ui/table_editor_base.h"
#include "ui_about_box.h"
#include "ui_chart_window.h"
#include "ui_fixture.h"
#include "ui_input_dialog.h"
#include "ui_main_window.h"
#include "ui_password_dialog.h"
#include "ui_print_preview.h"
#include "ui_sat_table_editor.h"
#include "ui_settings_dialog.h"
#include "ui_table_editor.h"

using namespace ui;
using namespace ui::testing;

namespace {

using WordSet = std::set<QString>;

// The words of a text in lower case, accelerator marks removed; words of fewer
// than three letters ("OK", "to", "CH") tell no language apart.
WordSet Words(QString text) {
  text.remove('&');
  WordSet words;
  QString word;
  const auto end_word = [&] {
    if (word.size() >= 3) words.insert(word.toLower());
    word.clear();
  };
  for (const QChar c : text) {
    if (c.isLetter()) {
      word += c;
    } else {
      end_word();
    }
  }
  end_word();
  return words;
}

// What the operator sees and where.
struct Shown {
  QString where;
  QString text;
};

class Collector {
 public:
  void Add(const QString& where, const QString& text) {
    if (!text.trimmed().isEmpty()) shown.push_back({where, text});
  }

  // What the window shows now, with its menus as they drop down. A page not
  // shown is looked at when it is: it is filled anew on the way there.
  void Window(QWidget& window, bool hidden_too = false) {
    const QString name = window.objectName();
    Add(name + " title", window.windowTitle());
    QList<QWidget*> widgets = window.findChildren<QWidget*>();
    widgets.prepend(&window);
    for (QWidget* w : widgets) {
      if (!hidden_too && !Shows(window, *w)) continue;
      const QString where = name + "/" + w->objectName();
      for (QAction* a : w->actions()) Add(where + " action", a->text());
      if (auto* b = qobject_cast<QAbstractButton*>(w)) Add(where, b->text());
      if (auto* l = qobject_cast<QLabel*>(w)) Add(where, l->text());
      if (auto* g = qobject_cast<QGroupBox*>(w)) Add(where, g->title());
      if (auto* e = qobject_cast<QLineEdit*>(w)) Add(where + " placeholder", e->placeholderText());
      if (auto* m = qobject_cast<QMenu*>(w)) Add(where, m->title());
      if (auto* t = qobject_cast<QTabWidget*>(w)) {
        for (int i = 0; i < t->count(); ++i) Add(where + " tab", t->tabText(i));
      }
      if (auto* t = qobject_cast<QTabBar*>(w)) {
        for (int i = 0; i < t->count(); ++i) Add(where + " tab", t->tabText(i));
      }
      if (auto* c = qobject_cast<QComboBox*>(w)) {
        for (int i = 0; i < c->count(); ++i) Add(where + " item", c->itemText(i));
      }
      if (auto* v = qobject_cast<QAbstractItemView*>(w)) Model(where, v->model());
      if (auto* v = qobject_cast<QChartView*>(w)) {
        Add(where + " chart", v->chart()->title());
        for (QAbstractAxis* axis : v->chart()->axes()) Add(where + " axis", axis->titleText());
      }
    }
  }

  std::vector<Shown> shown;

 private:
  // A menu drops down from what it belongs to.
  static bool Shows(QWidget& window, QWidget& w) {
    QWidget* shown = &w;
    while (shown != nullptr && shown != &window && qobject_cast<QMenu*>(shown) != nullptr) {
      shown = shown->parentWidget();
    }
    return shown == &window || (shown != nullptr && shown->isVisibleTo(&window));
  }

  void Model(const QString& where, const QAbstractItemModel* model) {
    if (model == nullptr) return;
    for (int c = 0; c < model->columnCount(); ++c) {
      Add(where + " heading", model->headerData(c, Qt::Horizontal).toString());
    }
    for (int r = 0; r < model->rowCount(); ++r) {
      Add(where + " row heading", model->headerData(r, Qt::Vertical).toString());
      for (int c = 0; c < model->columnCount(); ++c) {
        Add(where + " cell", model->index(r, c).data().toString());
      }
    }
  }
};

// The captions the forms are designed with: German, the language of the forms.
// The port selection form is designed in English and takes both languages from
// the program's own texts.
template <class UiForm, class Base>
void CollectDesigned(Collector& c) {
  Base base;
  UiForm form;
  form.setupUi(&base);
  c.Window(base, true);
}

WordSet ModuleWords(const std::string& file) {
  WordSet words;
  std::ifstream in(platform::ProgramFolder() + "/" + file);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const WordSet w = Words(QString::fromStdString(line.substr(eq + 1)).replace("\\n", " "));
    words.insert(w.begin(), w.end());
  }
  if (words.empty()) qFatal("no text module %s", file.c_str());
  return words;
}

struct Vocabulary {
  WordSet german_only;
  WordSet english_only;
};

Vocabulary Vocabularies() {
  WordSet german = ModuleWords("Ltx1de.txt");
  WordSet english = ModuleWords("Ltx1en.txt");
  for (const char* module : {"Ltx2de.txt"}) german.merge(ModuleWords(module));
  for (const char* module : {"Ltx2en.txt"}) english.merge(ModuleWords(module));
  for (uint16_t id : services::BuiltInProgramTextIds()) {
    german.merge(Words(QString::fromStdString(services::BuiltInProgramText(id, 0))));
    english.merge(Words(QString::fromStdString(services::BuiltInProgramText(id, 1))));
  }
  Collector designed;
  CollectDesigned<Ui::Tfrm_Main, QMainWindow>(designed);
  CollectDesigned<Ui::TAboutBox, QDialog>(designed);
  CollectDesigned<Ui::Tfrm_Grafik, QWidget>(designed);
  CollectDesigned<Ui::TInputDlg, QDialog>(designed);
  CollectDesigned<Ui::TPasswordDlg, QDialog>(designed);
  CollectDesigned<Ui::Tsansicht, QDialog>(designed);
  CollectDesigned<Ui::Tfrm_UserSatTab, QDialog>(designed);
  CollectDesigned<Ui::TEinst, QDialog>(designed);
  CollectDesigned<Ui::Tfrm_Tabelle, QDialog>(designed);
  for (const Shown& s : designed.shown) german.merge(Words(s.text));
  Vocabulary v;
  std::set_difference(german.begin(), german.end(), english.begin(), english.end(),
                      std::inserter(v.german_only, v.german_only.end()));
  std::set_difference(english.begin(), english.end(), german.begin(), german.end(),
                      std::inserter(v.english_only, v.english_only.end()));
  // Captions the same in both languages: the clock button's and the error
  // count's in the settings.
  for (const char* word : {"set", "index"}) v.german_only.erase(word);
  return v;
}

}  // namespace

class InterfaceLanguageTest : public QObject {
  Q_OBJECT
  std::unique_ptr<UiWorld> world;
  std::unique_ptr<Collector> seen;

  // The file dialogs: their captions and filters are shown; each answer is the
  // next name given, cancel when none is left.
  std::deque<std::string> files;
  std::multiset<QString> opened;  // the modal dialogs, by name
  void Hooks() {
    SetMessageBoxHook([this](const std::string& text, const std::string& caption, uint32_t flags) {
      world->boxes.push_back({text, caption, flags});
      seen->Add("message box", QString::fromStdString(text));
      seen->Add("message box caption", QString::fromStdString(caption));
      const uint32_t buttons = flags & 0x0F;
      return buttons == services::kMbYesNo || buttons == 0x03 ? services::kIdYes : services::kIdOk;
    });
    SetFileDialogHook([this](const TFileRequest& r) {
      seen->Add("file dialog", QString::fromStdString(r.caption));
      seen->Add("file dialog filter", QString::fromStdString(r.filter));
      if (files.empty()) return std::string();
      const std::string f = files.front();
      files.pop_front();
      return f;
    });
    SetPrintDialogHook([](QPrinter&) { return false; });
    // Every modal dialog is looked at, then closed; the table editors first
    // offer their file dialogs and refuse a file that holds no table.
    SetModalHook([this](QDialog& d) {
      opened.insert(d.objectName());
      d.show();
      QApplication::processEvents();
      seen->Window(d);
      if (auto* editor = qobject_cast<TTableEditorBase*>(&d)) {
        const std::string no_table = world->Temp("t1.txt");
        WriteFile(no_table, "[x]\r\nx=1\r\n");
        files = {no_table};
        editor->mnu_LoadClick();
        editor->mnu_Store1Click();
      }
      d.reject();
      return d.result();
    });
  }

  // Every page after its refresh, the trend memory read and charted, the file,
  // print and settings commands, every dialog and every context menu.
  void Walk(Tfrm_Main& w) {
    opened.clear();
    Ui::Tfrm_Main& f = FormOf(w);
    f.Notebook->setCurrentWidget(f.TabBetrieb);
    for (int i = 0; i < f.NBBetrieb->count(); ++i) {
      f.NBBetrieb->setCurrentIndex(i);
      w.NotebookMouseDown(f.NBBetrieb);
      seen->Window(w);
    }
    f.NBBetrieb->setCurrentWidget(f.TabFehler);
    w.NotebookMouseDown(f.NBBetrieb);
    w.OperatingPages().Speichern1Click();
    f.NBBetrieb->setCurrentWidget(f.TabTrend);
    w.NotebookMouseDown(f.NBBetrieb);
    w.TrendPage().cmd_ReadTrendsClick(f.cmd_ExportTrends);
    seen->Window(w);
    w.TrendPage().cmd_GrafikClick();
    frm_Grafik->Form()->SpeedButton2->click();
    seen->Window(*frm_Grafik);
    // A chart printed where no file can be made.
    SetPrintDialogHook([this](QPrinter& printer) {
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(QString::fromStdString(world->Temp("x/y/c1.pdf")));
      return true;
    });
    frm_Grafik->findChild<QAction*>("mnu_Print1")->trigger();
    SetPrintDialogHook([](QPrinter&) { return false; });
    frm_Grafik->hide();

    f.Notebook->setCurrentWidget(f.TabParameter);
    for (int i = 0; i < f.NBParameter->count(); ++i) {
      f.NBParameter->setCurrentIndex(i);
      w.NotebookMouseDown(f.NBParameter);
      seen->Window(w);
    }
    f.Notebook->setCurrentWidget(f.TabBetrieb);
    f.NBBetrieb->setCurrentWidget(f.TabKreis1);
    w.NotebookMouseDown(f.NBBetrieb);

    // A parameter file: one that is not there, then saved over one that is.
    files = {world->Temp("p1.PEG")};
    w.mnu_LadenClick();
    const std::string existing = world->Temp("p2.PEG");
    WriteFile(existing, "");
    files = {existing};
    w.mnu_SpeichernClick();
    w.mnu_DruckenClick(f.mnu_Drucken);
    w.mnu_DruckenClick(f.mnu_Seitenansicht);
    w.mnu_EinstellungenClick();
    w.mnu_InfoClick();
    ExecModal(*PasswordDlg);
    InputDlg->Quantity = 0;
    InputDlg->MinValue = 0;
    InputDlg->MaxValue = 100;
    ExecModal(*InputDlg);
    // The property table as the medium list of a gas with a table opens it,
    // under the list's line; the saturation table, which only a steam device
    // has, under the line the steam module gives it.
    f.Notebook->setCurrentWidget(f.TabParameter);
    f.NBParameter->setCurrentWidget(f.TabPar1);
    w.NotebookMouseDown(f.NBParameter);
    auto* circuits = w.findChild<TCircuitPages*>("CircuitPages");
    devicelink::MediumParams[0].Kind = 8;
    circuits->ShowMediumParams();
    const QList<QListWidgetItem*> table =
        f.ListePG1->findItems(QString::fromStdString(services::GetText(5266)), Qt::MatchStartsWith);
    QCOMPARE(table.size(), 1);
    table[0]->setSelected(true);
    circuits->ListePG1DblClick(f.ListePG1);
    QVERIFY(opened.count("Tfrm_Tabelle") == 1);
    services::Medium = 1;
    frm_UserSatTab->setWindowTitle(QString::fromStdString(services::GetText(5232)));
    services::Medium = 0;
    ExecModal(*frm_UserSatTab);
    uint16_t chosen = 0;
    SelectComPort(chosen);
    seen->Window(w);
  }

  // What was seen in `language` that holds a word of the other one.
  QStringList Foreign(int language, const Vocabulary& v) const {
    const WordSet& foreign = language == 1 ? v.german_only : v.english_only;
    QStringList out;
    std::set<QString> reported;
    for (const Shown& s : seen->shown) {
      for (const QString& word : Words(s.text)) {
        if (foreign.count(word) == 0) continue;
        const QString line = s.where + ": \"" + s.text.left(80) + "\"";
        if (reported.insert(line).second) out << line;
        break;
      }
    }
    return out;
  }

 private slots:
  void init() {
    world = std::make_unique<UiWorld>();
    seen = std::make_unique<Collector>();
    files.clear();
    opened.clear();
  }
  void cleanup() {
    seen.reset();
    world.reset();
  }

  void everyCaptionInTheOperatorsLanguage_data() {
    QTest::addColumn<int>("language");
    QTest::newRow("started in German, then English") << 0;
    QTest::newRow("started in English, then German") << 1;
  }
  void everyCaptionInTheOperatorsLanguage() {
    QFETCH(int, language);
    const Vocabulary v = Vocabularies();
    QVERIFY(v.german_only.count("abbrechen") && v.english_only.count("cancel"));
    flowsim::FlowSimulator& sim = world->StartDevice();
    world->WriteSettings(true, language);
    if (world->Start()) qFatal("start failed");
    QVERIFY(devicelink::DeviceOnline);
    Tfrm_Main& w = *world->Main();
    w.RefreshTimer()->stop();
    Hooks();
    QStringList foreign;
    for (const int shown : {language, 1 - language}) {
      if (shown != language) {
        w.mnu_SpracheClick(shown == 1 ? FormOf(w).mnu_Englisch : FormOf(w).mnu_Deutsch);
      }
      QCOMPARE(services::Language, shown);
      seen = std::make_unique<Collector>();
      Walk(w);
      QVERIFY(seen->shown.size() > 1000);
      for (const char* dialog : {"TEinst", "TPasswordDlg", "TAboutBox", "Tsansicht", "InputDlg",
                                 "Tfrm_Tabelle", "Tfrm_UserSatTab", "TComSelectForm"}) {
        QVERIFY2(opened.count(dialog) > 0, dialog);
      }
      for (const char* kind : {"message box", "file dialog filter"}) {
        QVERIFY2(std::any_of(seen->shown.begin(), seen->shown.end(),
                             [kind](const Shown& s) { return s.where == kind; }),
                 kind);
      }
      for (const QString& line : Foreign(shown, v)) {
        foreign << QString(shown == 1 ? "English: " : "German: ") + line;
      }
    }

    // The status bar of a start with a device of neither model, in the
    // language of the start and after a switch.
    world->EndProgram();
    GiveUnknownIdentification(sim);
    world->WriteSettings(true, language);
    if (world->Start()) qFatal("start failed");
    Tfrm_Main& again = *world->Main();
    for (const int shown : {language, 1 - language}) {
      if (shown != language) {
        again.mnu_SpracheClick(shown == 1 ? FormOf(again).mnu_Englisch : FormOf(again).mnu_Deutsch);
      }
      seen = std::make_unique<Collector>();
      seen->Add("status panel 0", QString::fromStdString(again.StatusPanel(0)));
      QVERIFY(!again.StatusPanel(0).empty());
      for (const QString& line : Foreign(shown, v)) {
        foreign << QString(shown == 1 ? "English: " : "German: ") + line;
      }
    }
    for (const QString& line : foreign) qWarning("%s", qPrintable(line));
    QVERIFY2(foreign.isEmpty(), "a caption of the other language, listed above");
  }
};

QTEST_MAIN(InterfaceLanguageTest)
#include "interface_language_test.moc"
