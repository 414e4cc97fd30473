// Saved games: the slot list, the slot files and the pending game.
#include "shell/saved_games.h"

#include <cstdio>
#include <cstring>

#include "files/byte_reader.h"
#include "shell/levels.h"

namespace {

std::vector<Save_Slot*> slots;

constexpr int32_t Header_Size = 40;

}  // namespace

std::vector<Save_Slot*>& Save_Slots() { return slots; }

Save_Slot* Slot_Create(uint32_t index) {
  Save_Slot* slot = new Save_Slot;
  slot->index = index;
  std::snprintf(slot->file_path, sizeof slot->file_path, "%sSaved_%u.bin", Install_Path(), index + 1);
  slot->tilt = (index & 1) == 0 ? 0.3927f : -0.3927f;
  return slot;
}

void Slot_Destroy(Save_Slot* slot) { delete slot; }

void Slots_Destroy_All() {
  for (Save_Slot* slot : slots) Slot_Destroy(slot);
  slots.clear();
}

void Slots_Rebuild() {
  Slots_Destroy_All();
  for (uint32_t index = 0; index < Save_Slot_Count; ++index) slots.push_back(Slot_Create(index));
}

bool Slot_Has_Game(int n) {
  return n >= 1 && n <= static_cast<int>(slots.size()) && !slots[static_cast<size_t>(n - 1)]->caption.empty();
}

int Slot_Save(int) { return -1; }

int Slot_Choose(int n) {
  if (n < 1 || n > static_cast<int>(slots.size())) return -1;
  Save_Slot* slot = slots[static_cast<size_t>(n - 1)];
  slots.erase(slots.begin() + (n - 1));
  if (Pending_Game() != nullptr) Slot_Destroy(Pending_Game());
  Set_Pending_Game(slot, slot->level);
  return 0;
}

int Pending_Apply() {
  Save_Slot* slot = Pending_Game();
  if (slot == nullptr) return -1;
  Slot_Destroy(slot);
  Set_Pending_Game(nullptr, 0);
  return -1;
}
