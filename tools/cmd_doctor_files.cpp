// osterlin-tool doctor: the checks of one script and of the files it names,
// each done through the engine's own loader for that kind of file.
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "anim/anim_file.h"
#include "cmd_doctor.h"
#include "files/file.h"
#include "files/text.h"
#include "pictures/picture.h"
#include "pictures/picture_load.h"
#include "platform/memory.h"
#include "scene/runtime.h"
#include "scene/script_compiler.h"
#include "scene/view.h"
#include "script_check.h"
#include "shell/mpeg.h"
#include "smack/smack.h"
#include "sound/sound.h"
#include "sound/wav.h"
#include "video/movie.h"
#include "video/node_picture.h"

namespace {

int line_of(const std::vector<uint8_t>& text, int32_t offset) {
  const size_t end = std::min(static_cast<size_t>(offset < 0 ? 0 : offset), text.size());
  return 1 + static_cast<int>(std::count(text.begin(), text.begin() + static_cast<long>(end), '\n'));
}

std::string field_of(const char* line, int index) {
  char field[Script_Field_Size];
  Field_Get(line, index, field);
  return field;
}

std::string upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// The host file a game name resolves to, and whether it is a regular file.
bool present(const std::string& name, long long* size = nullptr) {
  char host[PATH_MAX];
  if (name.empty() || !File_Host_Path(name.c_str(), host, sizeof host)) return false;
  struct stat info;
  if (stat(host, &info) != 0 || !S_ISREG(info.st_mode)) return false;
  if (size) *size = static_cast<long long>(info.st_size);
  return true;
}

// ---- What a script names ------------------------------------------------------

enum class Use { Picture, Zones, Sound, Music, Anim_Video, Smacker, Cursor, Block_Anim };

struct Named {
  Use use;
  std::string name;  // as written (block animations: the animation's name)
  int line;
  int node;          // the node whose picture holds a block animation
};

class Name_Observer : public Script_Compile_Observer {
 public:
  void warp(int32_t offset, int warp) override {
    if (warp >= static_cast<int>(warp_offsets.size())) warp_offsets.resize(static_cast<size_t>(warp) + 1, offset);
    warp_offsets[static_cast<size_t>(warp)] = offset;
  }
  void command(int32_t offset, int warp, int test, const char* text) override {
    commands.push_back({offset, warp, test, text});
  }
  struct Command {
    int32_t offset;
    int warp;
    int test;
    std::string text;
  };
  std::vector<int32_t> warp_offsets;
  std::vector<Command> commands;
};

// The files of one PLUGIN block: "PLUGIN," then lines each ended by ";", each
// line name(arg, ...).
void plugin_names(const std::string& block, int line, int node, std::vector<Named>& out) {
  std::string body = block.size() > 7 ? block.substr(7) : std::string();
  size_t start = 0;
  while (start < body.size()) {
    size_t end = body.find(';', start);
    if (end == std::string::npos) break;  // the piece after the last ';' is not run
    std::string command = body.substr(start, end - start);
    start = end + 1;
    size_t open = command.find('('), close = command.find(')', open == std::string::npos ? 0 : open + 1);
    if (open == std::string::npos || close == std::string::npos) continue;
    std::string name = command.substr(0, open);
    std::string first = command.substr(open + 1, close - open - 1);
    first = first.substr(0, first.find(','));
    if (first.empty()) continue;
    if (name == "play_movie" || name == "PlayAutoVideo" || name == "PlayMPEG") {
      out.push_back({Use::Smacker, first, line, node});
    } else if (name == "PlayLangAutoVideo" || name == "PlayLangMPEG") {
      out.push_back({Use::Smacker, Lang_Variant(first.c_str()), line, node});
    } else if (name == "play_animbloc") {
      out.push_back({Use::Block_Anim, first, line, node});
    }
  }
}

const char* use_word(Use use) {
  switch (use) {
    case Use::Picture: return "node picture";
    case Use::Zones: return "zone file";
    case Use::Sound: return "sound";
    case Use::Music: return "music";
    case Use::Anim_Video: return "video";
    case Use::Smacker: return "video";
    case Use::Cursor: return "cursor";
    case Use::Block_Anim: return "block animation";
  }
  return "file";
}

// Why a named file does not serve, or empty when it does. Node pictures are
// checked by the caller.
std::string file_trouble(const Named& n) {
  long long size = 0;
  const bool here = present(n.name, &size);
  switch (n.use) {
    case Use::Sound: {
      if (!here) return "missing";
      Sound* sound = Wav_Load(n.name.c_str());
      if (sound == nullptr) return "not a WAV sound the engine plays";
      Sound_Free(sound);
      return {};
    }
    case Use::Music: {
      if (!here) return "missing";
      Wav_Info* info = Wav_Read_Info(n.name.c_str());
      if (info == nullptr) return "not a WAV sound the engine streams";
      const bool usable = info->format_tag == 1 && info->channels >= 1 && info->channels <= 2 &&
                          (info->bits_per_sample == 8 || info->bits_per_sample == 16);
      Mem_Free(info);
      return usable ? std::string() : "not 8- or 16-bit PCM in one or two channels";
    }
    case Use::Anim_Video: {
      if (!here) return "missing";
      Anim_Player* player = Anim_Open(n.name.c_str());
      if (player == nullptr) return "not an animation file the engine plays";
      Anim_Close(player);
      return {};
    }
    case Use::Smacker: {
      if (!here) return "missing";
      SmackSoundUseDirectSound(false);
      Smack* video = SmackOpen(n.name.c_str(), 0, 0);
      if (video == nullptr) return "the video cannot be opened";
      SmackClose(video);
      return {};
    }
    case Use::Cursor: {
      bool packed = false;
      if (Doctor_Cursor_Loads(n.name.c_str(), &packed)) return {};
      return here ? "not a picture the engine reads" : "missing";
    }
    default:
      return {};
  }
}

constexpr long long Raw_Panorama_Bytes = 256LL * 6144 * 2;

// Loads a node picture the way a node start does. Empty when it shows.
std::string picture_trouble(const std::string& name, const Warp& warp) {
  long long size = 0;
  if (!present(name, &size)) return "missing";
  const int kind = Load_Node_Picture(name.c_str());
  if (Node_Video_Open_Now()) Node_Video_Close();
  if (kind == 0 && Node_Picture_Width() != 256 && size != Raw_Panorama_Bytes) {
    // Only a raw panorama is left, and it reads whatever the file holds.
    return "not a picture the engine decodes (not Targa, video, ROZ, nor a raw panorama of 3145728 bytes)";
  }
  if (kind == -1) {
    char buffer[260] = {0};
    std::strncpy(buffer, name.c_str(), sizeof buffer - 1);
    Picture* picture = warp.kind == 1 ? Picture_Load(buffer) : nullptr;
    if (picture == nullptr) return "not a picture the engine decodes";
    Picture_Free(picture);
  }
  return {};
}

}  // namespace

