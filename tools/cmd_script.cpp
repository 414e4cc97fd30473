// osterlin-tool script: dumps a compiled scene script as JSON, and checks a script
// for the problems that make the engine stop compiling or ignore commands.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "draw/console.h"
#include "files/text.h"
#include "scene/script_compiler.h"
#include "tool.h"

namespace {

bool exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Makes FILE's folder current, as the engine does for a level, and returns the
// name to compile from there. Empty when neither FILE nor its packed form exists.
std::string enter_script_folder(const std::string& path) {
  std::string packed = path.size() >= 3 ? path.substr(0, path.size() - 3) + "pak" : "pak";
  if (!exists(path) && !exists(packed)) return {};
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return path;
  std::string folder = slash == 0 ? "/" : path.substr(0, slash);
  if (chdir(folder.c_str()) != 0) return {};
  return path.substr(slash + 1);
}

void json_string(std::string& out, const char* text) {
  if (text == nullptr) {
    out += "null";
    return;
  }
  out += '"';
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    unsigned char c = *p;
    char escape[8];
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        // Script text is single-byte: bytes 0x80 to 0xFF stand for U+0080 to U+00FF.
        if (c < 0x20 || c >= 0x80) {
          std::snprintf(escape, sizeof escape, "\\u%04x", c);
          out += escape;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}

std::string script_json(const Scene_Script* script) {
  std::string out = "{\"bools\":[";
  int32_t bool_count = script ? script->bool_count : 0;
  for (int32_t b = 0; b < bool_count; ++b) {
    if (b) out += ',';
    out += "{\"name\":";
    json_string(out, script->bools[b].name);
    out += '}';
  }
  out += "],\"warps\":[";
  int32_t warp_count = script ? script->warp_count : 0;
  for (int32_t w = 0; w < warp_count; ++w) {
    const Warp& warp = script->warps[w];
    if (w) out += ',';
    out += "{\"picture\":";
    json_string(out, warp.picture_name);
    out += ",\"zones\":";
    json_string(out, warp.zone_file_name);
    out += ",\"kind\":" + std::to_string(warp.kind) + ",\"tests\":[";
    for (int32_t t = 0; t < warp.test_count; ++t) {
      const Test& test = warp.tests[t];
      if (t) out += ',';
      out += "{\"zone\":" + std::to_string(test.zone) + ",\"trigger\":" + std::to_string(test.trigger) +
             ",\"commands\":[";
      for (int32_t c = 0; c < test.command_count; ++c) {
        if (c) out += ',';
        json_string(out, test.commands[c]);
      }
      out += "]}";
    }
    out += "]}";
  }
  out += "]}";
  return out;
}

int run_dump(const std::vector<std::string>& args) {
  if (args.size() != 1) return Tool_Usage_Error("script", "script dump takes one FILE");
  std::string name = enter_script_folder(args[0]);
  if (name.empty()) return Tool_Fail("cannot read " + args[0]);
  // The compiler's console lines (an unterminated PLUGIN block) go to stderr.
  Console_Set_Enabled(true);
  Script_Compile(name.c_str());
  std::string json = script_json(Script_Current());
  Script_Free();
  std::printf("%s\n", json.c_str());
  return Tool_Ok;
}

// Editor line numbers: a line ends at LF, or at a CR not followed by LF.
class Line_Numbers {
 public:
  explicit Line_Numbers(const std::vector<uint8_t>& text) {
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) {
        ends_.push_back(i);
      }
    }
  }
  int at(int32_t offset) const {
    return 1 + static_cast<int>(std::lower_bound(ends_.begin(), ends_.end(), static_cast<size_t>(offset)) -
                                ends_.begin());
  }

 private:
  std::vector<size_t> ends_;
};

struct Problem {
  int32_t offset;
  std::string message;
};

struct Recorded_Command {
  int32_t offset;
  int warp;
  int test;
  std::string text;
};

class Check_Observer : public Script_Compile_Observer {
 public:
  void line_split(int32_t offset, bool raw) override {
    problems.push_back({offset, raw ? "PLUGIN line longer than 257 characters is read as two lines"
                                    : "line longer than 255 characters is read as two lines"});
  }
  void closing_line_kept_open(int32_t offset) override {
    problems.push_back({offset, "this ENDPLUGIN line does not close the PLUGIN block: it ends in a blank"});
  }
  void warp(int32_t offset, int) override { last_warp_offset = offset; }
  void command(int32_t offset, int warp, int test, const char* text) override {
    commands.push_back({offset, warp, test, text});
  }
  void stopped(Script_Stop reason, int32_t offset) override {
    stop = reason;
    stop_offset = offset;
  }

  std::vector<Problem> problems;
  std::vector<Recorded_Command> commands;
  Script_Stop stop = Script_Stop::End_Of_Text;
  int32_t stop_offset = 0;
  int32_t last_warp_offset = 0;
};

std::string field_of(const std::string& line, int index) {
  char field[Script_Field_Size];
  Field_Get(line.c_str(), index, field);
  return field;
}

bool names_node(const Scene_Script& script, const std::string& name) {
  for (int32_t w = 0; w < script.warp_count; ++w) {
    if (Warp_Name_Matches(script.warps[w], name.c_str())) return true;
  }
  return false;
}

bool declared(const Scene_Script& script, const std::string& name) {
  for (int32_t b = 0; b < script.bool_count; ++b) {
    if (script.bools[b].name && Str_Compare_No_Case(script.bools[b].name, name.c_str()) == 0) return true;
  }
  return false;
}

