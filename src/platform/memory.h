// Memory manager: every engine block comes from here. An allocation never returns
// null to its caller; a request that cannot be served ends the program.
#pragma once
#include <cstdint>

void* Mem_Alloc(uint32_t size);          // size 0 or an exhausted heap ends the program
void* Mem_Alloc_Zero(uint32_t size);     // as Mem_Alloc, first `size` bytes zeroed
void* Mem_Resize(void* block, uint32_t size);  // realloc semantics, may return null
void Mem_Free(void* block);              // null is ignored
[[noreturn]] void Fatal_Memory_Error(const char* message);
