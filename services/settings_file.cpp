#include "services/settings_file.h"

#include <optional>

#include "devicelink/link_state.h"
#include "platform/clock.h"
#include "platform/file_limits.h"
#include "platform/ini_file.h"
#include "platform/text_encoding.h"
#include "platform/win_errors.h"
#include "services/app_state.h"
#include "services/app_window.h"
#include "services/data_folders.h"
#include "services/file_messages.h"
#include "services/text_modules.h"

namespace services {

int32_t MemDiagSwitch = 0;
std::string MemDiagLogName;

namespace {

TMemDiagStarter g_memdiag_starter = nullptr;

constexpr const char* kSettings = "Einstellungen";
constexpr const char* kSystem = "System";
constexpr const char* kDebug = "Debug";

int32_t InRange(int32_t value, int32_t low, int32_t high, int32_t otherwise) {
  return value >= low && value <= high ? value : otherwise;
}

void ShowWriteWarning(uint32_t error_number) {
  if (!HasAppWindow()) return;
  AppWindow().MessageBox(GetText(5) + std::to_string(error_number), "", kMbOk | kMbIconWarning);
}

// Opens the file for appending, creating it empty when missing, as the check that
// it can be written at all; the Windows error number on failure (also for a name
// that is no regular file, which is left as it is).
std::optional<uint32_t> ProbeWritable(const std::string& name) {
  try {
    platform::AppendToFile(name, {}, platform::FileKind::kSettingsFile);
  } catch (const platform::FileError& e) {
    return platform::WinErrorFromErrno(e.Code());
  }
  return std::nullopt;
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
    ShowWriteWarning(platform::kErrorPathNotFound);
    return;
  }
  if (auto error = ProbeWritable(name)) {
    ShowWriteWarning(*error);
    return;
  }
  try {
    platform::TIniFile ini(name, false, platform::FileKind::kSettingsFile);
    ini.WriteInteger(kSettings, "Baudrate", BaudIndex);
    ini.WriteInteger(kSettings, "Anschluß", PortIndex);
    ini.WriteString(kSettings, "Online", devicelink::DeviceOnline ? "1" : "0");
    ini.WriteInteger(kSystem, "Sprache", Language);
    ini.WriteInteger(kSystem, "Medium", Medium);
    ini.UpdateFile();
  } catch (const platform::FileError& e) {
    ShowWriteWarning(platform::WinErrorFromErrno(e.Code()));
  }
}

}  // namespace services
