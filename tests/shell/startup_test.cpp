#include "shell/startup.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/instance_lock.h"
#include "scene/run_script.h"
#include "shell/levels.h"
#include "shell/shell_state.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/working_dir.h"

namespace {

using Args = std::vector<std::string>;

std::string cwd() {
  char buffer[PATH_MAX];
  return getcwd(buffer, sizeof buffer) ? buffer : "";
}

// Keeps the process's directory and environment as they were, and starts every
// test from the shell's start values with no settings file.
class Shell : public testing::Test {
 protected:
  void SetUp() override {
    Shell_State_Reset();
    setenv("OSTERLIN_REGISTRY", settings_.file("registry.ini").c_str(), 1);
  }
  void TearDown() override {
    Run_Script_Set_Hook(nullptr);
    Shell_State_Reset();
    unsetenv("OSTERLIN_REGISTRY");
  }
  void write_settings(const std::string& text) { settings_.write("registry.ini", text); }

  Temp_Dir settings_;
  Scoped_Working_Dir keep_dir_;  // entering a level changes the working folder
};

}  // namespace

TEST(EngineOptions, DoubleDashOptionsAreTakenOutBeforeTheGameOptions) {
  Args args = {"--trace", "-nologo", "--headless", "x", "--", "-level", "--debug", "2"};
  Engine_Options options = Take_Engine_Options(args);
  EXPECT_TRUE(options.trace);
  EXPECT_TRUE(options.headless);
  EXPECT_TRUE(options.debug);
  EXPECT_FALSE(options.help);
  EXPECT_TRUE(options.unknown.empty());
  EXPECT_EQ(args, (Args{"-nologo", "x", "--", "-level", "2"}));
  Args other = {"--bogus", "--version"};
  Engine_Options refused = Take_Engine_Options(other);
  EXPECT_EQ(refused.unknown, "--bogus");
  EXPECT_TRUE(refused.version);
}

TEST(EngineOptions, ShortHelpFormsAskForTheHelpUnlessTheyAreAnOptionsValue) {
  const struct {
    Args args;
    bool help;
    Args rest;
  } cases[] = {
      {{"-h"}, true, {}},
      {{"-nologo", "-help"}, true, {"-nologo"}},
      {{"-help", "-level", "2"}, true, {"-level", "2"}},
      {{"-cd", "-h"}, false, {"-cd", "-h"}},
      {{"-level", "--debug", "-help"}, false, {"-level", "-help"}},
      {{"-H"}, false, {"-H"}},
      {{"-hx"}, false, {"-hx"}},
  };
  for (const auto& c : cases) {
    Args args = c.args;
    Engine_Options options = Take_Engine_Options(args);
    EXPECT_EQ(options.help, c.help) << testing::PrintToString(c.args);
    EXPECT_EQ(args, c.rest) << testing::PrintToString(c.args);
    EXPECT_TRUE(options.unknown.empty());
  }
}

TEST(EngineOptions, FrameOutputOptionsTakeTheirValues) {
  Args args = {"--frames", "120", "--screenshot", "a.png", "-nologo", "--screenshot-at", "5", "b.png",
               "--frame-hashes", "h.txt", "--screenshot-at", "9", "c.png", "--tour", "t.txt", "-level", "2"};
  Engine_Options options = Take_Engine_Options(args);
  EXPECT_TRUE(options.unknown.empty()) << options.unknown;
  EXPECT_EQ(options.outputs.frame_limit, 120u);
  EXPECT_EQ(options.outputs.screenshot, "a.png");
  EXPECT_EQ(options.outputs.frame_hashes, "h.txt");
  EXPECT_EQ(options.outputs.tour, "t.txt");
  ASSERT_EQ(options.outputs.screenshots_at.size(), 2u);
  EXPECT_EQ(options.outputs.screenshots_at[1], (std::pair<uint64_t, std::string>{9, "c.png"}));
  EXPECT_EQ(args, (Args{"-nologo", "-level", "2"}));

  // A missing or unusable value refuses the option (the program then ends with a usage error).
  const std::vector<Args> refused = {
      {"--frames", "0"}, {"--frames", "12x"}, {"--frames"}, {"--screenshot"}, {"--tour"},
      {"--screenshot-at", "3"}, {"--screenshot-at", "z", "f.png"}, {"--frame-hashes"},
  };
  for (Args bad : refused) {
    std::string first = bad[0];
    EXPECT_EQ(Take_Engine_Options(bad).unknown, first) << testing::PrintToString(bad);
  }
}

