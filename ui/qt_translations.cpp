#include "ui/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

#include <iostream>

namespace ui {

namespace {
// Owned by the application object, so it goes with it.
QPointer<QTranslator> g_german;
bool g_missing_told = false;
int32_t g_language = 1;
}  // namespace

QLocale DialogLocale() {
  return g_language == 0 ? QLocale(QLocale::German, QLocale::Germany) : QLocale::c();
}

TDialogLocaleScope::TDialogLocaleScope() {
  QLocale::setDefault(DialogLocale());
}

TDialogLocaleScope::~TDialogLocaleScope() {
  QLocale::setDefault(saved_);
}

void UseQtLanguage(int32_t language) {
  g_language = language == 0 ? 0 : 1;
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return;
  if (language != 0) {
    if (g_german) {
      QCoreApplication::removeTranslator(g_german);
      delete g_german;
    }
    return;
  }
  if (g_german) return;
  auto* german = new QTranslator(app);
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  if (!german->load(QStringLiteral("qtbase_de"), folder)) {
    delete german;
    if (!g_missing_told) {
      std::cerr << "vandrel2: no qtbase_de.qm in " << folder.toStdString()
                << ": file and print dialogs stay English\n";
      g_missing_told = true;
    }
    return;
  }
  QCoreApplication::installTranslator(german);
  g_german = german;
}

}  // namespace ui