Doctor_Script_Check Doctor_Check_Script(const char* name) {
  // The shared checker compiles the script as the engine does; its errors are
  // what keeps the level from running, its warnings are remarks.
  const Script_Check_Report report = Script_Check_File(name);
  Doctor_Script_Check check;
  check.readable = report.readable;
  check.complete = report.readable && !report.failed();
  check.nodes = report.node_count;
  check.booleans = report.bool_count;
  for (const Script_Problem& p : report.problems) {
    const char* kind = p.severity == Script_Severity::Error ? "error: " : "warning: ";
    check.problems.push_back({p.line, kind + p.message});
  }
  return check;
}

bool Doctor_Cursor_Loads(const char* name, bool* packed) {
  *packed = false;
  if (name == nullptr || name[0] == 0) return false;
  const size_t length = std::strlen(name);
  std::string packed_name = length >= 3 ? std::string(name, length - 3) + "pak" : std::string(name);
  Picture* picture = nullptr;
  if (present(packed_name)) {
    char inner[260] = {0};
    std::strncpy(inner, packed_name.c_str(), sizeof inner - 1);
    uint8_t* data = nullptr;
    int size = 0;
    Pak_Unpack(inner, &data, &size);
    if (data != nullptr && size > 0) {
      Mem_File_Add(inner, data, size);
      picture = Picture_Load(inner);
      Mem_File_Remove(inner);
      *packed = picture != nullptr;
    }
    Mem_Free(data);
  }
  if (picture == nullptr) {
    char plain[260] = {0};
    std::strncpy(plain, name, sizeof plain - 1);
    picture = Picture_Load(plain);
  }
  const bool ok = picture != nullptr && Picture_To_16(picture) == 0;
  Picture_Free(picture);
  return ok;
}

