#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/input.h"
#include "platform/trace.h"
#include "scene/command_rows.h"
#include "scene/run_script.h"
#include "scene/runtime.h"
#include "scene/scene_sound.h"
#include "scene/script_compiler.h"
#include "scene/view.h"
#include "sound/sound.h"
#include "support/temp_dir.h"
#include "support/working_dir.h"

namespace {

// A zone file: count, then a1, a2, b1, b2 per zone.
std::vector<unsigned char> zone_file(const std::vector<std::array<float, 4>>& zones) {
  std::vector<unsigned char> out(4);
  int32_t count = static_cast<int32_t>(zones.size());
  std::memcpy(out.data(), &count, 4);
  for (const auto& zone : zones) {
    for (float value : zone) {
      unsigned char bytes[4];
      std::memcpy(bytes, &value, 4);
      out.insert(out.end(), bytes, bytes + 4);
    }
  }
  return out;
}

// Runs a script from a temporary folder with tracing on; returns the trace lines.
class RuntimeTest : public testing::Test, public Run_Observer {
 protected:
  void SetUp() override {
    Sound_Set_Output_Mode(Sound_Output::Pull);
    Runtime_Set_Observer(this);
  }
  void TearDown() override {
    Runtime_Set_Observer(nullptr);
  }

  std::vector<std::string> run(const std::string& script) {
    dir_.write("osterlin.lst", script);
    Trace_Set_Enabled(true);
    testing::internal::CaptureStderr();
    Run_Script_File("osterlin.lst", dir_.path().c_str());
    std::string output = testing::internal::GetCapturedStderr();
    Trace_Set_Enabled(false);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < output.size()) {
      size_t end = output.find('\n', start);
      if (end == std::string::npos) end = output.size();
      lines.push_back(output.substr(start, end - start));
      start = end + 1;
    }
    return lines;
  }

  void before_input() override {
    ++frames_;
    if (on_frame_) on_frame_(frames_);
  }

  Temp_Dir dir_;
  Scoped_Working_Dir keep_dir_;  // the script runs change the working folder
  int frames_ = 0;
  std::function<void(int)> on_frame_;
};

bool contains_in_order(const std::vector<std::string>& lines, const std::vector<std::string>& wanted) {
  size_t at = 0;
  for (const std::string& line : lines) {
    if (at < wanted.size() && line == wanted[at]) ++at;
  }
  return at == wanted.size();
}

}  // namespace

TEST_F(RuntimeTest, GosubReturnBooleansAndGotowarp) {
  std::vector<std::string> trace = run(
      "[BOOL] A\n[BOOL] B\n"
      "[WARP] N1.PAN\n[TEST] -1\n"
      "SET A 5\nGOSUB SUB\nNOT B\nIFAND B\nGOTOWARP N2.PAN\nEND\n"
      "LABEL SUB\nSET A 7\nGOSUB SUB\nRETURN\n"
      "[WARP] N2.PAN\n[TEST] -1\nIFOR A MISSING\nIFAND A NOBODY\nGOTOWARP N2.PAN\nGOTOWARP NOWHERE\nEND\n");
  EXPECT_TRUE(contains_in_order(trace, {
                                           "script osterlin.lst",
                                           "node 0 N1.PAN",
                                           "test 0 zone -1 trigger 0",
                                           "cmd SET,A,5",
                                           "cmd GOSUB,SUB",
                                           "cmd SET,A,7",
                                           "cmd GOSUB,SUB",  // ignored: a subroutine runs
                                           "cmd RETURN",
                                           "cmd NOT,B",
                                           "cmd IFAND,B",
                                           "cmd GOTOWARP,N2.PAN",
                                           "node 1 N2.PAN",
                                           "cmd IFOR,A,MISSING",
                                           "cmd IFAND,A,NOBODY",
                                           "cmd GOTOWARP,N2.PAN",  // the current node: nothing
                                           "cmd GOTOWARP,NOWHERE",
                                           "cmd END",
                                           "end",
                                       }))
      << testing::PrintToString(trace);
  // END is never reached in N1: GOTOWARP leaves the test at once.
  int ends = 0;
  for (const std::string& line : trace) ends += line == "cmd END";
  EXPECT_EQ(ends, 1);
}

TEST_F(RuntimeTest, SkippedCommandsAreNotRun) {
  on_frame_ = [](int frame) {
    if (frame == 1) Push_Key(27);
  };
  std::vector<std::string> trace = run(
      "[BOOL] ZERO\n[WARP] A.PAN\n[TEST] -1\n"
      "IFOR ZERO\nGOTOWARP B.PAN\nIFAND ZERO\nGOTOWARP B.PAN\nLOCKKEY 0 C.PAN\nRETURN\nGOTOWARP B.PAN\n"
      "[WARP] B.PAN\n[TEST] -1\nEND\n[WARP] C.PAN\n[TEST] -1\nEND\n");
  // Both GOTOWARPs after a false test are skipped; RETURN without subroutine or key
  // jump ends the test (the last GOTOWARP does not run); Escape then reaches C.
  for (const std::string& line : trace) EXPECT_NE(line, "node 1 B.PAN");
  EXPECT_TRUE(contains_in_order(trace, {"cmd RETURN", "node 2 C.PAN", "end"})) << testing::PrintToString(trace);
}

