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

// The placement of the player's frames: their sides, and for an 8-bit animation
// the 16-bit palette and the conversion buffer; the buffer of doubled frames.
void prepare_placement(Anim_Player* player, Placement& place, int flags) {
  const Picture* picture = player->picture;
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

// Waits for the half of the stream that has just played, until it takes this
// frame's sound; the frames presented meanwhile (still the previous one) advance
// a pulled mixer. True when Escape was pressed.
bool wait_for_stream(const uint8_t* samples) {
  while (Stream_Feed(samples, 255, 0) == 0) {
    Sound_Refresh();
    if (present(nullptr)) return true;
  }
  return false;
}

// Without sound the frame stays up until its time has passed; the time beyond
// it counts toward the next frame. True when Escape was pressed.
bool show_for_period(Anim_Player* player, int32_t period) {
  bool escape = false;
  do {
    int32_t shown = 0;
    escape = present(&shown);
    player->accumulator += shown;
  } while (!escape && player->accumulator <= period);
  player->accumulator %= period;
  return escape;
}

// One playback: the player, where its frames go and whether its sound streams.
struct Playback {
  Anim_Player* player;
  Placement place;
  int x, y, flags;
  bool has_picture;
  bool streaming = false;
};

// Shows the frame just decoded, paced by the stream or by the clock. True when
// playback ends here (Escape).
bool show_frame(Playback& play, bool first) {
  Anim_Player* player = play.player;
  const uint8_t* samples = Anim_Frame_Sound(player);
  if (play.streaming && wait_for_stream(samples)) return true;
  if (play.has_picture) place_frame(player, play.place, play.x, play.y, play.flags);
  const Sound* sound = player->sound;
  if (first && sound != nullptr) {
    play.streaming =
        Stream_Start(samples, sound->rate, sound->bits, sound->stereo, 2 * player->sound_bytes, 255, 0) == 0;
  }
  if (play.streaming) return present(nullptr);
  int32_t period = static_cast<int32_t>(1000 / player->fps);
  return show_for_period(player, period < 1 ? 1 : period);
}

}  // namespace

int Anim_Play(const char* file, int x, int y, int flags) {
  Anim_Player* player = Anim_Open(file);
  if (player == nullptr) return -1;
  Playback play{player, Placement{}, x, y, flags, player->frame_size != 0, false};
  if (play.has_picture) prepare_placement(player, play.place, flags);

  // The sound device: one that is already on (a scene is running) is used as it
  // is and left on afterwards, with the scene's own channels and music, so the
  // scene keeps its sound. Otherwise it is opened here and shut down at the end.
  bool sound_was_on = Sound_Status() == 0;
  bool has_sound = player->sound != nullptr;
  if (has_sound && !sound_was_on) Sound_Init();

  bool first = true;
  for (int next = Anim_Next_Frame(player); next >= 0; next = Anim_Next_Frame(player)) {
    bool escape = show_frame(play, first);
    first = false;
    if (escape || next == 0) break;
  }

  Mem_Free(play.place.converted);
  Mem_Free(play.place.zoomed);
  // Only a stream this player started is stopped: when the scene's music held
  // the stream, Stream_Start failed and the stream is still the music's.
  if (play.streaming) Stream_Stop();
  if (has_sound && !sound_was_on) Sound_Shutdown();
  Anim_Close(player);
  return 0;
}