TEST_F(Shell, CommandLineOptionsAndStopRules) {
  struct Case {
    const char* name;
    Args args;
    bool no_logo;
    uint32_t level;
    std::string disc, install;
  } cases[] = {
      {"level and hd", {"-level", "3", "-hd", "/data/inst"}, false, 3, "D/", "/data/inst/"},
      {"level 0 stops", {"-level", "0", "-nologo"}, false, 0, "D/", "I/"},
      {"level not a number stops", {"-level", "abc", "-nologo"}, false, 0, "D/", "I/"},
      {"plain word stops", {"-nologo", "word", "-level", "2"}, true, 5, "D/", "I/"},
      {"missing value stops", {"-nologo", "-cd"}, true, 5, "D/", "I/"},
      {"names are case-sensitive", {"-NOLOGO", "-level", "2"}, false, 5, "D/", "I/"},
      {"unknown option stops", {"-foo", "-nologo"}, false, 5, "D/", "I/"},
      {"separators kept", {"-cd", "/discs/", "-hd", "/GAME\\"}, false, 5, "/discs/", "/GAME\\"},
      {"relative to the start folder", {"-hd", "data"}, false, 5, "D/", cwd() + "/data/"},
      {"empty prefix stays empty", {"-cd", "", "-level", "2"}, false, 2, "", "I/"},
      {"later options override", {"-level", "2", "-level", "4"}, false, 4, "D/", "I/"},
      {"signed and blank numbers", {"-level", " +6"}, false, 6, "D/", "I/"},
      {"negative level", {"-level", "-1"}, false, 0xFFFFFFFFu, "D/", "I/"},
      {"too long prefix ignored", {"-hd", std::string(300, 'p')}, false, 5, "D/", "I/"},
  };
  for (const auto& c : cases) {
    Shell_State_Reset();
    Set_Disc_Path_Exact("D/");
    Set_Install_Path_Exact("I/");
    Set_Current_Level(5);
    Parse_Command_Line(c.args);
    EXPECT_EQ(No_Logo(), c.no_logo) << c.name;
    EXPECT_EQ(Current_Level(), c.level) << c.name;
    EXPECT_EQ(std::string(Disc_Path()), c.disc) << c.name;
    EXPECT_EQ(std::string(Install_Path()), c.install) << c.name;
  }
}

TEST_F(Shell, ProgramFolderInsideALevelFolder) {
  struct Case {
    const char* program;
    uint32_t level;
    const char* prefix;
  } cases[] = {
      {"/mnt/cd/03VR_PUEBLO/bin/osterlin", 3, "/mnt/cd/"},
      {"D:\\03VR_PUEBLO\\osterlin.exe", 3, "D:\\"},
      {"/opt/game/osterlin", 0, "/opt/game/"},
      {"/a/07VRTEMPLE_VOLCAN/01RE_DAVID/osterlin", 1, "/a/07VRTEMPLE_VOLCAN/"},  // rows in order
      {"/a/03vr_pueblo/osterlin", 0, "/a/03vr_pueblo/"},                        // case-sensitive
      {"C:osterlin", 0, "C:"},
      {"osterlin", 0, ""},
  };
  for (const auto& c : cases) {
    Locate_Paths(c.program);
    EXPECT_EQ(Current_Level(), c.level) << c.program;
    EXPECT_STREQ(Disc_Path(), c.prefix) << c.program;
    EXPECT_STREQ(Install_Path(), c.prefix) << c.program;
  }
}

TEST_F(Shell, SettingsPresentAbsentAndEmpty) {
  const std::string section = "[Software\\Pellumaine's\\L'Osterlin\\1.0]\n";
  struct Case {
    const char* name;
    std::string file;
    const char* disc;
    const char* install;
    const char* lang;
  } cases[] = {
      {"no file", "", "/p/", "/p/", ""},
      {"both present", section + "source=/discs/\nres = /inst\nlang=fr\n", "/discs/", "/inst/", "fr"},
      {"empty values are absent", section + "source=\nres=   \nlang=\n", "/p/", "/p/", ""},
      {"other section", "[Other]\nsource=/x/\n" + section + "res=/r/\n", "/p/", "/r/", ""},
      {"comments and CRLF", "; note\r\n" + section + "# x\r\nsource=/s\r\n", "/s/", "/p/", ""},
      {"language too long", section + "lang=francais\n", "/p/", "/p/", ""},
  };
  for (const auto& c : cases) {
    write_settings(c.file);
    Locate_Paths("/p/osterlin");
    EXPECT_STREQ(Disc_Path(), c.disc) << c.name;
    EXPECT_STREQ(Install_Path(), c.install) << c.name;
    char lang[8];
    Read_Setting("lang", lang, sizeof lang);
    EXPECT_STREQ(lang, c.lang) << c.name;
  }
  // Options come after the settings and win.
  write_settings(section + "res=/r/\n");
  Locate_Paths("/p/osterlin");
  Parse_Command_Line({"-hd", "/opt"});
  EXPECT_STREQ(Install_Path(), "/opt/");
}

