#include "shell/tour.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "files/text.h"
#include "platform/clock.h"
#include "platform/events.h"
#include "platform/trace.h"
#include "scene/runtime.h"
#include "scene/script_compiler.h"

namespace {

enum class Step_Kind { Node, Wait, Key, Click, Right_Click, Move, Turn, Shot, Close };

struct Step {
  Step_Kind kind;
  int32_t a = 0, b = 0, count = 0;
  std::string name;
};

struct Tour_State {
  std::vector<Step> steps;
  size_t next_step = 0;
  int64_t frames_to_wait = 0;
  int32_t turn_dx = 0, turn_dy = 0, turn_frames = 0;  // the motion of a turn step and its frames left
};
Tour_State state;

constexpr uint64_t Counts_Per_Frame = 10000000 / 60;

void inject(Platform_Event_Type type, int32_t a, int32_t b = 0) { Platform_Inject_Event({type, a, b}); }

// A key as the window reports it: down, the character of a control key, up.
void press_key(int32_t vk) {
  inject(Platform_Event_Type::Key_Down, vk, 0);
  if (vk == 8 || vk == 9 || vk == 13 || vk == 27) inject(Platform_Event_Type::Character, vk);
  inject(Platform_Event_Type::Key_Up, vk, 0);
}

bool showing_node(const std::string& name) {
  Scene_Script* script = Script_Current();
  if (script == nullptr) return false;
  int32_t current = Runtime_Current_Warp();
  if (current < 0 || current >= script->warp_count) return false;
  const char* picture = script->warps[current].picture_name;
  return picture != nullptr && Str_Compare_No_Case(picture, name.c_str()) == 0;
}

bool parse_int(std::istringstream& in, int32_t* value) {
  long long v = 0;
  if (!(in >> v) || v < -1000000 || v > 1000000) return false;
  *value = static_cast<int32_t>(v);
  return true;
}

}  // namespace

bool Tour_Parse(const std::string& text, std::string* error) {
  state.steps.clear();
  state.next_step = 0;
  state.frames_to_wait = 0;
  state.turn_frames = 0;
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    size_t hash = line.find('#');
    if (hash != std::string::npos) line.resize(hash);
    std::istringstream in(line);
    std::string word;
    if (!(in >> word)) continue;
    Step step{};
    bool ok = true;
    if (word == "node" || word == "shot") {
      step.kind = word == "node" ? Step_Kind::Node : Step_Kind::Shot;
      ok = static_cast<bool>(in >> step.name);
    } else if (word == "wait") {
      step.kind = Step_Kind::Wait;
      ok = parse_int(in, &step.count) && step.count >= 0;
    } else if (word == "key") {
      step.kind = Step_Kind::Key;
      ok = parse_int(in, &step.a) && step.a > 0 && step.a < 256;
    } else if (word == "click" || word == "rclick") {
      step.kind = word == "click" ? Step_Kind::Click : Step_Kind::Right_Click;
    } else if (word == "move") {
      step.kind = Step_Kind::Move;
      ok = parse_int(in, &step.a) && parse_int(in, &step.b);
    } else if (word == "close") {
      step.kind = Step_Kind::Close;
    } else if (word == "turn") {
      step.kind = Step_Kind::Turn;
      ok = parse_int(in, &step.a) && parse_int(in, &step.b) && parse_int(in, &step.count) && step.count >= 0;
    } else {
      ok = false;
    }
    std::string extra;
    if (ok && (in >> extra)) ok = false;
    if (!ok) {
      if (error) *error = "tour line " + std::to_string(number) + " not understood: " + line;
      state.steps.clear();
      return false;
    }
    state.steps.push_back(step);
  }
  return true;
}

bool Tour_Load(const std::string& path, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    if (error) *error = "cannot read the tour " + path;
    return false;
  }
  std::ostringstream text;
  text << file.rdbuf();
  return Tour_Parse(text.str(), error);
}

void Tour_Start() {
  Clock_Use_Virtual_Counter(true);
  Clock_Set_Virtual_Counter(0);
  Clock_Set_Virtual_Step(Counts_Per_Frame);
}

void Tour_State_Reset() { state = Tour_State{}; }

bool Tour_Running() {
  return state.next_step < state.steps.size() || state.turn_frames > 0 || state.frames_to_wait > 0;
}

void Tour_Frame(uint64_t frame) {
  if (state.turn_frames > 0) {
    --state.turn_frames;
    inject(Platform_Event_Type::Mouse_Motion, state.turn_dx, state.turn_dy);
    return;
  }
  if (state.frames_to_wait > 0) {
    --state.frames_to_wait;
    return;
  }
  while (state.next_step < state.steps.size()) {
    const Step& step = state.steps[state.next_step];
    switch (step.kind) {
      case Step_Kind::Node:
        if (!showing_node(step.name)) return;
        break;
      case Step_Kind::Wait:
        state.frames_to_wait = step.count;
        ++state.next_step;
        if (state.frames_to_wait > 0) {
          --state.frames_to_wait;  // this frame counts
          return;
        }
        continue;
      case Step_Kind::Key:
        press_key(step.a);
        break;
      case Step_Kind::Click:
      case Step_Kind::Right_Click: {
        int32_t button = step.kind == Step_Kind::Click ? 1 : 2;
        inject(Platform_Event_Type::Button_Down, button);
        inject(Platform_Event_Type::Button_Up, button);
        break;
      }
      case Step_Kind::Move:
        inject(Platform_Event_Type::Mouse_Motion, step.a, step.b);
        break;
      case Step_Kind::Turn:
        // One motion now and one on each following frame; later steps wait.
        state.turn_dx = step.a;
        state.turn_dy = step.b;
        ++state.next_step;
        if (step.count == 0) continue;
        state.turn_frames = step.count - 1;
        inject(Platform_Event_Type::Mouse_Motion, state.turn_dx, state.turn_dy);
        return;
      case Step_Kind::Close:
        inject(Platform_Event_Type::Quit, 0);
        break;
      case Step_Kind::Shot:
        Trace_Line("tour shot %s %llu", step.name.c_str(), static_cast<unsigned long long>(frame));
        break;
    }
    ++state.next_step;
  }
}
