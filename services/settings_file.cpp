#include "services/settings_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <optional>

#include "devicelink/link_state.h"
#include "platform/clock.h"
#include "platform/file_limits.h"
#include "platform/ini_file.h"
#include "platform/text_encoding.h"
#include "services/app_state.h"
#include "services/app_window.h"
#include "services/data_folders.h"
#include "services/file_messages.h"
#include "services/program_texts.h"
#include "services/text_modules.h"

namespace services {

int32_t MemDiagSwitch = 0;
std::string MemDiagLogName;

namespace {

TMemDiagStarter g_memdiag_starter = nullptr;
// The file read at start held no setting (binary garbage, another program's
// file): the close writes it whole instead of adding to what it holds.
bool g_write_whole = false;

constexpr const char* kSettings = "Einstellungen";
constexpr const char* kSystem = "System";
constexpr const char* kDebug = "Debug";

int32_t InRange(int32_t value, int32_t low, int32_t high, int32_t otherwise) {
  return value >= low && value <= high ? value : otherwise;
}

void ShowWriteWarning(const platform::FileError& error) {
  if (!HasAppWindow()) return;
  AppWindow().MessageBox(SaveErrorText(error), "", kMbOk | kMbIconWarning);
}

// Where the file would be when the data folder cannot be made, and why.
platform::FileError NoDataFolder() {
  const std::string folder = GetShellFolderPath(kCsidlLocalAppData) + "/vandrel2";
  struct stat st;
  // A file where the folder or one above it should be.
  const bool blocked = ::stat(folder.c_str(), &st) == 0 ? !S_ISDIR(st.st_mode) : errno == ENOTDIR;
  return platform::FileError(platform::FileFault::kUnwritable, platform::FileKind::kSettingsFile,
                             folder + "/vandrel2.ini", blocked ? ENOTDIR : ENOENT, true);
}

constexpr const char* kKeys[][2] = {
    {kSettings, "Baudrate"}, {kSettings, "Anschluß"}, {kSettings, "Online"}, {kSystem, "Sprache"},
    {kSystem, "Medium"},     {kDebug, "MemDiag"},     {kDebug, "RS232"},
};

// A file with content, none of it a setting of the program's.
bool HoldsNoSetting(const platform::TIniFile& ini) {
  const std::string content = ini.FileContent();
  if (content.find_first_not_of(" \t\r\n") == std::string::npos) return false;
  for (const auto& [section, key] : kKeys) {
    if (ini.ValueExists(section, key)) return false;
  }
  return true;
}

}  // namespace

void SetMemDiagStarter(TMemDiagStarter starter) {
  g_memdiag_starter = starter;
}

std::string SettingsFileName() {
  std::string folder = GetLocalDataFolder();
  return folder.empty() ? std::string() : folder + "/vandrel2.ini";
}

int32_t ReadIntWithDefault(platform::TIniFile& ini, const std::string& section,
                           const std::string& key, int32_t default_value) {
  if (!ini.ValueExists(section, key)) ini.WriteInteger(section, key, default_value);
  return ini.ReadInteger(section, key, default_value);
}

void ReadSettings() {
  const std::string name = SettingsFileName();
  // Without a usable file the same rules run on an empty copy that is never written.
  std::optional<platform::TIniFile> ini;
  bool writable = !name.empty();
  if (writable) {
    try {
      ini.emplace(name, false, platform::FileKind::kSettingsFile);
    } catch (const platform::FileError& e) {
      writable = false;  // unreadable: never replace what could not be read
      // No settings file of the program's at all: the operator learns why the
      // defaults are in force.
      const bool foreign = e.Fault() == platform::FileFault::kTooLarge ||
                           e.Fault() == platform::FileFault::kNotRegular;
      if (foreign && HasAppWindow()) AppWindow().ShowError(FileErrorText(e));
    }
  }
  g_write_whole = ini && HoldsNoSetting(*ini);
  if (g_write_whole) {
    // Nothing is added after what it holds now; the close writes it anew.
    writable = false;
    if (HasAppWindow()) {
      AppWindow().ShowError(FileMessage(platform::FileKind::kSettingsFile, name,
                                        ProgramText(text_id::kSettingsNoSetting)));
    }
  }
  if (!ini) ini.emplace(std::string(), false);

  BaudIndex = InRange(ReadIntWithDefault(*ini, kSettings, "Baudrate", 3), 0, 7, 7);
  PortIndex = InRange(ReadIntWithDefault(*ini, kSettings, "Anschluß", 0), 0, 7, 0);
  devicelink::DeviceOnline = ReadIntWithDefault(*ini, kSettings, "Online", 0) != 0;
  Language = InRange(ReadIntWithDefault(*ini, kSystem, "Sprache", 0), 0, 1, 0);
  Medium = InRange(ReadIntWithDefault(*ini, kSystem, "Medium", 0), 0, 1, 0);
  MemDiagSwitch = ReadIntWithDefault(*ini, kDebug, "MemDiag", 0);
  if (MemDiagSwitch != 0) {
    const platform::LocalDateTime now = platform::Now();
    MemDiagLogName = GetLocalDataFolder() + "/" + platform::ZeroPad(now.year, 4) + "-" +
                     platform::ZeroPad(now.month, 2) + "-" + platform::ZeroPad(now.day, 2) + "-" +
                     platform::ZeroPad(now.hour, 2) + "-" + platform::ZeroPad(now.minute, 2) + "-" +
                     platform::ZeroPad(now.second, 2) + "_memDiag.log";
    if (g_memdiag_starter) g_memdiag_starter(MemDiagLogName, 1000);
  }
  devicelink::TraceLevel = ReadIntWithDefault(*ini, kDebug, "RS232", 0);

  if (writable && ini->Modified()) {
    try {
      ini->UpdateFile();
    } catch (const platform::FileError&) {
      // The defaults stay in force; the close reports an unwritable file.
    }
  }
}

void WriteSettings() {
  std::string name = SettingsFileName();
  if (name.empty()) {
    ShowWriteWarning(NoDataFolder());
    return;
  }
  try {
    // Opened for appending (created empty when missing) as the check that it can
    // be written at all.
    platform::AppendToFile(name, {}, platform::FileKind::kSettingsFile);
    platform::TIniFile ini =
        g_write_whole ? platform::TIniFile(std::string(), false)
                      : platform::TIniFile(name, false, platform::FileKind::kSettingsFile);
    ini.WriteInteger(kSettings, "Baudrate", BaudIndex);
    ini.WriteInteger(kSettings, "Anschluß", PortIndex);
    ini.WriteString(kSettings, "Online", devicelink::DeviceOnline ? "1" : "0");
    ini.WriteInteger(kSystem, "Sprache", Language);
    ini.WriteInteger(kSystem, "Medium", Medium);
    if (g_write_whole) {
      ini.WriteInteger(kDebug, "MemDiag", MemDiagSwitch);
      ini.WriteInteger(kDebug, "RS232", devicelink::TraceLevel);
    }
    platform::WriteFileAtomically(name, ini.FileContent(), platform::FileKind::kSettingsFile);
    g_write_whole = false;
  } catch (const platform::FileError& e) {
    ShowWriteWarning(e);
  }
}

}  // namespace services
