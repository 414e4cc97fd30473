#include "scene/scene_sound.h"

#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

#include "files/text.h"
#include "platform/clock.h"
#include "scene/runtime.h"
#include "scene/script_compiler.h"
#include "scene/state_resets.h"
#include "scene/view.h"
#include "sound/sound.h"
#include "sound/wav.h"

namespace {

constexpr double Two_Pi = 6.283185307179586;

struct Random_Sound {
  char name[260];
  Sound* sound;
  int32_t volume;
  int32_t frequency;
};

struct Scene_Sound_State {
  Sound_Slot plain_slots[8] = {};
  Sound_Slot positional_slots[8] = {};
  Scene_Music music = {};
  std::vector<Random_Sound> random_sounds;
  int32_t sound_available = -1;
  uint32_t random_state = 0;
};
Scene_Sound_State state;
// The load timer runs the sound tick on its own thread while the main thread
// loads a picture; this keeps the two from touching the slots at once.
std::recursive_mutex slots_lock;

int32_t scaled(int32_t value) {
  return static_cast<int32_t>((static_cast<int64_t>(value) * Engine_Params().master_volume) >> 8);
}

// Up to 256 characters into a 257-byte name, the rest zeroed.
void copy_name(char* out, const char* name) {
  std::memset(out, 0, 257);
  std::memcpy(out, name, strnlen(name, 256));
}

void clear_slot(Sound_Slot& slot) {
  slot.name[0] = 0;
  slot.channel = 0;
  slot.loops_left = 0;
  slot.last_position = 0;
}

void stop_slot(Sound_Slot& slot) {
  if (slot.channel != 0) Sound_Stop(slot.channel);
  clear_slot(slot);
}

// Counts the loops of a slot and stops it once its loops are used up.
void count_loops(Sound_Slot& slot) {
  if (slot.channel == 0 || slot.loops_left == 0) return;
  int32_t position = Sound_Position(slot.channel);
  if (position < slot.last_position) {
    slot.loops_left -= 1;
    if (slot.loops_left == 0) {
      Sound_Stop(slot.channel);
      slot.name[0] = 0;
      slot.channel = 0;
      return;
    }
  }
  slot.last_position = position;
}

int32_t positional_pan(int32_t position, double scale) {
  double d = static_cast<double>(position - View().yaw);
  return static_cast<int32_t>(std::sin(d * Two_Pi / 8192.0) * scale);
}

bool name_playing(const Sound_Slot* slots, const char* name) {
  for (int i = 0; i < 8; ++i) {
    if (slots[i].channel != 0 && Str_Compare_No_Case(slots[i].name, name) == 0) return true;
  }
  return false;
}

void play_into_slot(const char* line, bool positional, bool entry_test) {
  char file[Script_Field_Size];
  Field_Get(line, 1, file);
  Sound* sound = Wav_Load(file);
  if (sound == nullptr) return;
  Sound_Slot* slots = positional ? state.positional_slots : state.plain_slots;
  // In the entry test a sound already playing under this name is not started twice.
  if (entry_test && name_playing(slots, file)) {
    Sound_Free(sound);
    return;
  }
  int32_t volume = Field_Int(line, 2) & 255;
  int32_t position = positional ? Field_Int(line, 3) & 8191 : 0;
  int32_t loops = Field_Int(line, positional ? 4 : 3) & 8191;
  int channel = Sound_Play(sound, (Engine_Params().master_volume * 255) >> 8, 0, 1);
  if (channel >= 1 && channel <= 8) {
    Sound_Slot& slot = slots[channel - 1];
    copy_name(slot.name, file);
    slot.channel = channel;
    slot.volume = volume;
    slot.position = position;
    slot.last_position = 0;
    slot.loops_left = loops;
    Sound_Set(channel, scaled(volume), positional ? positional_pan(position, 255.0) : 0);
  }
  Sound_Free(sound);
}

void stop_by_name(Sound_Slot* slots, const char* line) {
  char file[Script_Field_Size];
  Field_Get(line, 1, file);
  for (int i = 0; i < 8; ++i) {
    if (slots[i].channel != 0 && Str_Compare_No_Case(slots[i].name, file) == 0) stop_slot(slots[i]);
  }
}

}  // namespace

