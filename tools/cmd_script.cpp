// osterlin-tool script: dumps a compiled scene script as JSON, and checks a script
// (script_check.h) for what makes the engine stop compiling or do what its author
// did not mean, and optionally for the files it names.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "draw/console.h"
#include "scene/script_compiler.h"
#include "script_check.h"
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

int run_check(std::vector<std::string> args) {
  bool data = Tool_Take_Flag(args, "--data");
  if (args.size() != 1) return Tool_Usage_Error("script", "script check takes one FILE");
  const std::string& file = args[0];
  Script_Check_Options options;
  options.data = data;
  Script_Check_Report report = Script_Check_File(file, options);
  if (!report.readable) return Tool_Fail("cannot read " + file);
  for (const auto& problem : report.problems) {
    const char* severity = problem.severity == Script_Severity::Error ? "error" : "warning";
    std::string where = problem.line > 0 ? file + ":" + std::to_string(problem.line) : file;
    std::printf("%s: %s: %s\n", where.c_str(), severity, problem.message.c_str());
  }
  std::printf("%s: %d node(s), %d boolean(s), %d error(s), %d warning(s)%s\n", file.c_str(), report.node_count,
              report.bool_count, report.count(Script_Severity::Error), report.count(Script_Severity::Warning),
              report.stops_early ? "; compilation stops before the end of the file" : "");
  return report.failed() ? Tool_Refused : Tool_Ok;
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
    "osterlin-tool script dump FILE            compile FILE as the engine does and print it as JSON\n"
    "osterlin-tool script check [--data] FILE  list errors and warnings by line (--data: also the files it\n"
    "                                          names that are missing); exit 1 on any error, 0 on warnings only",
    "compile a scene script to JSON, or check it (and its data) for problems",
    run_script_command,
});

}  // namespace

// The `script dump` JSON, shared with export.
std::string Script_Dump_Json(const Scene_Script* script) { return script_json(script); }
