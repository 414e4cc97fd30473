// MPEG playback over the video decoding layer, and the two name variants.
#include "shell/mpeg.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "platform/display.h"
#include "platform/input.h"
#include "shell/levels.h"
#include "smack/smack.h"
#include "sound/sound.h"

namespace {

constexpr int Key_Mpeg_End = 222;
constexpr size_t Name_Size = 260;

// The MPEG switch, and the buffers the name variants are returned in.
struct Mpeg_State {
  bool mpeg_mode = false;
  char lang_buffer[Name_Size] = {};
  char mpeg_buffer[Name_Size] = {};
};

Mpeg_State state;

// Where the extension (its dot) begins, or the end of the name when it has none:
// a separator or the start reached before any dot means no extension.
size_t extension_position(const char* name) {
  size_t length = std::strlen(name);
  for (size_t i = length; i > 0; --i) {
    char c = name[i - 1];
    if (c == '.') return i - 1;
    if (c == '/' || c == '\\' || c == ':') break;
  }
  return length;
}

// Writes name[0, cut) + insert + tail into out, cut to the buffer's size.
const char* compose(char* out, const char* name, size_t cut, const char* insert, const char* tail) {
  size_t used = 0;
  auto put = [&](const char* text, size_t count) {
    size_t room = Name_Size - 1 - used;
    if (count > room) count = room;
    std::memcpy(out + used, text, count);
    used += count;
  };
  put(name, cut);
  put(insert, std::strlen(insert));
  put(tail, std::strlen(tail));
  out[used] = 0;
  return out;
}

void clear_screen() { std::memset(Screen_Buffer(), 0, static_cast<size_t>(Screen_Width) * Screen_Height * 2); }

}  // namespace

bool Mpeg_Mode() { return state.mpeg_mode; }
void Set_Mpeg_Mode(bool on) { state.mpeg_mode = on; }

const char* Lang_Variant(const char* file) {
  const char* code = Language_Code();
  if (file == nullptr || code == nullptr || code[0] == 0) return file;
  size_t at = extension_position(file);
  return compose(state.lang_buffer, file, at, code, file + at);
}

const char* Mpeg_Variant(const char* file) {
  if (file == nullptr || !state.mpeg_mode) return file;
  return compose(state.mpeg_buffer, file, extension_position(file), ".mpg", "");
}

void Mpeg_Play(const char* file) {
  SmackSoundUseDirectSound(Sound_Status() == 0);
  Smack* movie = SmackOpen(file, 0, 0);
  if (movie == nullptr) return;
  Smack_Scale_To(movie, Screen_Width, Screen_Height);
  clear_screen();
  Forget_Key_Releases();
  // One frame is presented on every turn (the new one when due, else the same
  // again), so the clock and a pulled mixer advance while the video waits.
  while (true) {
    Pump_Messages();
    if (Quit_Requested() || Async_Key_Down(Key_Mpeg_End) || Take_Key_Release(Key_Mpeg_End)) break;
    if (SmackWait(movie) != 0) {
      Present_Frame(nullptr);
      if (!Display_Headless()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    SmackToBuffer(movie, 0, 0, Screen_Width * 2, Screen_Height, Screen_Buffer(), Smack_Format_565);
    SmackDoFrame(movie);
    bool last = movie->FrameNum + 1 >= movie->Frames;
    Present_Frame(nullptr);
    if (last) break;
    SmackNextFrame(movie);
  }
  SmackClose(movie);
  clear_screen();
}

void Mpeg_State_Reset() { state = Mpeg_State{}; }
