// Captions of the main window from the text module of the current medium and
// language; the form's own German captions stay where a block is missing.
#include <QAction>
#include <QGroupBox>
#include <QMenu>
#include <QTabWidget>

#include "devicelink/window_scopes.h"
#include "services/app_state.h"
#include "services/status_note.h"
#include "services/text_modules.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/qt_translations.h"
#include "ui/tab_rows.h"
#include "ui_main_window.h"

namespace ui {

namespace {

// Page j of the notebook gets s(j+1), up to the first empty string.
void SetPageCaptions(QTabWidget* notebook, const services::TextBlock& t) {
  for (int j = 0; j < notebook->count() && j + 1 < static_cast<int>(t.size()); ++j) {
    const std::string& s = t[static_cast<size_t>(j + 1)];
    if (s.empty()) break;
    notebook->setTabText(j, Q(s));
  }
}

}  // namespace

void Tfrm_Main::ApplyLanguageTexts() {
  devicelink::TCursorScope cursor;
  UseQtLanguage(services::Language);
  setWindowTitle(Q(services::GetText(1)));
  LoadMenuTexts();
  LoadOperatingPageTexts();
  LoadParameterPageTexts();
  for (TPage* group : pages_.Groups()) group->LoadTexts();
  services::RenewStatusNote();
  RefreshShownPage();
}

void Tfrm_Main::LoadMenuTexts() {
  services::TextBlock t;
  if (services::GetTextBlock(1024, 1, t)) {
    form_->mnu_Parameter->setTitle(Q(t[0]));
    form_->mnu_Neu->setText(Q(t[1]));
    form_->mnu_Laden->setText(Q(t[2]));
    form_->mnu_Speichern->setText(Q(t[3]));
    form_->mnu_Seitenansicht->setText(Q(t[5]));
    form_->mnu_Drucken->setText(Q(t[6]));
    form_->mnu_Beenden->setText(Q(t[8]));
    // Strings 4 and 7 name the two separators, which show no text.
  }
  if (services::GetTextBlock(1040, 1, t)) {
    form_->mnu_Optionen->setTitle(Q(t[0]));
    form_->mnu_Einstellungen->setText(Q(t[1]));
    form_->mnu_Sprache->setTitle(Q(t[3]));
  }
  if (services::GetTextBlock(1072, 1, t)) {
    form_->mnu_Deutsch->setText(Q(t[0]));
    form_->mnu_Englisch->setText(Q(t[1]));
  }
  if (services::GetTextBlock(1120, 1, t)) {
    form_->mnu_Hilfe->setTitle(Q(t[0]));
    form_->mnu_Info->setText(Q(t[1]));
  }
}

void Tfrm_Main::LoadOperatingPageTexts() {
  services::TextBlock t;
  if (!services::GetTextBlock(512, 1, t)) return;
  form_->Notebook->setTabText(form_->Notebook->indexOf(form_->TabBetrieb), Q(t[0]));
  SetPageCaptions(form_->NBBetrieb, t);
}

void Tfrm_Main::LoadParameterPageTexts() {
  services::TextBlock t;
  if (!services::GetTextBlock(528, 1, t)) return;
  form_->Notebook->setTabText(form_->Notebook->indexOf(form_->TabParameter), Q(t[0]));
  SetPageCaptions(form_->NBParameter, t);
  parameter_tabs_->UpdateTabs();
}


}  // namespace ui
