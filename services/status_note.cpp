#include "services/status_note.h"

#include <optional>

#include "services/app_window.h"
#include "services/program_texts.h"

namespace services {
namespace {

struct TShownNote {
  TStatusNote note;
  std::string text;  // as the panel was given it
};
std::optional<TShownNote> g_shown;

}  // namespace

TStatusNote TStatusNote::PortFailed(const TPortFailure& failure) {
  TStatusNote n;
  n.kind = Kind::kPortFailure;
  n.failure = failure;
  return n;
}

TStatusNote TStatusNote::LinkLost(const platform::LocalDateTime& since) {
  TStatusNote n;
  n.kind = Kind::kLinkLost;
  n.since = since;
  return n;
}

TStatusNote TStatusNote::Text(uint16_t id) {
  TStatusNote n;
  n.kind = Kind::kText;
  n.text = id;
  return n;
}

std::string StatusNoteText(const TStatusNote& note) {
  switch (note.kind) {
    case TStatusNote::Kind::kPortFailure:
      return PortFailureText(note.failure);
    case TStatusNote::Kind::kLinkLost:
      return LinkLostText(note.since);
    case TStatusNote::Kind::kText:
      break;
  }
  return ProgramText(note.text);
}

void ShowStatusNote(const TStatusNote& note) {
  if (!HasAppWindow()) return;
  g_shown = TShownNote{note, StatusNoteText(note)};
  AppWindow().SetStatusPanel(0, g_shown->text);
}

void RenewStatusNote() {
  if (!g_shown || !HasAppWindow()) return;
  if (AppWindow().StatusPanel(0) != g_shown->text) {
    g_shown.reset();
    return;
  }
  ShowStatusNote(g_shown->note);
}

}  // namespace services