namespace {

// Stands in for the scene runtime: records each run's folder, and ends the game
// (as plug-in End would) once the installed folder's disc prompt has run enough.
struct Recorded_Runs {
  std::vector<std::string> folders;
  int prompt_runs_before_end = 0;
  int prompts = 0;
  std::string install;
  std::function<void(const std::string&)> extra;
};
Recorded_Runs* runs = nullptr;

void record_run(const char* name, const char*) {
  std::string folder = std::filesystem::path(cwd()).filename().string();
  bool intro = std::string(name) == "intro.pak";
  runs->folders.push_back(intro ? "intro" : folder);
  if (!intro && cwd() == runs->install && ++runs->prompts >= runs->prompt_runs_before_end) Set_End_Requested(true);
  if (runs->extra) runs->extra(folder);
}

const char* const one_node_script = "[WARP] ROOM.PIC\r\n[TEST] -1\r\nEND\r\n";

const char* const level_folders[] = {"01RE_DAVID",  "02VR_ILE",           "03VR_PUEBLO",
                                     "04VR_FLEUVE", "05VR_VILLAGEMARAIS", "07VRTEMPLE_VOLCAN"};

class LevelWalk : public Shell {
 protected:
  void SetUp() override {
    Shell::SetUp();
    tree_.write("install/osterlin.lst", one_node_script);
    for (const char* folder : level_folders) tree_.write(std::string("discs/") + folder + "/osterlin.lst", one_node_script);
    recorded_.install = std::filesystem::canonical(tree_.file("install")).string();
    runs = &recorded_;
    Run_Script_Set_Hook(record_run);
    Set_Disc_Path((tree_.path() + "/discs").c_str());
    Set_Install_Path((tree_.path() + "/install").c_str());
  }
  void TearDown() override {
    runs = nullptr;
    Shell::TearDown();
  }
  void remove_level(const char* folder) { std::filesystem::remove_all(tree_.file(std::string("discs/") + folder)); }
  void start() {
    ASSERT_TRUE(Enter_Level(0));
    Play_Intro();
    Run_Levels();
  }

  Temp_Dir tree_;
  Recorded_Runs recorded_;
};

}  // namespace

TEST_F(LevelWalk, AllSixLevelsInOrderAfterTheIntro) {
  start();
  EXPECT_EQ(recorded_.folders, (Args{"intro", "01RE_DAVID", "02VR_ILE", "03VR_PUEBLO", "04VR_FLEUVE",
                                     "05VR_VILLAGEMARAIS", "07VRTEMPLE_VOLCAN"}));
  EXPECT_FALSE(End_Requested());
}

TEST_F(LevelWalk, MissingLevelFolderRunsTheDiscPromptUntilEnd) {
  remove_level("03VR_PUEBLO");
  Set_No_Logo(true);
  recorded_.prompt_runs_before_end = 3;
  start();
  EXPECT_EQ(recorded_.folders, (Args{"01RE_DAVID", "02VR_ILE", "install", "install", "install"}));
  EXPECT_EQ(Current_Disc(), 3u);
  EXPECT_TRUE(End_Requested());
  EXPECT_FALSE(Enter_Level(1));  // nothing more once End is set
}

TEST_F(LevelWalk, DiscPromptWithoutANodeEndsTheGameWithStatus255) {
  // Empty data folders: no level folder, and an installed folder whose list file
  // is missing or holds no node. The prompt would run for ever asking for nothing.
  const char* const listings[] = {"", "; a comment\r\n[TEST] -1\r\nEND\r\n", nullptr};  // null: no file
  for (const char* listing : listings) {
    Shell_State_Reset();
    Set_Disc_Path((tree_.path() + "/discs").c_str());
    Set_Install_Path((tree_.path() + "/install").c_str());
    Set_No_Logo(true);
    for (const char* folder : level_folders) remove_level(folder);
    if (listing != nullptr) {
      tree_.write("install/osterlin.lst", listing);
    } else {
      std::filesystem::remove(tree_.file("install/osterlin.lst"));
    }
    recorded_.folders.clear();
    start();
    EXPECT_TRUE(recorded_.folders.empty()) << "the prompt ran";
    EXPECT_TRUE(End_Requested());
    EXPECT_EQ(Exit_Status(), -1);
  }
  Shell_State_Reset();
  EXPECT_EQ(Exit_Status(), 0);
}

