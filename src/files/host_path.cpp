#include "files/host_path.h"

#include <dirent.h>
#include <sys/stat.h>

#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "files/text.h"

namespace {

std::string fold_ascii(const std::string& text) {
  std::string out = text;
  for (char& c : out) c = static_cast<char>(Ascii_Lower(static_cast<unsigned char>(c)));
  return out;
}

// One folder's listing, with the identity and change time it was read at.
struct Folder_Listing {
  dev_t device = 0;
  ino_t inode = 0;
  struct timespec changed {};
  std::unordered_set<std::string> exact;
  std::unordered_map<std::string, std::string> folded;  // folded name -> name on disk
};

struct Host_Path_State {
  std::mutex cache_mutex;
  std::unordered_map<std::string, Folder_Listing> cache;
};

Host_Path_State state;

bool same_time(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// The listing of `folder` ("" is the current folder), read again when the folder
// changed since it was cached. Null when the folder cannot be read.
const Folder_Listing* folder_listing(const std::string& folder) {
  const char* path = folder.empty() ? "." : folder.c_str();
  struct stat info;
  if (stat(path, &info) != 0 || !S_ISDIR(info.st_mode)) {
    state.cache.erase(folder);
    return nullptr;
  }
  auto it = state.cache.find(folder);
  if (it != state.cache.end() && it->second.device == info.st_dev && it->second.inode == info.st_ino &&
      same_time(it->second.changed, info.st_mtim)) {
    return &it->second;
  }
  DIR* dir = opendir(path);
  if (dir == nullptr) {
    state.cache.erase(folder);
    return nullptr;
  }
  Folder_Listing listing;
  listing.device = info.st_dev;
  listing.inode = info.st_ino;
  listing.changed = info.st_mtim;
  while (struct dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    std::string key = fold_ascii(name);
    auto found = listing.folded.find(key);
    // Several names differing only in case: the smallest wins, so the choice does
    // not depend on the order the folder lists them in.
    if (found == listing.folded.end() || name < found->second) listing.folded[key] = name;
    listing.exact.insert(std::move(name));
  }
  closedir(dir);
  return &(state.cache[folder] = std::move(listing));
}

std::string join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder == "/") return "/" + name;
  return folder + "/" + name;
}

std::string folder_of(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return "";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

std::string resolve_host_path(const char* name) {
  std::string written = name ? name : "";
  for (char& c : written) {
    if (c == '\\') c = '/';
  }
  struct stat info;
  if (written.empty() || stat(written.c_str(), &info) == 0) return written;

  std::lock_guard<std::mutex> lock(state.cache_mutex);
  std::string current = written[0] == '/' ? "/" : "";
  bool resolving = true;
  size_t start = 0;
  while (start <= written.size()) {
    size_t end = written.find('/', start);
    if (end == std::string::npos) end = written.size();
    std::string part = written.substr(start, end - start);
    start = end + 1;
    if (part.empty()) continue;
    if (resolving && part != "." && part != "..") {
      const Folder_Listing* listing = folder_listing(current);
      if (listing == nullptr) {
        resolving = false;
      } else if (listing->exact.count(part) == 0) {
        auto found = listing->folded.find(fold_ascii(part));
        if (found != listing->folded.end()) part = found->second;
        else resolving = false;
      }
    }
    current = join(current, part);
  }
  // A trailing separator names a folder: keep it.
  if (!written.empty() && written.back() == '/' && current != "/") current += '/';
  return current;
}

void forget_host_folder(const std::string& host_path) {
  std::lock_guard<std::mutex> lock(state.cache_mutex);
  state.cache.erase(folder_of(host_path));
}

void clear_host_path_cache() {
  std::lock_guard<std::mutex> lock(state.cache_mutex);
  state.cache.clear();
}
