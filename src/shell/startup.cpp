#include "shell/startup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "draw/console.h"
#include "files/file.h"
#include "platform/directories.h"
#include "platform/display.h"
#include "platform/input.h"
#include "platform/instance_lock.h"
#include "platform/message_box.h"
#include "platform/platform.h"
#include "platform/settings.h"
#include "platform/trace.h"
#include "scene/run_script.h"
#include "scene/runtime.h"
#include "scene/script_compiler.h"
#include "scene/thumbnail.h"
#include "shell/hidden_screen.h"
#include "shell/levels.h"
#include "shell/plugins.h"
#include "shell/saved_games.h"
#include "sound/sound.h"
#include "video/command_block.h"

namespace {

constexpr const char* list_file_name = "osterlin.lst";
constexpr int abort_virtual_key = 222;
// OSTERLIN_VERSION comes from the project version in CMakeLists.txt.
constexpr const char* version_text = "osterlin " OSTERLIN_VERSION;

constexpr const char* usage_text =
    "usage: osterlin [ENGINE OPTIONS] [-nologo] [-cd PATH] [-hd PATH] [-level N]\n"
    "\n"
    "Game options (single dash; parsing stops at the first argument it does not know):\n"
    "  -nologo      skip the intro\n"
    "  -cd PATH     folder holding the level folders (the discs)\n"
    "  -hd PATH     the installed folder (its osterlin.lst asks for missing discs; saved games)\n"
    "  -level N     start at level N (1 to 6)\n"
    "\n"
    "Engine options:\n"
    "  --help       this text\n"
    "  --version    the engine's version\n"
    "  --headless   no window and no message boxes\n"
    "  --scanlines  the doubled picture with black lines between rows\n"
    "  --record FILE, --replay FILE   record the input and clock of a run, or play it back\n"
    "  --debug      debug lines on stderr\n"
    "  --trace      one line per event on stderr:\n"
    "                 level N FOLDER            a level's list file starts\n"
    "                 script FILE               a scene script starts\n"
    "                 node INDEX NAME           the player enters a node\n"
    "                 test INDEX zone Z trigger T   a node's test runs\n"
    "                 cmd TEXT                  a script command runs\n"
    "                 plugin TEXT               a command block line runs\n"
    "                 state saved|restored node N NAME view YAW PITCH bools NAME=VALUE ...\n"
    "                                           a game is saved or loaded\n"
    "                 tour shot NAME FRAME      a --tour step takes its picture\n"
    "                 end                       a scene script ends\n"
    "                 quit                      the window was closed\n"
    "  --frames N   stop after N presented frames (status 0)\n"
    "  --screenshot FILE        PNG of the last frame when the program ends\n"
    "  --screenshot-at N FILE   PNG of the N-th presented frame (may be repeated)\n"
    "  --frame-hashes FILE      one 64-bit hash of every presented frame, a hex line each\n"
    "  --tour FILE  scripted input for recording a tour (steps: see README), 60 frames a second\n"
    "\n"
    "Controls:\n"
    "  mouse        turn the view (in flat pictures: move the cursor)\n"
    "  left click   act on what is under the cursor (Enter does the same)\n"
    "  Escape       the game's menu\n"
    "  F1           the saved-game room (where the game offers one)\n"
    "  arrows       turn the view or move the cursor step by step\n"
    "  Alt+Enter    full screen on or off\n"
    "  Ctrl+G       release the mouse from the window\n"
    "\n"
    "Settings: name=value lines (source, res, lang) in the section\n"
    "[Software\\Pellumaine's\\L'Osterlin\\1.0] of $OSTERLIN_REGISTRY, else\n"
    "$XDG_CONFIG_HOME/osterlin/registry.ini (~/.config/osterlin/registry.ini).\n";

// Makes `path` current. Game folder names are upper case; the disc's own spelling
// is found through the file layer when the name does not exist as written.
bool change_directory(const char* path) {
  if (Set_Directory(path) == 0) return true;
  char host[PATH_MAX];
  return File_Host_Path(path, host, sizeof host) && Set_Directory(host) == 0;
}

std::string current_directory() {
  char buffer[PATH_MAX];
  if (getcwd(buffer, sizeof buffer) == nullptr) return ".";
  return buffer;
}

std::string level_path(uint32_t n) {
  std::string path = Level_Disc(n) != 0 ? Disc_Path() : Install_Path();
  if (const char* folder = Level_Folder_Name(n)) path += folder;
  return path;
}

// Why a folder cannot be entered, in a few words.
std::string folder_problem(const char* path) {
  struct stat info;
  if (stat(path, &info) != 0) return std::strerror(errno);
  if (!S_ISDIR(info.st_mode)) return "not a folder";
  if (access(path, X_OK) != 0) return std::strerror(errno);
  return "cannot be entered";
}

// What the compiler makes of a list file in the current directory.
struct List_File_Check : Script_Compile_Observer {
  bool readable = false;
  int32_t nodes = 0;
  Script_Stop stop = Script_Stop::End_Of_Text;
  int32_t stop_offset = 0;
  std::vector<uint8_t> text;

