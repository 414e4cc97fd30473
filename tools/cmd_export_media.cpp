// export: animation files with sound, videos (through the video layer) and WAV
// sounds.
#include <cstring>
#include <vector>

#include "anim/anim_file.h"
#include "cmd_export.h"
#include "smack/smack.h"
#include "sound/sound.h"
#include "sound/wav.h"

namespace {

void put_u32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void put_u16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

// A plain PCM WAV file: the format chunk and the samples as they are.
std::vector<uint8_t> pcm_wav(uint32_t rate, uint32_t bits, uint32_t channels, const uint8_t* data, size_t size) {
  std::vector<uint8_t> out;
  uint32_t block = channels * (bits / 8);
  size_t padded = size + (size & 1);
  out.insert(out.end(), {'R', 'I', 'F', 'F'});
  put_u32(out, static_cast<uint32_t>(36 + padded));
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  put_u32(out, 16);
  put_u16(out, 1);
  put_u16(out, channels);
  put_u32(out, rate);
  put_u32(out, rate * block);
  put_u16(out, block);
  put_u16(out, bits);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  put_u32(out, static_cast<uint32_t>(size));
  out.insert(out.end(), data, data + size);
  if (size & 1) out.push_back(0);
  return out;
}

std::string frame_name(int index) {
  char name[16];
  std::snprintf(name, sizeof name, "%04d.png", index);
  return name;
}

// Frames above this count are not believed (a day at 25 frames a second).
constexpr uint32_t Max_Exported_Frames = 25 * 60 * 60 * 24;

}  // namespace

bool Export_Wav(Export_Run& run, const Export_Item& item, std::string& why) {
  Sound* sound = Wav_Load(item.name.c_str());
  if (sound == nullptr) {
    why = "the WAV reader refuses it (damaged, not PCM, or an unsupported format)";
    return false;
  }
  std::vector<uint8_t> wav = pcm_wav(sound->rate, sound->bits, sound->stereo + 1, sound->data, sound->size);
  Sound_Free(sound);
  return run.write_bytes(item.stem + ".wav", wav, why);
}

bool Export_Animation_File(Export_Run& run, const Export_Item& item, std::string& why) {
  Anim_Player* player = Anim_Open(item.name.c_str());
  // A container with one picture and no sound is a still picture.
  if (player == nullptr || (player->frame_count == 0 && player->sound == nullptr)) {
    Anim_Close(player);
    if (Export_Picture(run, item, why)) return true;
    if (player == nullptr) why = "neither the animation reader nor the MTRD picture reader takes it";
    return false;
  }
  const std::string folder = item.stem + "/";
  const Picture* picture = player->picture;
  // Every frame after the first is a chunk of at least 8 bytes: a header that
  // claims more frames than the file can hold does not make more pictures.
  uint32_t frame_limit = static_cast<uint32_t>(player->file_size > 0 ? player->file_size / 8 + 1 : 1);
  if (frame_limit > Max_Exported_Frames) frame_limit = Max_Exported_Frames;
  bool has_picture = player->frame_size != 0;
  std::vector<uint8_t> samples;
  int frames = 0;
  bool damaged = false, ok = true;
  int next = Anim_Next_Frame(player);
  while (ok) {
    if (next < 0) {
      damaged = true;
      break;
    }
    if (has_picture) {
      Png_Picture png;
      if (picture->bits_per_pixel == 8) {
        png.width = picture->width;
        png.height = picture->height;
        png.form = Png_Form::Palette;
        png.palette.assign(picture->palette, picture->palette + Picture_Palette_Size);
        png.pixels.assign(Anim_Frame(player), Anim_Frame(player) + player->frame_size);
      } else {
        png = Png_From_565(reinterpret_cast<const uint16_t*>(Anim_Frame(player)), picture->width, picture->height,
                           picture->width);
      }
      ok = run.write_png(folder + frame_name(frames), png, why);
    }
    if (const uint8_t* sound = Anim_Frame_Sound(player)) samples.insert(samples.end(), sound, sound + player->sound_bytes);
    ++frames;
    if (next == 0 || static_cast<uint32_t>(frames) >= frame_limit) break;
    next = Anim_Next_Frame(player);
  }
  const Sound* sound = player->sound;
  std::string json = "{\"width\":" + std::to_string(has_picture ? picture->width : 0) +
                     ",\"height\":" + std::to_string(has_picture ? picture->height : 0) +
                     ",\"bits_per_pixel\":" + std::to_string(has_picture ? picture->bits_per_pixel : 0) +
                     ",\"frames\":" + std::to_string(frames) + ",\"frames_per_second\":" + std::to_string(player->fps) +
                     ",\"version\":" + std::to_string(picture->version) +
                     ",\"picture_method\":" + std::to_string(picture->pack_method) + ",\"sound\":";
  if (sound != nullptr) {
    json += "{\"rate\":" + std::to_string(sound->rate) + ",\"bits\":" + std::to_string(sound->bits) +
            ",\"channels\":" + std::to_string(sound->stereo + 1) + ",\"method\":" + std::to_string(player->sound_method) +
            ",\"bytes_per_frame\":" + std::to_string(player->sound_bytes) + "}";
  } else {
    json += "null";
  }
  json += ",\"damaged\":" + std::string(damaged ? "true" : "false") + "}\n";
  if (ok && sound != nullptr && !samples.empty()) {
    ok = run.write_bytes(folder + "sound.wav", pcm_wav(sound->rate, sound->bits, sound->stereo + 1, samples.data(), samples.size()), why);
  }
  Anim_Close(player);
  if (ok) ok = run.write_text(folder + "info.json", json, why);
  if (ok && damaged) {
    why = "the animation is damaged after frame " + std::to_string(frames);
    return false;
  }
  return ok;
}

