#include "services/program_texts.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "services/app_state.h"
#include "services/text_modules.h"

namespace services {
namespace {

struct TBuiltIn {
  uint16_t id;
  const char* german;
  const char* english;
};

// The wording of the shipped modules, for a module that lacks it or cannot be read.
// clang-format off
constexpr TBuiltIn kBuiltIn[] = {
    {text_id::kFileMessage, "%1 \"%2\": %3", "%1 \"%2\": %3"},
    {text_id::kParameterFile, "Parameterdatei", "Parameter file"},
    {text_id::kTableFile, "Tabellendatei", "Table file"},
    {text_id::kSettingsFile, "Einstellungsdatei", "Settings file"},
    {text_id::kTextModule, "Textmodul", "Text module"},
    {text_id::kExportFile, "Exportdatei", "Export file"},
    {text_id::kReportFile, "Druckdatei", "Print file"},
    {text_id::kLogFile, "Protokolldatei", "Log file"},
    {text_id::kOtherFile, "Datei", "File"},
    {text_id::kFileMissing, "Die Datei gibt es nicht. Es wurde nichts gelesen.",
     "There is no such file. Nothing was read."},
    {text_id::kNotRegularRead,
     "Das ist keine gewöhnliche Datei, sondern %1. Es wurde nichts gelesen.",
     "This is not a regular file but %1. Nothing was read."},
    {text_id::kNotRegularWrite,
     "Das ist keine gewöhnliche Datei, sondern %1. Es bleibt, wie es ist; es wurde nichts "
     "geschrieben.",
     "This is not a regular file but %1. It stays as it is; nothing was written."},
    {text_id::kFileTooLarge,
     "Die Datei ist größer als jede Datei ihrer Art (mehr als %1). Es wurde nichts gelesen.",
     "The file is larger than any file of its kind (more than %1). Nothing was read."},
    {text_id::kFileUnreadable, "Die Datei kann nicht gelesen werden: %1.",
     "The file cannot be read: %1."},
    {text_id::kFileUnwritable,
     "Die Datei kann nicht geschrieben werden: %1. Eine vorhandene Datei ist unverändert.",
     "The file cannot be written: %1. A file already there is unchanged."},
    {text_id::kNoParameterSection,
     "Die Datei enthält keinen der Abschnitte einer Parameterdatei. Es wurde nichts geladen.",
     "The file holds none of the sections of a parameter file. Nothing was loaded."},
    {text_id::kParameterNotANumber,
     "[%1] %2=\"%3\" ist keine gültige Zahl. Es wurde nichts geladen.",
     "[%1] %2=\"%3\" is not a valid number. Nothing was loaded."},
    {text_id::kParameterOutOfRange,
     "[%1] %2=\"%3\" liegt außerhalb des Bereichs des Feldes. Es wurde nichts geladen.",
     "[%1] %2=\"%3\" is outside the range of its field. Nothing was loaded."},
    {text_id::kNodeDirectory, "ein Verzeichnis", "a directory"},
    {text_id::kNodeFifo, "eine FIFO (benannte Pipe)", "a FIFO (named pipe)"},
    {text_id::kNodeCharDevice, "ein zeichenorientiertes Gerät", "a character device"},
    {text_id::kNodeBlockDevice, "ein blockorientiertes Gerät", "a block device"},
    {text_id::kNodeSocket, "ein Socket", "a socket"},
    {text_id::kNodeOther, "ein Eintrag unbekannter Art", "an entry of an unknown kind"},
    {text_id::kErrAccess, "Zugriff verweigert", "access denied"},
    {text_id::kErrNoEntry, "die Datei oder ihr Ordner fehlt", "the file or its folder is missing"},
    {text_id::kErrNotFolder,
     "ein Teil des Pfads ist kein Ordner",
     "a part of the path is not a folder"},
    {text_id::kErrNoSpace, "kein Platz mehr auf dem Datenträger", "no space left on the disk"},
    {text_id::kErrReadOnly, "das Dateisystem ist schreibgeschützt", "the file system is read-only"},
    {text_id::kErrIo, "Ein-/Ausgabefehler", "input/output error"},
    {text_id::kErrNameTooLong, "der Name ist zu lang", "the name is too long"},
    {text_id::kErrLinkLoop, "zu viele Links hintereinander", "too many links in a row"},
    {text_id::kErrFileTooBig, "die Datei würde zu groß", "the file would become too large"},
    {text_id::kErrIsFolder, "dort steht ein Verzeichnis", "a directory stands there"},
    {text_id::kErrTooManyFiles, "zu viele offene Dateien", "too many open files"},
    {text_id::kErrOther, "Systemfehler %1 (%2)", "system error %1 (%2)"},
    {text_id::kPortDenied,
     "%1: Zugriff verweigert. Den Benutzer in die Gruppe \"dialout\" aufnehmen und neu anmelden.",
     "%1: access denied. Add your user to the group \"dialout\" and log in again."},
    {text_id::kPortInUse,
     "%1 wird von einem anderen Programm benutzt. Dieses beenden oder einen anderen Anschluss "
     "wählen.",
     "%1 is in use by another program. Close it or choose another port."},
    {text_id::kPortUnplugged,
     "%1: Das Gerät %2 gibt es nicht (Adapter eingesteckt?). Einen Link %3 auf den Namen "
     "/dev/serial/by-id/… des Adapters anlegen.",
     "%1: there is no device %2 (is the adapter plugged in?). Link %3 to the adapter's "
     "/dev/serial/by-id/… name."},
    {text_id::kPortMissing,
     "%1: Das Gerät %2 gibt es nicht. Für einen USB-Adapter einen Link %3 auf seinen Namen "
     "/dev/serial/by-id/… anlegen.",
     "%1: there is no device %2. For a USB adapter, link %3 to the adapter's /dev/serial/by-id/… "
     "name."},
    {text_id::kPortFailed, "%1 lässt sich nicht öffnen.", "%1 cannot be opened."},
    {text_id::kPortFailedWhy, "%1 lässt sich nicht öffnen: %2", "%1 cannot be opened: %2"},
    {text_id::kLinkLost,
     "Verbindung zum Gerät verloren seit %1. Die angezeigten Werte sind von vorher.",
     "Connection to the device lost since %1. The values shown are from before then."},
    {text_id::kSelectPortCaption, "Anschluss wählen", "Select Port"},
    {text_id::kSelectPortLine1, "Der eingestellte serielle Anschluss ist nicht gültig.",
     "The configured serial port is not valid."},
    {text_id::kSelectPortLine2,
     "Bitte einen anderen Anschluss wählen.",
     "Please choose another port."},
    {text_id::kSelectPortOk, "OK", "OK"},
    {text_id::kSelectPortCancel, "Abbrechen", "Cancel"},
    {text_id::kSelectPortRefused,
     "%1: Zugriff verweigert, nicht angeboten (Benutzer nicht in der Gruppe \"dialout\").",
     "%1: access denied, not offered (user not in the group \"dialout\")."},
    {text_id::kCancel, "Abbrechen", "Cancel"},
    {text_id::kDateTime, "Datum / Uhrzeit", "Date / time"},
    {text_id::kChartButton, "Grafik ...", "Chart ..."},
    {text_id::kChartCaption, "Grafik", "Chart"},
    {text_id::kPrintItem, "Drucken...", "Print..."},
    {text_id::kSaveItem, "Speichern...", "Save..."},
    {text_id::kTrendListCircuit, "Kreis %1:", "Circuit %1:"},
    {text_id::kUnknownDevice, "Kein GAS- oder DAMPF Rechner", "No GAS or STEAM flow computer"},
    {text_id::kOverwriteQuestion, "Datei überschreiben ?", "Overwrite the file?"},
    {text_id::kWarningCaption, "Warnung", "Warning"},
    {text_id::kPrinterCannotPrint, "Der Drucker kann nicht drucken.", "The printer cannot print."},
    {text_id::kPrintFailed, "Der Druck ist fehlgeschlagen.", "Printing failed."},
    {text_id::kTextFileFilter, "Text (*.txt);;Alle Dateien (*)", "Text (*.txt);;All files (*)"},
    {text_id::kCompressibilityTables, "Kompr. Tabellen", "Compressibility tables"},
    {text_id::kDensityTables, "Dichte Tabellen", "Density tables"},
    {text_id::kEnthalpyTables, "Enthalpie Tabellen", "Enthalpy tables"},
    {text_id::kSaturationTables, "Satt. Tabellen", "Saturation tables"},
    {text_id::kPrintPreviewCaption, "Seitenansicht", "Print preview"},
    {text_id::kPasswordCaption, "Paßwort", "Password"},
    {text_id::kUnknownError, "unbekannter Fehler", "unknown error"},
    {text_id::kTableEditorMessages,
     "Die Tabelle wurde geändert. Soll sie zum Gerät gesendet werden?",
     "The table has been changed. Send it to the device?"},
    {text_id::kTableEditorMessages + 1,
     "Die Tabelle wurde geändert. Soll sie in einer Datei gespeichert werden?",
     "The table has been changed. Save it to a file?"},
    {text_id::kTableEditorMessages + 2,
     "Die Tabelle konnte nicht vom Gerät gelesen werden. Die angezeigte Tabelle ist unverändert.",
     "The table could not be read from the device. The table shown is unchanged."},
    {text_id::kTableEditorMessages + 3,
     "Die Tabelle konnte nicht vollständig zum Gerät gesendet werden. Die Tabelle im Gerät ist "
     "möglicherweise nur zum Teil geändert: bitte erneut senden.",
     "The table could not be sent to the device completely. The device's table may have been "
     "changed in part only: please send it again."},
    {text_id::kTableEditorMessages + 4,
     "Die Tabelle enthält Änderungen, die noch nicht zum Gerät gesendet wurden. Trotzdem die "
     "Tabelle des Geräts lesen und die Änderungen verwerfen?",
     "The table has changes that have not been sent to the device. Read the device's table "
     "anyway and discard them?"},
    {text_id::kTableEditorMessages + 5,
     "Die Tabelle enthält Änderungen, die nicht gespeichert sind. Trotzdem verwerfen?",
     "The table has changes that have not been saved. Discard them anyway?"},
    {text_id::kTableEditorMessages + 6, "Die Tabellendatei kann nicht geladen werden:",
     "The table file cannot be loaded:"},
    {text_id::kTableEditorMessages + 7, "Die Tabellendatei kann nicht gespeichert werden:",
     "The table file cannot be saved:"},
    {text_id::kTableEditorMessages + 8, "Die Datei enthält keine Tabelle dieser Art.",
     "The file holds no table of this kind."},
    {text_id::kTableEditorMessages + 9, "Der Wert ist keine Zahl.", "The value is not a number."},
    {text_id::kTableEditorMessages + 10, "Der Wert liegt außerhalb des erlaubten Bereichs.",
     "The value is outside the allowed range."},
    {text_id::kTableEditorMessages + 11, "Der Achsenwert ist keine ganze Zahl.",
     "The axis value is not a whole number."},
    {text_id::kClosingAfterTransfer,
     "Das Programm wird beendet, sobald die Übertragung zum Gerät abgeschlossen ist.",
     "The program closes once the transfer to the device has finished."},
    {text_id::kNotSentAtClose,
     "Beim Beenden möglicherweise nicht zum Gerät gelangt: %1. Bitte erneut senden.",
     "When the program closed, these may not have reached the device: %1. Please send them "
     "again."},
    {text_id::kBlockPreset, "Vorgabewert %1", "Preset value %1"},
    {text_id::kBlockDisplayEnable, "Anzeigefreigabe", "Display enable"},
    {text_id::kBlockClock, "Datum / Uhrzeit", "Date / time"},
    {text_id::kBlockOther, "Block %1", "Block %1"},
    {text_id::kUnreportedBlock,
     "Nichts gesendet: %1 wurde nicht von diesem Gerät gelesen.",
     "Nothing sent: %1 was not read from this device."},
    {text_id::kPageBlocksNotRead,
     "Seite \"%1\": nicht vom Gerät gelesen, daher ohne Werte: %2. Zum erneuten Lesen den "
     "Reiter der Seite anklicken.",
     "Page \"%1\": not read from the device, so shown without values: %2. Click the page's tab "
     "to read it again."},
    {text_id::kPageNotRead,
     "Seite \"%1\": konnte nicht vom Gerät gelesen werden. Zum erneuten Lesen den Reiter der "
     "Seite anklicken.",
     "Page \"%1\": could not be read from the device. Click the page's tab to read it again."},
    {text_id::kTrendReadStopped,
     "Trendspeicher: %1 von %2 Aufzeichnungen gelesen, dann ist das Lesen abgebrochen.",
     "Trend memory: %1 of %2 records read, then the read stopped."},
    // Files: write protection, parameter sets that lack parts.
    {text_id::kWriteProtected,
     "Die Datei ist schreibgeschützt. Sie bleibt unverändert; es wurde nichts geschrieben.",
     "The file is write-protected. It stays unchanged; nothing was written."},
    {text_id::kErrExists, "dort steht bereits %1", "%1 already stands there"},
    {text_id::kNodeFile, "eine Datei", "a file"},
    {text_id::kSettingsNoSetting,
     "Die Datei enthält keine lesbare Einstellung. Es gelten die Vorgabewerte; beim Beenden "
     "wird die Datei mit den Einstellungen neu geschrieben.",
     "The file holds no readable setting. The defaults are in force; at the close the file is "
     "written anew with the settings."},
    {text_id::kMissingPartsLoad,
     "Der Datei fehlen Teile eines Parametersatzes (abgeschnitten oder beschädigt?): %1. Diese "
     "Teile erhielten die Vorgabewerte des Programms. Trotzdem laden?",
     "The file lacks parts of a parameter set (cut short or damaged?): %1. These parts would "
     "take the program's defaults. Load anyway?"},
    {text_id::kMissingPartsSend,
     "Der Datei fehlen Teile eines Parametersatzes (abgeschnitten oder beschädigt?): %1. Diese "
     "Teile erhielten die Vorgabewerte des Programms und gingen so zum Gerät. Trotzdem laden "
     "und senden?",
     "The file lacks parts of a parameter set (cut short or damaged?): %1. These parts would "
     "take the program's defaults and go to the device so. Load and send anyway?"},
    {text_id::kLastLineCut, "%1 (letzte Zeile abgeschnitten)", "%1 (last line cut off)"},
    {text_id::kPartTemperature, "Temperatur Kreis %1", "Temperature circuit %1"},
    {text_id::kPartPressure, "Druck Kreis %1", "Pressure circuit %1"},
    {text_id::kPartFlow, "Durchfluss Kreis %1", "Flow circuit %1"},
    {text_id::kPartDpDesign,
     "Wirkdruck-Auslegung Kreis %1",
     "Differential pressure design circuit %1"},
    {text_id::kPartMedium, "Medium Kreis %1", "Medium circuit %1"},
    {text_id::kPartGas, "Gasbeschaffenheit", "Gas composition"},
    {text_id::kPartSupply, "Vorlaufwerte Kreis %1", "Supply values circuit %1"},
    {text_id::kPartPulse, "Impulsausgang Kreis %1", "Pulse output circuit %1"},
    {text_id::kPartRelay, "Relais %1", "Relay %1"},
    {text_id::kPartOutput, "Analogausgang %1", "Analog output %1"},
    {text_id::kPartUnits, "Einheiten", "Units"},
    {text_id::kPartUserUnit, "Anzeigeeinheiten %1", "Display units %1"},
    {text_id::kPartTrend, "Trendwert", "Trend"},
    {text_id::kPartCorrection, "Korrekturfaktoren Kreis %1", "Correction factors circuit %1"},
    {text_id::kPartLimits, "Stromgrenzwerte", "Current limits"},
    {text_id::kPartSystem, "System", "System"},
    {text_id::kPartPresets, "Vorgabewerte", "Preset values"},
    {text_id::kPartDisplay, "Anzeigefreigabe", "Display enable"},
    {text_id::kPartRemarks, "Bemerkungen", "Remarks"},
};
// clang-format on

const TBuiltIn* FindBuiltIn(uint16_t id) {
  const auto it = std::find_if(std::begin(kBuiltIn), std::end(kBuiltIn),
                               [id](const TBuiltIn& b) { return b.id == id; });
  return it == std::end(kBuiltIn) ? nullptr : it;
}

std::string Filled(std::string_view text, std::initializer_list<std::string_view> args) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
      const size_t n = static_cast<size_t>(text[i + 1] - '1');
      if (n < args.size()) out += *(args.begin() + n);
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

std::string ProgramText(uint16_t id, std::initializer_list<std::string_view> args) {
  std::string text = GetText(id);
  if (text.empty()) text = BuiltInProgramText(id, Language);
  return Filled(text, args);
}

std::string BuiltInProgramText(uint16_t id, int32_t language) {
  const TBuiltIn* b = FindBuiltIn(id);
  if (b == nullptr) return {};
  return language == 1 ? b->english : b->german;
}

std::vector<uint16_t> BuiltInProgramTextIds() {
  std::vector<uint16_t> ids;
  for (const TBuiltIn& b : kBuiltIn) ids.push_back(b.id);
  return ids;
}

}  // namespace services
