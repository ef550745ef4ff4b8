// Turns code addresses into text: module (source file), routine and line from the
// debug information a build tool may append to the program file, routine names
// from the executable's own symbol table, and the address itself relative to the
// executable's load address.
#pragma once

#include <cstdint>
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

  // Adds the function symbols of an ELF file's symbol table (the dynamic one when
  // there is no other) as routines. False, with none added, when the file is no
  // readable 64-bit ELF file or has no function symbols.
  bool LoadSymbolTable(const std::string& program_file);

  // "Module <unit> Routine <name> Line <n> Find error: <hex>", shortened as far as
  // the information reaches; "(no debug info) Find error: <hex>" without any.
  // The hex is the offset from the code base inside the executable's image, the
  // absolute address outside it.
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
};

// At least eight upper-case hexadecimal digits.
std::string HexAddressText(uintptr_t address);

}  // namespace memdiag
