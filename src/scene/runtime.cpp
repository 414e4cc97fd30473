// The scene runtime: one run of a scene script from its start node to END.
//
// The run moves between three places: a node start (load the node's picture and
// zones), the trigger scan (the entry test on the first pass, then the frame
// set-up) and the frame loop; running a test leads back to the trigger scan, and
// the commands that change node lead to a node start.
#include "scene/runtime.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "anim/anim_file.h"
#include "draw/console.h"
#include "files/file.h"
#include "files/text.h"
#include "pictures/picture.h"
#include "pictures/picture_load.h"
#include "platform/clock.h"
#include "platform/directories.h"
#include "platform/display.h"
#include "platform/input.h"
#include "platform/memory.h"
#include "platform/trace.h"
#include "scene/command_rows.h"
#include "scene/renderer.h"
#include "scene/run_script.h"
#include "scene/run_state.h"
#include "scene/scene_sound.h"
#include "scene/script_compiler.h"
#include "scene/state_resets.h"
#include "scene/thumbnail.h"
#include "scene/view.h"
#include "video/animation_step.h"
#include "video/command_block.h"
#include "video/node_picture.h"

namespace {

enum class Next { Trigger_Scan, Node_Start, End };

struct Runtime_State {
  Run_State run = {};
  std::vector<Zone> zones;  // of the current node
  Picture* default_cursor = nullptr;
  Picture* hotspot_cursor = nullptr;
  Picture* test_cursor = nullptr;  // the cursor of the test of the cursor zone, loaded on demand
  Run_Observer* observer = nullptr;
};
Runtime_State state;

Warp& current_node() { return Script_Current()->warps[state.run.current_warp]; }

void free_picture(Picture*& picture) {
  Picture_Free(picture);
  picture = nullptr;
}

// A cursor picture: the packed variant (the name with "pak" in place of its last
// three characters) when it exists, else the plain file.
Picture* load_cursor(const char* name) {
  if (name == nullptr || name[0] == 0) return nullptr;
  size_t length = std::strlen(name);
  std::string packed = length >= 3 ? std::string(name, length - 3) + "pak" : std::string(name);
  Picture* picture = nullptr;
  if (File_Size(packed.c_str()) != 0) {
    char inner[260] = {0};
    std::strncpy(inner, packed.c_str(), sizeof inner - 1);
    uint8_t* data = nullptr;
    int size = 0;
    Pak_Unpack(inner, &data, &size);
    // A PAK that cannot be unpacked counts as absent: the plain file is read.
    if (data != nullptr && size > 0) {
      Mem_File_Add(inner, data, size);
      Mem_Free(data);
      picture = Picture_Load(inner);
      Mem_File_Remove(inner);
    } else {
      Mem_Free(data);
    }
  }
  if (picture == nullptr) {
    char plain[260] = {0};
    std::strncpy(plain, name, sizeof plain - 1);
    picture = Picture_Load(plain);
  }
  if (picture != nullptr && Picture_To_16(picture) != 0) free_picture(picture);
  return picture;
}

int find_node(const char* name, bool skip_current) {
  Scene_Script* script = Script_Current();
  for (int32_t i = 0; i < script->warp_count; ++i) {
    if (skip_current && i == state.run.current_warp) continue;
    if (Warp_Name_Matches(script->warps[i], name)) return i;
  }
  return -1;
}

int first_test_of_zone(int32_t zone) {
  Warp& node = current_node();
  for (int32_t t = 0; t < node.test_count; ++t) {
    if (node.tests[t].zone == zone) return t;
  }
  return -1;
}

int last_test_of_zone(int32_t zone) {
  Warp& node = current_node();
  for (int32_t t = node.test_count - 1; t >= 0; --t) {
    if (node.tests[t].zone == zone) return t;
  }
  return -1;
}

void frame_setup() {
  free_picture(state.test_cursor);
  state.run.cursor_zone = -1;
  View_Stop_Turning();
  Frame_Clock_Restart();
}

void node_start() {
  state.run.exit_test = -1;
  state.run.enter_test = -1;
  Print_Clear();
  state.run.gosub_return = -1;
  Random_Sounds_Clear();
  Warp& node = current_node();
  Trace_Line("node %d %s", state.run.current_warp, node.picture_name ? node.picture_name : "");
  if (state.observer) state.observer->node_started(state.run.current_warp);
  Warp_Picture_Load(node);
  Zones_Load_Current();
  state.run.entry_pass = 0;
  // The two input updates and the frame come between the two halves of the clock
  // restart.
  Clock_Set_Last(Clock_Now() - Frame_Start_Delta);
  Input_Update();
  Input_Update();
  Present_Frame(Screen_Buffer());
  Clock_Set_Delta(Frame_Start_Delta);
  View_Stop_Turning();
  for (int32_t t = 0; t < node.test_count; ++t) node.tests[t].hidden = 0;
}

void jump_to(int node) {
  state.run.current_warp = node;
  state.zones.clear();
}

bool bool_value(const char* name, bool* exists) {
  Scene_Script* script = Script_Current();
  for (int32_t i = 0; i < script->bool_count; ++i) {
    Bool_Var& var = script->bools[i];
    if (var.name != nullptr && Str_Compare_No_Case(var.name, name) == 0) {
      *exists = true;
      return var.value != 0;
    }
  }
  *exists = false;
  return false;
}

void run_plugin_block(const char* command) {
  // The stored text is "PLUGIN," followed by each line and ";".
  const char* body = command + 7;
  std::vector<std::string> lines;
  std::string current;
  for (const char* c = body; *c; ++c) {
    if (*c == ';') {
      lines.push_back(current);
      current.clear();
    } else {
      current.push_back(*c);
    }
  }
  std::vector<char*> pointers;
  for (std::string& line : lines) pointers.push_back(line.data());
  Run_Command_Block(static_cast<int>(pointers.size()), pointers.data());
}

// The commands the runtime itself runs.

Command_Next set_command(const Command_Call& call) {
  char name[Script_Field_Size];
  Field_Get(call.line, 1, name);
  Bool_Set(name, Field_Int(call.line, 2));
  return Command_Next::Go_On;
}

Command_Next not_command(const Command_Call& call) {
  char name[Script_Field_Size];
  Field_Get(call.line, 1, name);
  bool exists = false;
  bool value = bool_value(name, &exists);
  if (exists) Bool_Set(name, value ? 0 : 1);
  return Command_Next::Go_On;
}

Command_Next print_command(const Command_Call& call) {
  char text[Script_Field_Size];
  char font[Script_Field_Size];
  Field_Get(call.line, 1, text);
  Field_Get(call.line, 2, font);
  Print_Set(text, font);
  return Command_Next::Go_On;
}

// Test `n` of the node named `node_name`, or null.
Test* test_of_node(const char* node_name, int32_t n) {
  int target = find_node(node_name, false);
  if (target < 0) return nullptr;
  Warp& warp = Script_Current()->warps[target];
  return n >= 0 && n < warp.test_count ? &warp.tests[n] : nullptr;
}

Command_Next set_cursor(const Command_Call& call) {
  char file[Script_Field_Size];
  char node_name[Script_Field_Size];
  Field_Get(call.line, 1, file);
  Field_Get(call.line, 2, node_name);
  if (Test* test = test_of_node(node_name, Field_Int(call.line, 3))) {
    std::strncpy(test->cursor_name, file, sizeof test->cursor_name - 1);
    test->cursor_name[sizeof test->cursor_name - 1] = 0;
  }
  return Command_Next::Go_On;
}

Command_Next hide_cursor(const Command_Call& call) {
  char node_name[Script_Field_Size];
  Field_Get(call.line, 1, node_name);
  if (Test* test = test_of_node(node_name, Field_Int(call.line, 2))) test->hidden = 1;
  return Command_Next::Go_On;
}

Command_Next set_cursor_default(const Command_Call& call) {
  char which[Script_Field_Size];
  char file[Script_Field_Size];
  Field_Get(call.line, 1, which);
  Field_Get(call.line, 2, file);
  Picture*& target = std::strcmp(which, "0") == 0 ? state.default_cursor : state.hotspot_cursor;
  free_picture(target);
  target = load_cursor(file);
  return Command_Next::Go_On;
}

Command_Next play_video(const Command_Call& call) {
  char file[Script_Field_Size];
  Field_Get(call.line, 1, file);
  Anim_Play(file, -1, -1, 0);
  return Command_Next::Go_On;
}

Command_Next goto_warp(const Command_Call& call) {
  char node_name[Script_Field_Size];
  Field_Get(call.line, 1, node_name);
  int target = find_node(node_name, true);
  if (target < 0) return Command_Next::Go_On;
  jump_to(target);
  return Command_Next::Node_Start;
}

Command_Next lock_key(const Command_Call& call) {
  int32_t n = Field_Int(call.line, 1);
  if (n >= 0 && n < Key_Slot_Count) {
    char node_name[Script_Field_Size];
    Field_Get(call.line, 2, node_name);
    // Up to 256 characters, the rest of the slot zeroed.
    std::memset(state.run.key_warps[n], 0, sizeof state.run.key_warps[n]);
    std::memcpy(state.run.key_warps[n], node_name, strnlen(node_name, sizeof state.run.key_warps[n] - 1));
  }
  return Command_Next::Go_On;
}

Command_Next unlock_key(const Command_Call& call) {
  int32_t n = Field_Int(call.line, 1);
  if (n >= 0 && n < Key_Slot_Count) state.run.key_warps[n][0] = 0;
  return Command_Next::Go_On;
}

Command_Next plugin_command(const Command_Call& call) {
  run_plugin_block(call.line);
  return Command_Next::Go_On;
}

constexpr Command_Row runtime_rows[] = {
    {"SET", set_command},
    {"NOT", not_command},
    {"PRINT", print_command},
    {"SETCURSOR", set_cursor},
    {"HIDECURSOR", hide_cursor},
    {"SETCURSORDEFAULT", set_cursor_default},
    {"PLAYVIDEO", play_video},
    {"GOTOWARP", goto_warp},
    {"LOCKKEY", lock_key},
    {"UNLOCKKEY", unlock_key},
    {"PLUGIN", plugin_command},
};

// GOSUB: only while no subroutine runs; jumps to the test's first LABEL of that
// name (ASCII case folded), remembering where to come back. A missing label does
// nothing.
void gosub(const Test& test, const char* line, int32_t& k) {
  if (state.run.gosub_return != -1) return;
  char label[Script_Field_Size];
  Field_Get(line, 1, label);
  char keyword[Script_Field_Size];
  char name[Script_Field_Size];
  for (int32_t j = 0; j < test.command_count; ++j) {
    Field_Get(test.commands[j], 0, keyword);
    Field_Get(test.commands[j], 1, name);
    if (std::strcmp(keyword, "LABEL") == 0 && Str_Compare_No_Case(name, label) == 0) {
      state.run.gosub_return = k;
      k = j;
      return;
    }
  }
}

// IFOR and IFAND: whether the command after them runs. Names that match no
// boolean are skipped (OR) or count as true (AND).
bool condition_holds(const char* line, bool is_and) {
  char name[Script_Field_Size];
  bool result = is_and;
  for (int index = 1; Field_Get(line, index, name) == 0; ++index) {
    bool exists = false;
    bool value = bool_value(name, &exists);
    if (!exists) continue;
    if (is_and && !value) result = false;
    if (!is_and && value) result = true;
  }
  return result;
}

Next test_run(int test_index, bool entry_test) {
  Warp& node = current_node();
  Test& test = node.tests[test_index];
  Trace_Line("test %d zone %d trigger %d", test_index, test.zone, test.trigger);
  if (state.observer) state.observer->test_started(state.run.current_warp, test_index);
  char keyword[Script_Field_Size];
  for (int32_t k = 0; k < test.command_count; ++k) {
    const char* line = test.commands[k];
    Field_Get(line, 0, keyword);
    Trace_Line("cmd %s", line);
    if (std::strcmp(keyword, "GOSUB") == 0) {
      gosub(test, line, k);
    } else if (std::strcmp(keyword, "RETURN") == 0) {
      if (state.run.gosub_return != -1) {
        k = state.run.gosub_return;
        state.run.gosub_return = -1;
      } else if (state.run.return_warp != -1) {
        jump_to(state.run.return_warp);
        state.run.return_warp = -1;
        return Next::Node_Start;
      } else {
        break;
      }
    } else if (std::strcmp(keyword, "END") == 0) {
      return Next::End;
    } else if (std::strcmp(keyword, "IFOR") == 0 || std::strcmp(keyword, "IFAND") == 0) {
      if (!condition_holds(line, keyword[2] == 'A')) ++k;  // skip the next command
    } else if (const Command_Row* row = Scene_Command_Find(keyword)) {
      if (row->run(Command_Call{line, entry_test}) == Command_Next::Node_Start) return Next::Node_Start;
    }
    // LABEL, ENDPLUGIN and unknown keywords do nothing.
  }
  return Next::Trigger_Scan;
}

// The exit scan (trigger 2): the test of the zone being left, or -1. Moving from
// one such zone straight into another runs the test of the one left.
int leaving_test() {
  bool inside_exit = false;
  for (size_t i = 0; i < state.zones.size(); ++i) {
    int inside = Zone_Hit(state.zones[i]) == 2;
    int t = first_test_of_zone(static_cast<int32_t>(i));
    if (t < 0 || current_node().tests[t].trigger != 2 || !inside) continue;
    inside_exit = true;
    if (state.run.exit_test == -1) {
      state.run.exit_test = t;
    } else if (t != state.run.exit_test) {
      int left = state.run.exit_test;
      state.run.exit_test = t;
      return left;
    }
  }
  if (!inside_exit && state.run.exit_test != -1) {
    int left = state.run.exit_test;
    state.run.exit_test = -1;
    return left;
  }
  return -1;
}

// The enter scan (trigger 1): the test of a zone just entered, or -1.
int entering_test() {
  bool inside_enter = false;
  for (size_t i = 0; i < state.zones.size(); ++i) {
    int inside = Zone_Hit(state.zones[i]) == 2;
    int t = first_test_of_zone(static_cast<int32_t>(i));
    if (t < 0 || current_node().tests[t].trigger != 1 || !inside) continue;
    inside_enter = true;
    if (t != state.run.enter_test) {
      state.run.enter_test = t;
      return t;
    }
    break;
  }
  if (!inside_enter) state.run.enter_test = -1;
  return -1;
}

// The cursor of the first zone that qualifies (inside, a click test or none, not
// hidden): its test's own cursor, loaded when that zone becomes the cursor zone,
// else the hotspot cursor. The default cursor when no zone qualifies.
const Picture* cursor_for_view() {
  for (size_t i = 0; i < state.zones.size(); ++i) {
    if (Zone_Hit(state.zones[i]) != 2) continue;
    int t = first_test_of_zone(static_cast<int32_t>(i));
    Test* test = t >= 0 ? &current_node().tests[t] : nullptr;
    if (test != nullptr && (test->trigger != 0 || (test->hidden & 1))) continue;
    if (static_cast<int32_t>(i) != state.run.cursor_zone) {
      state.run.cursor_zone = static_cast<int32_t>(i);
      free_picture(state.test_cursor);
      if (test != nullptr && test->cursor_name[0] != 0) state.test_cursor = load_cursor(test->cursor_name);
    }
    return state.test_cursor != nullptr ? state.test_cursor : state.hotspot_cursor;
  }
  return state.default_cursor;
}

// The node a key jump leads to, or -1. Only while no jump is pending a RETURN:
// the key of the last input update selects one slot, the right button another.
int key_jump_target() {
  if (state.run.return_warp != -1) return -1;
  int32_t key = Input().key;
  int slots[2] = {-1, -1};
  if (key == Key_Code_Escape) slots[0] = Key_Slot_Escape;
  else if (key >= Key_Code_F1 && key <= Key_Code_F10) slots[0] = Key_Slot_F1 + (key - Key_Code_F1);
  else if (key == Key_Code_Enter) slots[0] = Key_Slot_Enter;
  if (Input().right_button == 1) slots[1] = Key_Slot_Right_Click;
  for (int slot : slots) {
    if (slot < 0 || state.run.key_warps[slot][0] == 0) continue;
    int target = find_node(state.run.key_warps[slot], true);
    if (target >= 0) return target;
  }
  return -1;
}

// A left click: the last test of the first zone found inside, or -1.
int clicked_test() {
  for (size_t i = 0; i < state.zones.size(); ++i) {
    if (Zone_Hit(state.zones[i]) != 2) continue;
    return last_test_of_zone(static_cast<int32_t>(i));
  }
  return -1;
}

// Frames until something leads elsewhere.
Next frame_loop() {
  for (;;) {
    View_Draw_Current();
    Animation_Step();
    Random_Sounds_Frame();
    int triggered = leaving_test();
    if (triggered < 0) triggered = entering_test();
    if (triggered >= 0) return test_run(triggered, false);
    Cursor_Draw(cursor_for_view());
    Print_Draw();
    Animation_Step();
    Scene_Sound_Tick();
    Present_Frame(Screen_Buffer());
    if (state.observer) state.observer->before_input();
    Input_Update();
    int jump = key_jump_target();
    if (jump >= 0) {
      Thumbnail_Take();
      state.run.return_warp = state.run.current_warp;
      jump_to(jump);
      return Next::Node_Start;
    }
    View_Turn();
    if (Input().left_button == 1) {
      int clicked = clicked_test();
      return clicked >= 0 ? test_run(clicked, false) : Next::Trigger_Scan;
    }
  }
}

void run_end() {
  Clock_Stop();
  Thumbnail_Free();
  state.zones.clear();
  Renderer_End();
  Script_Free();
  free_picture(state.default_cursor);
  free_picture(state.hotspot_cursor);
  free_picture(state.test_cursor);
  Scene_Sound_End();
}

}  // namespace

