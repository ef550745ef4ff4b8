// The user-interface texts live outside the program in four text modules, one per
// medium and language, files beside the program. Each call reads the module
// afresh, so a module replaced on disk or a changed language takes effect at once.
//
// Module format: UTF-8 text, one string per line as "<id>=<text>", split at the
// first "="; the id is decimal 0..65535. Lines starting with "#" and lines without
// a valid id are ignored; when an id appears twice the first line counts. In the
// text, "\n" stands for a line break and "\\" for a backslash.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace services {

// [Medium][Language]
extern const std::array<std::array<const char*, 2>, 2> TextModuleNames;

// The folder of the program file with its trailing "/", set at start-up; the
// modules are looked for there.
extern std::string ProgramFolder;

// Family markers of string 0.
constexpr const char* kGasModuleMarker = "NGX7";
constexpr const char* kSteamModuleMarker = "HTX7";
// What start-up and the language menu say when neither marker is found.
constexpr const char* kMissingModuleText = "Sprachen - Dll fehlt!";

using TextBlock = std::array<std::string, 16>;

// String id of the module of the current Medium and Language, without leading and
// trailing blanks and control characters; empty when the module or the id is
// missing.
std::string GetText(uint16_t id);

// Strings base .. base + 15 into items, each padded with blanks to at least
// minLength characters (never cut). The block ends at the first missing id: later
// items stay empty. True when at least one string was found.
bool GetTextBlock(uint16_t base, uint8_t minLength, TextBlock& items);

// Why the module of the current Medium and Language cannot be read, in the
// program's own wording of that language: it is no regular file, too large or
// unreadable. Empty when it reads, or when it simply is not there.
std::string TextModuleProblem();

// The message of a missing module, "Sprachen - Dll fehlt!", with TextModuleProblem
// on a line below when there is one.
std::string MissingModuleMessage();

// The strings of a block from s(first) up to the first empty one: a choice
// list of the module.
std::vector<std::string> ListFrom(const TextBlock& t, size_t first);

}  // namespace services
