// The scene-state block. Little-endian; ints are 32-bit signed, texts are
// 257-byte fields holding a NUL-terminated string.
#include "scene/snapshot.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "files/byte_reader.h"
#include "platform/trace.h"
#include "scene/renderer.h"
#include "scene/run_state.h"
#include "scene/runtime.h"
#include "scene/scene_sound.h"
#include "scene/script_compiler.h"
#include "scene/state_resets.h"
#include "scene/view.h"
#include "sound/sound.h"

namespace {

constexpr size_t Text_Size = 257;
constexpr size_t Fixed_Size = 8175;
constexpr double Two_Pi = 6.283185307179586;

struct Snapshot_State {
  std::vector<uint8_t> save_buffer;  // the last block built, until the next save
};
Snapshot_State state;

// --trace: "state saved|restored node N NAME view YAW PITCH bools NAME=VALUE ...",
// so that a run can be followed from the outside across saving and loading.
void trace_state(const char* what) {
  if (!Trace_Enabled()) return;
  Scene_Script* script = Script_Current();
  if (script == nullptr) return;
  const Run_State& run = Run();
  const char* picture = "";
  if (run.current_warp >= 0 && run.current_warp < script->warp_count && script->warps[run.current_warp].picture_name) {
    picture = script->warps[run.current_warp].picture_name;
  }
  char head[400];
  std::snprintf(head, sizeof head, "state %s node %d %s view %d %d bools", what, run.current_warp, picture,
                View().yaw, View().pitch);
  std::string text = head;
  for (int32_t i = 0; i < script->bool_count; ++i) {
    const Bool_Var& variable = script->bools[i];
    text.append(" ").append(variable.name ? variable.name : "").append("=").append(std::to_string(variable.value));
  }
  Trace_Line("%s", text.c_str());
}

void put_int(int32_t value) {
  uint32_t v = static_cast<uint32_t>(value);
  uint8_t bytes[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                      static_cast<uint8_t>(v >> 24)};
  state.save_buffer.insert(state.save_buffer.end(), bytes, bytes + 4);
}

// A text field: the string, zero-padded to 257 bytes.
void put_text(const char* text) {
  uint8_t field[Text_Size] = {0};
  if (text != nullptr) std::memcpy(field, text, strnlen(text, Text_Size - 1));
  state.save_buffer.insert(state.save_buffer.end(), field, field + Text_Size);
}

// The name of a sound that stops by itself is written empty: a 0 byte, then the
// first 256 bytes of the name, so that a restore skips it.
void put_sound_name(const Sound_Slot& slot) {
  if (slot.loops_left == 0) {
    put_text(slot.name);
    return;
  }
  uint8_t field[Text_Size] = {0};
  std::memcpy(field + 1, slot.name, strnlen(slot.name, Text_Size - 1));
  state.save_buffer.insert(state.save_buffer.end(), field, field + Text_Size);
}

int32_t get_int(Byte_Reader& in) {
  uint8_t b[4];
  in.bytes(b, 4);
  return static_cast<int32_t>(b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24));
}

std::string get_text(Byte_Reader& in) {
  char field[Text_Size];
  in.bytes(field, Text_Size);
  field[Text_Size - 1] = 0;
  return field;
}

struct Saved_Sound {
  std::string name;
  int32_t position, volume, loops_left;
};

// Everything a block holds, read before anything in the running script changes.
struct Saved_State {
  int32_t view[7];
  int32_t current_warp, entry_pass;
  std::string print_text, print_font;
  std::vector<std::string> cursor_names;
  std::vector<int32_t> bools;
  int32_t gosub_return, return_warp;
  std::string key_warps[Stored_Key_Slots];
  std::string music_name;
  int32_t music_volume;
  Saved_Sound plain[8], positional[8];
};

int32_t test_count(const Scene_Script& script) {
  int32_t count = 0;
  for (int32_t w = 0; w < script.warp_count; ++w) count += script.warps[w].test_count;
  return count;
}

bool read_state(const Scene_Script& script, Byte_Reader& in, Saved_State& saved) {
  for (int32_t& value : saved.view) value = get_int(in);
  saved.current_warp = get_int(in);
  saved.entry_pass = get_int(in);
  saved.print_text = get_text(in);
  saved.print_font = get_text(in);
  for (int32_t i = test_count(script); i > 0; --i) saved.cursor_names.push_back(get_text(in));
  for (int32_t i = 0; i < script.bool_count; ++i) saved.bools.push_back(get_int(in));
  saved.gosub_return = get_int(in);
  saved.return_warp = get_int(in);
  for (std::string& key : saved.key_warps) key = get_text(in);
  saved.music_name = get_text(in);
  saved.music_volume = get_int(in);
  // A sound name that is empty is skipped with its numbers.
  for (Saved_Sound& sound : saved.plain) {
    sound.name = get_text(in);
    sound.position = 0;
    sound.volume = get_int(in);
    sound.loops_left = get_int(in);
  }
  for (Saved_Sound& sound : saved.positional) {
    sound.name = get_text(in);
    sound.position = get_int(in);
    sound.volume = get_int(in);
    sound.loops_left = get_int(in);
  }
  return in.ok() && in.remaining() == 0;
}

void copy_text(char* out, size_t out_size, const std::string& text) {
  std::strncpy(out, text.c_str(), out_size - 1);
  out[out_size - 1] = 0;
}

