#include "scene/script_compiler.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "draw/console.h"

namespace {

std::vector<std::string> script_lines(const std::string& text) {
  Script_Text source{reinterpret_cast<const uint8_t*>(text.data()), text.size()};
  std::vector<std::string> lines;
  char line[Script_Line_Size];
  int32_t offset = 0;
  while (Script_Line_Read(source, line, &offset) == 0) lines.emplace_back(line);
  return lines;
}

std::vector<std::string> raw_lines(const std::string& text) {
  Script_Text source{reinterpret_cast<const uint8_t*>(text.data()), text.size()};
  std::vector<std::string> lines;
  char line[Script_Raw_Line_Size];
  int32_t offset = 0;
  while (Script_Line_Read_Raw(source, line, &offset) == 0) lines.emplace_back(line);
  return lines;
}

Scene_Script& compile(const std::string& text) {
  Script_Compile_Text(Script_Text{reinterpret_cast<const uint8_t*>(text.data()), text.size()});
  return *Script_Current();
}

std::vector<std::string> commands_of(const ::Test& test) {
  return std::vector<std::string>(test.commands, test.commands + test.command_count);
}

using Lines = std::vector<std::string>;

class ScriptCompiler : public testing::Test {
 protected:
  void TearDown() override { Script_Free(); }
};

}  // namespace

TEST(ScriptLineRead, SeparatorsCommentsAndCase) {
  struct Case {
    std::string text;
    Lines lines;
  } cases[] = {
      {"A B", {"A,B"}},
      {"A=B", {"A,B"}},
      {"A,B", {"A,B"}},
      {"A, B", {"A,B"}},
      {"A ,B", {"A,,B"}},
      {"A\t\tB", {"A,B"}},
      {"   \tgotowarp x", {"GOTOWARP,X"}},
      {"GOTOWARP X ; comment", {"GOTOWARP,X"}},
      {"[test] 3=1", {"[TEST],3,1"}},
      {"PRINT Hello there", {"PRINT,HELLO,THERE"}},
      {"A,,", {"A,"}},                          // only one trailing separator goes
      {"; only a comment", {""}},
      {"caf\xe9 x", {"CAF\xe9,X"}},          // bytes above 127 keep their case
      {"= a", {",A"}},
      {"A = B", {"A,,B"}},
  };
  for (const auto& c : cases) EXPECT_EQ(script_lines(c.text), c.lines) << c.text;
}

TEST(ScriptLineRead, LineEndsPairAndLongLinesSplit) {
  struct Case {
    std::string text;
    Lines lines;
  } cases[] = {
      {"A\r\nB", {"A", "B"}},
      {"A\n\rB", {"A", "B"}},
      {"A\r\rB", {"A", "B"}},
      {"A\n\nB", {"A", "B"}},            // two line feeds are one line end
      {"A\n\n\nB", {"A", "", "B"}},
      {"A\r\n\r\nB", {"A", "", "B"}},
      {"A\r\n", {"A"}},
      {"", {}},
      {std::string(300, 'x'), {std::string(255, 'X'), std::string(45, 'X')}},
      // A line of exactly 255 characters ends without its line end being read, so
      // the CR is taken as the pair and the LF makes an empty line.
      {std::string(255, 'x') + "\r\nB", {std::string(255, 'X'), "", "B"}},
      {std::string(255, 'x') + "\nB", {std::string(255, 'X'), "B"}},
      // Comment characters count towards the 255; the rest is read as a new line.
      {";" + std::string(254, 'c') + "goto x", {"", "GOTO,X"}},
  };
  for (const auto& c : cases) EXPECT_EQ(script_lines(c.text), c.lines) << c.text.substr(0, 20);
}

TEST(ScriptLineRead, RawLinesKeepEverythingButLeadingBlanksAndComments) {
  EXPECT_EQ(raw_lines(" \t play_animbloc(Door) = x\t ;c\r\nEndPlugin \r\n"),
            (Lines{"play_animbloc(Door) = x\t ", "EndPlugin "}));
  EXPECT_EQ(raw_lines(std::string(300, 'y')), (Lines{std::string(257, 'y'), std::string(43, 'y')}));
  char line[Script_Raw_Line_Size];
  int32_t offset = 5;
  Script_Text text{reinterpret_cast<const uint8_t*>("abc"), 3};
  EXPECT_EQ(Script_Line_Read_Raw(text, line, &offset), -1);
  offset = -1;
  EXPECT_EQ(Script_Line_Read(text, line, &offset), -1);
}

