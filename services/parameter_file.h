// Parameter sets on disk and the program's default set.
//
// A parameter file (".PEG", ini format, Windows-1252 with CRLF) holds every
// parameter record of the device data model and the remarks memo of the main
// window. Files of the older format ".PAR" are read with a conversion of the relay,
// output and display codes. None of this talks to the device; the file menu decides
// whether to send a loaded or reset set. UI thread only.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace services {

// The file filters of the save and the open dialog, and their default extension.
// File names are case-sensitive here, so both spellings are listed; the open
// dialog also lists the older format, which the reader converts.
inline constexpr const char* kParameterFileFilter = "Vandrel Parameter (*.PEG *.peg)|*.PEG;*.peg";
inline constexpr const char* kParameterOpenFilter =
    "Vandrel Parameter (*.PEG *.peg *.PAR *.par)|*.PEG;*.peg;*.PAR;*.par";
inline constexpr const char* kParameterFileExt = "PEG";

// The parameter file the set on screen was last loaded from or saved to: set by a
// load or save that succeeded, cleared by ResetParameters. The report printed to a
// file is named after it, and a save proposes it.
extern std::string ParameterSetFile;

// The sections a parameter file is saved in, in writing order, the remarks last.
std::vector<std::string> ParameterFileSections();

// Asks for a file (OpenDialog) and loads it. The whole file is read into a copy of
// the records first; only when every value was read is the copy made the current set
// (records and memo). A ".PEG" file that lacks parts of a set (MissingParameterParts)
// is loaded only when the operator answers Yes to MissingPartsQuestion (default No;
// No: false, nothing changed). On a bad value, or a file that does not exist, is no regular
// file or cannot be read, the error goes to AppWindow().ShowError in the program's
// language, the current set stays as it was and the result is false. False also
// when the dialog was cancelled (nothing changes then). Sets status panel 0 to the
// shortened name and the initial folder of both dialogs to the file's folder
// before reading; only a file that was read becomes ParameterSetFile and the save
// dialog's file name (with ".PEG").
bool LoadParameterFile();

// Asks for a name (SaveDialog, proposing ParameterSetFile; a name whose extension
// is not ".PEG" in any case gets ".PEG" in place of its own), refuses a name where
// something other than a regular file stands, asks before replacing the file that
// will be written, then writes the current set. The new content replaces the old
// file only once it is fully written, so a failure (shown with ShowError) leaves
// the old file whole; keys of the old file that are not written here are kept.
// Once written, the file is ParameterSetFile and status panel 0 shows its name.
void SaveParameterFile();

// The default parameter set for the current Medium; KindMask only while offline.
// Empties status panel 0, clears the memo and ParameterSetFile.
void ResetParameters();

// What the bytes of a ".PEG" file lack of the set a save writes, as the operator
// knows the parts, in file order: a part missing whole ("Relais 2", runs of them
// as "Analogausgang 1–4"), the keys a part lacks ("Druck Kreis 1 (Hyd)"), a part
// whose last line has no line end ("Bemerkungen (letzte Zeile abgeschnitten)"),
// and the remarks when the file was cut before them. Empty for a whole set, with
// or without remarks; keys and sections it does not know are no concern of it.
std::vector<std::string> MissingParameterParts(std::string_view bytes);

// The question before a file that lacks these parts is loaded (offline) or loaded
// and sent to the device (online).
std::string MissingPartsQuestion(const std::vector<std::string>& parts, bool online);

// A file name as status panel 0 shows it: whole up to 40 characters, else
// head + " ... " + tail around the folder separators "/".
std::string ShortFileName(std::string_view name);

}  // namespace services
