// The header the leak tracker puts in front of every block it hands out.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace memdiag {

constexpr int kCallStackDepth = 27;
// Code addresses, innermost first, entry 0 where the block was allocated; the
// first zero entry ends the stack.
using TCallStack = std::array<uintptr_t, kCallStackDepth>;

// Block kinds as the report names them. Only memory blocks are made here: the
// global allocation functions cannot tell an object from raw memory, and there
// is no reallocation through them.
constexpr uint8_t kMemoryBlock = 1;

// Written directly after the user data of every tracked block.
constexpr uint32_t kGuardWord = 0xFFFFFFFA;

struct TTrackedBlockHeader {
  uintptr_t ReleaseAddress;       // code address that released the block
  TTrackedBlockHeader* Previous;  // older block in its list (live blocks, or kept ones)
  TTrackedBlockHeader* Next;      // newer block in its list
  uint8_t Kind;
  bool Released;  // kept after its release, filled and watched
  TCallStack CallStack;
  size_t Size;         // user size in bytes
  int32_t StampIndex;  // -1: no named time stamps exist
  uint32_t Reserved;
  // Derived from the header's own address, so that no value left in memory by
  // anyone else passes for it; cleared when the block goes back to the allocator.
  uintptr_t Marker;
};

// The user data keeps the allocator's alignment, and the marker is the word just
// before the user pointer, the only word the tracker reads of a block it may not own.
static_assert(sizeof(TTrackedBlockHeader) % 16 == 0);
static_assert(offsetof(TTrackedBlockHeader, Marker) + sizeof(uintptr_t) ==
              sizeof(TTrackedBlockHeader));

}  // namespace memdiag
