// Fuzzes Pak_Unpack on a PAK file registered as a memory file, and the header
// check shared with the tool.
#include <cstdint>
#include <cstdlib>

#include "files/file.h"
#include "files/pak.h"
#include "platform/memory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  Pak_Header header;
  const bool header_ok = Pak_Parse_Header(data, size, header);
  Mem_File_Add("fuzz.pak", data, static_cast<int>(size));
  char name[32] = "fuzz.pak";
  uint8_t* out = nullptr;
  int out_size = 0;
  const int result = Pak_Unpack(name, &out, &out_size);
  Mem_File_Remove("fuzz.pak");
  if (result != 0 && (!header_ok || out == nullptr || out_size != static_cast<int>(header.unpacked_size))) {
    std::abort();
  }
  if (result == 0 && (out != nullptr || out_size != 0)) std::abort();
  Mem_Free(out);
  return 0;
}
