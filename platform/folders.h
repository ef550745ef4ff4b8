// Where the program keeps its files, after the XDG base-directory and user-dirs
// rules. The functions only compute paths (absolute, no trailing slash, empty when
// no home folder can be found); creating the folders is left to EnsureFolder.
#pragma once

#include <sys/types.h>

#include <map>
#include <optional>
#include <string>

namespace platform {

// The environment variables the folders come from (HOME, the XDG ones): the
// process environment, or the variables a test set with SetFolderVariables.
std::optional<std::string> FolderVariable(const char* name);

// Test seam: from now on FolderVariable answers from these variables alone (a name
// not among them is unset), until ClearFolderVariables. Tests point the program at
// temporary folders this way because changing the process environment while any
// other thread reads it (Qt's and the test framework's threads do) is undefined.
void SetFolderVariables(std::map<std::string, std::string> variables);
void ClearFolderVariables();

// The user's home: $HOME when absolute, else the password database entry.
std::string HomeFolder();

// $XDG_DATA_HOME/vandrel2, by default $HOME/.local/share/vandrel2.
std::string LocalDataFolder();

// The XDG documents folder followed by /vandrel2. The documents folder is
// $XDG_DOCUMENTS_DIR, else the XDG_DOCUMENTS_DIR line of
// $XDG_CONFIG_HOME/user-dirs.dirs (default ~/.config/user-dirs.dirs), else
// $HOME/Documents. Relative or empty values are ignored.
std::string DocumentsFolder();

// The folder of the running executable (from /proc/self/exe); empty on failure.
std::string ProgramFolder();

// Creates the folder and any missing parents (like mkdir -p: the umask applies, mode
// is for the folder itself, parents get 0777). True when the folder exists afterwards.
bool EnsureFolder(const std::string& path, mode_t mode = 0777);

}  // namespace platform