void Doctor_Check_Named_Files(const char* name, const std::string& script_name, const std::string& fix_where,
                              std::vector<Doctor_Row>& rows) {
  std::vector<uint8_t> text;
  Script_Load_Text(name, text);
  Name_Observer observer;
  Script_Compile_Text(Script_Text{text.data(), text.size()}, &observer);
  const Scene_Script* script = Script_Current();
  if (script == nullptr) return;

  std::vector<Named> named;
  for (int w = 0; w < script->warp_count; ++w) {
    const Warp& warp = script->warps[w];
    const int line = w < static_cast<int>(observer.warp_offsets.size())
                         ? line_of(text, observer.warp_offsets[static_cast<size_t>(w)]) : 0;
    if (warp.picture_name) named.push_back({Use::Picture, warp.picture_name, line, w});
    if (warp.zone_file_name) named.push_back({Use::Zones, warp.zone_file_name, line, w});
  }
  for (const auto& c : observer.commands) {
    const int line = line_of(text, c.offset);
    const std::string keyword = field_of(c.text.c_str(), 0);
    const char* t = c.text.c_str();
    if (keyword == "PLAYSOUND" || keyword == "PLAYSOUND3D" || keyword == "PLAYRNDSOUND") {
      named.push_back({Use::Sound, field_of(t, 1), line, c.warp});
    } else if (keyword == "PLAYMUSIQUE") {
      named.push_back({Use::Music, field_of(t, 1), line, c.warp});
    } else if (keyword == "PLAYVIDEO") {
      named.push_back({Use::Anim_Video, field_of(t, 1), line, c.warp});
    } else if (keyword == "SETCURSOR") {
      named.push_back({Use::Cursor, field_of(t, 1), line, c.warp});
    } else if (keyword == "SETCURSORDEFAULT") {
      named.push_back({Use::Cursor, field_of(t, 2), line, c.warp});
    } else if (keyword == "PLUGIN") {
      plugin_names(c.text, line, c.warp, named);
    }
  }

  // Node pictures first (loading one also gives its block animations), in node
  // order; every name is checked once, at its first line.
  std::map<std::string, std::string> seen;  // use + upper-case name -> trouble
  std::map<int, std::vector<std::string>> anims_of_node;
  std::vector<Doctor_Row> details;
  int counts[8] = {0}, bad[8] = {0};
  auto report = [&](const Named& n, const std::string& trouble) {
    const int u = static_cast<int>(n.use);
    ++counts[u];
    if (trouble.empty()) return;
    ++bad[u];
    const std::string fix = trouble == "missing"
                                ? "copy " + n.name + " from " + fix_where + " into the level folder"
                                : "replace " + n.name + " with a good copy from " + fix_where;
    details.push_back({Doctor_Status::Problem, n.name,
                    std::string(use_word(n.use)) + " named at " + script_name + ":" + std::to_string(n.line) +
                        ": " + trouble,
                    fix});
  };
  for (const Named& n : named) {
    if (n.use != Use::Picture) continue;
    const Warp& warp = script->warps[n.node];
    const std::string key = "P" + upper(n.name);
    std::string trouble = seen.count(key) ? seen[key] : picture_trouble(n.name, warp);
    if (trouble.empty() && Node_Picture_Width() != 0 && !seen.count(key)) {
      for (int a = 0; a < Anim_Count(); ++a) anims_of_node[n.node].push_back(upper(Anim_Name(a)));
    }
    if (!seen.count(key)) {
      seen[key] = trouble;
      report(n, trouble);
    }
  }
  for (const Named& n : named) {
    if (n.use == Use::Picture) continue;
    if (n.use == Use::Block_Anim) {
      const auto& anims = anims_of_node[n.node];
      ++counts[static_cast<int>(n.use)];
      if (std::find(anims.begin(), anims.end(), upper(n.name)) == anims.end()) {
        ++bad[static_cast<int>(n.use)];
        const char* picture = script->warps[n.node].picture_name ? script->warps[n.node].picture_name : "";
        details.push_back({Doctor_Status::Problem, n.name,
                        "block animation named at " + script_name + ":" + std::to_string(n.line) +
                            ": not in the node picture " + picture,
                        "copy " + std::string(picture) + " from " + fix_where + " into the level folder"});
      }
      continue;
    }
    const std::string key = std::to_string(static_cast<int>(n.use)) + upper(n.name);
    if (seen.count(key)) continue;
    std::string trouble;
    if (n.use == Use::Zones) {
      long long size = 0;
      if (!present(n.name, &size)) {
        trouble = "missing";
      } else {
        const size_t zones = Zone_File_Load(n.name.c_str()).size();
        std::vector<uint8_t> bytes;
        File_Load_Whole(n.name.c_str(), bytes, 16u << 20);
        int32_t claimed = 0;
        if (bytes.size() >= 4) std::memcpy(&claimed, bytes.data(), 4);
        if (bytes.size() < 4 || claimed < 0 || static_cast<size_t>(claimed) != zones) {
          trouble = "damaged: " + std::string(bytes.size() < 4 ? "shorter than its count"
                                                               : "it counts " + std::to_string(claimed) +
                                                                     " zones but holds " + std::to_string(zones));
        } else {
          const Warp& warp = script->warps[n.node];
          for (int t = 0; t < warp.test_count; ++t) {
            if (warp.tests[t].zone >= static_cast<int32_t>(zones)) {
              trouble = "holds " + std::to_string(zones) + " zones, but a test of node " +
                        (warp.picture_name ? warp.picture_name : "") + " uses zone " +
                        std::to_string(warp.tests[t].zone);
              break;
            }
          }
        }
      }
    } else {
      trouble = file_trouble(n);
    }
    seen[key] = trouble;
    report(n, trouble);
  }
  Script_Free();

  // One summary line per kind of file.
  static const Use order[] = {Use::Picture, Use::Zones, Use::Sound, Use::Music, Use::Anim_Video, Use::Smacker,
                              Use::Cursor, Use::Block_Anim};
  static const char* plural[] = {"node pictures", "zone files", "sounds", "music", "videos", "videos (PLUGIN)",
                                 "cursors", "block animations"};
  for (int k = 0; k < 8; ++k) {
    const int u = static_cast<int>(order[k]);
    if (counts[u] == 0) continue;
    const int good = counts[u] - bad[u];
    std::string detail = std::to_string(good) + " of " + std::to_string(counts[u]) +
                         (order[k] == Use::Picture ? " decode"
                          : order[k] == Use::Zones ? " read"
                          : order[k] == Use::Block_Anim ? " found in their node's picture"
                                                         : " open");
    rows.push_back({bad[u] ? Doctor_Status::Problem : Doctor_Status::Ok, plural[k], detail, {}});
  }
  rows.insert(rows.end(), details.begin(), details.end());
}