  void stopped(Script_Stop reason, int32_t line_offset) override {
    stop = reason;
    stop_offset = line_offset;
  }
  bool usable() const { return readable && nodes > 0; }
};

List_File_Check check_list_file(const char* name) {
  List_File_Check check;
  Script_Load_Text(name, check.text);
  check.readable = !check.text.empty();
  if (!check.readable) return check;
  Script_Compile_Text(Script_Text{check.text.data(), check.text.size()}, &check);
  if (const Scene_Script* script = Script_Current()) check.nodes = script->warp_count;
  Script_Free();
  return check;
}

const char* stop_reason(Script_Stop stop) {
  switch (stop) {
    case Script_Stop::Unknown_Keyword: return "a command the engine does not know";
    case Script_Stop::Warp_Without_Test: return "a [WARP] line not followed by [TEST]";
    case Script_Stop::Bool_Among_Commands: return "a [BOOL] line among the commands";
    case Script_Stop::Plugin_Unterminated: return "a PLUGIN block without ENDPLUGIN";
    case Script_Stop::End_Of_Text: break;
  }
  return "the end of the text";
}

// Tells the player what is wrong with a list file (once per file and problem).
void report_list_file(const List_File_Check& check, const std::string& path) {
  if (!check.readable) {
    Tell_Player("the scene script '%s' cannot be read (missing or empty); the level is skipped: "
                "copy the level folder again from its disc",
                path.c_str());
    return;
  }
  if (check.stop != Script_Stop::End_Of_Text) {
    // The line the compiler stopped at: its number and its first characters.
    int line = 1;
    size_t at = std::min(static_cast<size_t>(check.stop_offset), check.text.size());
    for (size_t i = 0; i < at; ++i) line += check.text[i] == '\n';
    std::string shown;
    for (size_t i = at; i < check.text.size() && shown.size() < 40; ++i) {
      char c = static_cast<char>(check.text[i]);
      if (c == '\r' || c == '\n') break;
      shown += c >= 32 && c < 127 ? c : '?';
    }
    Tell_Player("the scene script '%s' stops compiling at line %d (\"%s\": %s); its nodes from there on are "
                "lost: check it with osterlin-tool script check",
                path.c_str(), line, shown.c_str(), stop_reason(check.stop));
  }
  if (check.nodes == 0) {
    Tell_Player("the scene script '%s' has no node ([WARP] line); nothing is played from it", path.c_str());
  }
}

void run_list_file(const char* name, const char* folder, uint32_t level, const List_File_Check* checked = nullptr) {
  if (Intro_Pending()) return;
  if (checked == nullptr) {
    // The folder becomes current for the run anyway; the check reads from there.
    Set_Directory(folder);
    report_list_file(check_list_file(name), std::string(folder) + "/" + name);
  } else {
    report_list_file(*checked, std::string(folder) + "/" + name);
  }
  Trace_Line("level %u %s", level, folder);
  Run_Script_File(name, folder);
}

// The engine changes directories as it goes, so a relative prefix from the
// command line or the settings file is taken from the folder it was started in.
std::string absolute_prefix(const char* value) {
  if (value == nullptr || value[0] == 0 || value[0] == '/') return value ? value : "";
  static const std::string start_directory = current_directory();
  return start_directory + "/" + value;
}

// atoi: optional blanks and sign, then digits; wraps as 32 bits.
uint32_t decimal_value(const char* text) {
  while (*text == ' ' || *text == '\t') ++text;
  bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  uint32_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) value = value * 10u + static_cast<uint32_t>(*text - '0');
  return negative ? 0u - value : value;
}

