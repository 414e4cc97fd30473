#include "video/command_block.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "pictures/picture.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/events.h"
#include "platform/trace.h"
#include "scene/run_script.h"
#include "sound/sound.h"
#include "roz_chunk_writer.h"
#include "video/engine_targets.h"
#include "scene/runtime.h"
#include "scene/script_compiler.h"
#include "shell/levels.h"
#include "shell/plugins.h"
#include "support/engine_reset.h"
#include "support/temp_dir.h"
#include "support/working_dir.h"
#include "video/animation_step.h"
#include "video/node_picture.h"
#include "video/video_state.h"

namespace {

int frames = 0;
uint64_t virtual_time = 0;
uint64_t counts_per_frame = 0;

// Counts presented frames; each one advances the virtual counter by a fixed step.
void on_tick(int32_t) {
  ++frames;
  virtual_time += counts_per_frame;
  Clock_Set_Virtual_Counter(virtual_time);
}

// A script with the booleans the tests use, a panorama buffer and a node picture,
// inside a temporary folder.
class CommandBlockTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(inside_.entered());
    Engine_Test_Reset();
    std::string text =
        "[BOOL] A\n[BOOL] B\n[BOOL] C\n[BOOL] T\n[BOOL] F\n[BOOL] X\n[BOOL] N\n[BOOL] DONE\n[BOOL] 7\n"
        "[WARP] ROOM.PAN\n[TEST] -1\nEND\n";
    Script_Compile_Text(Script_Text{reinterpret_cast<const uint8_t*>(text.data()), text.size()});
    panorama_.assign(256 * 6144, 0);
    Engine_Set_Panorama_Buffer(panorama_.data());
    Node_Picture_Replace(Picture_Create("warpfix", 640, 480, 16));
    frames = 0;
    virtual_time = 0;
    counts_per_frame = 0;
    Clock_Use_Virtual_Counter(true);
    Clock_Set_Virtual_Counter(0);
    Clock_Set_Tick_Listener(on_tick);
  }
  void TearDown() override { Engine_Test_Reset(); }

public:
  void run(std::vector<std::string> lines) {
    std::vector<char*> pointers;
    for (std::string& line : lines) pointers.push_back(line.data());
    Run_Command_Block(static_cast<int>(pointers.size()), pointers.data());
  }

 protected:
  Temp_Dir dir_;
  Scoped_Working_Dir inside_{dir_.path()};
  std::vector<uint16_t> panorama_;
};

struct Bool_Case {
  std::vector<std::string> block;
  std::vector<std::pair<const char*, int32_t>> expected;
};

void check(const std::vector<Bool_Case>& cases, CommandBlockTest* test,
           void (CommandBlockTest::*run)(std::vector<std::string>)) {
  for (const Bool_Case& c : cases) {
    for (const char* name : {"A", "B", "C", "T", "F", "X", "N", "DONE", "7"}) Bool_Set(name, 0);
    (test->*run)(c.block);
    for (const auto& [name, value] : c.expected)
      EXPECT_EQ(Bool_Get(name), value) << testing::PrintToString(c.block) << " boolean " << name;
  }
}

// A panorama file with a two-frame animation "door0007" and no loop marker.
std::vector<uint8_t> animated_panorama() {
  static const std::vector<uint8_t> file = [] {
    std::vector<uint8_t> out = roz_chunk::file_header();
    roz_chunk::put_picture(out, roz_chunk::Panorama, std::vector<uint8_t>(256 * 6144 * 3, 0), 80);
    std::vector<uint8_t> tile(64 * 3, 0xFF);
    roz_chunk::put_anim_header(out, "door0007", 2);
    roz_chunk::put_anim_frame(out, {0}, tile, 100);
    roz_chunk::put_anim_frame(out, {0}, tile, 100);
    return out;
  }();
  return file;
}

}  // namespace

TEST_F(CommandBlockTest, SetAddSubTakeNumbersOrBooleans) {
  check({
            {{"set(A,5)"}, {{"A", 5}}},
            {{"set(A,-3)"}, {{"A", -3}}},
            {{"set(B,9)", "set(A,B)"}, {{"A", 9}}},
            {{"set(A,12abc)"}, {{"A", 12}}},
            {{"set(A,_B)"}, {{"A", 0}}},         // neither a letter nor a number: 0
            {{"set(A, 4)"}, {{"A", 0}}},         // blanks are kept: " 4" is no number
            {{"set(A)"}, {{"A", 0}}},            // missing operand counts as 0
            {{"set(B,7)", "add(A,B,3)"}, {{"A", 10}, {"B", 7}}},
            {{"set(B,7)", "sub(A,B,B)"}, {{"A", 0}}},
            {{"set(B,2147483647)", "add(A,B,1)"}, {{"A", INT32_MIN}}},  // wraps
            {{"SET(A,5)"}, {{"A", 0}}},          // names are case-sensitive: a plug-in lookup
        },
        this, &CommandBlockTest::run);
}

