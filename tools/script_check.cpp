// The scene-script checker (see script_check.h). The script is compiled by the
// engine's own compiler, which reports its decisions to an observer; the checks
// below read what the engine stored, the way the runtime and the command-block
// interpreter will read it.
#include "script_check.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <utility>

#include "files/file.h"
#include "files/text.h"
#include "platform/memory.h"
#include "scene/script_compiler.h"
#include "shell/plugins.h"

namespace {

// Editor line numbers: a line ends at LF, or at a CR not followed by LF. The
// engine pairs line ends differently (LF LF is one end), so its lines are found
// by the byte offset where they start.
class Line_Numbers {
 public:
  Line_Numbers(const uint8_t* text, size_t size) {
    for (size_t i = 0; i < size; ++i) {
      if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= size || text[i + 1] != '\n'))) ends_.push_back(i);
    }
  }
  int at(int32_t offset) const {
    if (offset < 0) return 0;
    return 1 + static_cast<int>(std::lower_bound(ends_.begin(), ends_.end(), static_cast<size_t>(offset)) -
                                ends_.begin());
  }

 private:
  std::vector<size_t> ends_;
};

constexpr int32_t Whole_File = -1;

struct Finding {
  int32_t offset;  // start of the line concerned, Whole_File for the file itself
  Script_Severity severity;
  std::string message;
};

struct Recorded_Command {
  int32_t offset;
  int warp;
  int test;
  std::string text;
};

struct Recorded_Line {
  int32_t offset;
  std::string text;
};

class Check_Observer : public Script_Compile_Observer {
 public:
  void line_split(int32_t offset, bool raw) override {
    warn(offset, raw ? "PLUGIN line longer than 257 characters is read as two lines"
                     : "line longer than 255 characters is read as two lines");
  }
  void closing_line_kept_open(int32_t offset) override {
    warn(offset, "this ENDPLUGIN line does not close the PLUGIN block: it ends in a blank");
  }
  void warp(int32_t offset, int) override { warp_offsets.push_back(offset); }
  // A block's lines count once the block is stored: an unterminated block never runs.
  void plugin_line(int32_t offset, const char* raw) override { pending_block.push_back({offset, raw}); }
  void command(int32_t offset, int warp, int test, const char* text) override {
    commands.push_back({offset, warp, test, text});
    block_lines.insert(block_lines.end(), pending_block.begin(), pending_block.end());
    pending_block.clear();
  }
  void stopped(Script_Stop reason, int32_t offset) override {
    stop = reason;
    stop_offset = offset;
  }

  void warn(int32_t offset, std::string message) {
    findings.push_back({offset, Script_Severity::Warning, std::move(message)});
  }

  std::vector<Finding> findings;
  std::vector<Recorded_Command> commands;
  std::vector<Recorded_Line> block_lines;
  std::vector<Recorded_Line> pending_block;
  std::vector<int32_t> warp_offsets;  // index: node
  Script_Stop stop = Script_Stop::End_Of_Text;
  int32_t stop_offset = 0;
};

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

std::string field_of(const std::string& line, int index) {
  char field[Script_Field_Size];
  Field_Get(line.c_str(), index, field);
  return field;
}

bool same_name(const std::string& a, const std::string& b) { return Str_Compare_No_Case(a.c_str(), b.c_str()) == 0; }

bool names_node(const Scene_Script& script, const std::string& name) {
  for (int32_t w = 0; w < script.warp_count; ++w) {
    if (Warp_Name_Matches(script.warps[w], name.c_str())) return true;
  }
  return false;
}

bool declared(const Scene_Script& script, const std::string& name) {
  for (int32_t b = 0; b < script.bool_count; ++b) {
    if (script.bools[b].name && same_name(script.bools[b].name, name)) return true;
  }
  return false;
}

bool test_has_label(const Test& test, const std::string& label) {
  for (int32_t c = 0; c < test.command_count; ++c) {
    if (field_of(test.commands[c], 0) == "LABEL" && same_name(field_of(test.commands[c], 1), label)) return true;
  }
  return false;
}

// --- Files a script names --------------------------------------------------------

enum class Data_Kind { Panorama, Flat_Picture, Zone_File, Cursor, Sound, Music, Animation, Movie, Video, Lang_Video };

