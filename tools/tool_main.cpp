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

void print_help(FILE* out) {
  std::fprintf(out,
               "osterlin-tool: data tools for the osterlin engine\n\n"
               "usage: osterlin-tool COMMAND [ARGS...]\n\n"
               "Exit status: 0 success, 1 input refused or invalid, 2 usage error.\n\n"
               "Commands:\n");
  for (const auto& [name, command] : commands()) {
    std::fprintf(out, "  %-10s %s\n", name.c_str(), command.summary);
  }
  std::fprintf(out, "\nUsage forms:\n");
  for (const auto& [name, command] : commands()) {
    std::fprintf(out, "%s\n", command.usage);
  }
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
