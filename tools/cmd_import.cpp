// osterlin-tool import: pictures, panoramas, zone files and sounds from the
// formats people use (PNG, JPEG, JSON, any audio FFmpeg reads).
#include "cmd_import.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "tool.h"

bool Import_Has_Extension(const std::string& path, const char* extension) {
  const size_t n = std::strlen(extension);
  if (path.size() <= n) return false;
  for (size_t i = 0; i < n; ++i) {
    char c = path[path.size() - n + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != extension[i]) return false;
  }
  return true;
}

Import_Progress::Import_Progress(const char* label) : label_(label), shown_(isatty(STDOUT_FILENO) == 1) {}

Import_Progress::~Import_Progress() { finish(); }

void Import_Progress::update(double fraction) {
  if (!shown_) return;
  constexpr int width = 40;
  int filled = static_cast<int>(fraction * width + 0.5);
  filled = filled < 0 ? 0 : (filled > width ? width : filled);
  if (filled == drawn_) return;
  drawn_ = filled;
  std::printf("\r%-12s [%.*s%*s] %3d%%", label_, filled, "########################################",
              width - filled, "", filled * 100 / width);
  std::fflush(stdout);
}

void Import_Progress::finish() {
  if (!shown_ || drawn_ < 0) return;
  update(1.0);
  std::printf("\n");
  std::fflush(stdout);
  shown_ = false;
}

namespace {

int run(const std::vector<std::string>& args) {
  if (args.empty()) return Tool_Usage_Error("import", "import needs a kind: panorama, picture, zones or sound");
  std::vector<std::string> rest(args.begin() + 1, args.end());
  if (args[0] == "panorama") return Import_Panorama(rest);
  if (args[0] == "picture") return Import_Picture(rest);
  if (args[0] == "zones") return Import_Zones(rest);
  if (args[0] == "sound") return Import_Sound(rest);
  return Tool_Usage_Error("import", "unknown import kind '" + args[0] + "'");
}

Tool_Registration registration({
    "import",
    "osterlin-tool import panorama IN OUT.ROZ [--quality Q] [--faces]\n"
    "osterlin-tool import picture IN OUT.ROZ|OUT.TGA [--quality Q] [--fit]\n"
    "osterlin-tool import zones IN.json OUT.ZON\n"
    "osterlin-tool import sound IN OUT.WAV [--rate 22050|44100] [--mono]",
    "bring PNG/JPEG pictures and panoramas, zone JSON and any audio into the game's formats",
    run,
});

}  // namespace