TEST(FieldGet, FieldsAndMissingFields) {
  struct Case {
    const char* line;
    int index;
    int result;
    const char* field;
  } cases[] = {
      {"GOTOWARP,X", 0, 0, "GOTOWARP"}, {"GOTOWARP,X", 1, 0, "X"}, {"GOTOWARP,X", 2, -1, ""},
      {"A,,B", 1, 0, ""},               {"A,,B", 2, 0, "B"},      {"A,", 1, 0, ""},
      {"", 0, -1, ""},                  {"A", -1, -1, ""},
  };
  char out[Script_Field_Size];
  for (const auto& c : cases) {
    EXPECT_EQ(Field_Get(c.line, c.index, out), c.result) << c.line << " " << c.index;
    EXPECT_STREQ(out, c.field) << c.line << " " << c.index;
  }
  // Separators beyond the first 256 characters are not seen.
  std::string long_line = std::string(256, 'A') + ",B";
  EXPECT_EQ(Field_Get(long_line.c_str(), 1, out), -1);
  EXPECT_EQ(Field_Get(long_line.c_str(), 0, out), 0);
  EXPECT_EQ(std::string(out), std::string(256, 'A'));
}

TEST(StrToInt, DecimalWithWrapAround) {
  struct Case {
    const char* text;
    int32_t value;
  } cases[] = {
      {"12", 12},         {"-5", -5},          {"abc", 0},           {"12ab", 12},
      {"", 0},            {"-", 0},            {"+5", 0},            {" 5", 0},
      {"2147483647", INT32_MAX},               {"2147483648", INT32_MIN},
      {"-2147483648", INT32_MIN},              {"4294967296", 0},    {"99999999999", 1215752191},
  };
  for (const auto& c : cases) EXPECT_EQ(Str_To_Int(c.text), c.value) << c.text;
}

TEST_F(ScriptCompiler, RealisticScriptCompilesToNodesTestsAndCommands) {
  Scene_Script& script = compile(
      "; booleans first\r\n[BOOL] DOOR_OPEN\r\n[bool] key\r\n[WARP] HALL.PIC HALL.ZON\r\n[TEST] -1\r\n"
      "SETANGLE 0 2048\r\nPLAYMUSIQUE THEME.WAV 200\r\n[TEST] 0 0\r\nIFAND DOOR_OPEN\r\n"
      "GOTOWARP CORRIDOR.PIC\r\nPLUGIN\r\nplay_animbloc(door)\r\n  wait(Key, 1)\r\nENDPLUGIN\r\n"
      "[TEST] 1 1\r\n\r\n; a remark\r\nPRINT THE_DOOR_IS_LOCKED FONT1\r\n[WARP] CORRIDOR.PIC\r\n"
      "[TEST] -1\r\nRETURN\r\n");
  ASSERT_EQ(script.bool_count, 2);
  EXPECT_STREQ(script.bools[0].name, "DOOR_OPEN");
  EXPECT_STREQ(script.bools[1].name, "KEY");
  ASSERT_EQ(script.warp_count, 2);
  const Warp& hall = script.warps[0];
  EXPECT_STREQ(hall.picture_name, "HALL.PIC");
  EXPECT_STREQ(hall.zone_file_name, "HALL.ZON");
  ASSERT_EQ(hall.test_count, 3);
  EXPECT_EQ(hall.tests[0].zone, -1);
  EXPECT_EQ(commands_of(hall.tests[0]), (Lines{"SETANGLE,0,2048", "PLAYMUSIQUE,THEME.WAV,200"}));
  EXPECT_EQ(hall.tests[1].zone, 0);
  EXPECT_EQ(hall.tests[1].trigger, 0);
  EXPECT_EQ(commands_of(hall.tests[1]),
            (Lines{"IFAND,DOOR_OPEN", "GOTOWARP,CORRIDOR.PIC", "PLUGIN,play_animbloc(door);wait(Key, 1);"}));
  EXPECT_EQ(hall.tests[2].trigger, 1);
  EXPECT_EQ(commands_of(hall.tests[2]), (Lines{"PRINT,THE_DOOR_IS_LOCKED,FONT1"}));
  const Warp& corridor = script.warps[1];
  EXPECT_EQ(corridor.zone_file_name, nullptr);
  ASSERT_EQ(corridor.test_count, 1);
  EXPECT_EQ(commands_of(corridor.tests[0]), (Lines{"RETURN"}));
  EXPECT_EQ(corridor.tests[0].cursor_name[0], 0);
  EXPECT_EQ(corridor.tests[0].hidden, 0);
}