TEST_F(LevelWalk, StartPicksTheFirstLevelWhoseFolderExistsAndLargeNumbersStartAtOne) {
  for (const char* folder : {"01RE_DAVID", "04VR_FLEUVE"}) remove_level(folder);
  Set_No_Logo(true);
  recorded_.prompt_runs_before_end = 1;
  start();
  EXPECT_EQ(recorded_.folders, (Args{"02VR_ILE", "03VR_PUEBLO", "install"}));
  EXPECT_EQ(Current_Disc(), 3u);

  Shell_State_Reset();
  Set_Disc_Path((tree_.path() + "/discs").c_str());
  Set_Install_Path((tree_.path() + "/install").c_str());
  Set_No_Logo(true);
  Set_Current_Level(9);
  recorded_.folders.clear();
  recorded_.prompts = 0;
  start();
  EXPECT_EQ(recorded_.folders, (Args{"install"}));  // level 1 is missing: its disc is asked for
  EXPECT_EQ(Current_Disc(), 1u);
}

TEST_F(LevelWalk, RestartAndPendingGameChooseTheNextLevel) {
  Set_No_Logo(true);
  Set_Current_Level(3);
  bool restarted = false, loaded = false;
  std::vector<Level_Entry_State> entries;
  recorded_.extra = [&](const std::string& folder) {
    entries.push_back(Level_Entry());
    if (folder == "04VR_FLEUVE" && !restarted) {
      restarted = true;
      Set_Restart_Requested(true);
    } else if (folder == "02VR_ILE" && !loaded) {
      loaded = true;
      Set_Pending_Game(reinterpret_cast<Save_Slot*>(&entries), 6);
    } else if (folder == "07VRTEMPLE_VOLCAN") {
      Set_Pending_Game(nullptr, 0);  // consumed by the load
    }
  };
  start();
  EXPECT_EQ(recorded_.folders,
            (Args{"03VR_PUEBLO", "04VR_FLEUVE", "01RE_DAVID", "02VR_ILE", "07VRTEMPLE_VOLCAN"}));
  ASSERT_EQ(entries.size(), 5u);
  auto entry = [](const Level_Entry_State& e) { return std::make_pair(e.not_restarted, e.not_advanced); };
  EXPECT_EQ(entry(entries[0]), std::make_pair(false, false));  // start-up
  EXPECT_EQ(entry(entries[1]), std::make_pair(true, false));   // next level
  EXPECT_EQ(entry(entries[2]), std::make_pair(false, true));   // restart
  EXPECT_EQ(entry(entries[3]), std::make_pair(true, false));
  EXPECT_EQ(entry(entries[4]), std::make_pair(true, true));    // loaded game
}

namespace {

// Runs the built engine headless in DIR with its own runtime folder and no
// settings file. A run that never ends is killed: the test then fails on its status.
Program_Run run_engine(const Temp_Dir& dir, const std::string& arguments) {
  return Run_Program("osterlin", "--headless " + arguments, dir.path(),
                     {"OSTERLIN_REGISTRY=" + dir.file("none.ini"), "XDG_RUNTIME_DIR=" + dir.path()}, 120);
}

// How many lines of `text` hold `part`.
int lines_with(const std::string& text, const std::string& part) {
  int count = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (text.substr(start, end - start).find(part) != std::string::npos) ++count;
    start = end + 1;
  }
  return count;
}

}  // namespace

TEST(EngineProgram, WalksLevelsOneToSixAndEndsWithStatusZero) {
  Temp_Dir dir;
  const std::string script = "[WARP] ROOM.PIC\r\n[TEST] -1\r\nEND\r\n";
  dir.write("inst/osterlin.lst", script);
  for (const char* folder : level_folders) dir.write(std::string("cd/") + folder + "/osterlin.lst", script);
  std::string root = std::filesystem::canonical(dir.path()).string();
  Program_Run result = run_engine(dir, "--trace -hd inst -cd " + dir.path() + "/cd");
  EXPECT_EQ(result.status, 0) << result.errors;
  std::string expected = "script intro.pak\nend\n";
  for (int level = 1; level <= 6; ++level) {
    expected += "level " + std::to_string(level) + " " + root + "/cd/" + level_folders[level - 1] +
                "\nscript osterlin.lst\nend\n";
  }
  // Only the level loop's own lines: the runs themselves add node and test lines.
  std::string walk;
  size_t start = 0;
  while (start < result.errors.size()) {
    size_t end = result.errors.find('\n', start);
    if (end == std::string::npos) end = result.errors.size();
    std::string line = result.errors.substr(start, end - start);
    if (line.rfind("level ", 0) == 0 || line.rfind("script ", 0) == 0 || line == "end") walk += line + "\n";
    start = end + 1;
  }
  EXPECT_EQ(walk, expected);
}

