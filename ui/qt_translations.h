// Qt's own dialogs and buttons (file and print dialogs, the buttons of message
// boxes) in the language of the program's texts.
#pragma once

#include <cstdint>

namespace ui {

// Language 0 German, 1 English (Qt's own texts are English without a translator).
// Loads or removes Qt's German translation; nothing happens when the language is
// already in use. Without the translation files installed Qt's texts stay English,
// which is said once on stderr.
void UseQtLanguage(int32_t language);

}  // namespace ui