struct Data_Ref {
  int32_t offset;
  Data_Kind kind;
  std::string name;
};

const char* describe(Data_Kind kind) {
  switch (kind) {
    case Data_Kind::Panorama:
    case Data_Kind::Flat_Picture: return "node picture";
    case Data_Kind::Zone_File: return "zone file";
    case Data_Kind::Cursor: return "cursor picture";
    case Data_Kind::Sound: return "sound";
    case Data_Kind::Music: return "music";
    case Data_Kind::Animation: return "animation file";
    case Data_Kind::Movie: return "movie";
    case Data_Kind::Video:
    case Data_Kind::Lang_Video: return "video";
  }
  return "file";
}

// Finds files the way the engine does from the script's folder: the file layer
// resolves each name component without regard to case, and an empty file reads
// as absent.
class Data_Finder {
 public:
  explicit Data_Finder(std::string folder) : folder_(std::move(folder)) {}

  std::string path(const std::string& name) const { return folder_.empty() ? name : folder_ + "/" + name; }

  bool exists(const std::string& name) const {
    auto known = sizes_.find(name);
    if (known != sizes_.end()) return known->second;
    bool found = File_Size(path(name).c_str()) > 0;
    sizes_[name] = found;
    return found;
  }

  // A picture: the name itself, else the engine's fallbacks, the name cut after
  // its first '.' with each of the other picture extensions.
  bool picture_exists(const std::string& name) const {
    if (exists(name)) return true;
    size_t dot = name.find('.');
    std::string base = dot == std::string::npos ? name + "." : name.substr(0, dot + 1);
    if (base.size() + 4 > 255) return false;
    for (const char* extension : {"mtd", "mtr", "iff", "lbm", "PCX", "tga", "gif", "bmp"}) {
      if (exists(base + extension)) return true;
    }
    return false;
  }

  // A cursor picture: its packed form (the name with "pak" in place of its last
  // three characters) when that unpacks, else the picture itself.
  bool cursor_exists(const std::string& name) const {
    std::string packed = packed_name(name);
    if (exists(packed)) {
      char buffer[260] = {};
      std::string full = path(packed);
      if (full.size() < sizeof buffer) {
        full.copy(buffer, full.size());
        uint8_t* data = nullptr;
        int size = 0;
        Pak_Unpack(buffer, &data, &size);
        bool unpacked = data != nullptr && size > 0;
        Mem_Free(data);
        if (unpacked) return true;
      }
    }
    return picture_exists(name);
  }

  // A language variant: the name with any text inserted before its extension
  // (the language code comes from the player's settings), the name itself included.
  bool variant_exists(const std::string& name) const {
    if (exists(name)) return true;
    size_t file_start = name.find_last_of("/\\:");
    file_start = file_start == std::string::npos ? 0 : file_start + 1;
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot < file_start) dot = name.size();
    std::string stem = name.substr(file_start, dot - file_start);
    std::string extension = name.substr(dot);
    std::string folder_name = file_start == 0 ? "." : name.substr(0, file_start - 1);
    char host[4096];
    if (!File_Host_Path(path(folder_name).c_str(), host, sizeof host)) return false;
    DIR* dir = opendir(host);
    if (dir == nullptr) return false;
    bool found = false;
    while (dirent* entry = readdir(dir)) {
      std::string candidate = entry->d_name;
      if (candidate.size() < stem.size() + extension.size()) continue;
      if (!same_prefix(candidate, stem) || !same_name(candidate.substr(candidate.size() - extension.size()), extension)) {
        continue;
      }
      struct stat info;
      std::string full = std::string(host) + "/" + candidate;
      if (stat(full.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        found = true;
        break;
      }
    }
    closedir(dir);
    return found;
  }

  static std::string packed_name(const std::string& name) {
    return name.size() >= 3 ? name.substr(0, name.size() - 3) + "pak" : name;
  }

 private:
  static bool same_prefix(const std::string& text, const std::string& prefix) {
    return same_name(text.substr(0, prefix.size()), prefix);
  }

  std::string folder_;
  mutable std::map<std::string, bool> sizes_;
};

