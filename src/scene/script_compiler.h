// Scene scripts: the line reader, fields and numbers shared by the compiler and
// the runtime, and the compiler that turns a script file into the in-memory
// Scene_Script (booleans, nodes, tests, normalised command lines).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int Script_Line_Size = 256;      // 255 characters and the terminator
constexpr int Script_Raw_Line_Size = 258;  // 257 characters and the terminator
constexpr int Script_Field_Size = 257;     // fields lie within the first 256 characters

struct Test {
  int32_t zone;            // zone index in the node's zone file, -1 for the entry test
  int32_t trigger;         // 0 click, 1 entering, 2 leaving
  int32_t command_count;
  char** commands;         // normalised command lines, file order
  char cursor_name[260];   // set by SETCURSOR at run time
  int32_t hidden;          // bit 0 set by HIDECURSOR
};

struct Warp {
  char* picture_name;      // upper case; also the node's name. Null for "[WARP]" without a name
  char* zone_file_name;    // null when the line names no zone file
  int32_t kind;            // 0 panorama, 1 flat picture
  int32_t test_count;
  Test* tests;
};

struct Bool_Var {
  char* name;              // upper case; null when the "[BOOL]" line had no name
  int32_t value;
};

struct Scene_Script {
  int32_t warp_count;
  Warp* warps;             // index 0 is the start node
  int32_t bool_count;
  Bool_Var* bools;
};

// A script text in memory: the line readers walk it by byte offset.
struct Script_Text {
  const uint8_t* data;
  size_t size;
};

// Next normalised line (separators mapped, comments dropped, upper case) into a
// buffer of Script_Line_Size bytes; advances *offset. 0, or -1 at the end.
int Script_Line_Read(const Script_Text& text, char* line, int32_t* offset);
// Next raw line of a PLUGIN block (only leading blanks and comments dropped) into a
// buffer of Script_Raw_Line_Size bytes. 0, or -1 at the end.
int Script_Line_Read_Raw(const Script_Text& text, char* line, int32_t* offset);
// Field `index` of a line into `out` (Script_Field_Size bytes). 0, or -1 when the
// field does not exist (out is then empty).
int Field_Get(const char* line, int index, char* out);
// Optional '-' and decimal digits up to the first non-digit; wraps as 32 bits.
int32_t Str_To_Int(const char* text);
// Field `index` of a line as a number (Str_To_Int); 0 when the field does not exist.
int32_t Field_Int(const char* line, int index);

// Compiles the script file `name` (its packed form first) into the current script,
// replacing any previous one. A file that cannot be read gives a script with no nodes.
void Script_Compile(const char* name);
// The text Script_Compile reads for `name` (packed form first, then the plain file);
// empty when neither can be read.
void Script_Load_Text(const char* name, std::vector<uint8_t>& out);
// Compiles a text already in memory into the current script.
void Script_Compile_Text(const Script_Text& text);
// Frees the current script and everything it owns; nothing without a script.
void Script_Free();
// The current script, or null.
Scene_Script* Script_Current();

// True when the node's name equals `name` (case folded). A node without a name
// matches nothing.
bool Warp_Name_Matches(const Warp& warp, const char* name);
// The node kind follows the picture name: a name ending in "A" or "D" (either
// case) is a flat picture, any other (or none) a panorama.
bool Picture_Name_Is_Flat(const char* picture_name);
// True when `keyword` is one of the command keywords a test may hold.
bool Script_Keyword_Known(const char* keyword);

// Observer of the compiler's decisions, used by the script checker. Offsets are
// byte offsets into the text at the start of the line concerned.
enum class Script_Stop {
  End_Of_Text,        // compiled to the end
  Unknown_Keyword,    // a command line whose keyword is not in the list
  Warp_Without_Test,  // the line after "[WARP]" is not "[TEST]" (or the text ended)
  Bool_Among_Commands,
  Plugin_Unterminated,
};
struct Script_Compile_Observer {
  virtual ~Script_Compile_Observer() = default;
  // A line was cut at 255 (script) or 257 (raw) characters without a line end.
  virtual void line_split(int32_t /*line_offset*/, bool /*raw*/) {}
  // Inside a PLUGIN block: a raw line that would close it but for trailing blanks.
  virtual void closing_line_kept_open(int32_t /*line_offset*/) {}
  // A "[WARP]" line started node `warp`.
  virtual void warp(int32_t /*line_offset*/, int /*warp*/) {}
  // A raw line of a PLUGIN block was added to the block's text (the closing line is not).
  virtual void plugin_line(int32_t /*line_offset*/, const char* /*raw*/) {}
  // A command line was stored (PLUGIN blocks as their text) for node `warp`, test `test`.
  virtual void command(int32_t /*line_offset*/, int /*warp*/, int /*test*/, const char* /*text*/) {}
  // Compilation ended for this reason at the line starting at line_offset.
  virtual void stopped(Script_Stop /*reason*/, int32_t /*line_offset*/) {}
};
void Script_Compile_Text(const Script_Text& text, Script_Compile_Observer* observer);