Sound_Slot* Sound_Slots() { return state.plain_slots; }
Sound_Slot* Sound3D_Slots() { return state.positional_slots; }
Scene_Music& Music_State() { return state.music; }
int32_t Sound_Available() { return state.sound_available; }

uint32_t Random_Next() {
  uint32_t s = state.random_state;
  for (int round = 0; round < 32; ++round) {
    uint32_t b = ((s >> 6) ^ (s >> 4) ^ (s >> 2) ^ (s >> 1) ^ s ^ (s >> 31)) & 1;
    s = (b << 31) | ((s >> 1) + 1);
  }
  state.random_state = s;
  return s;
}

void Scene_Sound_Start() {
  std::lock_guard<std::recursive_mutex> guard(slots_lock);
  state.music.name[0] = 0;
  state.music.volume = 0;
  for (int i = 0; i < 8; ++i) {
    clear_slot(state.plain_slots[i]);
    clear_slot(state.positional_slots[i]);
  }
  state.sound_available = Sound_Init();
}

void Random_Sounds_Clear() {
  std::lock_guard<std::recursive_mutex> guard(slots_lock);
  for (Random_Sound& entry : state.random_sounds) Sound_Free(entry.sound);
  state.random_sounds.clear();
}

void Scene_Sound_Stop_All() {
  std::lock_guard<std::recursive_mutex> guard(slots_lock);
  for (int i = 0; i < 8; ++i) {
    stop_slot(state.plain_slots[i]);
    stop_slot(state.positional_slots[i]);
  }
  if (state.music.name[0] != 0) {
    Music_Stop();
    state.music.name[0] = 0;
  }
}

void Scene_Sound_State_Reset() {
  std::lock_guard<std::recursive_mutex> guard(slots_lock);
  Random_Sounds_Clear();
  Scene_Sound_Stop_All();
  state = Scene_Sound_State{};
}

void Scene_Sound_End() {
  Random_Sounds_Clear();
  Scene_Sound_Stop_All();
  Music_Stop();
  Sound_Shutdown();
}

void Scene_Sound_Tick() {
  std::lock_guard<std::recursive_mutex> guard(slots_lock);
  if (state.sound_available == 0) {
    Sound_Refresh();
    if (state.music.name[0] != 0) Music_Update(scaled(state.music.volume), 0);
  }
  for (Sound_Slot& slot : state.plain_slots) count_loops(slot);
  int32_t depth = Engine_Params().sound3d_depth;
  for (Sound_Slot& slot : state.positional_slots) {
    if (slot.channel == 0) continue;
    double d = static_cast<double>(slot.position - View().yaw) * Two_Pi / 8192.0;
    int32_t pan = static_cast<int32_t>(std::sin(d) * 255.0);
    double pitch = static_cast<double>(View().pitch) * Two_Pi / 4096.0;
    int32_t volume = slot.volume + static_cast<int32_t>(std::cos(d) * std::cos(pitch) * depth) - depth;
    Sound_Set(slot.channel, scaled(volume), pan);
    count_loops(slot);
  }
}

void Random_Sounds_Frame() {
  std::lock_guard<std::recursive_mutex> guard(slots_lock);
  for (Random_Sound& entry : state.random_sounds) {
    uint32_t r = Random_Next();
    uint32_t d = static_cast<uint32_t>(entry.frequency) * 15360u + 262144u;
    if (static_cast<int64_t>(r / d) < Clock_Delta() && entry.sound != nullptr) {
      Sound_Play(entry.sound, scaled(entry.volume), 0, 0);
    }
  }
}

