#include "shell/plugins.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scene/runtime.h"
#include "scene/script_compiler.h"
#include "shell/levels.h"
#include "shell/mpeg.h"
#include "shell/saved_games.h"
#include "shell/shell_state.h"
#include "support/temp_dir.h"

namespace {

class PluginTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string text = "[BOOL] B1\n[BOOL] B2\n[BOOL] LANG\n[WARP] ROOM.PAN\n[TEST] -1\nEND\n";
    Script_Compile_Text(Script_Text{reinterpret_cast<const uint8_t*>(text.data()), text.size()});
    Shell_State_Reset();
    Set_Install_Path(dir_.path().c_str());
    Set_Mpeg_Mode(false);
  }
  void TearDown() override {
    Slots_Destroy_All();
    Shell_State_Reset();
    Script_Free();
  }
  void set(int32_t b1, int32_t b2) {
    Bool_Set("B1", b1);
    Bool_Set("B2", b2);
  }
  std::pair<int32_t, int32_t> bools() { return {Bool_Get("B1"), Bool_Get("B2")}; }

  Temp_Dir dir_;
};

}  // namespace

TEST(PluginTokens, SeparatorsQuotesAndTheLineLimit) {
  struct Case {
    const char* line;
    std::vector<std::string> tokens;
  };
  std::vector<Case> cases = {
      {"PlayMPEG intro.mpg", {"PlayMPEG", "intro.mpg"}},
      {"PlayMPEG(intro.mpg)", {"PlayMPEG", "intro.mpg"}},
      {"PlayMPEG,intro.mpg", {"PlayMPEG", "intro.mpg"}},
      {"PlayMPEG(\"my file.mpg\")", {"PlayMPEG", "\"my", "file.mpg\""}},  // quotes do not group
      {"PlayMPEG(c:\\videos/a.b.mpg)", {"PlayMPEG", "c:\\videos/a.b.mpg"}},
      {"LoadSave( 1 , A;B-C )", {"LoadSave", "1", "A", "B", "C"}},
      {"  ()  ", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Plugin_Tokens(c.line), c.tokens) << c.line;

  // A line longer than 127 characters is cut at 127.
  std::string long_line = "End " + std::string(200, 'x');
  std::vector<std::string> tokens = Plugin_Tokens(long_line.c_str());
  ASSERT_EQ(tokens.size(), 2u);
  EXPECT_EQ(tokens[1].size(), 123u);
}

TEST_F(PluginTest, NamesMatchWithoutCaseAndUnknownLinesReturnZero) {
  for (const char* line : {"End", "end()", "END,1,2", "eNd(x)"}) {
    Set_End_Requested(false);
    EXPECT_EQ(Plugin_Dispatch(line), 1) << line;
    EXPECT_TRUE(End_Requested()) << line;
  }
  for (const char* line : {"", "(,)", "Ending", "Rest art", "Save2"}) EXPECT_EQ(Plugin_Dispatch(line), 0) << line;
  EXPECT_EQ(Plugin_Dispatch("restart"), 1);
  EXPECT_TRUE(Restart_Requested());
}

TEST_F(PluginTest, LoadSaveFormsAndLevelEntry) {
  // A number beyond the slot list: 99 tests "not advanced", others "not restarted".
  struct Case {
    Level_Entry_State entry;
    const char* line;
    std::pair<int32_t, int32_t> result;
  };
  std::vector<Case> cases = {
      {{false, false}, "LoadSave 99 B1 B2", {1, 0}},  // first level after start-up
      {{true, false}, "LoadSave 99 B1 B2", {1, 0}},   // entered as the next level
      {{false, true}, "LoadSave 99 B1 B2", {0, 1}},   // after Restart
      {{false, true}, "LoadSave 50 B1 B2", {1, 0}},
      {{true, true}, "LoadSave 50 B1 B2", {0, 1}},    // a loaded game
  };
  for (const Case& c : cases) {
    Set_Level_Entry(c.entry);
    set(5, 5);
    EXPECT_EQ(Plugin_Dispatch(c.line), 1);
    EXPECT_EQ(bools(), c.result) << c.line << " " << c.entry.not_restarted << c.entry.not_advanced;
  }

  // Fewer than two booleans after a number: nothing happens.
  set(5, 5);
  Plugin_Dispatch("LoadSave 1 B1");
  EXPECT_EQ(bools(), std::make_pair(5, 5));

  // Disc test.
  Set_Current_Disc(3);
  Plugin_Dispatch("LoadSave B1 3");
  EXPECT_EQ(Bool_Get("B1"), 1);
  Plugin_Dispatch("LoadSave B1 2");
  EXPECT_EQ(Bool_Get("B1"), 0);

  // Flag handed on: a true flag does not build the list; a false one does.
  set(1, 0);
  Plugin_Dispatch("LoadSave B1 B2");
  EXPECT_EQ(bools(), std::make_pair(0, 1));
  EXPECT_TRUE(Save_Slots().empty());
  set(0, 1);
  Plugin_Dispatch("LoadSave B1 B2");
  EXPECT_EQ(bools(), std::make_pair(0, 0));
  EXPECT_EQ(Save_Slots().size(), 8u);

  // With the list built and no files: slot 1 is empty.
  set(5, 5);
  Plugin_Dispatch("LoadSave 1 B1 B2");
  EXPECT_EQ(bools(), std::make_pair(0, 1));
}

TEST_F(PluginTest, SaveAndPreLoadOutsideTheListDoNothing) {
  Plugin_Dispatch("Save 1");  // no list yet
  Plugin_Dispatch("PreLoad 3");
  EXPECT_EQ(Pending_Game(), nullptr);

  Plugin_Dispatch("LoadSave");
  ASSERT_EQ(Save_Slots().size(), 8u);
  Plugin_Dispatch("Save 9");
  EXPECT_EQ(Save_Slots().size(), 8u);
  Plugin_Dispatch("Save 0");  // saves nothing but empties the list
  EXPECT_TRUE(Save_Slots().empty());

  // PreLoad n takes slot n out and empties the rest; PreLoad 0 acts as Load.
  Plugin_Dispatch("LoadSave");
  Plugin_Dispatch("PreLoad 3");
  ASSERT_NE(Pending_Game(), nullptr);
  EXPECT_EQ(Pending_Game()->index, 2u);
  EXPECT_TRUE(Save_Slots().empty());
  Bool_Set("B1", 1);
  Plugin_Dispatch("Load B1");
  EXPECT_EQ(Pending_Game(), nullptr);
  Bool_Set("B1", 1);
  Plugin_Dispatch("PreLoad B1");  // not a slot number: acts as Load B1
  EXPECT_EQ(Bool_Get("B1"), 0);  // nothing pending
}

TEST_F(PluginTest, MpegModeAndLanguage) {
  Plugin_Dispatch("SetMPEG 1");
  Plugin_Dispatch("GetMPEG B1");
  EXPECT_EQ(Bool_Get("B1"), 1);
  Plugin_Dispatch("SetMPEG 0");
  Plugin_Dispatch("GetMPEG B1");
  EXPECT_EQ(Bool_Get("B1"), 0);
  Bool_Set("B2", 1);
  Plugin_Dispatch("CanPlayMPEG B2");
  EXPECT_EQ(Bool_Get("B2"), 0);

  struct Case {
    const char* code;
    const char* line;
    int32_t result;
  };
  for (const Case& c : std::vector<Case>{{"US", "GetLang LANG us", 1},
                                         {"us", "GetLang(LANG,US)", 1},
                                         {"US", "GetLang LANG FR", 0},
                                         {"", "GetLang LANG", 1},
                                         {"US", "GetLang LANG", 0}}) {
    Set_Language_Code(c.code);
    Bool_Set("LANG", 7);
    Plugin_Dispatch(c.line);
    EXPECT_EQ(Bool_Get("LANG"), c.result) << c.code << " / " << c.line;
  }
}
