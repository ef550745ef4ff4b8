#include "services/status_note.h"

#include <optional>

#include "services/app_window.h"
#include "services/block_names.h"
#include "services/program_texts.h"

namespace services {
namespace {

struct TShownNote {
  TStatusNote note;
  std::string text;  // as the panel was given it
};
std::optional<TShownNote> g_shown;
uint64_t g_notes_shown = 0;

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

TStatusNote TStatusNote::Text(uint16_t id, std::vector<std::string> args) {
  TStatusNote n;
  n.kind = Kind::kText;
  n.text = id;
  n.args = std::move(args);
  return n;
}

TStatusNote TStatusNote::Unread(std::string page, std::vector<uint16_t> blocks) {
  TStatusNote n;
  n.kind = Kind::kUnread;
  n.page = std::move(page);
  n.blocks = std::move(blocks);
  return n;
}

std::string StatusNoteText(const TStatusNote& note) {
  switch (note.kind) {
    case TStatusNote::Kind::kPortFailure:
      return PortFailureText(note.failure);
    case TStatusNote::Kind::kLinkLost:
      return LinkLostText(note.since);
    case TStatusNote::Kind::kUnread:
      if (note.blocks.empty()) return ProgramText(text_id::kPageNotRead, {note.page});
      return ProgramText(text_id::kPageBlocksNotRead, {note.page, BlockNames(note.blocks)});
    case TStatusNote::Kind::kText:
      break;
  }
  switch (note.args.size()) {
    case 0:
      return ProgramText(note.text);
    case 1:
      return ProgramText(note.text, {note.args[0]});
    default:
      return ProgramText(note.text, {note.args[0], note.args[1]});
  }
}

void ShowStatusNote(const TStatusNote& note) {
  if (!HasAppWindow()) return;
  g_shown = TShownNote{note, StatusNoteText(note)};
  ++g_notes_shown;
  AppWindow().SetStatusPanel(0, g_shown->text);
}

const TStatusNote* ShownStatusNote() {
  if (!g_shown || !HasAppWindow() || AppWindow().StatusPanel(0) != g_shown->text) return nullptr;
  return &g_shown->note;
}

uint64_t StatusNotesShown() {
  return g_notes_shown;
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
