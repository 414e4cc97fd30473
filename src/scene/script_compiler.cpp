#include "scene/script_compiler.h"

#include <cstring>
#include <string>

#include "draw/console.h"
#include "files/text.h"
#include "platform/memory.h"
#include "scene/runtime.h"
#include "scene/state_resets.h"
#include "video/scene_link.h"

namespace {

struct Compiler_State {
  Scene_Script* current_script = nullptr;
};
Compiler_State state;

bool is_line_end(uint8_t c) { return c == 13 || c == 10; }

// After a line's characters: one more line-end byte is consumed, so CR LF, LF CR,
// CR CR and LF LF each count as a single line end. Returns true when the line was
// cut at `limit` characters in a way that makes the rest read as another line.
bool finish_line(const Script_Text& text, size_t& pos, bool ended, int count, int limit) {
  bool cut = !ended && count == limit && pos < text.size &&
             (!is_line_end(text.data[pos]) || (pos + 1 < text.size && is_line_end(text.data[pos + 1])));
  if (pos < text.size && is_line_end(text.data[pos])) ++pos;
  return cut;
}

bool start_is_valid(const Script_Text& text, int32_t offset) {
  return text.data != nullptr && offset >= 0 && static_cast<size_t>(offset) < text.size;
}

// Reads the line at *offset; ';' starts a comment that runs to the line's end.
// A script line turns '=', tabs and blanks into field separators (never two in
// a row, none at either end) and is upper-cased; a raw line (a PLUGIN block's)
// keeps its text and loses only its leading blanks.
int read_line(const Script_Text& text, char* line, int32_t* offset, bool* cut, bool raw) {
  line[0] = 0;
  if (cut) *cut = false;
  if (!start_is_valid(text, *offset)) return -1;
  const int limit = (raw ? Script_Raw_Line_Size : Script_Line_Size) - 1;
  size_t pos = static_cast<size_t>(*offset);
  int count = 0;  // characters taken from the text, comments included
  int length = 0;
  bool comment = false;
  bool ended = false;
  while (count < limit && pos < text.size) {
    uint8_t c = text.data[pos++];
    if (is_line_end(c)) {
      ended = true;
      break;
    }
    ++count;
    if (comment) continue;
    if (c == ';') {
      comment = true;
      continue;
    }
    if (raw) {
      if (length == 0 && (c == ' ' || c == '\t')) continue;
    } else {
      if (c == '=') c = ',';
      if (c == '\t') c = ' ';
      if (c == ' ') {
        // Blanks separate fields, but never open a line or follow a separator.
        if (length == 0 || line[length - 1] == ',') continue;
        c = ',';
      }
    }
    line[length++] = static_cast<char>(c);
  }
  bool was_cut = finish_line(text, pos, ended, count, limit);
  if (cut) *cut = was_cut;
  if (!raw) {
    if (length > 0 && line[length - 1] == ',') --length;
    for (int i = 0; i < length; ++i) line[i] = static_cast<char>(Ascii_Upper(static_cast<unsigned char>(line[i])));
  }
  line[length] = 0;
  *offset = static_cast<int32_t>(pos);
  return 0;
}

int read_script_line(const Script_Text& text, char* line, int32_t* offset, bool* cut) {
  return read_line(text, line, offset, cut, false);
}

int read_raw_line(const Script_Text& text, char* line, int32_t* offset, bool* cut) {
  return read_line(text, line, offset, cut, true);
}

char* copy_text(const char* text) {
  size_t length = std::strlen(text);
  auto* copy = static_cast<char*>(Mem_Alloc(static_cast<uint32_t>(length + 1)));
  std::memcpy(copy, text, length + 1);
  return copy;
}

// Arrays grow by one element per item, as the counts are not known in advance.
template <typename T>
T* grow_by_one(T* array, int32_t count) {
  auto* grown = static_cast<T*>(Mem_Resize(array, static_cast<uint32_t>(sizeof(T) * (static_cast<size_t>(count) + 1))));
  if (grown == nullptr) Fatal_Memory_Error("Not enough memory!");
  std::memset(static_cast<void*>(&grown[count]), 0, sizeof(T));
  return grown;
}

constexpr const char* command_keywords[] = {
    "ANGLEXMAX",    "ANGLEYMAX",   "SETANGLE",  "SETNORD",          "INTERPOLANGLE", "SETZOOM",
    "INTERPOLZOOM", "INTERPOLANGLEZOOM",        "FADE",             "TRANSFADE",     "IFOR",
    "IFAND",        "SET",         "NOT",       "PRINT",            "SETCURSOR",     "HIDECURSOR",
    "SETCURSORDEFAULT",            "PLAYVIDEO", "PLAYMUSIQUE",      "STOPMUSIQUE",   "PLAYSOUND",
    "STOPSOUND",    "PLAYSOUND3D", "STOPSOUND3D",                   "PLAYRNDSOUND",  "GOTOWARP",
    "LOCKKEY",      "UNLOCKKEY",   "PLUGIN",    "ENDPLUGIN",        "GOSUB",         "LABEL",
    "RETURN",       "END",
};

bool is(const char* field, const char* keyword) { return Str_Compare_No_Case(field, keyword) == 0; }

void collect_booleans(Scene_Script* script, const Script_Text& text) {
  char line[Script_Line_Size];
  char field[Script_Field_Size];
  int32_t offset = 0;
  while (read_script_line(text, line, &offset, nullptr) == 0) {
    Field_Get(line, 0, field);
    if (!is(field, "[BOOL]")) continue;
    script->bools = grow_by_one(script->bools, script->bool_count);
    Bool_Var& var = script->bools[script->bool_count++];
    Field_Get(line, 1, field);
    if (field[0] != 0) var.name = copy_text(field);
  }
}

void append_command(Test& test, const char* text) {
  test.commands = grow_by_one(test.commands, test.command_count);
  test.commands[test.command_count++] = copy_text(text);
}

class Node_Compiler {
 public:
  Node_Compiler(Scene_Script* script, const Script_Text& text, Script_Compile_Observer* observer)
      : script_(script), text_(text), observer_(observer) {}