const Command_Row* Command_Find(std::span<const Command_Row> rows, const char* keyword) {
  for (const Command_Row& row : rows) {
    if (std::strcmp(row.keyword, keyword) == 0) return &row;
  }
  return nullptr;
}

const Command_Row* Scene_Command_Find(const char* keyword) {
  for (std::span<const Command_Row> rows :
       {std::span<const Command_Row>(runtime_rows), View_Command_Rows(), Scene_Sound_Command_Rows()}) {
    if (const Command_Row* row = Command_Find(rows, keyword)) return row;
  }
  return nullptr;
}

Run_State& Run() { return state.run; }
int32_t Runtime_Current_Warp() { return state.run.current_warp; }

void Frame_Clock_Restart() {
  Clock_Set_Last(Clock_Now() - Frame_Start_Delta);
  Clock_Set_Delta(Frame_Start_Delta);
}
std::vector<Zone>& Zones() { return state.zones; }

void Zones_Load_Current() {
  Warp& node = current_node();
  state.zones = Zone_File_Load(node.zone_file_name);
  if (node.kind == 0) {
    for (Zone& zone : state.zones) Zone_Snap(zone);
  }
}

void Runtime_Set_Observer(Run_Observer* run_observer) { state.observer = run_observer; }

void Runtime_State_Reset() {
  free_picture(state.default_cursor);
  free_picture(state.hotspot_cursor);
  free_picture(state.test_cursor);
  state = Runtime_State{};
}

