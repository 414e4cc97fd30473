#include "platform/record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/frame_hash.h"
#include "platform/platform.h"
#include "platform_test_support.h"
#include "support/temp_dir.h"

namespace {

struct Frame_Result {
  Input_State input;
  int32_t clock_now, clock_delta, pump;
  uint64_t hash;
  bool operator==(const Frame_Result& o) const {
    return std::memcmp(&input, &o.input, sizeof input) == 0 && clock_now == o.clock_now &&
           clock_delta == o.clock_delta && pump == o.pump && hash == o.hash;
  }
};

// A small "game": each frame reads input, draws where the cursor is and
// presents; what happens depends only on the input and the frame clock.
Frame_Result run_frame(int n) {
  Frame_Result r{};
  Input_Update();
  Screen_Buffer()[Input().mouse_y * 640 + Input().mouse_x] = static_cast<uint16_t>(Clock_Delta() + n);
  if (n == 3) Clock_Start();
  r.pump = Present_Frame(Screen_Buffer());
  r.input = Input();
  r.clock_now = Clock_Now();
  r.clock_delta = Clock_Delta();
  r.hash = Frame_Hash(Screen_Buffer(), 640 * 480);
  return r;
}

void inject_input_for_frame(int n) {
  using T = Platform_Event_Type;
  switch (n) {
    case 1: Inject(T::Mouse_Motion, 30, 14); break;
    case 2: Inject(T::Button_Down, 1); Inject(T::Button_Up, 1); break;
    case 4: Inject(T::Key_Down, 8, 14); Inject(T::Character, 8); break;
    case 5: Inject(T::Focus_Lost); Inject(T::Button_Down, 1); Inject(T::Focus_Gained); break;
    case 6: Inject(T::Button_Up, 1); Inject(T::Key_Down, 39, 77); break;
    case 7: Inject(T::Character, 'x'); Inject(T::Mouse_Motion, -1000, 7); break;
    default: break;
  }
}

class RecordReplay : public testing::Test {
 protected:
  void SetUp() override {
    Reset_Platform_For_Test();
    std::memset(Screen_Buffer(), 0, 640 * 480 * 2);
  }
  void TearDown() override {
    Platform_Stop();
    Reset_Platform_For_Test();
    std::memset(Screen_Buffer(), 0, 640 * 480 * 2);
    if (Keyboard_Step() != 7) {
      Push_Key(8);
      Input_Update();
    }
  }

  std::vector<Frame_Result> record(const std::string& path, int frames) {
    Platform_Options options;
    options.headless = true;
    options.record_path = path;
    EXPECT_EQ(Platform_Start(options), 0) << Platform_Error();
    std::vector<Frame_Result> results;
    for (int n = 0; n < frames; ++n) {
      inject_input_for_frame(n);
      results.push_back(run_frame(n));
    }
    Platform_Stop();
    return results;
  }

  void start_replay(const std::string& path) {
    Reset_Platform_For_Test();
    std::memset(Screen_Buffer(), 0, 640 * 480 * 2);
    if (Keyboard_Step() != 7) {
      Push_Key(8);
      Input_Update();
    }
    Platform_Options options;
    options.headless = true;
    options.replay_path = path;
    ASSERT_EQ(Platform_Start(options), 0) << Platform_Error();
  }

  Temp_Dir temp_;
};

}  // namespace

TEST_F(RecordReplay, ReplayReproducesTheRecordedInputClockAndFrames) {
  const int frames = 10;
  std::string path = temp_.file("run.rec");
  std::vector<Frame_Result> recorded = record(path, frames);
  ASSERT_EQ(recorded[2].input.left_button, 1);
  // The focus came back during frame 5: the click that did it is not a click,
  // though the button is still down.
  ASSERT_EQ(recorded[5].input.left_button, 2);

  start_replay(path);
  for (int n = 0; n < frames; ++n) {
    Frame_Result replayed = run_frame(n);  // no injected input: it comes from the file
    EXPECT_TRUE(replayed == recorded[n]) << "frame " << n;
  }
}

TEST_F(RecordReplay, TheEndOfTheReplayEndsTheProgramWithStatusZero) {
  std::string path = temp_.file("short.rec");
  record(path, 3);
  start_replay(path);
  EXPECT_EXIT(
      {
        for (int n = 0; n < 100; ++n) run_frame(n);
        std::_Exit(5);
      },
      testing::ExitedWithCode(0), "end of the recorded input");
}

TEST_F(RecordReplay, ARunThatLeavesTheRecordingEndsWithFailure) {
  std::string path = temp_.file("diverge.rec");
  record(path, 3);
  start_replay(path);
  // The recording starts with a pump; ticking the clock first does not follow it.
  EXPECT_EXIT(Clock_Tick(), testing::ExitedWithCode(1), "no longer follows");
}

TEST_F(RecordReplay, DamagedFilesAreRefused) {
  struct Case {
    std::vector<unsigned char> bytes;
  } cases[] = {{{}}, {{'O', 'S', 'T', 'R', 'E', 'C', '0', '1'}}, {{'x', 'S', 'T', 'R', 'E', 'C', '0', '1', 0x80, 0x96, 0x98, 0, 0, 0, 0, 0}}};
  for (const Case& c : cases) {
    std::string path = temp_.write("bad.rec", c.bytes);
    std::string error;
    EXPECT_FALSE(Replay_Open(path, &error));
    EXPECT_FALSE(error.empty());
  }
  std::string error;
  EXPECT_FALSE(Replay_Open(temp_.file("missing.rec"), &error));
  EXPECT_FALSE(Record_Open(temp_.file("no/such/folder/x.rec"), &error));
}