// Puts the view, the run state, the PRINT text, the test cursors, the booleans
// and the key slots of a block back.
void put_back(const Saved_State& saved, Scene_Script& script) {
  View_State& view = View();
  view.pitch = saved.view[0];
  view.yaw = saved.view[1];
  view.pitch_speed = saved.view[2];
  view.yaw_speed = saved.view[3];
  view.pitch_limit = saved.view[4];
  view.yaw_min = saved.view[5];
  view.yaw_max = saved.view[6];
  Run_State& run = Run();
  run.current_warp = saved.current_warp;
  run.entry_pass = saved.entry_pass;
  Print_Restore(saved.print_text.c_str(), saved.print_font.c_str());
  size_t cursor = 0;
  for (int32_t w = 0; w < script.warp_count; ++w) {
    for (int32_t t = 0; t < script.warps[w].test_count; ++t) {
      Test& test = script.warps[w].tests[t];
      copy_text(test.cursor_name, sizeof test.cursor_name, saved.cursor_names[cursor++]);
    }
  }
  for (int32_t i = 0; i < script.bool_count; ++i) script.bools[i].value = saved.bools[static_cast<size_t>(i)];
  run.gosub_return = saved.gosub_return;
  run.return_warp = saved.return_warp;
  for (int slot = 0; slot < Stored_Key_Slots; ++slot) {
    copy_text(run.key_warps[slot], sizeof run.key_warps[slot], saved.key_warps[slot]);
  }
}

// Starts the block's sounds again (an empty name is skipped); the positional ones
// panned from the restored yaw.
void restart_sounds(const Saved_State& saved) {
  for (const Saved_Sound& sound : saved.plain) {
    if (!sound.name.empty()) Scene_Sound_Slot_Start(sound.name.c_str(), false, sound.volume, 0, sound.loops_left, 0);
  }
  for (const Saved_Sound& sound : saved.positional) {
    if (sound.name.empty()) continue;
    double d = static_cast<double>(sound.position - View().yaw) * Two_Pi / 8192.0;
    Scene_Sound_Slot_Start(sound.name.c_str(), true, sound.volume, sound.position, sound.loops_left,
                           static_cast<int>(std::trunc(std::sin(d) * 256.0)));
  }
}

}  // namespace

void Snapshot_State_Reset() { state = Snapshot_State{}; }

size_t Scene_State_Size() {
  Scene_Script* script = Script_Current();
  if (script == nullptr) return 0;
  return Fixed_Size + Text_Size * static_cast<size_t>(test_count(*script)) + 4 * static_cast<size_t>(script->bool_count);
}

void Scene_State_Save(const char* /*name*/, const uint8_t** data, size_t* size) {
  state.save_buffer.clear();
  state.save_buffer.reserve(Scene_State_Size());
  const View_State& view = View();
  const Run_State& run = Run();
  for (int32_t value : {view.pitch, view.yaw, view.pitch_speed, view.yaw_speed, view.pitch_limit, view.yaw_min,
                        view.yaw_max, run.current_warp, run.entry_pass}) {
    put_int(value);
  }
  put_text(Print_Text());
  put_text(Print_Font());
  if (Scene_Script* script = Script_Current()) {
    for (int32_t w = 0; w < script->warp_count; ++w) {
      for (int32_t t = 0; t < script->warps[w].test_count; ++t) put_text(script->warps[w].tests[t].cursor_name);
    }
    for (int32_t i = 0; i < script->bool_count; ++i) put_int(script->bools[i].value);
  }
  put_int(run.gosub_return);
  put_int(run.return_warp);
  for (int slot = 0; slot < Stored_Key_Slots; ++slot) put_text(run.key_warps[slot]);
  put_text(Music_State().name);
  put_int(Music_State().volume);
  for (int i = 0; i < 8; ++i) {
    const Sound_Slot& slot = Sound_Slots()[i];
    put_sound_name(slot);
    put_int(slot.volume);
    put_int(slot.loops_left);
  }
  for (int i = 0; i < 8; ++i) {
    const Sound_Slot& slot = Sound3D_Slots()[i];
    put_sound_name(slot);
    put_int(slot.position);
    put_int(slot.volume);
    put_int(slot.loops_left);
  }
  *data = state.save_buffer.data();
  *size = state.save_buffer.size();
  trace_state("saved");
}

int Scene_State_Restore(const uint8_t* data, size_t size) {
  Scene_Script* script = Script_Current();
  if (script == nullptr || data == nullptr || size != Scene_State_Size()) return -1;
  Saved_State saved;
  Byte_Reader in(data, size);
  if (!read_state(*script, in, saved)) return -1;
  // A node index the script does not have cannot be restored.
  if (saved.current_warp < 0 || saved.current_warp >= script->warp_count) return -1;
  if (saved.return_warp < -1 || saved.return_warp >= script->warp_count) saved.return_warp = -1;

  Zones().clear();
  Random_Sounds_Clear();
  Scene_Sound_Stop_All();
  put_back(saved, *script);
  int32_t master = Engine_Params().master_volume;
  restart_sounds(saved);

  Run_State& run = Run();
  Warp_Picture_Load(script->warps[run.current_warp], false);
  Zones_Load_Current();
  run.entry_pass = 0;
  Frame_Clock_Restart();
  View_Stop_Turning();

  Scene_Music& music = Music_State();
  if (!saved.music_name.empty()) {
    copy_text(music.name, sizeof music.name, saved.music_name);
    music.volume = saved.music_volume;
    Music_Play(music.name, static_cast<int>((static_cast<int64_t>(master) * saved.music_volume) >> 8), 0);
  }
  run.restart_pending = true;
  trace_state("restored");
  return 0;
}
