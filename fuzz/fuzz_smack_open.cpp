// The video layer's opening of a file (both passes over it: counting frames and
// decoding the sound, then the demultiplexer and the picture decoder) and the
// decoding of its first frames into a frame-sized buffer, on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "files/file.h"
#include "smack/smack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > (1u << 22)) return 0;
  const char* name = "fuzz.smk";
  Mem_File_Add(name, data, static_cast<int>(size));
  SmackSoundUseDirectSound(true);
  if (Smack* smack = SmackOpen(name, 0xFE000, 0xFFFFFFFF)) {
    std::vector<uint16_t> frame(640 * 480);
    for (int i = 0; i < 8; ++i) {
      SmackToBuffer(smack, 0, 0, 1280, 480, frame.data(), Smack_Format_565);
      SmackDoFrame(smack);
      if (smack->FrameNum + 1 >= smack->Frames) break;
      SmackNextFrame(smack);
    }
    SmackClose(smack);
  }
  Mem_File_Remove(name);
  return 0;
}