bool Random_Sound_Fields(int index, int32_t* volume, int32_t* frequency) {
  std::lock_guard<std::recursive_mutex> guard(slots_lock);
  if (index < 0 || static_cast<size_t>(index) >= state.random_sounds.size()) return false;
  *volume = state.random_sounds[static_cast<size_t>(index)].volume;
  *frequency = state.random_sounds[static_cast<size_t>(index)].frequency;
  return true;
}

int Scene_Sound_Slot_Start(const char* name, bool positional, int32_t volume, int32_t position, int32_t loops_left,
                           int pan_for_set) {
  std::lock_guard<std::recursive_mutex> guard(slots_lock);
  Sound* sound = Wav_Load(name);
  if (sound == nullptr) return -1;
  int channel = Sound_Play(sound, (Engine_Params().master_volume * 255) >> 8, 0, 1);
  Sound_Free(sound);
  if (channel < 1 || channel > 8) return -1;
  Sound_Slot& slot = (positional ? state.positional_slots : state.plain_slots)[channel - 1];
  copy_name(slot.name, name);
  slot.channel = channel;
  slot.volume = volume;
  slot.position = position;
  slot.loops_left = loops_left;
  slot.last_position = 0;
  Sound_Set(channel, scaled(volume), pan_for_set);
  return channel;
}

namespace {

void play_music(const Command_Call& call) {
  char file[Script_Field_Size];
  Field_Get(call.line, 1, file);
  int32_t volume = Field_Int(call.line, 2);
  if (state.music.name[0] != 0 && Str_Compare_No_Case(file, state.music.name) == 0) {
    state.music.volume = volume;
    Music_Update(volume, 0);
  } else {
    if (state.music.name[0] != 0) Music_Stop();
    copy_name(state.music.name, file);
    state.music.volume = volume;
    Music_Play(file, scaled(volume), 0);
  }
}

void stop_music(const Command_Call&) {
  if (state.music.name[0] != 0) {
    Music_Stop();
    state.music.name[0] = 0;
  }
}

void play_sound(const Command_Call& call) {
  play_into_slot(call.line, false, call.entry_test);
}

void stop_sound(const Command_Call& call) {
  stop_by_name(state.plain_slots, call.line);
}

void play_sound_3d(const Command_Call& call) {
  play_into_slot(call.line, true, call.entry_test);
}

void stop_sound_3d(const Command_Call& call) {
  stop_by_name(state.positional_slots, call.line);
}

void play_random_sound(const Command_Call& call) {
  Random_Sound entry{};
  char file[Script_Field_Size];
  Field_Get(call.line, 1, file);
  std::strncpy(entry.name, file, sizeof entry.name - 1);
  entry.sound = Wav_Load(file);
  entry.volume = Field_Int(call.line, 2) & 255;
  // The entry test reads the frequency from field 3, every other test from field 4.
  entry.frequency = Field_Int(call.line, call.entry_test ? 3 : 4) & 255;
  state.random_sounds.push_back(entry);
}

// Every sound command runs with the slots locked (the load timer's sound tick
// may run meanwhile) and goes on to the next command.
template <void (*Run)(const Command_Call&)>
Command_Next locked(const Command_Call& call) {
  std::lock_guard<std::recursive_mutex> guard(slots_lock);
  Run(call);
  return Command_Next::Go_On;
}

constexpr Command_Row sound_rows[] = {
    {"PLAYMUSIQUE", locked<play_music>},
    {"STOPMUSIQUE", locked<stop_music>},
    {"PLAYSOUND", locked<play_sound>},
    {"STOPSOUND", locked<stop_sound>},
    {"PLAYSOUND3D", locked<play_sound_3d>},
    {"STOPSOUND3D", locked<stop_sound_3d>},
    {"PLAYRNDSOUND", locked<play_random_sound>},
};

}  // namespace

std::span<const Command_Row> Scene_Sound_Command_Rows() { return sound_rows; }
