// Turns code addresses into text: source file, routine and line from the debug
// information a build tool may append to the program file, and for any module of
// the running process (the executable, each shared library) from that module's own
// symbols and DWARF debug information, with the module's name and the offset inside
// it, so that a location can be followed after the program has ended.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "memdiag/tracked_block.h"

namespace memdiag {

struct TRoutineDebugInfos {
  std::string Name;       // mangled names are demangled when shown
  uint64_t StartAddress;  // offsets from the code base
  uint64_t EndAddress;    // start + length - 1
};

struct TAddressToLine {
  uint32_t Address;  // offset from the code base
  uint16_t Line;
};

struct TUnitDebugInfos {
  std::string Name;                   // file-name part of the source file
  std::vector<TAddressToLine> Lines;  // sorted by address, never empty
};

// Where an address lies in the modules of the running process.
struct TModuleLocation {
  std::string Module;   // file name of the executable or shared library
  uint64_t Offset = 0;  // address inside the module's file, as its symbols count it
  std::string Routine;  // mangled names are demangled when shown; empty when unknown
  std::string File;     // file-name part of the source file; empty without debug info
  int Line = 0;
};

class TProcessModules;

class TDebugInfo {
 public:
  // ComputeCodeBase: the executable's load address and the end of its image, so
  // that symbol values are offsets from the base. An end of 0 puts no upper limit.
  void SetCodeBase(uintptr_t base, uintptr_t image_end);
  void ComputeCodeBase();  // of the running executable
  uintptr_t CodeBase() const { return code_base_; }

  // Reads the appended debug information (signature "FB09" or "FB0A" at the end
  // of the file), emptying routines and units first. False, with nothing loaded,
  // when the file has none or any part of it lies outside the file or its part.
  bool LoadDebugInfo(const std::string& program_file);

  // Reads the modules the running process has loaded now, for their symbols and
  // debug information (read when first asked). Called again, it reads them anew.
  // False when they cannot be read; locations are then told without them.
  bool LoadProcessModules();
  bool UsesProcessModules() const { return modules_ != nullptr; }
  // The module, routine, source file and line of an address; false outside every
  // module, or without LoadProcessModules.
  bool FindModuleLocation(uintptr_t address, TModuleLocation& location) const;

  // The address lies in the executable's image: code of the program itself, not of
  // a library. Without a code base every address counts as the program's.
  bool IsProgramCode(uintptr_t address) const;

  // "Module <source file> Routine <name> Line <n> Find error: <module>+<hex>",
  // shortened as far as the information reaches; "(no debug info) Find error: <hex>"
  // without any. The hex is the offset inside the module; without the process's
  // modules, the offset from the code base inside the executable's image, the
  // absolute address outside it. The appended debug information of the program
  // file comes first, the module's own second.
  std::string LocationText(uintptr_t address) const;

  // One line "<header>call stack - <n> : <location>\r\n" per entry, ending at the
  // first zero entry.
  std::string CallStackText(const TCallStack& stack, std::string_view header) const;

  const TUnitDebugInfos* FindUnitForAddress(uint64_t offset) const;
  const TRoutineDebugInfos* FindRoutineForAddress(uint64_t offset) const;
  // Line of the last line address not above the offset; 0 when none.
  static uint16_t FindLineForAddress(const TUnitDebugInfos& unit, uint64_t offset);

  size_t RoutineCount() const { return routines_.size(); }
  size_t UnitCount() const { return units_.size(); }

 private:
  uintptr_t code_base_ = 0;
  uintptr_t image_end_ = 0;
  std::vector<TRoutineDebugInfos> routines_;  // sorted by start address
  std::vector<TUnitDebugInfos> units_;        // sorted by first line address
  std::shared_ptr<TProcessModules> modules_;
};

// At least eight upper-case hexadecimal digits.
std::string HexAddressText(uintptr_t address);

}  // namespace memdiag
