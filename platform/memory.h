// Memory blocks that remember how they were allocated.
//
// Image blocks may come from outside libraries (the decoder plugins) and must be freed by the
// matching call. Each kind has its own allocation and release pair; GlobalFixed, the kind every
// image block uses, is malloc/free, which is what the plugins allocate with.
#pragma once

#include <cstddef>

namespace mw {

enum MemoryKind : int {
  kNoMemory = 0,
  kHeapMemory = 1,
  kLocalMovable = 2,
  kGlobalMovable = 3,
  kLocalFixed = 4,
  kGlobalFixed = 5,
};

// Null on failure or for kNoMemory.
void* AllocateBlock(MemoryKind kind, std::size_t bytes);
// Null blocks are ignored.
void FreeBlock(MemoryKind kind, void* block);

}  // namespace mw