TEST_F(RuntimeTest, EscapeJumpsToTheMenuOnceAndReturnComesBack) {
  dir_.write("ROOM.ZON", zone_file({{0.0f, 3.0f, 0.5f, 2.5f}}));
  on_frame_ = [](int frame) {
    if (frame == 1) Push_Key(27);   // Escape: the key jump to the menu
    if (frame == 3) Push_Key(13);   // Enter clicks: the zone under the view centre
  };
  std::vector<std::string> trace = run(
      "[WARP] ROOM.PAN ROOM.ZON\n[TEST] -1\nLOCKKEY 0 MENU.PAN\n[TEST] 0 0\nEND\n"
      "[WARP] MENU.PAN\n[TEST] -1\nRETURN\n");
  EXPECT_TRUE(contains_in_order(trace, {"node 0 ROOM.PAN", "cmd LOCKKEY,0,MENU.PAN", "node 1 MENU.PAN",
                                        "cmd RETURN", "node 0 ROOM.PAN", "cmd LOCKKEY,0,MENU.PAN",
                                        "test 1 zone 0 trigger 0", "cmd END", "end"}))
      << testing::PrintToString(trace);
}

TEST_F(RuntimeTest, EntryTestRunsOncePerNodeStartOnlyTheFirst) {
  int frame_limit = 0;
  on_frame_ = [&](int frame) {
    frame_limit = frame;
    if (frame == 2) Push_Key(13);  // click anywhere: no zone, back to the trigger scan
    if (frame == 4) Push_Key(128);  // F1: key slot 1
  };
  std::vector<std::string> trace = run(
      "[WARP] A.PAN\n[TEST] -1\nLOCKKEY 1 B.PAN\n[TEST] -1\nEND\n"
      "[WARP] B.PAN\n[TEST] -1\nEND\n");
  int entry_runs = 0;
  for (const std::string& line : trace) entry_runs += line == "cmd LOCKKEY,1,B.PAN";
  EXPECT_EQ(entry_runs, 1);
  EXPECT_TRUE(contains_in_order(trace, {"node 1 B.PAN", "cmd END", "end"})) << testing::PrintToString(trace);
  EXPECT_GE(frame_limit, 4);
}

TEST_F(RuntimeTest, ScriptWithoutNodesEndsAtOnce) {
  std::vector<std::string> trace = run("[BOOL] ONLY\n; nothing else\n");
  EXPECT_TRUE(contains_in_order(trace, {"script osterlin.lst", "end"}));
  EXPECT_EQ(frames_, 0);
}

TEST_F(RuntimeTest, WarpWithoutNameLoadsNothingAndRuns) {
  std::vector<std::string> trace = run("[WARP]\n[TEST] -1\nEND\n");
  EXPECT_TRUE(contains_in_order(trace, {"node 0 ", "cmd END", "end"})) << testing::PrintToString(trace);
}

// Every keyword the compiler keeps runs through exactly one row of the three
// command tables, except the control flow the test loop handles itself and the
// two keywords that do nothing. Keywords match exactly: case and length count.
TEST(SceneCommands, EveryKeptKeywordHasExactlyOneRow) {
  const std::vector<std::string> control = {"GOSUB", "RETURN", "END", "IFOR", "IFAND", "LABEL", "ENDPLUGIN"};
  const std::vector<std::string> rows = {
      "ANGLEXMAX", "ANGLEYMAX",   "SETANGLE",    "SETNORD",     "INTERPOLANGLE", "SETZOOM",    "INTERPOLZOOM",
      "INTERPOLANGLEZOOM",        "FADE",        "TRANSFADE",   "SET",           "NOT",        "PRINT",
      "SETCURSOR", "HIDECURSOR",  "SETCURSORDEFAULT",           "PLAYVIDEO",     "PLAYMUSIQUE", "STOPMUSIQUE",
      "PLAYSOUND", "STOPSOUND",   "PLAYSOUND3D", "STOPSOUND3D", "PLAYRNDSOUND",  "GOTOWARP",   "LOCKKEY",
      "UNLOCKKEY", "PLUGIN"};
  for (const std::string& keyword : control) {
    EXPECT_TRUE(Script_Keyword_Known(keyword.c_str())) << keyword;
    EXPECT_EQ(Scene_Command_Find(keyword.c_str()), nullptr) << keyword;
  }
  for (const std::string& keyword : rows) {
    EXPECT_TRUE(Script_Keyword_Known(keyword.c_str())) << keyword;
    const Command_Row* row = Scene_Command_Find(keyword.c_str());
    ASSERT_NE(row, nullptr) << keyword;
    EXPECT_STREQ(row->keyword, keyword.c_str());
    int tables = (Command_Find(View_Command_Rows(), keyword.c_str()) != nullptr) +
                 (Command_Find(Scene_Sound_Command_Rows(), keyword.c_str()) != nullptr);
    EXPECT_LE(tables, 1) << keyword;
  }
  for (const char* other : {"set", "SETCURSO", "SETCURSORS", "PLAYSOUND3", "", "LABEL", "BOGUS"}) {
    EXPECT_EQ(Scene_Command_Find(other), nullptr) << other;
  }
}
