// osterlin-tool wav: what the engine reads from a WAV file.
#include <cstdio>

#include "platform/memory.h"
#include "sound/sound.h"
#include "sound/wav.h"
#include "tool.h"

namespace {
int run_wav(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  std::string data_path;
  bool want_data = Tool_Take_Option(args, "--data", data_path);
  if (args.size() != 2 || args[0] != "info") return Tool_Usage_Error("wav");
  const std::string& name = args[1];
  Sound* sound = Wav_Load(name.c_str());
  if (sound == nullptr) return Tool_Fail("no sound loads from " + name);
  std::printf("rate=%u bits=%u stereo=%u size=%u\n", sound->rate, sound->bits, sound->stereo, sound->size);
  bool written = !want_data || Tool_Write_File(data_path, sound->data, sound->size);
  Sound_Free(sound);
  if (!written) return Tool_Fail("cannot write " + data_path);
  return Tool_Ok;
}

Tool_Registration registration({"wav", "  osterlin-tool wav info FILE [--data OUT]",
                                "WAV sound as the engine loads it (format, samples)", run_wav});
}  // namespace