bool test_has_label(const Test& test, const std::string& label) {
  for (int32_t c = 0; c < test.command_count; ++c) {
    if (field_of(test.commands[c], 0) == "LABEL" &&
        Str_Compare_No_Case(field_of(test.commands[c], 1).c_str(), label.c_str()) == 0) {
      return true;
    }
  }
  return false;
}

void check_command(const Scene_Script& script, const Recorded_Command& command, std::vector<Problem>& problems) {
  const std::string keyword = field_of(command.text, 0);
  auto report = [&](const std::string& message) { problems.push_back({command.offset, message}); };
  auto need_boolean = [&](const std::string& name) {
    if (!declared(script, name)) report("boolean \"" + name + "\" used by " + keyword + " is never declared");
  };
  auto need_node = [&](int index) {
    std::string name = field_of(command.text, index);
    if (!names_node(script, name)) report(keyword + " names no node: \"" + name + "\"");
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
  } else if (keyword == "LOCKKEY") {
    need_node(2);
  }
  if (keyword == "LOCKKEY" || keyword == "UNLOCKKEY") {
    int32_t slot = Str_To_Int(field_of(command.text, 1).c_str());
    if (slot < 0 || slot > 12) report(keyword + " slot " + std::to_string(slot) + " is outside 0 to 12");
  }
  if (keyword == "GOSUB") {
    std::string label = field_of(command.text, 1);
    if (!test_has_label(script.warps[command.warp].tests[command.test], label)) {
      report("GOSUB to \"" + label + "\": no LABEL of that name in this test");
    }
  }
}

std::string keyword_at(const std::vector<uint8_t>& text, int32_t offset) {
  char line[Script_Line_Size];
  Script_Line_Read(Script_Text{text.data(), text.size()}, line, &offset);
  return field_of(line, 0);
}

int run_check(const std::vector<std::string>& args) {
  if (args.size() != 1) return Tool_Usage_Error("script", "script check takes one FILE");
  std::string name = enter_script_folder(args[0]);
  if (name.empty()) return Tool_Fail("cannot read " + args[0]);
  std::vector<uint8_t> text;
  Script_Load_Text(name.c_str(), text);
  Check_Observer observer;
  Script_Compile_Text(Script_Text{text.data(), text.size()}, &observer);
  const Scene_Script& script = *Script_Current();
  std::vector<Problem> problems = observer.problems;
  for (const auto& command : observer.commands) check_command(script, command, problems);

  bool stops_early = false;
  int32_t end = static_cast<int32_t>(text.size());
  switch (observer.stop) {
    case Script_Stop::End_Of_Text:
      break;
    case Script_Stop::Unknown_Keyword:
      problems.push_back({observer.stop_offset, "unknown keyword \"" + keyword_at(text, observer.stop_offset) +
                                                    "\": compilation stops here"});
      break;
    case Script_Stop::Warp_Without_Test:
      if (observer.stop_offset < end) {
        problems.push_back({observer.stop_offset,
                            "the line after \"[WARP]\" must be \"[TEST]\" (blank and comment lines included): "
                            "compilation stops here"});
      } else {
        problems.push_back({observer.last_warp_offset, "\"[WARP]\" at the end of the file has no \"[TEST]\""});
      }
      break;
    case Script_Stop::Bool_Among_Commands:
      problems.push_back({observer.stop_offset, "\"[BOOL]\" among commands: compilation stops here"});
      break;
    case Script_Stop::Plugin_Unterminated:
      problems.push_back({observer.stop_offset, "PLUGIN block without an ENDPLUGIN line: compilation stops here"});
      break;
  }
  if (observer.stop != Script_Stop::End_Of_Text && observer.stop_offset < end) stops_early = true;

  std::stable_sort(problems.begin(), problems.end(),
                   [](const Problem& a, const Problem& b) { return a.offset < b.offset; });
  // The scan for the next node reads a node's lines a second time: report each once.
  problems.erase(std::unique(problems.begin(), problems.end(),
                             [](const Problem& a, const Problem& b) {
                               return a.offset == b.offset && a.message == b.message;
                             }),
                 problems.end());
  Line_Numbers lines(text);
  for (const auto& problem : problems) {
    std::printf("%s:%d: %s\n", args[0].c_str(), lines.at(problem.offset), problem.message.c_str());
  }
  std::printf("%s: %d node(s), %d boolean(s), %zu problem(s)%s\n", args[0].c_str(), script.warp_count,
              script.bool_count, problems.size(),
              stops_early ? "; compilation stops before the end of the file" : "");
  Script_Free();
  return stops_early ? Tool_Refused : Tool_Ok;
}

int run_script_command(const std::vector<std::string>& args) {
  if (args.empty()) return Tool_Usage_Error("script");
  std::vector<std::string> rest(args.begin() + 1, args.end());
  if (args[0] == "dump") return run_dump(rest);
  if (args[0] == "check") return run_check(rest);
  return Tool_Usage_Error("script", "unknown script command '" + args[0] + "'");
}

const Tool_Registration registration({
    "script",
    "osterlin-tool script dump FILE    compile FILE as the engine does and print it as JSON\n"
    "osterlin-tool script check FILE   list problems with line numbers; exit 1 when compilation stops early",
    "compile a scene script to JSON, or check it for problems",
    run_script_command,
});

}  // namespace

// The `script dump` JSON, shared with export.
std::string Script_Dump_Json(const Scene_Script* script) { return script_json(script); }
