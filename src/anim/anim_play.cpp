// The modal player of animation files: frames go into the frame buffer (1:1,
// centred, doubled or stretched) and are presented in step with the clock, or
// with the sound stream when the animation has sound.
#include <cstring>

#include "anim/anim_file.h"
#include "draw/rows.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/input.h"
#include "platform/memory.h"
#include "sound/sound.h"

namespace {

constexpr int Key_Escape = 27;

struct Placement {
  const uint16_t* pixels = nullptr;  // the 16-bit frame
  uint16_t* converted = nullptr;     // 8-bit frames through the palette
  uint16_t* zoomed = nullptr;        // doubled frames
  uint16_t table[256] = {};
  int width = 0, height = 0;
};

// Copies a width x height block into the frame buffer at (x, y), clipped.
void place_clipped(const uint16_t* source, int width, int height, int x, int y) {
  int left = x < 0 ? -x : 0, top = y < 0 ? -y : 0;
  int right = x + width > Screen_Width ? Screen_Width - x : width;
  int bottom = y + height > Screen_Height ? Screen_Height - y : height;
  if (left >= right || top >= bottom) return;
  uint16_t* screen = Screen_Buffer();
  for (int row = top; row < bottom; ++row) {
    std::memcpy(screen + static_cast<size_t>(y + row) * Screen_Width + x + left,
                source + static_cast<size_t>(row) * width + left, static_cast<size_t>(right - left) * 2);
  }
}

void place_frame(const Anim_Player* player, Placement& out, int x, int y, int flags) {
  const uint8_t* frame = Anim_Frame(player);
  const uint16_t* pixels = reinterpret_cast<const uint16_t*>(frame);
  if (out.converted != nullptr) {
    size_t count = static_cast<size_t>(out.width) * out.height;
    Row_Palette_16(frame, out.converted, out.table, static_cast<uint32_t>(count));
    pixels = out.converted;
  }
  if (flags & 2) {
    Block_Scale(pixels, out.width, out.height, Screen_Buffer(), Screen_Width, Screen_Height);
    return;
  }
  int width = out.width, height = out.height;
  if (flags & 1) {
    Block_Zoom_2(pixels, out.zoomed, width, height);
    pixels = out.zoomed;
    width *= 2;
    height *= 2;
  }
  if (x == -1 && y == -1) {
    x = (Screen_Width - width) / 2;
    y = (Screen_Height - height) / 2;
  }
  place_clipped(pixels, width, height, x, y);
}

// Presents the frame buffer; true when Escape was pressed. *shown_ms receives the
// frame's length (0 when the frame was skipped). A scene's music goes on under
// the animation: its stream is fed on every frame, as the scene would.
bool present(int32_t* shown_ms) {
  Music_Feed();
  int shown = Present_Frame(nullptr);
  if (shown_ms != nullptr) *shown_ms = shown == 0 ? Clock_Delta() : 0;
  for (int32_t key = Read_Key(); key != 0; key = Read_Key()) {
    if (key == Key_Escape) return true;
  }
  return Quit_Requested();
}

}  // namespace

int Anim_Play(const char* file, int x, int y, int flags) {
  Anim_Player* player = Anim_Open(file);
  if (player == nullptr) return -1;

  Placement place;
  const Picture* picture = player->picture;
  bool has_picture = player->frame_size != 0;
  if (has_picture) {
    place.width = picture->width;
    place.height = picture->height;
    size_t count = static_cast<size_t>(place.width) * place.height;
    if (picture->bits_per_pixel == 8) {
      Picture_Palette_To_16(player->picture);
      std::memcpy(place.table, picture->palette + Picture_Palette_Size, sizeof place.table);
      place.converted = static_cast<uint16_t*>(Mem_Alloc(static_cast<uint32_t>(count * 2)));
    }
    if ((flags & 3) == 1) place.zoomed = static_cast<uint16_t*>(Mem_Alloc(static_cast<uint32_t>(count * 8)));
  }

  // The sound device: one that is already on (a scene is running) is used as it
  // is and left on afterwards, with the scene's own channels and music, so the
  // scene keeps its sound. Otherwise it is opened here and shut down at the end.
  bool sound_was_on = Sound_Status() == 0;
  bool streaming = false;
  const Sound* sound = player->sound;
  if (sound != nullptr && !sound_was_on) Sound_Init();

  int32_t period = static_cast<int32_t>(1000 / player->fps);
  if (period < 1) period = 1;
  int next = Anim_Next_Frame(player);
  bool first = true;
  while (next >= 0) {
    const uint8_t* samples = Anim_Frame_Sound(player);
    bool escape = false;
    if (streaming) {
      // Waits for the half of the stream that has just played; the frames
      // presented meanwhile (still the previous one) advance a pulled mixer.
      while (Stream_Feed(samples, 255, 0) == 0) {
        Sound_Refresh();
        if (present(nullptr)) {
          escape = true;
          break;
        }
      }
      if (escape) break;
    }
    if (has_picture) place_frame(player, place, x, y, flags);
    if (first && sound != nullptr) {
      streaming = Stream_Start(samples, sound->rate, sound->bits, sound->stereo, 2 * player->sound_bytes, 255, 0) == 0;
    }
    first = false;
    if (streaming) {
      escape = present(nullptr);
    } else {
      // Without sound the frame stays up until its time has passed; the time
      // beyond it counts toward the next frame.
      do {
        int32_t shown = 0;
        escape = present(&shown);
        player->accumulator += shown;
      } while (!escape && player->accumulator <= period);
      player->accumulator %= period;
    }
    if (escape || next == 0) break;
    next = Anim_Next_Frame(player);
  }

  Mem_Free(place.converted);
  Mem_Free(place.zoomed);
  // Only a stream this player started is stopped: when the scene's music held
  // the stream, Stream_Start failed and the stream is still the music's.
  if (streaming) Stream_Stop();
  if (sound != nullptr && !sound_was_on) Sound_Shutdown();
  Anim_Close(player);
  return 0;
}