TEST_F(CommandBlockTest, CmpSetsBothBooleansAndIgnoresUnknownOperators) {
  struct Case {
    int32_t x;
    const char* op;
    int32_t t;
  };
  for (const Case& c : std::vector<Case>{{10, "<=", 1}, {11, "<=", 0}, {10, "<", 0}, {-1, "<", 1},
                                         {10, ">=", 1}, {11, ">", 1}, {10, "==", 1}, {10, "!=", 0}}) {
    Bool_Set("X", c.x);
    Bool_Set("T", 7);
    Bool_Set("F", 7);
    run({"cmp(T,F,X," + std::string(c.op) + ",10)"});
    EXPECT_EQ(Bool_Get("T"), c.t) << c.x << c.op;
    EXPECT_EQ(Bool_Get("F"), 1 - c.t) << c.x << c.op;
  }
  Bool_Set("T", 7);
  run({"cmp(T,F,X,=<,10)"});
  EXPECT_EQ(Bool_Get("T"), 7);
}

TEST_F(CommandBlockTest, OpCombinesLeftToRight) {
  check({
            // (A | B) & C, not A | (B & C)
            {{"set(A,1)", "set(B,0)", "set(C,0)", "op(T,F,A,or,B,and,C)"}, {{"T", 0}, {"F", 1}}},
            {{"set(A,1)", "set(C,6)", "op(T,F,A,or,C,and,C)"}, {{"T", 6}, {"F", 0}}},
            {{"set(A,3)", "op(T,F,A)"}, {{"T", 3}, {"F", 0}}},
            {{"set(A,2)", "op(T,F,A,or)"}, {{"T", 2}, {"F", 0}}},  // a pair cut short is ignored
            {{"set(A,2)", "op(T,F,A,xor,A)"}, {{"T", 2}}},
            // The third argument is a boolean's name even when it reads as a number:
            // "7" is the boolean named 7, "1" names none and reads 0.
            {{"op(T,F,7)"}, {{"T", 0}, {"F", 1}}},
            {{"set(7,4)", "set(A,1)", "op(T,F,7,or,A)"}, {{"T", 5}, {"F", 0}}},
            {{"op(T,F,1)"}, {{"T", 0}, {"F", 1}}},
            {{"set(A,7)"}, {{"A", 7}}},  // where an operand is read, 7 stays a number
        },
        this, &CommandBlockTest::run);
}

TEST_F(CommandBlockTest, EngineSettingsAreStoredUnclamped) {
  Engine_Parameters saved = Engine_Params();
  Bool_Set("A", -20);
  run({"set_global_volume(300)", "set_global_pan(A)"});
  EXPECT_EQ(Engine_Params().master_volume, 300);
  EXPECT_EQ(Engine_Params().pan_speed, -20);
  Engine_Params() = saved;
}

TEST_F(CommandBlockTest, UntilAndWhileRunFramesAndSampleBeforeEach) {
  // until with the value already there: exactly one frame.
  Bool_Set("DONE", 1);
  run({"until(DONE,1)"});
  EXPECT_EQ(frames, 1);

  // until that a frame satisfies: the value is read before the frame, so one more.
  frames = 0;
  Bool_Set("DONE", 0);
  Clock_Set_Tick_Listener([](int32_t ms) {
    on_tick(ms);
    if (frames == 3) Bool_Set("DONE", 1);
  });
  run({"until(DONE,1)"});
  EXPECT_EQ(frames, 4);
  Clock_Set_Tick_Listener(on_tick);

  // while: each frame lasts 0.1 s of the virtual counter.
  counts_per_frame = Counter_Frequency() / 10;
  struct Case {
    const char* seconds;
    int frames;
  };
  for (const Case& c : std::vector<Case>{{"0", 1}, {"-1", 1}, {"0.05", 2}, {"0.5", 6}, {"x", 1}}) {
    frames = 0;
    virtual_time = 0;
    Clock_Set_Virtual_Counter(0);
    run({std::string("while(") + c.seconds + ")"});
    EXPECT_EQ(frames, c.frames) << c.seconds;
  }
}

