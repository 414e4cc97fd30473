#include "platform/memory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

void* Mem_Alloc(uint32_t size) {
  if (size == 0) Fatal_Memory_Error("Could not allocate 0 bytes!");
  void* block = std::malloc(size);
  if (block == nullptr) Fatal_Memory_Error("Not enough memory!");
  return block;
}

void* Mem_Alloc_Zero(uint32_t size) {
  void* block = Mem_Alloc(size);
  std::memset(block, 0, size);
  return block;
}

void* Mem_Resize(void* block, uint32_t size) { return std::realloc(block, size); }

void Mem_Free(void* block) { std::free(block); }

void Fatal_Memory_Error(const char* message) {
  // The report always reaches stderr, once, whether debug output is on or not,
  // and the status says failure: a silent exit with status 0 would report an
  // out-of-memory end as success.
  std::fprintf(stderr, "Memory manager error:\n%s\n", message != nullptr ? message : "");
  std::fflush(stderr);
  // Nothing is released on this way out, but the audio callback and the load
  // timer are stopped first all the same, as on every other.
  Platform_Stop_Threads();
  std::_Exit(1);
}