  void run() {
    int32_t offset = 0;
    for (;;) {
      // Skip to the next "[WARP]" line.
      for (;;) {
        if (!next_line(&offset)) return stop(Script_Stop::End_Of_Text);
        Field_Get(line_, 0, field_);
        if (is(field_, "[WARP]")) break;
      }
      Warp& warp = append_warp();
      if (observer_) observer_->warp(line_offset_, script_->warp_count - 1);
      // The scan for the next node restarts just after this "[WARP]" line.
      int32_t restart = offset;
      if (!next_line(&offset)) return stop(Script_Stop::Warp_Without_Test);
      Field_Get(line_, 0, field_);
      if (!is(field_, "[TEST]")) return stop(Script_Stop::Warp_Without_Test);
      bool next_node = false;
      while (!next_node) {
        Test& test = append_test(warp);
        for (;;) {
          if (!next_line(&offset)) return stop(Script_Stop::End_Of_Text);
          Field_Get(line_, 0, field_);
          if (is(field_, "[WARP]")) {
            offset = restart;
            next_node = true;
            break;
          }
          if (is(field_, "[TEST]")) break;
          if (field_[0] == 0) continue;
          if (is(field_, "PLUGIN")) {
            if (!read_plugin_block(&offset)) return;
            store(test, block_.c_str());
            continue;
          }
          if (Script_Keyword_Known(field_)) {
            store(test, line_);
            continue;
          }
          return stop(is(field_, "[BOOL]") ? Script_Stop::Bool_Among_Commands : Script_Stop::Unknown_Keyword);
        }
      }
    }
  }

 private:
  bool next_line(int32_t* offset) {
    line_offset_ = *offset;
    bool cut = false;
    if (read_script_line(text_, line_, offset, &cut) != 0) return false;
    if (cut && observer_) observer_->line_split(line_offset_, false);
    return true;
  }

  void stop(Script_Stop reason) {
    if (observer_) observer_->stopped(reason, line_offset_);
  }

  Warp& append_warp() {
    script_->warps = grow_by_one(script_->warps, script_->warp_count);
    Warp& warp = script_->warps[script_->warp_count++];
    Field_Get(line_, 1, field_);
    if (field_[0] != 0) warp.picture_name = copy_text(field_);
    warp.kind = Picture_Name_Is_Flat(warp.picture_name) ? 1 : 0;
    Field_Get(line_, 2, field_);
    if (field_[0] != 0) warp.zone_file_name = copy_text(field_);
    return warp;
  }

  Test& append_test(Warp& warp) {
    warp.tests = grow_by_one(warp.tests, warp.test_count);
    Test& test = warp.tests[warp.test_count++];
    Field_Get(line_, 1, field_);
    test.zone = Str_To_Int(field_);
    Field_Get(line_, 2, field_);
    test.trigger = Str_To_Int(field_);
    return test;
  }

  void store(Test& test, const char* text) {
    append_command(test, text);
    if (observer_) observer_->command(line_offset_, script_->warp_count - 1, test_index(test), text);
  }

  int test_index(const Test& test) const {
    const Warp& warp = script_->warps[script_->warp_count - 1];
    return static_cast<int>(&test - warp.tests);
  }