std::string program_path(const char* argv0) {
  char buffer[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length > 0) {
    buffer[length] = 0;
    return buffer;
  }
  return argv0 ? argv0 : "";
}

}  // namespace

namespace {
// A frame number of --frames or --screenshot-at: decimal digits only, at least 1.
bool frame_number(const std::string& text, uint64_t* value) {
  if (text.empty() || text.size() > 18) return false;
  uint64_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + static_cast<uint64_t>(c - '0');
  }
  *value = n;
  return n > 0;
}
}  // namespace

Engine_Options Take_Engine_Options(std::vector<std::string>& args) {
  Engine_Options options;
  std::vector<std::string> rest;
  auto refuse = [&options](const std::string& arg) {
    if (options.unknown.empty()) options.unknown = arg;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    // -h and -help are no game options: they ask for this text, unless they are
    // the value of a game option that takes one.
    if ((arg == "-h" || arg == "-help") &&
        (rest.empty() || (rest.back() != "-cd" && rest.back() != "-hd" && rest.back() != "-level"))) {
      options.help = true;
      continue;
    }
    if (arg.size() <= 2 || arg.compare(0, 2, "--") != 0) {
      rest.push_back(arg);
      continue;
    }
    bool has_value = i + 1 < args.size();
    if (arg == "--help") options.help = true;
    else if (arg == "--version") options.version = true;
    else if (arg == "--headless") options.headless = true;
    else if (arg == "--debug") options.debug = true;
    else if (arg == "--trace") options.trace = true;
    else if (arg == "--frames") {
      if (!has_value || !frame_number(args[++i], &options.outputs.frame_limit)) refuse(arg);
    } else if (arg == "--screenshot" || arg == "--frame-hashes" || arg == "--tour") {
      if (!has_value) {
        refuse(arg);
        continue;
      }
      const std::string& value = args[++i];
      (arg == "--screenshot" ? options.outputs.screenshot
                             : arg == "--tour" ? options.outputs.tour : options.outputs.frame_hashes) = value;
    } else if (arg == "--screenshot-at") {
      uint64_t frame = 0;
      if (i + 2 >= args.size() || !frame_number(args[i + 1], &frame)) {
        refuse(arg);
        i = args.size();
        continue;
      }
      options.outputs.screenshots_at.emplace_back(frame, args[i + 2]);
      i += 2;
    } else {
      refuse(arg);
    }
  }
  args = rest;
  return options;
}

bool Read_Setting(const char* name, char* out, size_t out_size) { return Settings_Read(name, out, out_size); }

void Locate_Paths(const char* program) {
  Set_Current_Level(0);
  std::string directory = program ? program : "";
  size_t cut = directory.find_last_of("\\:/");
  directory = cut == std::string::npos ? std::string() : directory.substr(0, cut + 1);
  for (uint32_t level = 1; level <= Level_Count; ++level) {
    size_t found = directory.find(Level_Folder_Name(level));
    if (found != std::string::npos) {
      directory.resize(found);
      Set_Current_Level(level);
      break;
    }
  }
  char value[Level_Path_Size];
  if (!Read_Setting("source", value, sizeof value) || !Set_Disc_Path(absolute_prefix(value).c_str())) {
    Set_Disc_Path_Exact(directory.c_str());
  }
  if (!Read_Setting("res", value, sizeof value) || !Set_Install_Path(absolute_prefix(value).c_str())) {
    Set_Install_Path_Exact(directory.c_str());
  }
}

void Parse_Command_Line(const std::vector<std::string>& args) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.empty() || arg[0] != '-') return;
    std::string option = arg.substr(1);
    if (option == "nologo") {
      Set_No_Logo(true);
      continue;
    }
    if (option != "cd" && option != "hd" && option != "level") return;
    if (i + 1 >= args.size()) return;
    const std::string& value = args[++i];
    if (option == "cd") {
      Set_Disc_Path(absolute_prefix(value.c_str()).c_str());
    } else if (option == "hd") {
      Set_Install_Path(absolute_prefix(value.c_str()).c_str());
    } else {
      Set_Current_Level(decimal_value(value.c_str()));
      if (Current_Level() == 0) return;
    }
  }
}

