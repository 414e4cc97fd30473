// The animation-file reader on arbitrary bytes: the header of every version, then
// frame and sound decoding through two loops of the animation.
#include <cstddef>
#include <cstdint>

#include "anim/anim_file.h"
#include "files/file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > (1u << 22)) return 0;
  const char* name = "fuzz.mta";
  Mem_File_Add(name, data, static_cast<int>(size));
  if (Anim_Player* player = Anim_Open(name)) {
    // Enough calls to pass the end once and start again; unreadable chunks stop it.
    for (int i = 0; i < 2 * (player->frame_count < 64 ? player->frame_count + 1 : 64); ++i) {
      if (Anim_Next_Frame(player) < 0) break;
    }
    Anim_Close(player);
  }
  Mem_File_Remove(name);
  return 0;
}
