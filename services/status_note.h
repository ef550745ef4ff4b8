// The program's notes in status panel 0 (why a port could not be opened, that the
// link is lost, a connect message of the text module), kept as what they are, so
// that a note still shown after a language switch is written in the new language.
// Other texts of the panel (a file name, a literal of the program) are set as text
// and need no note.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "services/port_failure.h"

namespace services {

struct TStatusNote {
  enum class Kind { kPortFailure, kLinkLost, kText, kUnread };
  Kind kind = Kind::kText;
  TPortFailure failure;             // kPortFailure
  platform::LocalDateTime since{};  // kLinkLost
  uint16_t text = 0;                // kText: id of the text module or a program text
  std::vector<std::string> args;    // kText: its arguments (numbers)
  std::string page;                 // kUnread: the caption of the page
  std::vector<uint16_t> blocks;     // kUnread: its blocks the device did not report

  static TStatusNote PortFailed(const TPortFailure& failure);
  static TStatusNote LinkLost(const platform::LocalDateTime& since);
  static TStatusNote Text(uint16_t id, std::vector<std::string> args = {});
  // A page that could not be read from the device: the blocks of its records
  // not reported, or none for a page of values read as a whole.
  static TStatusNote Unread(std::string page, std::vector<uint16_t> blocks);
};

// The note in the current Language.
std::string StatusNoteText(const TStatusNote& note);

// Panel 0 := the note's text; the note is kept while the panel shows that text.
void ShowStatusNote(const TStatusNote& note);

// After a change of Language (or Medium): a note the panel still shows is written
// again in the language now in force; a panel that shows something else since is
// left alone, and the note forgotten.
void RenewStatusNote();

// The note the panel shows now, if it shows one; and how many notes were shown
// so far (to tell a note shown since some moment).
const TStatusNote* ShownStatusNote();
uint64_t StatusNotesShown();

}  // namespace services