TEST_F(CommandBlockTest, UntilThatNeverEndsStillEndsWhenTheWindowCloses) {
  EXPECT_EXIT(
      {
        Clock_Set_Tick_Listener([](int32_t ms) {
          on_tick(ms);
          if (frames == 5) Platform_Inject_Event({Platform_Event_Type::Quit});
        });
        run({"until(DONE,1)"});
        std::exit(3);  // not reached: the close ends the program with status 0
      },
      testing::ExitedWithCode(0), "");
}

TEST_F(CommandBlockTest, MalformedCommandAbandonsTheBlockUnknownPluginGoesOn) {
  // An unknown plug-in raises the error screen; the block continues.
  run({"set(A,1)", "nosuch(1)", "set(B,2)"});
  EXPECT_EQ(Bool_Get("A"), 1);
  EXPECT_EQ(Bool_Get("B"), 2);
  EXPECT_TRUE(Error_Screen_Raised());
  Error_Screen_Clear();

  for (const char* bad : {"set C 3", "set(C,3"}) {
    Bool_Set("C", 0);
    Bool_Set("X", 0);
    std::fill(Screen_Buffer(), Screen_Buffer() + 640 * 480, 0);
    run({"set(C,3)", bad, "set(X,1)"});
    EXPECT_EQ(Bool_Get("C"), 3) << bad;
    EXPECT_EQ(Bool_Get("X"), 0) << bad;  // the rest of the block is abandoned
    ASSERT_TRUE(Error_Screen_Raised()) << bad;
    EXPECT_EQ(Screen_Buffer()[0], 0x1F1F);
    EXPECT_EQ(Screen_Buffer()[640 * 240 - 1], 0x1F1F);
    EXPECT_EQ(Screen_Buffer()[640 * 240], 0);  // only the upper half
    // It stays on every frame until the next node picture loads.
    std::fill(Screen_Buffer(), Screen_Buffer() + 640 * 480, 0);
    Animation_Step();
    EXPECT_EQ(Screen_Buffer()[100], 0x1F1F);
    Load_Node_Picture("NOTHING.TGA");
    EXPECT_FALSE(Error_Screen_Raised());
  }
}

TEST_F(CommandBlockTest, PluginLinesReachTheShellOnceItRegistersItsHandler) {
  // Without a handler a plug-in line is unknown: the error screen, the block goes on.
  run({"End()", "set(A,1)"});
  EXPECT_FALSE(End_Requested());
  EXPECT_EQ(Bool_Get("A"), 1);
  EXPECT_TRUE(Error_Screen_Raised());
  Error_Screen_Clear();
  Bool_Set("A", 0);

  Command_Block_Set_Plugin_Handler(Plugin_Dispatch);
  run({"End()"});
  EXPECT_TRUE(End_Requested());
  EXPECT_FALSE(Error_Screen_Raised());
  Set_Language_Code("US");
  run({"GetLang(A,us)", "waves()"});
  EXPECT_EQ(Bool_Get("A"), 1);
  EXPECT_TRUE(Waves_Active());
  EXPECT_FALSE(Error_Screen_Raised());
}

TEST_F(CommandBlockTest, BlockAnimationsStartOnceAndEndThroughTheirBoolean) {
  dir_.write("ROOM.ROZ", animated_panorama());
  ASSERT_EQ(Load_Node_Picture("ROOM.ROZ"), 0);
  ASSERT_EQ(Anim_Count(), 1);
  Anim_Slot* slot = Anim_Slot_At(0);

  // Missing name: nothing starts.
  run({"play_animbloc(door,DONE,1)"});
  EXPECT_EQ(slot->active, 0u);

  // The _number form builds "door0007" from N = 7; the first frame shows at once.
  Bool_Set("N", 7);
  run({"play_animbloc_number(door,N,DONE,1,10.5)"});
  ASSERT_EQ(slot->active, 1u);
  EXPECT_STREQ(slot->end_boolean, "DONE");
  EXPECT_EQ(slot->end_value, 1);
  EXPECT_FLOAT_EQ(slot->speed, 10.5f);
  EXPECT_EQ(slot->frame_index, 1u);
  EXPECT_NE(panorama_[0], 0);

  // Already running: not restarted, its end boolean unchanged.
  run({"play_animbloc(DOOR0007,A,5)"});
  EXPECT_STREQ(slot->end_boolean, "DONE");
  EXPECT_EQ(slot->frame_index, 1u);

  // The last frame ends it and sets the end boolean.
  run({"stop_animbloc_number(door,N)"});
  EXPECT_EQ(slot->stop_requested, 1u);
  Anim_Advance(true);
  Anim_Advance(true);
  EXPECT_EQ(slot->active, 0u);
  EXPECT_EQ(Bool_Get("DONE"), 1);

  // Started again without speed: 25 frames per second.
  run({"play_animbloc(door0007,A,5)"});
  EXPECT_FLOAT_EQ(slot->speed, 25.0f);
  EXPECT_EQ(slot->end_value, 5);
}