bool data_present(const Data_Finder& finder, const Data_Ref& ref) {
  switch (ref.kind) {
    case Data_Kind::Flat_Picture: return finder.picture_exists(ref.name);
    case Data_Kind::Cursor: return finder.cursor_exists(ref.name);
    case Data_Kind::Lang_Video: return finder.variant_exists(ref.name);
    default: return finder.exists(ref.name);
  }
}

std::string missing_message(const Data_Ref& ref) {
  std::string message = std::string(describe(ref.kind)) + " " + quoted(ref.name) + " is missing";
  switch (ref.kind) {
    case Data_Kind::Flat_Picture: return message + " (in any picture format)";
    case Data_Kind::Cursor:
      return message + " (in any picture format, and as " + quoted(Data_Finder::packed_name(ref.name)) + ")";
    case Data_Kind::Lang_Video: return message + " (with or without a language code)";
    default: return message;
  }
}

// --- Command blocks -----------------------------------------------------------------

// A command-block line as the interpreter cuts it: the name before the first "(",
// the arguments between it and the first ")" after it, split at ",". Nothing is
// trimmed.
struct Block_Command {
  std::string name;
  std::vector<std::string> args;
};

enum class Block_Parse { Ok, No_Open, No_Close };

Block_Parse parse_block_line(const std::string& line, Block_Command& out) {
  size_t open = line.find('(');
  if (open == std::string::npos) return Block_Parse::No_Open;
  size_t close = line.find(')', open + 1);
  if (close == std::string::npos) return Block_Parse::No_Close;
  out.name = line.substr(0, open);
  out.args.clear();
  if (close == open + 1) return Block_Parse::Ok;
  size_t start = open + 1;
  for (size_t c = start; c <= close; ++c) {
    if (c == close || line[c] == ',') {
      out.args.push_back(line.substr(start, c - start));
      start = c + 1;
    }
  }
  return Block_Parse::Ok;
}

// Argument kinds of the interpreter's own commands: 'n' animation name or prefix,
// 'b' boolean name, 'e' end boolean (kept to 31 characters), 'i' whole number,
// 's' speed, 'f' decimal fraction, 'o' operand (a boolean when it starts with a
// letter, else a number), 'c' comparison operator, 'm' movie file.
struct Block_Arg {
  char kind;
  const char* label;
};

struct Builtin {
  const char* name;
  std::vector<Block_Arg> args;
};

const std::vector<Builtin>& builtins() {
  static const std::vector<Builtin> table = {
      {"play_animbloc", {{'n', "name"}, {'e', "end boolean"}, {'i', "end value"}, {'s', "speed"}}},
      {"stop_animbloc", {{'n', "name"}}},
      {"play_animbloc_number",
       {{'n', "prefix"}, {'b', "number boolean"}, {'e', "end boolean"}, {'i', "end value"}, {'s', "speed"}}},
      {"stop_animbloc_number", {{'n', "prefix"}, {'b', "number boolean"}}},
      {"waves", {}},
      {"op", {{'b', "true boolean"}, {'b', "false boolean"}, {'b', "boolean"}}},
      {"play_movie", {{'m', "file"}}},
      {"add", {{'b', "target"}, {'b', "boolean"}, {'o', "operand"}}},
      {"sub", {{'b', "target"}, {'b', "boolean"}, {'o', "operand"}}},
      {"cmp", {{'b', "true boolean"}, {'b', "false boolean"}, {'o', "first operand"}, {'c', "operator"},
               {'o', "second operand"}}},
      {"set", {{'b', "target"}, {'o', "value"}}},
      {"set_global_volume", {{'o', "volume"}}},
      {"until", {{'b', "boolean"}, {'i', "value"}}},
      {"while", {{'f', "seconds"}}},
      {"set_global_pan", {{'o', "turning speed"}}},
  };
  return table;
}

const Builtin* find_builtin(const std::string& name) {
  for (const Builtin& builtin : builtins()) {
    if (name == builtin.name) return &builtin;
  }
  return nullptr;
}

const Builtin* find_builtin_no_case(const std::string& name) {
  for (const Builtin& builtin : builtins()) {
    if (same_name(name, builtin.name)) return &builtin;
  }
  return nullptr;
}