TEST_F(ScriptCompiler, TestLinesAndNodeKinds) {
  Scene_Script& script = compile(
      "[WARP] a.pic\n[test] 3=1\n[TEST],3,1\n[TEST]\n[TEST] -2 x\n"
      "[WARP] flat.tga\n[TEST]\n[WARP] PANO.PAN\n[TEST]\n[WARP] menu.rozd\n[TEST]\n");
  ASSERT_EQ(script.warp_count, 4);
  const Warp& a = script.warps[0];
  ASSERT_EQ(a.test_count, 4);
  EXPECT_EQ(a.tests[0].zone, 3);
  EXPECT_EQ(a.tests[0].trigger, 1);
  EXPECT_EQ(a.tests[1].zone, 3);
  EXPECT_EQ(a.tests[1].trigger, 1);
  EXPECT_EQ(a.tests[2].zone, 0);   // missing fields read as 0
  EXPECT_EQ(a.tests[2].trigger, 0);
  EXPECT_EQ(a.tests[3].zone, -2);
  EXPECT_EQ(a.tests[3].trigger, 0);
  EXPECT_EQ(script.warps[0].kind, 0);
  EXPECT_EQ(script.warps[1].kind, 1);  // ends in "A"
  EXPECT_EQ(script.warps[2].kind, 0);
  EXPECT_EQ(script.warps[3].kind, 1);  // ends in "D"
}

TEST_F(ScriptCompiler, StopRulesKeepWhatWasCompiled) {
  struct Case {
    const char* name;
    std::string text;
    int warps;
    int tests_in_last;
    int commands_in_last;
  } cases[] = {
      {"blank line between WARP and TEST", "[WARP] A\r\n\r\n[TEST] -1\r\nEND\r\n[WARP] B\r\n[TEST]\r\n", 1, 0, 0},
      {"comment line between WARP and TEST", "[WARP] A\n;x\n[TEST] -1\nEND\n[WARP] B\n[TEST]\n", 1, 0, 0},
      {"unknown keyword", "[WARP] A\n[TEST] -1\nEND\nFOO 1\nEND\n[WARP] B\n[TEST]\n", 1, 1, 1},
      {"BOOL among commands", "[BOOL] X\n[WARP] A\n[TEST] -1\nSET X 1\n[BOOL] Y\nEND\n", 1, 1, 1},
      {"WARP at the end", "[WARP] A\n[TEST]\nEND\n[WARP] B\n", 2, 0, 0},
      {"only booleans", "[BOOL] X\n[BOOL]\n", 0, 0, 0},
      {"lines before the first node are ignored", "hello world\nEND\n[WARP] A\n[TEST]\nEND\n", 1, 1, 1},
      {"blank and empty-keyword lines between commands", "[WARP] A\n[TEST]\nEND\n\n\n= x\nEND\n", 1, 1, 2},
  };
  for (const auto& c : cases) {
    Scene_Script& script = compile(c.text);
    ASSERT_EQ(script.warp_count, c.warps) << c.name;
    if (c.warps == 0) continue;
    const Warp& last = script.warps[c.warps - 1];
    ASSERT_EQ(last.test_count, c.tests_in_last) << c.name;
    if (c.tests_in_last) {
      EXPECT_EQ(last.tests[c.tests_in_last - 1].command_count, c.commands_in_last) << c.name;
    }
  }
  Scene_Script& bools = compile("[BOOL] X\n[BOOL]\n[BOOL] y z\n");
  ASSERT_EQ(bools.bool_count, 3);
  EXPECT_EQ(bools.bools[1].name, nullptr);
  EXPECT_STREQ(bools.bools[2].name, "Y");
}