  // Reads the raw lines after a PLUGIN line up to the closing "endplugin" line and
  // builds the block's command text "PLUGIN,line1;line2;...". Raw lines keep
  // trailing blanks, so "ENDPLUGIN " does not close the block.
  bool read_plugin_block(int32_t* offset) {
    int32_t plugin_line = line_offset_;
    block_ = "PLUGIN,";
    char raw[Script_Raw_Line_Size];
    for (;;) {
      int32_t raw_offset = *offset;
      bool cut = false;
      if (read_raw_line(text_, raw, offset, &cut) != 0) {
        Console_Print("Syntax error in PLUGIN intruction, ENDPLUGIN not found!");
        Console_Print(("Offset: " + std::to_string(*offset)).c_str());
        Console_Show();
        line_offset_ = plugin_line;
        stop(Script_Stop::Plugin_Unterminated);
        return false;
      }
      if (cut && observer_) observer_->line_split(raw_offset, true);
      Field_Get(raw, 0, field_);
      if (is(field_, "endplugin")) return true;
      if (observer_) {
        size_t length = std::strlen(field_);
        while (length > 0 && (field_[length - 1] == ' ' || field_[length - 1] == '\t')) field_[--length] = 0;
        if (is(field_, "endplugin")) observer_->closing_line_kept_open(raw_offset);
        observer_->plugin_line(raw_offset, raw);
      }
      block_ += raw;
      block_ += ';';
    }
  }

  Scene_Script* script_;
  const Script_Text& text_;
  Script_Compile_Observer* observer_;
  char line_[Script_Line_Size] = {};
  char field_[Script_Field_Size] = {};
  int32_t line_offset_ = 0;
  std::string block_;
};

}  // namespace

int Script_Line_Read(const Script_Text& text, char* line, int32_t* offset) {
  return read_script_line(text, line, offset, nullptr);
}

int Script_Line_Read_Raw(const Script_Text& text, char* line, int32_t* offset) {
  return read_raw_line(text, line, offset, nullptr);
}

int Field_Get(const char* line, int index, char* out) {
  out[0] = 0;
  if (line == nullptr || index < 0) return -1;
  // Fields are only looked for within the first 256 characters.
  size_t length = strnlen(line, Script_Field_Size - 1);
  if (length == 0) return -1;
  size_t pos = 0;
  for (int field = 0; field < index; ++field) {
    while (pos < length && line[pos] != ',') ++pos;
    if (pos >= length) return -1;
    ++pos;
  }
  size_t start = pos;
  while (pos < length && line[pos] != ',') ++pos;
  std::memcpy(out, line + start, pos - start);
  out[pos - start] = 0;
  return 0;
}

int32_t Str_To_Int(const char* text) {
  if (text == nullptr) return 0;
  bool negative = false;
  if (*text == '-') {
    negative = true;
    ++text;
  }
  // Unsigned arithmetic: overlong numbers wrap modulo 2^32 instead of overflowing.
  uint32_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) value = value * 10u + static_cast<uint32_t>(*text - '0');
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

int32_t Field_Int(const char* line, int index) {
  char field[Script_Field_Size];
  Field_Get(line, index, field);
  return Str_To_Int(field);
}

bool Script_Keyword_Known(const char* keyword) {
  for (const char* known : command_keywords) {
    if (is(keyword, known)) return true;
  }
  return false;
}

bool Picture_Name_Is_Flat(const char* picture_name) {
  if (picture_name == nullptr || picture_name[0] == 0) return false;
  char last = picture_name[std::strlen(picture_name) - 1];
  return last == 'A' || last == 'a' || last == 'D' || last == 'd';
}

bool Warp_Name_Matches(const Warp& warp, const char* name) {
  return warp.picture_name != nullptr && name != nullptr && is(warp.picture_name, name);
}

void Script_Compile_Text(const Script_Text& text, Script_Compile_Observer* observer) {
  Script_Free();
  state.current_script = static_cast<Scene_Script*>(Mem_Alloc_Zero(sizeof(Scene_Script)));
  collect_booleans(state.current_script, text);
  // The video commands reach the booleans and the idle frame through this link.
  Scene_Link_Set({Bool_Get, Bool_Set, Render_Idle_Frame});
  Node_Compiler(state.current_script, text, observer).run();
}

void Script_Compile_Text(const Script_Text& text) { Script_Compile_Text(text, nullptr); }

void Script_Free() {
  Scene_Script* script = state.current_script;
  if (script == nullptr) return;
  for (int32_t w = 0; w < script->warp_count; ++w) {
    Warp& warp = script->warps[w];
    for (int32_t t = 0; t < warp.test_count; ++t) {
      Test& test = warp.tests[t];
      for (int32_t c = 0; c < test.command_count; ++c) Mem_Free(test.commands[c]);
      Mem_Free(test.commands);
    }
    Mem_Free(warp.tests);
    Mem_Free(warp.picture_name);
    Mem_Free(warp.zone_file_name);
  }
  Mem_Free(script->warps);
  for (int32_t b = 0; b < script->bool_count; ++b) Mem_Free(script->bools[b].name);
  Mem_Free(script->bools);
  Mem_Free(script);
  state.current_script = nullptr;
}

Scene_Script* Script_Current() { return state.current_script; }

void Compiler_State_Reset() { Script_Free(); }
