// Command blocks: each line is name(arg, arg, ...). The interpreter's own
// commands drive block animations, waves, movies, arithmetic on the script's
// booleans, waits and two engine settings; every other line goes to the plug-in
// table. Nothing is trimmed: "set (A,1)" is a command named "set ".
#include "video/command_block.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/display.h"
#include "platform/trace.h"
#include "video/animation_step.h"
#include "video/engine_targets.h"
#include "video/movie.h"
#include "video/node_picture.h"
#include "video/scene_link.h"

namespace {

struct Command_Block_State {
  Plugin_Handler plugin_handler = nullptr;  // where the other commands go
};
Command_Block_State state;

struct Command {
  std::string name;
  std::vector<std::string> args;
};

// Splits "name(a,b,c)". False when the line has no "(" or no ")" after it.
bool parse(const char* line, Command& out) {
  const char* open = std::strchr(line, '(');
  if (open == nullptr) return false;
  const char* close = std::strchr(open + 1, ')');
  if (close == nullptr) return false;
  out.name.assign(line, open);
  out.args.clear();
  if (close == open + 1) return true;  // "name()": no arguments
  const char* start = open + 1;
  for (const char* c = start; c <= close; ++c) {
    if (*c == ',' || c == close) {
      out.args.emplace_back(start, c);
      start = c + 1;
    }
  }
  return true;
}

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The decimal integer the text begins with (optional sign, digits), else 0.
int32_t leading_int(const std::string& text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint32_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10u + static_cast<uint32_t>(text[i] - '0');
  return static_cast<int32_t>(negative ? 0u - value : value);
}

// The decimal fraction the text begins with ("0.5", "-2", "25."), else 0. Read by
// hand so that the user's locale never changes the decimal point.
double leading_fraction(const std::string& text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  double value = 0.0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10.0 + (text[i] - '0');
  if (i < text.size() && text[i] == '.') {
    double scale = 0.1;
    for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, scale /= 10.0) value += (text[i] - '0') * scale;
  }
  return negative ? -value : value;
}

const std::string& arg(const Command& command, size_t i) {
  static const std::string none;
  return i < command.args.size() ? command.args[i] : none;
}

// A boolean's value when the argument starts with a letter, else its number.
int32_t operand(const std::string& text) {
  if (!text.empty() && is_letter(text[0])) return Scene_Bool_Get(text.c_str());
  return leading_int(text);
}

void set(const std::string& name, int32_t value) { Scene_Bool_Set(name.c_str(), value); }
int32_t get(const std::string& name) { return Scene_Bool_Get(name.c_str()); }

