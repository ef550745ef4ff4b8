// The largest file each reader of the program's file formats takes. Real files
// are far smaller (a parameter set with remarks some 10 KB, a table 8 KB, the
// settings and a text module less than 20 KB); anything larger is damaged or no
// file of its kind, and is refused before it is read whole, so it can neither
// hold the window for long nor fill the memory.
#pragma once

#include <cstddef>

namespace platform {

inline constexpr size_t kMiB = 1024 * 1024;

inline constexpr size_t kMaxParameterFileBytes = 2 * kMiB;  // ".PEG", ".PAR"
inline constexpr size_t kMaxTableFileBytes = 2 * kMiB;      // ".KTB", ".DTB", ".ETB", ".STB"
inline constexpr size_t kMaxSettingsFileBytes = 2 * kMiB;   // "vandrel2.ini"
inline constexpr size_t kMaxTextModuleBytes = 2 * kMiB;     // "Ltx1de.txt" and the others

}  // namespace platform