bool Enter_Level(uint32_t n) {
  if (End_Requested()) return false;
  for (;;) {
    std::string path = level_path(n);
    if (path.empty() || change_directory(path.c_str())) return true;
    if (n == 0) {
      Set_End_Requested(true);
      return false;
    }
    Tell_Player("the folder of level %u, '%s', is missing (%s); insert disc %u, or give the folder that holds the "
                "level folders with -cd PATH",
                n, path.c_str(), folder_problem(path.c_str()).c_str(), Level_Disc(n));
    // The level's disc is missing: the installed folder's list file asks for it.
    if (Install_Path()[0] != 0 && !change_directory(Install_Path())) {
      Set_End_Requested(true);
      return false;
    }
    Set_Current_Disc(Level_Disc(n));
    std::string here = current_directory();
    // Without a prompt to run, the loop would wait for ever on a black window.
    List_File_Check prompt = Intro_Pending() ? List_File_Check{} : check_list_file(list_file_name);
    if (!Intro_Pending() && !prompt.usable()) {
      Tell_Player("the installed folder '%s' has %s to ask for level %u's disc, so the game cannot go on: give the "
                  "installed folder with -hd PATH and the level folders with -cd PATH",
                  here.c_str(), prompt.readable ? "an osterlin.lst without a node" : "no osterlin.lst", n);
      Set_Exit_Status(-1);
      Set_End_Requested(true);
      return false;
    }
    run_list_file(list_file_name, here.c_str(), 0, &prompt);
    Pump_Messages();
    if (Async_Key_Down(abort_virtual_key) || Quit_Requested()) {
      Set_End_Requested(true);
      return false;
    }
    if (Async_Key_Down('L') && Async_Key_Down('O')) Hidden_Screen_Run();
    if (End_Requested()) return false;
  }
}

void Run_List_File(const char* name, const char* folder) { run_list_file(name, folder, Current_Level()); }

void Play_Intro() {
  Engine_Parameters_Set(255, 100, 255);
  if (Intro_Pending()) {
    if (!No_Logo()) Run_Script_File("intro.pak", "./");
    Set_Intro_Pending(false);
  }
}

void Run_Levels() {
  // Level numbers beyond the table start the game at its first level.
  if (Current_Level() > Level_Count) Set_Current_Level(1);
  if (Current_Level() == 0) {
    // Pick the first level whose folder can be entered: the disc in the drive.
    Set_Current_Level(1);
    for (uint32_t level = 1; level <= Level_Count; ++level) {
      std::string path = level_path(level);
      if (path.empty() || change_directory(path.c_str())) {
        Set_Current_Level(level);
        break;
      }
    }
  }
  if (!Enter_Level(Current_Level())) return;
  for (;;) {
    std::string here = current_directory();
    Run_List_File(list_file_name, here.c_str());
    Level_Entry_State entry = {true, true};
    if (End_Requested()) {
      Set_Level_Entry(entry);
      break;
    }
    if (Restart_Requested()) {
      Set_Restart_Requested(false);
      Set_Current_Level(1);
      entry.not_restarted = false;
    } else if (Pending_Game() != nullptr) {
      // A damaged saved game may name no level: it then starts at the first one.
      uint32_t level = Pending_Game_Level();
      Set_Current_Level(level >= 1 && level <= Level_Count ? level : 1);
    } else {
      Set_Current_Level(Current_Level() + 1);
      if (Current_Level() > Level_Count) {
        Set_Level_Entry(entry);
        return;
      }
      entry.not_advanced = false;
    }
    Set_Level_Entry(entry);
    if (!Enter_Level(Current_Level())) break;
  }
}

int Show_Message(uint32_t style, const char* format, ...) {
  char text[192];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  // 0x40 is the information icon.
  return Message_Box_Show("L'Osterlin", text, (style & 0x40) != 0);
}

