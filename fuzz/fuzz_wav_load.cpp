// Wav_Load, Wav_Read_Info and Riff_Find on arbitrary bytes, registered as a memory
// file so that the whole path through the file slots is exercised.
#include <cstddef>
#include <cstdint>

#include "files/file.h"
#include "platform/memory.h"
#include "sound/sound.h"
#include "sound/wav.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > (1u << 24)) return 0;
  const char* name = "fuzz.wav";
  Mem_File_Add(name, data, static_cast<int>(size));
  Sound* sound = Wav_Load(name);
  Sound_Free(sound);
  Mem_Free(Wav_Read_Info(name));
  int32_t start = 0, end = static_cast<int32_t>(size);
  Riff_Find(name, "data", &start, &end);
  Mem_File_Remove(name);
  return 0;
}
