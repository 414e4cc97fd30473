#include "platform/settings.h"

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "platform/ascii.h"

namespace {

constexpr const char* settings_section = "Software\\Pellumaine's\\L'Osterlin\\1.0";

std::string trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

// Section and value names compare without regard to ASCII case, as registry names do.
bool same_name(const std::string& a, const char* b) {
  size_t length = std::strlen(b);
  if (a.size() != length) return false;
  for (size_t i = 0; i < length; ++i) {
    if (Ascii_Lower(static_cast<unsigned char>(a[i])) != Ascii_Lower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

std::string Settings_File_Path() {
  std::string path = environment("OSTERLIN_REGISTRY");
  if (!path.empty()) return path;
  std::string config = environment("XDG_CONFIG_HOME");
  if (config.empty() || config[0] != '/') config = environment("HOME") + "/.config";
  return config + "/osterlin/registry.ini";
}

bool Settings_Read(const char* name, char* out, size_t out_size) {
  if (out_size > 0) out[0] = 0;
  std::ifstream file(Settings_File_Path(), std::ios::binary);
  if (!file) return false;
  bool in_section = false;
  std::string line;
  while (std::getline(file, line)) {
    line = trimmed(line);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line.front() == '[' && line.back() == ']') {
      in_section = same_name(line.substr(1, line.size() - 2), settings_section);
      continue;
    }
    size_t equals = line.find('=');
    if (!in_section || equals == std::string::npos || !same_name(trimmed(line.substr(0, equals)), name)) continue;
    std::string value = trimmed(line.substr(equals + 1));
    // An empty value counts as absent; one that does not fit is refused rather than cut.
    if (value.empty() || value.size() + 1 > out_size) return false;
    std::memcpy(out, value.c_str(), value.size() + 1);
    return true;
  }
  return false;
}