// The plug-in table's names, matched without regard to case on the line's first token.
constexpr const char* plugin_names[] = {
    "LoadSave",    "Load",     "Save",         "PreLoad",       "End",           "Restart",           "CanPlayMPEG",
    "GetMPEG",     "SetMPEG",  "PlayMPEG",     "PlayLangMPEG",  "PlayAutoVideo", "PlayLangAutoVideo", "GetLang",
};

bool is_plugin(const std::string& token) {
  for (const char* name : plugin_names) {
    if (same_name(token, name)) return true;
  }
  return false;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool starts_number(const std::string& text, bool fraction) {
  char c = text[0];
  return is_digit(c) || c == '-' || c == '+' || (fraction && c == '.');
}

class Block_Checker {
 public:
  Block_Checker(const Scene_Script& script, const uint8_t* text, size_t size, std::vector<Finding>& findings,
                std::vector<Data_Ref>& data)
      : script_(script), text_(text), size_(size), findings_(findings), data_(data) {}

  void check(const Recorded_Line& line) {
    offset_ = line.offset;
    const std::string& raw = line.text;
    const char* abandon = ": the engine shows the error screen and abandons the rest of the block";
    if (raw.empty()) {
      warn(std::string(comment_only(line.offset) ? "comment-only" : "blank") +
           " line inside a PLUGIN block is an empty command" + abandon);
      return;
    }
    Block_Command command;
    switch (parse_block_line(raw, command)) {
      case Block_Parse::No_Open: return warn("command " + quoted(raw) + " has no \"(\"" + abandon);
      case Block_Parse::No_Close: return warn("command " + quoted(raw) + " has no \")\"" + abandon);
      case Block_Parse::Ok: break;
    }
    name_ = command.name;
    if (const Builtin* builtin = find_builtin(command.name)) return check_builtin(*builtin, command);
    std::vector<std::string> tokens = Plugin_Tokens(raw.c_str());
    if (!tokens.empty() && is_plugin(tokens[0])) return plugin_data(tokens);
    std::string trimmed = command.name;
    while (!trimmed.empty() && is_blank(trimmed.back())) trimmed.pop_back();
    const char* error_screen = ": the engine shows the error screen";
    if (find_builtin(trimmed) != nullptr) {
      return warn("command name " + quoted(command.name) + " ends in a blank, so it is not " + quoted(trimmed) +
                  error_screen);
    }
    std::string hint;
    if (const Builtin* near = find_builtin_no_case(trimmed)) hint = " (did you mean " + quoted(near->name) + "?)";
    warn(quoted(command.name) + " is neither a command-block command nor a plug-in" + hint + error_screen);
  }

 private:
  // The line at `offset` holds only blanks before a ';'.
  bool comment_only(int32_t offset) const {
    for (size_t i = static_cast<size_t>(offset); i < size_; ++i) {
      if (!is_blank(static_cast<char>(text_[i]))) return text_[i] == ';';
    }
    return false;
  }

  void warn(const std::string& message) { findings_.push_back({offset_, Script_Severity::Warning, message}); }

  void check_builtin(const Builtin& builtin, const Block_Command& command) {
    for (size_t i = 0; i < command.args.size() && i < builtin.args.size(); ++i) {
      check_arg(builtin.args[i], command.args[i]);
    }
    if (name_ == "op") {
      // Pairs of "or" or "and" and a boolean; any other word skips its pair.
      for (size_t i = 3; i < command.args.size(); i += 2) {
        const std::string& word = command.args[i];
        if (i + 1 >= command.args.size()) {
          warn("op: " + quoted(word) + " has no boolean after it and is ignored");
        } else if (word != "or" && word != "and") {
          warn("op: " + quoted(word) + " is neither \"or\" nor \"and\": the pair is skipped");
        } else {
          check_boolean("boolean", command.args[i + 1]);
        }
      }
    }
  }

  void check_arg(const Block_Arg& arg, const std::string& text) {
    std::string what = name_ + ": " + arg.label + " " + quoted(text);
    switch (arg.kind) {
      case 'b':
      case 'e':
        check_boolean(arg.label, text);
        if (arg.kind == 'e' && text.size() > 31) warn(what + " is cut to its first 31 characters");
        return;
      case 'm':
        if (!text.empty()) data_.push_back({offset_, Data_Kind::Movie, text});
        return;
      case 'c':
        if (text != "<" && text != ">" && text != "<=" && text != ">=" && text != "==" && text != "!=") {
          warn(what + " is not one of < > <= >= == !=: the command changes nothing");
        }
        return;
      case 'i':
      case 's':
      case 'f':
      case 'o':
        break;
      default:
        return;
    }
    // Numbers are read from the argument's first character on; a blank there
    // (as after ", ") reads as 0.
    std::string consequence = arg.kind == 's' ? ": the animation stays on its first frame and never ends" : "";
    if (text.empty()) {
      if (arg.kind == 's') warn(name_ + ": the speed is empty and reads as 0" + consequence);
      return;
    }
    if (is_blank(text[0])) return warn(what + " is written after a blank and reads as 0" + consequence);
    if (arg.kind == 'o' && is_letter(text[0])) return check_boolean(arg.label, text);
    if (!starts_number(text, arg.kind == 's' || arg.kind == 'f')) {
      warn(what + (arg.kind == 'o' ? " is neither a number nor a boolean name" : " is not a number") +
           " and reads as 0" + consequence);
    }
  }

  void check_boolean(const std::string& label, const std::string& name) {
    if (name.empty()) return;
    if (is_blank(name.front()) || is_blank(name.back())) {
      return warn(name_ + ": " + label + " " + quoted(name) + " has a blank at its start or end: it names no boolean");
    }
    if (!declared(script_, name)) warn("boolean " + quoted(name) + " used by " + name_ + " is never declared");
  }

  void plugin_data(const std::vector<std::string>& tokens) {
    if (tokens.size() < 2) return;
    const std::string& plugin = tokens[0];
    if (same_name(plugin, "PlayMPEG") || same_name(plugin, "PlayAutoVideo")) {
      data_.push_back({offset_, Data_Kind::Video, tokens[1]});
    } else if (same_name(plugin, "PlayLangMPEG") || same_name(plugin, "PlayLangAutoVideo")) {
      data_.push_back({offset_, Data_Kind::Lang_Video, tokens[1]});
    }
  }

  const Scene_Script& script_;
  const uint8_t* text_;
  size_t size_;
  std::vector<Finding>& findings_;
  std::vector<Data_Ref>& data_;
  int32_t offset_ = 0;
  std::string name_;
};

// --- Script commands ------------------------------------------------------------

void check_command(const Scene_Script& script, const Script_Text& text, const Recorded_Command& command,
                   std::vector<Finding>& findings, std::vector<Data_Ref>& data) {
  const std::string keyword = field_of(command.text, 0);
  auto warn = [&](const std::string& message) {
    findings.push_back({command.offset, Script_Severity::Warning, message});
  };
  auto need_boolean = [&](const std::string& name) {
    if (!declared(script, name)) warn("boolean " + quoted(name) + " used by " + keyword + " is never declared");
  };
  auto need_node = [&](int index) {
    std::string name = field_of(command.text, index);
    if (!names_node(script, name)) warn(keyword + " names no node: " + quoted(name));
  };
  auto names_file = [&](int index, Data_Kind kind) {
    std::string name = field_of(command.text, index);
    if (!name.empty()) data.push_back({command.offset, kind, name});
  };
  if (keyword == "IFAND" || keyword == "IFOR") {
    char field[Script_Field_Size];
    for (int i = 1; Field_Get(command.text.c_str(), i, field) == 0; ++i) need_boolean(field);
  } else if (keyword == "SET" || keyword == "NOT") {
    need_boolean(field_of(command.text, 1));
  } else if (keyword == "GOTOWARP" || keyword == "HIDECURSOR") {
    need_node(1);
  } else if (keyword == "SETCURSOR") {
    need_node(2);
    names_file(1, Data_Kind::Cursor);
  } else if (keyword == "SETCURSORDEFAULT") {
    names_file(2, Data_Kind::Cursor);
  } else if (keyword == "LOCKKEY") {
    need_node(2);
  } else if (keyword == "PLAYSOUND" || keyword == "PLAYSOUND3D" || keyword == "PLAYRNDSOUND") {
    names_file(1, Data_Kind::Sound);
  } else if (keyword == "PLAYMUSIQUE") {
    names_file(1, Data_Kind::Music);
  } else if (keyword == "PLAYVIDEO") {
    names_file(1, Data_Kind::Animation);
  }
  if (keyword == "PLUGIN") {
    // The block starts on the next line: whatever follows the keyword is dropped.
    char line[Script_Line_Size];
    int32_t offset = command.offset;
    Script_Line_Read(text, line, &offset);
    if (!field_of(line, 1).empty()) warn("text after PLUGIN on its own line is ignored: the block starts below it");
  }
  if (keyword == "LOCKKEY" || keyword == "UNLOCKKEY") {
    int32_t slot = Str_To_Int(field_of(command.text, 1).c_str());
    if (slot < 0 || slot > 12) warn(keyword + " slot " + std::to_string(slot) + " is outside 0 to 12");
  }
  if (keyword == "GOSUB") {
    std::string label = field_of(command.text, 1);
    if (!test_has_label(script.warps[command.warp].tests[command.test], label)) {
      warn("GOSUB to " + quoted(label) + ": no LABEL of that name in this test");
    }
  }
}

std::string keyword_at(const uint8_t* data, size_t size, int32_t offset) {
  char line[Script_Line_Size];
  Script_Line_Read(Script_Text{data, size}, line, &offset);
  return field_of(line, 0);
}

void report_stop(const Check_Observer& observer, const uint8_t* data, size_t size, std::vector<Finding>& findings) {
  auto error = [&](int32_t offset, const std::string& message) {
    findings.push_back({offset, Script_Severity::Error, message});
  };
  int32_t offset = observer.stop_offset;
  switch (observer.stop) {
    case Script_Stop::End_Of_Text:
      break;
    case Script_Stop::Unknown_Keyword:
      error(offset, "unknown keyword " + quoted(keyword_at(data, size, offset)) + ": compilation stops here");
      break;
    case Script_Stop::Warp_Without_Test:
      if (static_cast<size_t>(offset) < size) {
        error(offset,
              "the line after \"[WARP]\" must be \"[TEST]\" (blank and comment lines included): "
              "compilation stops here");
      } else {
        error(observer.warp_offsets.empty() ? Whole_File : observer.warp_offsets.back(),
              "\"[WARP]\" at the end of the file has no \"[TEST]\": the node runs nothing");
      }
      break;
    case Script_Stop::Bool_Among_Commands:
      error(offset, "\"[BOOL]\" among commands: compilation stops here");
      break;
    case Script_Stop::Plugin_Unterminated:
      error(offset, "PLUGIN block without an ENDPLUGIN line: compilation stops here");
      break;
  }
}

void check_data(const Scene_Script& script, const Check_Observer& observer, const std::string& folder,
                std::vector<Data_Ref>& data, std::vector<Finding>& findings) {
  for (int32_t w = 0; w < script.warp_count && static_cast<size_t>(w) < observer.warp_offsets.size(); ++w) {
    const Warp& warp = script.warps[w];
    int32_t offset = observer.warp_offsets[static_cast<size_t>(w)];
    // A flat node whose picture the node loader does not recognise is read as a
    // picture (with its fallbacks); a panorama only from the file itself.
    if (warp.picture_name) {
      data.push_back({offset, warp.kind == 1 ? Data_Kind::Flat_Picture : Data_Kind::Panorama, warp.picture_name});
    }
    if (warp.zone_file_name) data.push_back({offset, Data_Kind::Zone_File, warp.zone_file_name});
  }
  std::stable_sort(data.begin(), data.end(), [](const Data_Ref& a, const Data_Ref& b) { return a.offset < b.offset; });
  Data_Finder finder(folder);
  // Each missing file is reported once, where it is first named.
  std::map<std::pair<int, std::string>, size_t> first;
  std::vector<int> repeats(findings.size() + data.size(), 0);
  size_t base = findings.size();
  for (const Data_Ref& ref : data) {
    auto key = std::make_pair(static_cast<int>(ref.kind), std::string(ref.name));
    for (char& c : key.second) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    auto known = first.find(key);
    if (known != first.end()) {
      if (known->second != SIZE_MAX) ++repeats[known->second];
      continue;
    }
    if (data_present(finder, ref)) {
      first[key] = SIZE_MAX;
      continue;
    }
    first[key] = findings.size();
    findings.push_back({ref.offset, Script_Severity::Error, missing_message(ref)});
  }
  for (size_t i = base; i < findings.size(); ++i) {
    if (repeats[i] > 0) findings[i].message += " (named again on " + std::to_string(repeats[i]) + " more line(s))";
  }
  // Every run loads the two cursors from the script's folder.
  const std::pair<const char*, const char*> cursors[] = {{"cursor1.pcx", "default"}, {"cursor2.pcx", "hotspot"}};
  for (const auto& [name, which] : cursors) {
    Data_Ref ref{Whole_File, Data_Kind::Cursor, name};
    if (!data_present(finder, ref)) {
      findings.push_back({Whole_File, Script_Severity::Warning,
                          missing_message(ref) + ": the " + which + " cursor is not drawn"});
    }
  }
}

}  // namespace