TEST(EngineProgram, SecondInstanceAndMissingInstalledFolderEndWithStatus255) {
  Temp_Dir dir;
  std::string saved = getenv("XDG_RUNTIME_DIR") ? getenv("XDG_RUNTIME_DIR") : "";
  setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
  ASSERT_TRUE(Instance_Lock_Acquire());
  Program_Run second = run_engine(dir, "-nologo");
  Instance_Lock_Release();
  if (saved.empty()) unsetenv("XDG_RUNTIME_DIR"); else setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
  EXPECT_EQ(second.status, 255);
  EXPECT_NE(second.errors.find("Cette application est d\xC3\xA9j\xC3\xA0 en cours d'utilisation"), std::string::npos)
      << second.errors;
  // The player is told which lock is held.
  EXPECT_EQ(lines_with(second.errors, dir.path() + "/osterlin.lock"), 1) << second.errors;

  Program_Run missing = run_engine(dir, "-hd " + dir.path() + "/nowhere");
  EXPECT_EQ(missing.status, 255);
  EXPECT_EQ(lines_with(missing.errors, dir.path() + "/nowhere/"), 1) << missing.errors;
  EXPECT_EQ(lines_with(missing.errors, "-hd"), 1) << missing.errors;
}

TEST(EngineProgram, EmptyDataFoldersEndWithStatus255) {
  for (bool with_list_file : {false, true}) {
    Temp_Dir dir;
    std::filesystem::create_directories(dir.file("inst"));
    std::filesystem::create_directories(dir.file("cd"));
    if (with_list_file) dir.write("inst/osterlin.lst", "[TEST] -1\r\nEND\r\n");  // no node
    Program_Run result = run_engine(dir, "-nologo -hd inst -cd cd");
    EXPECT_EQ(result.status, 255) << result.errors;
    EXPECT_EQ(lines_with(result.errors, "osterlin.lst"), 1) << result.errors;
  }
}

TEST(EngineProgram, EachProblemWithTheDataIsToldOnceWithoutDebug) {
  Temp_Dir dir;
  // The disc prompt ends the game (plug-in End) after showing a picture that is not there.
  dir.write("inst/osterlin.lst", "[WARP] PROMPT.TGA\r\n[TEST] -1\r\nPLUGIN\r\nEnd()\r\nENDPLUGIN\r\nEND\r\n");
  // Level 1 shows a missing picture, and its script stops compiling at BOGUS.
  dir.write("cd/01RE_DAVID/osterlin.lst",
            "[WARP] MISSING.TGA\r\n[TEST] -1\r\nEND\r\n[WARP] LATER.TGA\r\n[TEST] -1\r\nBOGUS 1\r\nEND\r\n");
  // Level 2's folder holds no list file; level 3's folder is missing.
  std::filesystem::create_directories(dir.file("cd/02VR_ILE"));
  Program_Run result = run_engine(dir, "-nologo -hd inst -cd cd");
  EXPECT_EQ(result.status, 0) << result.errors;
  const std::string& e = result.errors;
  EXPECT_EQ(lines_with(e, "01RE_DAVID/osterlin.lst"), 1) << e;
  EXPECT_EQ(lines_with(e, "BOGUS"), 1) << e;
  EXPECT_EQ(lines_with(e, "MISSING.TGA"), 1) << e;
  EXPECT_EQ(lines_with(e, "02VR_ILE/osterlin.lst"), 1) << e;
  EXPECT_EQ(lines_with(e, "03VR_PUEBLO"), 1) << e;
  EXPECT_EQ(lines_with(e, "-cd"), 1) << e;
  EXPECT_EQ(lines_with(e, "PROMPT.TGA"), 1) << e;
}

TEST(EngineProgram, HelpVersionAndUnknownOptions) {
  Temp_Dir dir;
  Program_Run help = run_engine(dir, "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("-level N"), std::string::npos);
  Program_Run version = run_engine(dir, "--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.output.rfind("osterlin ", 0), 0u);
  EXPECT_EQ(run_engine(dir, "--frobnicate").status, 2);
}
