// The script's sounds: eight plain and eight positional slots over the sound
// channels, the music, random sounds, and the sound tick run every frame.
#pragma once
#include <cstdint>
#include <span>

#include "scene/command_rows.h"

struct Sound;

struct Sound_Slot {
  char name[257];
  int32_t channel;  // 0 free, else 1 to 8
  int32_t volume;   // 0 to 255
  int32_t position; // positional slots: horizontal angle 0 to 8191
  int32_t loops_left;
  int32_t last_position;
};

struct Scene_Music {
  char name[257];  // empty when no music plays
  int32_t volume;
};

Sound_Slot* Sound_Slots();    // 8 plain slots, index = channel - 1
Sound_Slot* Sound3D_Slots();  // 8 positional slots
Scene_Music& Music_State();

// Run start: marks every slot free, clears the music, initialises the sound device.
void Scene_Sound_Start();
// Run end: stops and clears every slot, the music and the random sounds, shuts the
// device down.
void Scene_Sound_End();
int32_t Sound_Available();  // result of Sound_Init at run start

// The sound tick (each frame, each effect frame and from the load timer).
void Scene_Sound_Tick();

// Random sounds of the node: emptied at every node start; tried every frame.
void Random_Sounds_Clear();
void Random_Sounds_Frame();
// The volume and frequency of random sound `index` of the node; false if none.
bool Random_Sound_Fields(int index, int32_t* volume, int32_t* frequency);
// The pseudo-random generator (state 0 at program start).
uint32_t Random_Next();

// Stops every slot with a channel and the music (a restore starts from silence).
void Scene_Sound_Stop_All();

// The sound commands of a test (PLAYMUSIQUE, STOPMUSIQUE, PLAYSOUND, STOPSOUND,
// PLAYSOUND3D, STOPSOUND3D, PLAYRNDSOUND) as rows of the runtime's command table;
// the entry test has its own forms of PLAYSOUND, PLAYSOUND3D and PLAYRNDSOUND.
std::span<const Command_Row> Scene_Sound_Command_Rows();

// Plays a sound into a slot as PLAYSOUND does (for restoring saved games): the
// slot of the channel obtained, or -1.
int Scene_Sound_Slot_Start(const char* name, bool positional, int32_t volume, int32_t position, int32_t loops_left,
                           int pan_for_set);