int Script_Check_Report::count(Script_Severity severity) const {
  return static_cast<int>(std::count_if(problems.begin(), problems.end(),
                                        [&](const Script_Problem& p) { return p.severity == severity; }));
}

Script_Check_Report Script_Check_Text(const uint8_t* data, size_t size, const std::string& folder,
                                      const Script_Check_Options& options) {
  Script_Check_Report report;
  report.readable = true;
  Check_Observer observer;
  Script_Compile_Text(Script_Text{data, size}, &observer);
  const Scene_Script& script = *Script_Current();
  report.node_count = script.warp_count;
  report.bool_count = script.bool_count;

  std::vector<Finding> findings = observer.findings;
  std::vector<Data_Ref> references;
  for (const auto& command : observer.commands) {
    check_command(script, Script_Text{data, size}, command, findings, references);
  }
  Block_Checker blocks(script, data, size, findings, references);
  for (const auto& line : observer.block_lines) blocks.check(line);
  for (int32_t w = 0; w < script.warp_count && static_cast<size_t>(w) < observer.warp_offsets.size(); ++w) {
    if (script.warps[w].picture_name == nullptr) {
      findings.push_back({observer.warp_offsets[static_cast<size_t>(w)], Script_Severity::Warning,
                          "\"[WARP]\" names no picture: the node shows nothing and no command can name it"});
    }
  }
  report_stop(observer, data, size, findings);
  report.stops_early = observer.stop != Script_Stop::End_Of_Text && static_cast<size_t>(observer.stop_offset) < size;
  if (script.warp_count == 0) {
    findings.push_back({Whole_File, Script_Severity::Error,
                        "no node (no \"[WARP]\" line): the engine ends the run at once"});
  }
  if (options.data) check_data(script, observer, folder, references, findings);
  Script_Free();

  std::stable_sort(findings.begin(), findings.end(),
                   [](const Finding& a, const Finding& b) { return a.offset < b.offset; });
  // The scan for the next node reads a node's lines a second time: report each once.
  findings.erase(std::unique(findings.begin(), findings.end(),
                             [](const Finding& a, const Finding& b) {
                               return a.offset == b.offset && a.message == b.message;
                             }),
                 findings.end());
  Line_Numbers lines(data, size);
  for (const Finding& finding : findings) {
    report.problems.push_back({lines.at(finding.offset), finding.severity, finding.message});
  }
  return report;
}

Script_Check_Report Script_Check_File(const std::string& path, const Script_Check_Options& options) {
  size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "" : slash == 0 ? "/" : path.substr(0, slash);
  std::vector<uint8_t> text;
  Script_Load_Text(path.c_str(), text);
  if (text.empty()) {
    // An empty file is a script without nodes; a missing one cannot be checked.
    auto present = [](const std::string& name) {
      char host[4096];
      struct stat info;
      return File_Host_Path(name.c_str(), host, sizeof host) && stat(host, &info) == 0 && S_ISREG(info.st_mode);
    };
    if (!present(path) && !present(Data_Finder::packed_name(path))) return {};
  }
  return Script_Check_Text(text.data(), text.size(), folder, options);
}