TEST_F(ScriptCompiler, PluginBlocksCloseOnlyOnTheExactWord) {
  struct Case {
    const char* closing;
    bool closes;
  } cases[] = {
      {"EndPlugin", true},      {"  endplugin", true},        {"ENDPLUGIN;note", true},
      {"ENDPLUGIN,x", true},    {"ENDPLUGIN ", false},        {"ENDPLUGIN ;note", false},
      {"ENDPLUGIN=x", false},   {"END PLUGIN", false},
  };
  for (const auto& c : cases) {
    Scene_Script& script =
        compile(std::string("[WARP] A\n[TEST]\nSET X 1\nPLUGIN ignored words\nplay(a)\r\n\r\n") + c.closing + "\nEND\n");
    ASSERT_EQ(script.warp_count, 1);
    const ::Test& test = script.warps[0].tests[0];
    if (c.closes) {
      EXPECT_EQ(commands_of(test), (Lines{"SET,X,1", "PLUGIN,play(a);;", "END"})) << c.closing;
    } else {
      EXPECT_EQ(commands_of(test), (Lines{"SET,X,1"})) << c.closing;
    }
  }
}

TEST_F(ScriptCompiler, UnterminatedPluginBlockPrintsTwoConsoleLines) {
  Console_Set_Enabled(true);
  testing::internal::CaptureStderr();
  std::string text = "[WARP] A\n[TEST]\nPLUGIN\nplay(a)\nENDPLUGIN \n";
  Scene_Script& script = compile(text);
  std::string printed = testing::internal::GetCapturedStderr();
  Console_Set_Enabled(false);
  EXPECT_EQ(printed, "Syntax error in PLUGIN intruction, ENDPLUGIN not found!\nOffset: " +
                         std::to_string(text.size()) + "\n");
  ASSERT_EQ(script.warp_count, 1);
  EXPECT_EQ(script.warps[0].tests[0].command_count, 0);
}

TEST_F(ScriptCompiler, NextNodeScanRestartsAfterTheWarpLine) {
  // The scan for the next node restarts just after the previous "[WARP]" line with
  // the script line reader, so a plug-in line that reads as "[WARP]" starts a node.
  Scene_Script& script =
      compile("[WARP] A\n[TEST]\nPLUGIN\n[warp] inner\n[TEST]\nENDPLUGIN\n[WARP] B\n[TEST]\nEND\n");
  ASSERT_EQ(script.warp_count, 3);
  EXPECT_EQ(commands_of(script.warps[0].tests[0]), (Lines{"PLUGIN,[warp] inner;[TEST];"}));
  EXPECT_STREQ(script.warps[1].picture_name, "INNER");
  EXPECT_EQ(commands_of(script.warps[1].tests[0]), (Lines{"ENDPLUGIN"}));
  EXPECT_STREQ(script.warps[2].picture_name, "B");
}

TEST_F(ScriptCompiler, WarpWithoutNameMatchesNothing) {
  Scene_Script& script = compile("[WARP]\n[TEST]\nGOTOWARP\n");
  ASSERT_EQ(script.warp_count, 1);
  EXPECT_EQ(script.warps[0].picture_name, nullptr);
  EXPECT_EQ(script.warps[0].kind, 0);
  EXPECT_FALSE(Warp_Name_Matches(script.warps[0], ""));
  Scene_Script& named = compile("[WARP] hall.pic\n[TEST]\n");
  EXPECT_TRUE(Warp_Name_Matches(named.warps[0], "Hall.Pic"));
  EXPECT_FALSE(Warp_Name_Matches(named.warps[0], "HALL"));
}

TEST(ScriptFree, WithoutScriptDoesNothing) {
  Script_Free();
  Script_Free();
  EXPECT_EQ(Script_Current(), nullptr);
}
