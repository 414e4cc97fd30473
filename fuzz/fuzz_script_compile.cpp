// Scene-script compiler on arbitrary text: both passes, PLUGIN blocks, the raw
// line reader, and every stored command split into fields as the runtime does.
#include <cstddef>
#include <cstdint>

#include "scene/script_compiler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Script_Text text{data, size};
  Script_Compile_Text(text);
  const Scene_Script* script = Script_Current();
  char field[Script_Field_Size];
  for (int32_t w = 0; w < script->warp_count; ++w) {
    const Warp& warp = script->warps[w];
    for (int32_t t = 0; t < warp.test_count; ++t) {
      for (int32_t c = 0; c < warp.tests[t].command_count; ++c) {
        for (int i = 0; Field_Get(warp.tests[t].commands[c], i, field) == 0 && i < 300; ++i) Str_To_Int(field);
      }
    }
  }
  Script_Free();
  char raw[Script_Raw_Line_Size];
  int32_t offset = 0;
  while (Script_Line_Read_Raw(text, raw, &offset) == 0) {
  }
  return 0;
}
