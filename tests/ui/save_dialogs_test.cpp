// The save dialogs of table files and exports: a name the program may not write
// to is refused, with the reason, before the dialog asks whether to replace the
// file there; a name that may be written is asked about as ever.
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "services/app_state.h"
#include "services/app_window.h"
#include "tests/platform/temp_folder.h"
#include "ui/dialog_hooks.h"

using namespace ui;

class SaveDialogsTest : public QObject {
  Q_OBJECT
  std::vector<std::string> messages;

  TFileRequest ExportRequest(const std::string& folder) {
    TFileRequest request;
    request.save = true;
    request.initial_dir = folder;
    request.default_ext = "txt";
    request.filter = "Text (*.txt)";
    request.overwrite_prompt = true;
    request.write_kind = platform::FileKind::kExportFile;
    return request;
  }

 private slots:
  void init() {
    messages.clear();
    services::Language = 0;
    SetMessageBoxHook([this](const std::string& text, const std::string&, uint32_t) {
      messages.push_back(text);
      return services::kIdOk;
    });
  }
  void cleanup() {
    SetMessageBoxHook(nullptr);
    SetFileDialogHook(nullptr);
  }

  // Qt's own dialog: the write-protected file is refused in the dialog, which
  // stays open and never asks to replace it; a writable file is asked about.
  void theDialogRefusesBeforeItsOverwriteQuestion() {
    platform::testing::TempFolder dir;
    const std::string locked = dir / "gesperrt.txt";
    const std::string open = dir / "offen.txt";
    platform::testing::WriteBytes(locked, "alt");
    platform::testing::WriteBytes(open, "alt");
    QCOMPARE(::chmod(locked.c_str(), 0444), 0);
    struct Case {
      std::string name;
      bool refused;
    };
    for (const Case& c : {Case{locked, true}, Case{open, false}}) {
      messages.clear();
      bool replace_question = false;
      bool still_open = false;
      QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog != nullptr);
        dialog->selectFile(QString::fromStdString(c.name));
        // Qt's question whether to replace the file, answered No.
        QTimer::singleShot(0, [&] {
          if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            replace_question = true;
            box->reject();
          }
        });
        QMetaObject::invokeMethod(dialog, "accept");
        still_open = dialog->isVisible();
        dialog->reject();
      });
      QCOMPARE(ExecFileDialog(nullptr, ExportRequest(dir.Path())), std::string());
      QVERIFY(still_open);
      QCOMPARE(replace_question, !c.refused);
      if (c.refused) {
        QCOMPARE(messages.size(), size_t{1});
        QCOMPARE(messages[0], "Exportdatei \"" + locked +
                                  "\": Die Datei ist schreibgeschützt. Sie bleibt unverändert; es "
                                  "wurde nichts geschrieben.");
      } else {
        QVERIFY(messages.empty());
      }
    }
    QCOMPARE(platform::testing::ReadBytes(locked), std::string("alt"));
  }

  // The hook stands for the dialog: the same refusal, and no name comes back.
  void theHookIsRefusedAsTheDialogWouldBe() {
    platform::testing::TempFolder dir;
    const std::string locked = dir / "gesperrt.txt";
    platform::testing::WriteBytes(locked, "alt");
    QCOMPARE(::chmod(locked.c_str(), 0444), 0);
    SetFileDialogHook([&](const TFileRequest&) { return locked; });
    QCOMPARE(ExecFileDialog(nullptr, ExportRequest(dir.Path())), std::string());
    QCOMPARE(messages.size(), size_t{1});
    SetFileDialogHook([&](const TFileRequest&) { return dir / "neu.txt"; });
    QCOMPARE(ExecFileDialog(nullptr, ExportRequest(dir.Path())), dir / "neu.txt");
    QCOMPARE(messages.size(), size_t{1});
  }
};

QTEST_MAIN(SaveDialogsTest)
#include "save_dialogs_test.moc"
