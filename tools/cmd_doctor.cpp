// osterlin-tool doctor INSTALLED [--discs DISCS]: checks an installation the way
// the engine will use it and prints a table a player can act on. The folders are
// found exactly as the engine finds them when started from INSTALLED with
// "-hd INSTALLED" (and "-cd DISCS"): the settings file fills in what is not given.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "cmd_doctor.h"
#include "files/file.h"
#include "pictures/picture.h"
#include "platform/directories.h"
#include "platform/settings.h"
#include "video/engine_targets.h"
#include "scene/runtime.h"
#include "scene/script_compiler.h"
#include "scene/snapshot.h"
#include "shell/levels.h"
#include "shell/saved_games.h"
#include "shell/startup.h"
#include "tool.h"
#include "video/node_picture.h"
#include "zel_vr/zel_vr.h"

namespace {

struct Section {
  std::string title;
  std::vector<Doctor_Row> rows;
};

bool is_folder(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The folder a game path names, found without regard to case as the engine does.
std::string host_folder(const std::string& path) {
  if (is_folder(path)) return path;
  char host[PATH_MAX];
  if (File_Host_Path(path.c_str(), host, sizeof host) && is_folder(host)) return host;
  return {};
}

// Level display names are Windows-1252; the terminal wants UTF-8. The names use
// only Latin-1 letters, which map one to one.
std::string utf8(const char* text) {
  std::string out;
  for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c; ++c) {
    if (*c < 0x80) {
      out.push_back(static_cast<char>(*c));
    } else {
      out.push_back(static_cast<char>(0xC0 | (*c >> 6)));
      out.push_back(static_cast<char>(0x80 | (*c & 0x3F)));
    }
  }
  return out;
}

std::string plural(int n, const char* word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

// A script's own rows: found, compiled to the end, its problems by line.
void script_rows(const char* name, const std::string& shown, bool required, const std::string& fix,
                 std::vector<Doctor_Row>& rows, bool* usable) {
  Doctor_Script_Check check = Doctor_Check_Script(name);
  *usable = check.readable;
  if (!check.readable) {
    rows.push_back({required ? Doctor_Status::Problem : Doctor_Status::Note, name,
                    required ? "missing (nor packed)" : "missing: the intro will not play", required ? fix : ""});
    return;
  }
  if (check.complete && check.problems.empty()) {
    rows.push_back({Doctor_Status::Ok, name,
                    "compiles to the end: " + plural(check.nodes, "node") + ", " +
                        plural(check.booleans, "boolean"),
                    {}});
    return;
  }
  rows.push_back({check.complete ? Doctor_Status::Note : Doctor_Status::Problem, name,
                  check.complete ? "compiles to the end, with remarks below"
                                 : "compilation stops before the end (" + plural(check.nodes, "node") + " read)",
                  check.complete ? "" : fix});
  for (const Doctor_Script_Problem& p : check.problems) {
    // The lines belong to the problem above: they explain it, the fix is the same.
    rows.push_back({check.complete ? Doctor_Status::Note : Doctor_Status::Problem,
                    shown + ":" + std::to_string(p.line), p.message, {}});
  }
}

// A readable saved game, checked later against its level's script.
struct Saved_Game {
  std::string name;
  std::string path;
  Save_Slot slot;
};

void installed_rows(Section& section, std::vector<Saved_Game>& games_found) {
  std::vector<Doctor_Row>& rows = section.rows;
  bool usable = false;
  script_rows("osterlin.lst", "osterlin.lst", true,
              "the installed folder lacks a working osterlin.lst (the scene that asks for discs): reinstall the game",
              rows, &usable);
  if (usable) Doctor_Check_Named_Files("osterlin.lst", "osterlin.lst", "the game's first disc", rows);
  script_rows("intro.pak", "intro.pak", false, "replace intro.pak with a good copy from the game's first disc", rows,
              &usable);
  if (usable) Doctor_Check_Named_Files("intro.pak", "intro.pak", "the game's first disc", rows);
  for (const char* cursor : {"cursor1.pcx", "cursor2.pcx"}) {
    bool packed = false;
    const std::string base(cursor, 7);
    if (Doctor_Cursor_Loads(cursor, &packed)) {
      rows.push_back({Doctor_Status::Ok, base, packed ? base + ".pak (packed)" : std::string(cursor), {}});
    } else {
      rows.push_back({Doctor_Status::Problem, base, "neither " + base + ".pak nor " + cursor + " loads",
                      "copy " + base + ".pak (or " + cursor + ") from the game's first disc into the installed folder"});
    }
  }
  int games = 0;
  for (int n = 1; n <= Save_Slot_Count; ++n) {
    const std::string name = "Saved_" + std::to_string(n) + ".bin";
    const std::string path = std::string(Install_Path()) + name;
    struct stat info;
    if (stat(path.c_str(), &info) != 0) continue;
    std::vector<unsigned char> bytes;
    Save_Slot slot;
    std::string trouble;
    if (!S_ISREG(info.st_mode) || !Tool_Read_File(path, bytes)) {
      trouble = "cannot be read";
    } else if (!Slot_Read_Bytes(slot, bytes.data(), bytes.size())) {
      trouble = "damaged: not a saved game the engine can load";
    } else if (slot.level < 1 || slot.level > Level_Count) {
      trouble = "damaged: it names level " + std::to_string(slot.level);
    }
    if (!trouble.empty()) {
      rows.push_back({Doctor_Status::Problem, name, trouble,
                      "move " + path + " out of the installed folder (its slot becomes free)"});
      continue;
    }
    ++games;
    games_found.push_back({name, path, slot});
  }
  if (games == 0) rows.push_back({Doctor_Status::Ok, "saved games", "none yet", {}});
  if (access(Install_Path(), W_OK) != 0) {
    rows.push_back({Doctor_Status::Note, "saved games", "the installed folder is not writable: games cannot be saved", {}});
  }
}

void level_rows(uint32_t level, const std::string& disc_origin, Section& section) {
  std::vector<Doctor_Row>& rows = section.rows;
  const std::string folder = Level_Folder_Name(level);
  const std::string disc = "disc " + std::to_string(Level_Disc(level));
  const std::string wanted = std::string(Disc_Path()) + folder;
  const std::string host = host_folder(wanted);
  if (host.empty()) {
    rows.push_back({Doctor_Status::Problem, folder, "missing from " + std::string(Disc_Path()) + " (" + disc_origin +
                                                         "); the level is on " + disc,
                    "copy the folder " + folder + " from " + disc + " into " + Disc_Path() +
                        " (or name the folder that holds the level folders with --discs)"});
    return;
  }
  rows.push_back({Doctor_Status::Ok, folder, "found at " + host + " (" + disc_origin + ")", {}});
  if (Set_Directory(host.c_str()) != 0) {
    rows.push_back({Doctor_Status::Problem, folder, "cannot be entered", "let your user read " + host});
    return;
  }
  bool usable = false;
  const std::string shown = folder + "/osterlin.lst";
  script_rows("osterlin.lst", shown, true, "replace " + shown + " with the one from " + disc, rows, &usable);
  if (usable) Doctor_Check_Named_Files("osterlin.lst", shown, disc, rows);
}

// A saved game loads only into the script it was saved from: its scene-state
// block must have the size that script gives, and name one of its nodes.
void saved_game_rows(const std::vector<Saved_Game>& games, Section& section) {
  for (const Saved_Game& game : games) {
    const uint32_t level = game.slot.level;
    const std::string where = "level " + std::to_string(level) + ", " + utf8(Level_Display_Name(level));
    const std::string host = host_folder(std::string(Disc_Path()) + Level_Folder_Name(level));
    if (host.empty() || Set_Directory(host.c_str()) != 0) {
      section.rows.push_back({Doctor_Status::Note, game.name, where + ": its level folder is missing (see below)", {}});
      continue;
    }
    Script_Compile("osterlin.lst");
    const Scene_Script* script = Script_Current();
    const size_t wanted = Scene_State_Size();
    int32_t node = -1;
    if (game.slot.snapshot.size() >= 32) std::memcpy(&node, game.slot.snapshot.data() + 28, 4);
    const bool fits = script != nullptr && script->warp_count > 0 && game.slot.snapshot.size() == wanted &&
                      node >= 0 && node < script->warp_count;
    Script_Free();
    if (fits) {
      section.rows.push_back({Doctor_Status::Ok, game.name, where, {}});
    } else {
      section.rows.push_back({Doctor_Status::Problem, game.name,
                              where + ": saved from another version of that level's script, it cannot be loaded",
                              "move " + game.path + " out of the installed folder (its slot becomes free)"});
    }
  }
}

void print(const std::vector<Section>& sections) {
  for (const Section& section : sections) {
    std::printf("\n%s\n", section.title.c_str());
    for (const Doctor_Row& row : section.rows) {
      const char* word = row.status == Doctor_Status::Ok ? "ok" : row.status == Doctor_Status::Note ? "note" : "PROBLEM";
      std::printf("  %-8s %-24s %s\n", word, row.item.c_str(), row.detail.c_str());
    }
  }
}

int run(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  std::string discs;
  const bool have_discs = Tool_Take_Option(args, "--discs", discs);
  if (args.size() != 1 || args[0].rfind("--", 0) == 0) return Tool_Usage_Error("doctor");
  if (!is_folder(args[0])) return Tool_Fail(args[0] + " is not a folder");
  if (have_discs && !is_folder(discs)) return Tool_Fail(discs + " is not a folder");
  const std::string installed = std::filesystem::absolute(args[0]).lexically_normal().string();

  // The engine's own start-up: the program's folder, the settings file, then the
  // folders given as -hd and -cd.
  Locate_Paths((installed + (installed.back() == '/' ? "" : "/") + "osterlin").c_str());
  std::vector<std::string> options = {"-hd", installed};
  if (have_discs) options.insert(options.end(), {"-cd", std::filesystem::absolute(discs).lexically_normal().string()});
  Parse_Command_Line(options);
  char value[Level_Path_Size];
  std::string disc_origin = have_discs ? "--discs"
                            : Read_Setting("source", value, sizeof value)
                                ? "\"source\" in the settings file " + Settings_File_Path()
                                : "the installed folder";
  char language[8];
  Read_Setting("lang", language, sizeof language);
  Set_Language_Code(language);

  // Node pictures load into these, as in a run.
  std::vector<uint16_t> panorama(zel_vr::Buffer_Pixels);
  Engine_Set_Panorama_Buffer(panorama.data());
  Node_Picture_Replace(Picture_Create("warpfix", 640, 480, 16));

  std::vector<Section> sections;
  std::vector<Saved_Game> games;
  sections.push_back({"Installed folder " + std::string(Install_Path()), {}});
  if (Set_Directory(Install_Path()) != 0) {
    sections.back().rows.push_back({Doctor_Status::Problem, "folder", "cannot be entered",
                                    "let your user read " + std::string(Install_Path())});
  } else {
    installed_rows(sections.back(), games);
  }
  saved_game_rows(games, sections.front());
  for (uint32_t level = 1; level <= Level_Count; ++level) {
    sections.push_back({"Level " + std::to_string(level) + ": " + utf8(Level_Display_Name(level)) + " (disc " +
                            std::to_string(Level_Disc(level)) + ")",
                        {}});
    level_rows(level, disc_origin, sections.back());
  }
  Anim_Close_All();
  Node_Picture_Replace(nullptr);
  Engine_Set_Panorama_Buffer(nullptr);

  std::printf("Installation: %s\nLevel folders under: %s (%s)\n", Install_Path(), Disc_Path(), disc_origin.c_str());
  if (Language_Code()[0] != 0) std::printf("Language: %s\n", Language_Code());
  print(sections);
  int problems = 0;
  std::string first;
  for (const Section& section : sections) {
    for (const Doctor_Row& row : section.rows) {
      // Rows without a fix are summaries or explanations of a problem counted
      // on its own row.
      if (row.status != Doctor_Status::Problem || row.fix.empty()) continue;
      ++problems;
      if (first.empty()) first = row.fix;
    }
  }
  if (problems == 0) {
    std::printf("\nThe game can be played from start to end.\n");
    return Tool_Ok;
  }
  std::printf("\n%s found. First: %s.\n", plural(problems, "problem").c_str(), first.c_str());
  return Tool_Refused;
}

Tool_Registration registration({
    "doctor",
    "osterlin-tool doctor INSTALLED [--discs DISCS]",
    "check an installation as the engine will use it; exit 1 with what to do first when it cannot be played",
    run,
});

}  // namespace