bool Export_Video(Export_Run& run, const Export_Item& item, std::string& why) {
  SmackSoundUseDirectSound(true);
  Smack* smack = SmackOpen(item.name.c_str(), 0, 0);
  if (smack == nullptr) {
    why = "the video layer cannot open it (damaged, or no video stream)";
    return false;
  }
  const std::string folder = item.stem + "/";
  std::vector<uint16_t> frame(static_cast<size_t>(smack->Width) * smack->Height);
  SmackToBuffer(smack, 0, 0, static_cast<uint32_t>(smack->Width) * 2, static_cast<uint32_t>(smack->Height), frame.data(),
                Smack_Format_565);
  bool ok = true;
  int written = 0;
  for (uint32_t f = 0; ok && f < smack->Frames && f < Max_Exported_Frames; ++f) {
    if (SmackDoFrame(smack) != 0) {
      if (f == 0) {
        why = "no picture could be decoded";
        ok = false;
      }
      break;
    }
    ok = run.write_png(folder + frame_name(written++), Png_From_565(frame.data(), smack->Width, smack->Height, smack->Width), why);
    SmackNextFrame(smack);
  }
  const Sound* sound = Smack_Sound(smack);
  std::string json = "{\"width\":" + std::to_string(smack->Width) + ",\"height\":" + std::to_string(smack->Height) +
                     ",\"frames\":" + std::to_string(written) + ",\"frame_rate\":[" + std::to_string(smack->Rate_Num) +
                     "," + std::to_string(smack->Rate_Den) + "],\"sound\":";
  if (sound != nullptr) {
    json += "{\"rate\":" + std::to_string(sound->rate) + ",\"bits\":" + std::to_string(sound->bits) +
            ",\"channels\":" + std::to_string(sound->stereo + 1) + "}";
  } else {
    json += "null";
  }
  json += "}\n";
  if (ok && sound != nullptr && sound->size > 0) {
    ok = run.write_bytes(folder + "sound.wav", pcm_wav(sound->rate, sound->bits, sound->stereo + 1, sound->data, sound->size), why);
  }
  SmackClose(smack);
  return ok && run.write_text(folder + "info.json", json, why);
}