void Render_Idle_Frame() {
  View_Draw_Current();
  Animation_Step();
  Scene_Sound_Tick();
  Present_Frame(Screen_Buffer());
}

void Script_Run(const char* name) {
  Music_State().name[0] = 0;
  Renderer_Create();
  View_State& view = View();
  view.pitch = view.yaw = view.pitch_speed = view.yaw_speed = 0;
  state.run.current_warp = 0;
  state.run.entry_pass = 0;
  state.zones.clear();
  view.pitch_limit = 1536;
  view.fov = 90.0f;
  for (int i = 0; i < Stored_Key_Slots; ++i) state.run.key_warps[i][0] = 0;
  state.run.return_warp = -1;
  state.run.restart_pending = false;
  Scene_Sound_Start();
  state.default_cursor = load_cursor("cursor1.pcx");
  state.hotspot_cursor = load_cursor("cursor2.pcx");

  Script_Compile(name);
  Scene_Script* script = Script_Current();
  if (script == nullptr || script->warp_count == 0) {
    // Nothing to run: release what the run start set up.
    Script_Free();
    run_end();
    return;
  }
  Renderer_Start();

  Next next = Next::Node_Start;
  while (next != Next::End) {
    if (next == Next::Node_Start) node_start();
    // Trigger scan. A restore asked for a restart of its node: the node starts
    // again, and with it the entry test, once.
    if (state.run.restart_pending) {
      state.run.restart_pending = false;
      next = Next::Node_Start;
      continue;
    }
    state.run.entry_pass += 1;
    if (state.run.entry_pass == 1) {
      int entry = first_test_of_zone(-1);
      if (entry >= 0) {
        next = test_run(entry, true);
        continue;
      }
    }
    frame_setup();
    next = frame_loop();
  }
  run_end();
}
