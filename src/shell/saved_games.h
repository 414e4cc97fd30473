// Saved games: eight slot files in the installed folder, each holding the level,
// a caption (date, time, level name), the scene-state block and a thumbnail. The
// save and load screens are ordinary scenes: building the slot list draws every
// used slot as a card into a face of the current panorama.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

constexpr int Save_Slot_Count = 8;

struct Save_Slot {
  uint32_t index = 0;             // 0 to 7
  char file_path[260] = {0};      // Install_Path + "Saved_<index + 1>.bin"
  float tilt = 0.0f;              // +0.3927 for even indices, -0.3927 for odd ones
  int32_t thumbnail_width = 0;    // 232 x 174 after a read or a capture
  int32_t thumbnail_height = 0;
  std::vector<uint16_t> thumbnail;  // 5-6-5, rows top to bottom
  std::vector<uint8_t> caption;     // date NUL time NUL level name NUL; empty: no game
  uint32_t level = 0;
  std::vector<uint8_t> snapshot;    // the scene-state block
};

// The slot list (empty at start; LoadSave fills it; Save, PreLoad and the end of
// the level loop empty it).
std::vector<Save_Slot*>& Save_Slots();

// A slot with its path and tilt, read from its file (found without regard to
// case) when that holds a game (else empty). Free with Slot_Destroy.
Save_Slot* Slot_Create(uint32_t index);
void Slot_Destroy(Save_Slot* slot);
// Destroys every slot of the list (the list is empty afterwards).
void Slots_Destroy_All();
// The end of the game: the list and the pending game are destroyed.
void Saved_Games_Shutdown();

// Destroys the list, then creates slots 0 to 7 in order, each read from its file
// and drawn as a card into the current panorama when it holds a game.
void Slots_Rebuild();
// n counts from 1. True when slot n is in the list and holds a game.
bool Slot_Has_Game(int n);
// Captures the game into slot n (thumbnail, caption, level, scene state) and
// writes its file. 0, or -1 when n is not in the list or the file could not be
// written (the previous file is then left as it was).
int Slot_Save(int n);
// Takes slot n out of the list and makes it the pending game. 0, or -1 when n is
// not in the list.
int Slot_Choose(int n);
// Restores the pending game's scene state into the running script, then destroys
// the slot and clears the pending game. 0, or -1 when there is none or its block
// does not fit the running script (the game is then left untouched).
int Pending_Apply();

// Slot file contents (exposed for tests and tools).
// The file bytes of a slot.
std::vector<uint8_t> Slot_File_Bytes(const Save_Slot& slot);
// Reads a slot from file bytes; false (slot left empty) when the level, caption
// or scene block cannot be read. A thumbnail cut short or with an unusable
// header keeps the game: the pixels missing are black (232 x 174 when the
// header gives no usable size).
bool Slot_Read_Bytes(Save_Slot& slot, const uint8_t* data, size_t size);
// Writes bytes to path (found without regard to case, as every game file)
// through a temporary file in the same folder, renamed over the target once
// complete. 0, or -1 (target unchanged).
int Slot_File_Write(const char* path, const std::vector<uint8_t>& bytes);
// Tests: makes the next write fail after the temporary file is complete, before
// the rename.
void Slot_File_Fail_Before_Rename(bool fail);
// The caption for the current date and time in the user's locale and the level's
// display name: three NUL-terminated texts.
std::vector<uint8_t> Slot_Caption_Now(uint32_t level);
