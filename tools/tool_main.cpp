// osterlin-tool: the data toolkit (pack methods, PAK, ROZ, scripts, pictures,
// sounds, demo game).
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "tool.h"

namespace {
std::map<std::string, Tool_Command>& commands() {
  static std::map<std::string, Tool_Command> table;
  return table;
}

// Every usage form of every command, in one list. Forms of commands that are
// registered but missing here are printed after it, so none is ever hidden.
struct Usage_Form {
  const char* command;
  const char* form;         // after "osterlin-tool "
  const char* description;
};

constexpr Usage_Form usage_forms[] = {
    {"export", "export INPUT... --to DIR", "game files (folders walked) as PNG, WAV, JSON"},
    {"import", "import panorama IN OUT.ROZ [--quality Q] [--faces]",
     "a 360-degree picture into a ROZ panorama"},
    {"import", "import picture IN OUT [--quality Q] [--fit]", "a 640 x 480 picture into a ROZ or Targa"},
    {"import", "import zones IN.json OUT.ZON", "a zone file from export's JSON"},
    {"import", "import sound IN OUT.WAV [--rate 22050|44100] [--mono]", "any sound into a 16-bit PCM WAV"},
    {"doctor", "doctor INSTALLED [--discs DISCS]", "check an installation as the engine uses it"},
    {"make-demo", "make-demo [--no-tour] [--engine PATH] DIR", "write the demo game, record its tour"},
    {"script", "script dump FILE", "a scene script compiled, as JSON"},
    {"script", "script check [--data] FILE", "a script's problems (--data: and its files)"},
    {"picture", "picture dump NAME OUTPREFIX [--to16]", "a picture's pixels and palette as loaded"},
    {"wav", "wav info FILE [--data OUT]", "a WAV sound as the engine loads it"},
    {"pak", "pak create --method M [--name INNER] IN OUT", "pack a file into a PAK file"},
    {"pak", "pak extract IN OUTDIR", "unpack a PAK file's inner file"},
    {"pak", "pak list IN", "a PAK file's inner name, method, sizes"},
    {"pack", "pack --method M [--ref REF] IN OUT", "pack with method 0-7 (raw stream)"},
    {"unpack", "unpack --method M --size N [--ref REF] IN OUT", "a raw pack-method stream to N bytes"},
    {"roz", "roz encode --quality Q --bpp 24|32 --width W --height H IN OUT", "raw pixels into a ROZ stream"},
    {"roz", "roz decode --quality Q --bpp 24|32 --width W --height H IN OUT", "a ROZ stream into raw pixels"},
    {"roz", "roz encode-blocks --quality Q --bpp 24|32 --count N IN OUT", "8 x 8 blocks into a ROZ stream"},
    {"roz", "roz decode-blocks --quality Q --bpp 24|32 --count N IN OUT", "a ROZ stream into 8 x 8 blocks"},
    {"roz", "roz decode16 --quality Q --variant V --size 640x480|256x6144 IN OUT",
     "a ROZ stream into 16-bit pixels"},
    {"roz", "roz decode-blocks16 --quality Q --bits 16|15 --count N --pitch P --height H --offsets OFFS IN OUT",
     "ROZ blocks into a 16-bit picture"},
    {"tessalin", "tessalin unpack --bits 15|16 IN OUT", "a packed panorama into 16-bit pixels"},
    {"tessalin", "tessalin pack --quality Q IN OUT", "24-bit pixels into a packed panorama"},
};

void print_help(FILE* out) {
  std::fprintf(out,
               "osterlin-tool: data tools for the osterlin engine\n\n"
               "usage: osterlin-tool COMMAND [ARGS...]   (osterlin-tool COMMAND --help shows one command)\n\n");
  // Descriptions line up in one column; a form too long for it has its
  // description on the next line, in that column.
  constexpr size_t widest_column = 50;
  size_t column = 0;
  for (const Usage_Form& u : usage_forms) {
    size_t length = std::strlen(u.form);
    if (length <= widest_column && length > column) column = length;
  }
  for (const Usage_Form& u : usage_forms) {
    if (std::strlen(u.form) > column) {
      std::fprintf(out, "  osterlin-tool %s\n  %*s  %s\n", u.form, static_cast<int>(column + 14), "", u.description);
    } else {
      std::fprintf(out, "  osterlin-tool %-*s  %s\n", static_cast<int>(column), u.form, u.description);
    }
  }
  for (const auto& [name, command] : commands()) {
    bool listed = false;
    for (const Usage_Form& u : usage_forms) listed = listed || name == u.command;
    if (!listed) std::fprintf(out, "%s\n", command.usage);
  }
  std::fprintf(out, "\nExit status: 0 success, 1 input refused or invalid, 2 usage error.\n");
}
}  // namespace

Tool_Registration::Tool_Registration(const Tool_Command& command) { commands()[command.name] = command; }

int Tool_Fail(const std::string& message) {
  std::fprintf(stderr, "osterlin-tool: %s\n", message.c_str());
  return Tool_Refused;
}

int Tool_Usage_Error(const char* name, const std::string& message) {
  if (!message.empty()) std::fprintf(stderr, "osterlin-tool: %s\n", message.c_str());
  auto it = commands().find(name);
  if (it != commands().end()) std::fprintf(stderr, "usage:\n%s\n", it->second.usage);
  return Tool_Usage;
}

bool Tool_Read_File(const std::string& path, std::vector<unsigned char>& out) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  out.clear();
  unsigned char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.insert(out.end(), buffer, buffer + n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

bool Tool_Write_File(const std::string& path, const void* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
  ok = (std::fclose(f) == 0) && ok;
  return ok;
}

bool Tool_Take_Option(std::vector<std::string>& args, const std::string& flag, std::string& value) {
  for (size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == flag) {
      value = args[i + 1];
      args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
      return true;
    }
  }
  return false;
}

bool Tool_Take_Flag(std::vector<std::string>& args, const std::string& flag) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == flag) {
      args.erase(args.begin() + static_cast<long>(i));
      return true;
    }
  }
  return false;
}

bool Tool_Parse_Int(const std::string& text, long long& value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  value = std::strtoll(text.c_str(), &end, 10);
  return errno == 0 && end != nullptr && *end == 0;
}

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    print_help(argc < 2 ? stderr : stdout);
    return argc < 2 ? Tool_Usage : Tool_Ok;
  }
  auto it = commands().find(argv[1]);
  if (it == commands().end()) {
    std::fprintf(stderr, "osterlin-tool: unknown command '%s' (see osterlin-tool --help)\n", argv[1]);
    return Tool_Usage;
  }
  std::vector<std::string> args(argv + 2, argv + argc);
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::printf("%s\n", it->second.usage);
    return Tool_Ok;
  }
  return it->second.run(args);
}