int32_t wrap_add(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

std::string numbered_name(const std::string& prefix, int32_t number) {
  char name[300];
  std::snprintf(name, sizeof name, "%s%.4d", prefix.c_str(), number);
  return name;
}

void play_animation(const std::string& name, const std::string& end_boolean, const std::string& end_value,
                    const std::string* speed) {
  int index = Anim_Find(name.c_str());
  if (index < 0) return;
  Anim_Slot* slot = Anim_Slot_At(index);
  if (slot == nullptr || slot->active) return;  // a running animation is not restarted
  if (Block_Anim_Open(slot, name.c_str()) == 0) {
    Anim_Advance(true);
    return;
  }
  slot->active = 1;
  slot->stop_requested = 0;
  std::memset(slot->end_boolean, 0, sizeof slot->end_boolean);
  std::strncpy(slot->end_boolean, end_boolean.c_str(), sizeof slot->end_boolean - 1);
  slot->end_value = leading_int(end_value);
  slot->phase = 0.0f;
  slot->speed = speed != nullptr ? static_cast<float>(leading_fraction(*speed)) : 25.0f;
  slot->frequency = Counter_Frequency();
  slot->last_count = slot->now_count = Counter_Now();
  // Shows the first frame at once.
  Anim_Advance(true);
}

void stop_animation(const std::string& name) {
  int index = Anim_Find(name.c_str());
  if (index < 0) return;
  Anim_Slot* slot = Anim_Slot_At(index);
  if (slot != nullptr && slot->active) slot->stop_requested = 1;
}

bool compare(int32_t a, const std::string& op, int32_t b, bool* result) {
  if (op == "<") *result = a < b;
  else if (op == ">") *result = a > b;
  else if (op == "<=") *result = a <= b;
  else if (op == ">=") *result = a >= b;
  else if (op == "==") *result = a == b;
  else if (op == "!=") *result = a != b;
  else return false;
  return true;
}

// One engine frame; a closed window ends the program in Present_Frame, and a
// wait that is left running anyway stops here.
bool idle_frame() {
  Scene_Idle_Frame();
  return !Quit_Requested();
}

// Runs one built-in command; false when the name is not one of them.
bool run_builtin(const Command& c) {
  const std::string& name = c.name;
  if (name == "play_animbloc") {
    play_animation(arg(c, 0), arg(c, 1), arg(c, 2), c.args.size() > 3 ? &c.args[3] : nullptr);
  } else if (name == "stop_animbloc") {
    stop_animation(arg(c, 0));
  } else if (name == "play_animbloc_number") {
    play_animation(numbered_name(arg(c, 0), get(arg(c, 1))), arg(c, 2), arg(c, 3),
                   c.args.size() > 4 ? &c.args[4] : nullptr);
  } else if (name == "stop_animbloc_number") {
    stop_animation(numbered_name(arg(c, 0), get(arg(c, 1))));
  } else if (name == "waves") {
    Waves_Start();
  } else if (name == "op") {
    // The third argument always names a boolean, even one named "1".
    int32_t v = get(arg(c, 2));
    // Pairs of "or"/"and" and a boolean, combined left to right.
    for (size_t i = 3; i + 1 < c.args.size(); i += 2) {
      if (c.args[i] == "or") v |= get(c.args[i + 1]);
      else if (c.args[i] == "and") v &= get(c.args[i + 1]);
    }
    set(arg(c, 0), v);
    set(arg(c, 1), v == 0 ? 1 : 0);
  } else if (name == "play_movie") {
    Movie_Play(arg(c, 0).c_str());
  } else if (name == "add") {
    set(arg(c, 0), wrap_add(get(arg(c, 1)), operand(arg(c, 2))));
  } else if (name == "sub") {
    set(arg(c, 0), wrap_add(get(arg(c, 1)), static_cast<int32_t>(0u - static_cast<uint32_t>(operand(arg(c, 2))))));
  } else if (name == "cmp") {
    bool r = false;
    if (compare(operand(arg(c, 2)), arg(c, 3), operand(arg(c, 4)), &r)) {
      set(arg(c, 0), r ? 1 : 0);
      set(arg(c, 1), r ? 0 : 1);
    }
  } else if (name == "set") {
    set(arg(c, 0), operand(arg(c, 1)));
  } else if (name == "set_global_volume") {
    Engine_Params().master_volume = operand(arg(c, 0));
  } else if (name == "set_global_pan") {
    Engine_Params().pan_speed = operand(arg(c, 0));
  } else if (name == "until") {
    int32_t wanted = leading_int(arg(c, 1));
    int32_t value;
    do {
      value = get(arg(c, 0));
      if (!idle_frame()) break;
    } while (value != wanted);
  } else if (name == "while") {
    double seconds = leading_fraction(arg(c, 0));
    uint64_t start = Counter_Now();
    double elapsed;
    do {
      elapsed = static_cast<double>(Counter_Now() - start) / static_cast<double>(Counter_Frequency());
      if (!idle_frame()) break;
    } while (seconds > elapsed);
  } else {
    return false;
  }
  return true;
}

}  // namespace

void Run_Command_Block(int count, char** commands) {
  Command command;
  for (int i = 0; i < count; ++i) {
    const char* line = commands[i] != nullptr ? commands[i] : "";
    Trace_Line("plugin %s", line);
    if (!parse(line, command)) {
      // A malformed line abandons the rest of the block.
      Error_Screen_Raise();
      return;
    }
    if (run_builtin(command)) continue;
    if (state.plugin_handler == nullptr || state.plugin_handler(line) == 0) Error_Screen_Raise();
  }
}

void Command_Block_Set_Plugin_Handler(Plugin_Handler handler) { state.plugin_handler = handler; }