TEST_F(CommandBlockTest, WavesMoveEachRowByTheSineOfItsAngle) {
  // Reference: the phase grows by 20 per second with one rounding to single
  // precision; each row y takes row y - trunc(-3 sin(a)), a = 0.039269909 y +
  // 0.4 phase with both constants single-precision and the angle and sine double.
  ASSERT_FALSE(Waves_Active());
  run({"waves()"});
  ASSERT_TRUE(Waves_Active());
  uint16_t* screen = Screen_Buffer();
  uint64_t counter = 1000;
  uint64_t last = 0;
  int wrong_phase = 0, wrong_rows = 0;
  for (int frame = 0; frame < 400; ++frame) {
    // Frames of 15 to 24 ms, of a different length each.
    counter += 150000 + (static_cast<uint64_t>(frame) * 7919) % 90001;
    for (int y = 0; y < Screen_Height; ++y) std::fill(screen + y * Screen_Width, screen + (y + 1) * Screen_Width, y);
    const float before = Waves_Phase();
    Clock_Set_Virtual_Counter(counter);
    Animation_Step();
    // The step reads the counter twice: the frame's time, then the next start.
    const double dt = static_cast<double>(static_cast<uint32_t>(counter) - static_cast<uint32_t>(last)) / 1e7;
    last = counter + 1;
    const float phase = Waves_Phase();
    if (frame > 0 && phase != static_cast<float>(static_cast<double>(before) + dt * 20.0)) ++wrong_phase;
    for (int y = 0; y < Screen_Height; ++y) {
      double angle = static_cast<double>(0.039269909f) * y + static_cast<double>(0.4f) * static_cast<double>(phase);
      int s = y - static_cast<int>(std::trunc(-3.0 * std::sin(angle)));
      s = std::clamp(s, 0, Screen_Height - 1);
      ASSERT_LE(std::abs(s - y), 3);
      if (screen[y * Screen_Width] != s || screen[y * Screen_Width + 639] != s) ++wrong_rows;
    }
  }
  EXPECT_EQ(wrong_phase, 0);
  EXPECT_EQ(wrong_rows, 0);
  // The next node picture load switches them off (here: directly).
  Waves_Stop();
  for (int y = 0; y < Screen_Height; ++y) std::fill(screen + y * Screen_Width, screen + (y + 1) * Screen_Width, y);
  Animation_Step();
  for (int y = 0; y < Screen_Height; ++y) ASSERT_EQ(screen[y * Screen_Width], y);
}

TEST(CommandBlockInScript, EachLineIsTracedAndRunsInOrder) {
  Temp_Dir dir;
  Scoped_Working_Dir keep_dir;  // the script run changes the working folder
  Sound_Set_Output_Mode(Sound_Output::Pull);
  dir.write("osterlin.lst",
            "[BOOL] COUNT\n[BOOL] BIG\n[BOOL] SMALL\n[WARP] ROOM.PAN\n[TEST] -1\n"
            "PLUGIN\nadd(COUNT,COUNT,2)\nadd(COUNT,COUNT,2)\ncmp(BIG,SMALL,COUNT,>=,4)\nwhile(0)\nENDPLUGIN\n"
            "IFAND BIG\nPRINT BIG\nEND\n");
  Trace_Set_Enabled(true);
  testing::internal::CaptureStderr();
  Run_Script_File("osterlin.lst", dir.path().c_str());
  std::string trace = testing::internal::GetCapturedStderr();
  Trace_Set_Enabled(false);
  EXPECT_NE(trace.find("plugin add(COUNT,COUNT,2)\nplugin add(COUNT,COUNT,2)\nplugin cmp(BIG,SMALL,COUNT,>=,4)\n"
                       "plugin while(0)\ncmd IFAND,BIG\ncmd PRINT,BIG\ncmd END\nend"),
            std::string::npos)
      << trace;
}
