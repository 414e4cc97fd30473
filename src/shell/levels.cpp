#include "shell/levels.h"

#include <cstring>

namespace {

struct Level_Row {
  const char* folder;
  uint32_t disc;
  const char* display_name;
};

// The sixth level's folder begins with "07": that is the name on the disc.
constexpr Level_Row level_table[Level_Count + 1] = {
    {nullptr, 0, "(hors niveau)"},
    {"01RE_DAVID", 1, "Le David"},
    {"02VR_ILE", 2, "L'\xCEle"},
    {"03VR_PUEBLO", 3, "Le Pueblo"},
    {"04VR_FLEUVE", 3, "Le Fleuve"},
    {"05VR_VILLAGEMARAIS", 4, "Le Village"},
    {"07VRTEMPLE_VOLCAN", 4, "Le Temple"},
};

struct Shell_State {
  uint32_t current_level = 0;
  uint32_t current_disc = 0;
  char disc_path[Level_Path_Size] = {};
  char install_path[Level_Path_Size] = {};
  char language_code[8] = {};
  bool no_logo = false;
  bool intro_pending = true;
  bool end_requested = false;
  bool restart_requested = false;
  Save_Slot* pending_game = nullptr;
  uint32_t pending_level = 0;
  Level_Entry_State level_entry = {false, false};
  int exit_status = 0;
};

Shell_State state;

const Level_Row& row(uint32_t index) { return level_table[index <= Level_Count ? index : 0]; }

void copy_bounded(char* out, size_t out_size, const char* text) {
  size_t length = text ? strnlen(text, out_size - 1) : 0;
  if (length) std::memcpy(out, text, length);
  out[length] = 0;
}

// People type folder paths without the trailing separator; prefixes need one.
bool set_prefix(char* out, const char* prefix) {
  if (prefix == nullptr) return false;
  size_t length = std::strlen(prefix);
  bool needs_separator = length > 0 && prefix[length - 1] != '/' && prefix[length - 1] != '\\';
  if (length + (needs_separator ? 1 : 0) + 1 > Level_Path_Size) return false;
  std::memcpy(out, prefix, length);
  if (needs_separator) out[length++] = '/';
  out[length] = 0;
  return true;
}

}  // namespace

const char* Level_Folder_Name(uint32_t index) { return row(index).folder; }
uint32_t Level_Disc(uint32_t index) { return row(index).disc; }
const char* Level_Display_Name(uint32_t index) { return row(index).display_name; }

uint32_t Current_Level() { return state.current_level; }
void Set_Current_Level(uint32_t level) { state.current_level = level; }
uint32_t Current_Disc() { return state.current_disc; }
void Set_Current_Disc(uint32_t disc) { state.current_disc = disc; }

const char* Disc_Path() { return state.disc_path; }
const char* Install_Path() { return state.install_path; }
bool Set_Disc_Path(const char* prefix) { return set_prefix(state.disc_path, prefix); }
bool Set_Install_Path(const char* prefix) { return set_prefix(state.install_path, prefix); }
void Set_Disc_Path_Exact(const char* prefix) { copy_bounded(state.disc_path, Level_Path_Size, prefix); }
void Set_Install_Path_Exact(const char* prefix) { copy_bounded(state.install_path, Level_Path_Size, prefix); }

const char* Language_Code() { return state.language_code; }
void Set_Language_Code(const char* code) { copy_bounded(state.language_code, sizeof state.language_code, code); }

bool No_Logo() { return state.no_logo; }
void Set_No_Logo(bool value) { state.no_logo = value; }
bool Intro_Pending() { return state.intro_pending; }
void Set_Intro_Pending(bool value) { state.intro_pending = value; }

bool End_Requested() { return state.end_requested; }
void Set_End_Requested(bool value) { state.end_requested = value; }
bool Restart_Requested() { return state.restart_requested; }
void Set_Restart_Requested(bool value) { state.restart_requested = value; }

Save_Slot* Pending_Game() { return state.pending_game; }
uint32_t Pending_Game_Level() { return state.pending_level; }
void Set_Pending_Game(Save_Slot* slot, uint32_t level) {
  state.pending_game = slot;
  state.pending_level = slot ? level : 0;
}

Level_Entry_State Level_Entry() { return state.level_entry; }
void Set_Level_Entry(Level_Entry_State entry) { state.level_entry = entry; }

int Exit_Status() { return state.exit_status; }
void Set_Exit_Status(int status) { state.exit_status = status; }

void Levels_State_Reset() { state = Shell_State{}; }
