#include "platform/directories.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <string>

namespace {
bool is_folder(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}
}  // namespace

int Set_Directory(const char* path) {
  if (path == nullptr || path[0] == '\0') return -1;
  return chdir(path) == 0 ? 0 : -1;
}

int Set_Drive(const char* path) {
  if (path == nullptr || path[0] == '\0') return -1;
  std::string folder(path);
  for (char& c : folder) {
    if (c == '\\') c = '/';
  }
  if (folder.size() >= 2 && std::isalpha(static_cast<unsigned char>(folder[0])) && folder[1] == ':') {
    folder.erase(0, 2);
  }
  if (folder.empty()) return -1;
  if (!is_folder(folder)) {
    size_t cut = folder.find_last_of('/');
    if (cut == std::string::npos) return -1;
    folder = cut == 0 ? "/" : folder.substr(0, cut);
  }
  if (!is_folder(folder)) return -1;
  return chdir(folder.c_str()) == 0 ? 0 : -1;
}
