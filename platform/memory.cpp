#include "platform/memory.h"

#include <cstdlib>
#include <new>

namespace mw {

void* AllocateBlock(MemoryKind kind, std::size_t bytes) {
  switch (kind) {
    case kHeapMemory: return ::operator new(bytes, std::nothrow);
    case kLocalMovable:
    case kGlobalMovable:
      // Movable blocks are locked for their whole life here; calloc keeps them apart from the
      // fixed kinds so that a mismatched release shows up under the sanitizers.
      return std::calloc(1, bytes);
    case kLocalFixed:
    case kGlobalFixed: return std::malloc(bytes);
    case kNoMemory: break;
  }
  return nullptr;
}

void FreeBlock(MemoryKind kind, void* block) {
  if (!block) return;
  switch (kind) {
    case kHeapMemory: ::operator delete(block); return;
    case kLocalMovable:
    case kGlobalMovable:
    case kLocalFixed:
    case kGlobalFixed: std::free(block); return;
    case kNoMemory: return;
  }
}

}  // namespace mw
