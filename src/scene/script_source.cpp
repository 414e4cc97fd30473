// Finding a script's text: the packed form first, then the plain file. The text is
// held as a memory file under the script's own name while it is compiled.
#include <cstdint>
#include <climits>
#include <cstring>
#include <vector>

#include "files/file.h"
#include "platform/memory.h"
#include "scene/script_compiler.h"

namespace {

// "osterlin.lst" is looked for packed as "osterlin.pak"; "intro.pak" stands for itself.
void packed_name_of(const char* name, char* out, size_t out_size) {
  size_t length = std::strlen(name);
  size_t keep = length >= 3 ? length - 3 : 0;
  if (keep + 4 > out_size) keep = out_size - 4;
  std::memcpy(out, name, keep);
  std::memcpy(out + keep, "pak", 4);
}

// Registers the unpacked packed script under `name`. A packed file that cannot be
// unpacked (wrong magic, damaged, or empty) counts as absent, so no empty memory
// file is ever registered.
bool register_packed(const char* name) {
  char buffer[260];
  packed_name_of(name, buffer, sizeof buffer);
  if (File_Size(buffer) == 0) return false;
  uint8_t* data = nullptr;
  int size = 0;
  int result = Pak_Unpack(buffer, &data, &size);
  bool registered = false;
  if (result != 0 && data != nullptr && size > 0) {
    Mem_File_Add(name, data, size);
    registered = true;
  }
  Mem_Free(data);
  return registered;
}

}  // namespace

void Script_Load_Text(const char* name, std::vector<uint8_t>& out) {
  out.clear();
  if (name == nullptr) return;
  if (!register_packed(name) && File_Size(name) != 0) Mem_File_Load(name);
  // Offsets into the text are 32-bit; a larger file is not a script.
  if (!File_Load_Whole(name, out, INT32_MAX)) out.clear();
  Mem_File_Remove(name);
}

void Script_Compile(const char* name) {
  std::vector<uint8_t> bytes;
  Script_Load_Text(name, bytes);
  Script_Compile_Text(Script_Text{bytes.data(), bytes.size()});
}