namespace {
void release_at_exit() {
  Engine_Outputs_Finish();
  File_Shutdown();
  Instance_Lock_Release();
}

// The platform layer ends the process (the window closed, the game quit) after
// stopping its threads: the saved-game slots go, then the rest, as on the
// ordinary way out.
void end_from_platform() {
  Saved_Games_Shutdown();
  release_at_exit();
}

// A refused option, --help and --version end the program before anything
// starts: true, with the exit status in *status.
bool ends_before_start(const Engine_Options& options, int* status) {
  if (!options.unknown.empty()) {
    std::fprintf(stderr, "osterlin: unknown option '%s' (see osterlin --help)\n", options.unknown.c_str());
    *status = 2;
    return true;
  }
  if (options.help) {
    std::fputs(usage_text, stdout);
    *status = 0;
    return true;
  }
  if (options.version) {
    std::printf("%s\n", version_text);
    *status = 0;
    return true;
  }
  return false;
}

// The debug console, tracing, the headless mode and the sound output as the
// options ask.
void apply_run_options(const Engine_Options& options, Platform_Options& platform_options) {
  if (options.debug) Console_Set_Enabled(true);
  Trace_Set_Enabled(options.trace);
  bool headless = options.headless || platform_options.headless;
  platform_options.headless = headless;
  Message_Box_Set_Headless(headless);
  // Without a window (and in replays) the frame clock drives the sound mixer, so
  // every run plays the same samples at the same frames.
  if (headless || !platform_options.replay_path.empty()) Sound_Set_Output_Mode(Sound_Output::Pull);
}

// One game at a time, then the data folders from the program's place, the
// settings and the options, and the installed folder entered. False (the
// player told why) when the game cannot start.
bool lock_and_enter_installed_folder(const char* argv0, const std::vector<std::string>& args) {
  if (!Instance_Lock_Acquire()) {
    Tell_Player("another osterlin is already running (it holds the lock file %s); close it, or wait for it to "
                "end, then start the game again",
                Instance_Lock_Path().c_str());
    Show_Message(0x2040, "Cette application est d\xE9j\xE0 en cours d'utilisation");
    return false;
  }
  Locate_Paths(program_path(argv0).c_str());
  Parse_Command_Line(args);
  if (!Enter_Level(0)) {
    Tell_Player("cannot enter the installed folder '%s' (%s); give it with -hd PATH or the setting res",
                Install_Path(), folder_problem(Install_Path()).c_str());
    Instance_Lock_Release();
    return false;
  }
  return true;
}

// The window, sound and input, then the frame outputs the options ask for.
// False, with the exit status in *status, when either cannot start; what did
// start is stopped again.
bool start_platform_and_outputs(const Platform_Options& platform_options, const Frame_Output_Options& outputs,
                                int* status) {
  if (Platform_Start(platform_options) != 0) {
    Show_Message(0x10, "%s", Platform_Error());
    *status = -1;
    return false;
  }
  // Closing the window ends the process from the platform layer; release ours first.
  Platform_Set_Exit_Hook(end_from_platform);
  std::string output_error;
  if (!Engine_Outputs_Start(outputs, &output_error)) {
    std::fprintf(stderr, "osterlin: %s\n", output_error.c_str());
    Platform_Stop_Threads();
    Platform_Set_Exit_Hook(nullptr);
    Platform_Stop();
    release_at_exit();
    *status = 2;
    return false;
  }
  return true;
}

// The game itself: the language setting, the intro, then the levels until the
// game ends.
void play_game() {
  Input_Reset();
  char language[8];
  Read_Setting("lang", language, sizeof language);
  Set_Language_Code(language);
  Thumbnail_Set_Size(232, 174);
  Command_Block_Set_Plugin_Handler(Plugin_Dispatch);
  Play_Intro();
  Run_Levels();
}

// The same order as every other way out: threads first, then the rest.
void shut_down() {
  Platform_Stop_Threads();
  Saved_Games_Shutdown();
  Platform_Set_Exit_Hook(nullptr);
  Engine_Outputs_Finish();
  Platform_Stop();
  release_at_exit();
}
}  // namespace

int Osterlin_Main(int argc, char** argv) {
  Platform_Options platform_options;
  if (Platform_Take_Options(&argc, argv, &platform_options) != 0) return 2;
  std::vector<std::string> args(argc > 1 ? argv + 1 : argv + argc, argv + argc);
  Engine_Options options = Take_Engine_Options(args);
  int status = 0;
  if (ends_before_start(options, &status)) return status;
  apply_run_options(options, platform_options);
  if (!lock_and_enter_installed_folder(argc > 0 ? argv[0] : nullptr, args)) return -1;
  if (!start_platform_and_outputs(platform_options, options.outputs, &status)) return status;
  play_game();
  shut_down();
  return Exit_Status();
}
