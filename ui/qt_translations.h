// Qt's own dialogs and buttons (file and print dialogs, the buttons of message
// boxes) in the language of the program's texts.
#pragma once

#include <QLocale>

#include <cstdint>

namespace ui {

// Language 0 German, 1 English (Qt's own texts are English without a translator).
// Loads or removes Qt's German translation; nothing happens when the language is
// already in use. Without the translation files installed Qt's texts stay English,
// which is said once on stderr.
void UseQtLanguage(int32_t language);

// The locale of Qt's dialogs for the language last given to UseQtLanguage: German
// (Germany) for German, the C locale for English, as Qt's texts are without a
// translator.
QLocale DialogLocale();

// While it lives, Qt's default locale is DialogLocale(), so that a file or print
// dialog shows its file types, dates and sizes in the program's language. Outside
// it stays the C locale, which the program's own numbers rely on.
class TDialogLocaleScope {
 public:
  TDialogLocaleScope();
  ~TDialogLocaleScope();
  TDialogLocaleScope(const TDialogLocaleScope&) = delete;
  TDialogLocaleScope& operator=(const TDialogLocaleScope&) = delete;

 private:
  QLocale saved_;
};

}  // namespace ui
