// The script's sounds over the mixer in pull mode: PLAYSOUND's duplicate check,
// the loop counting and the positional volume and pan of the sound tick, the
// fields of PLAYRNDSOUND, and the random generator. The frame clock is stopped:
// every Clock_Tick mixes 30 ms, 1323 frames of 44100 Hz.
#include "scene/scene_sound.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "scene/runtime.h"
#include "scene/view.h"
#include "sound/mixer.h"
#include "sound/sound.h"
#include "sound/wav_builder.h"
#include "support/temp_dir.h"
#include "support/working_dir.h"

namespace {

constexpr int16_t Level = 8000;

// Runs a sound command through its row; false when the keyword has none.
bool sound_command(const char* keyword, const char* line, bool entry_test) {
  const Command_Row* row = Command_Find(Scene_Sound_Command_Rows(), keyword);
  if (row == nullptr) return false;
  row->run(Command_Call{line, entry_test});
  return true;
}

class SceneSoundTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(inside_.entered());
    // 2000 frames of a constant level, 16-bit mono at the output rate: 4000 bytes,
    // while a tick plays 2646 of them.
    dir_.write("HUM.WAV", wav_file(1, 44100, 16, pcm16(std::vector<int16_t>(2000, Level))));
    dir_.write("BIRD.WAV", wav_file(1, 44100, 16, pcm16(std::vector<int16_t>(500, Level))));
    saved_params_ = Engine_Params();
    Engine_Params() = Engine_Parameters{255, 100, 255};
    View().yaw = 0;
    View().pitch = 0;
    Clock_Stop();
    Sound_Set_Output_Mode(Sound_Output::Pull);
    Sound_Set_Pull_Sink(collect, this);
    Scene_Sound_Start();
    ASSERT_EQ(Sound_Available(), 0);
    Random_Sounds_Clear();
  }
  void TearDown() override {
    Scene_Sound_End();
    Sound_Set_Pull_Sink(nullptr, nullptr);
    Engine_Params() = saved_params_;
    Scene_State_Reset();
  }
  static void collect(const int16_t* samples, int frames, void* user) {
    auto* self = static_cast<SceneSoundTest*>(user);
    self->output_.insert(self->output_.end(), samples, samples + 2 * frames);
  }
  static int playing(const Sound_Slot* slots) {
    int n = 0;
    for (int i = 0; i < 8; ++i) n += slots[i].channel != 0;
    return n;
  }
  // One frame's worth of sound: the tick, then the frame's 30 ms mixed.
  void frame() {
    Scene_Sound_Tick();
    output_.clear();
    Clock_Tick();
  }

  Temp_Dir dir_;
  Scoped_Working_Dir inside_{dir_.path()};
  Engine_Parameters saved_params_{};
  std::vector<int16_t> output_;  // what the last frame mixed
};

}  // namespace

TEST_F(SceneSoundTest, EntryTestStartsANamePlayingOnlyOnceOtherTestsAgain) {
  EXPECT_TRUE(sound_command("PLAYSOUND", "PLAYSOUND,HUM.WAV,200,0", true));
  EXPECT_EQ(playing(Sound_Slots()), 1);
  // The name compares without regard to case.
  sound_command("PLAYSOUND", "PLAYSOUND,hum.wav,200,0", true);
  EXPECT_EQ(playing(Sound_Slots()), 1);
  sound_command("PLAYSOUND", "PLAYSOUND,HUM.WAV,200,0", false);
  EXPECT_EQ(playing(Sound_Slots()), 2);
  // Positional slots are checked among themselves only.
  sound_command("PLAYSOUND3D", "PLAYSOUND3D,HUM.WAV,200,0,0", true);
  sound_command("PLAYSOUND3D", "PLAYSOUND3D,HUM.WAV,200,0,0", true);
  EXPECT_EQ(playing(Sound3D_Slots()), 1);
  EXPECT_EQ(playing(Sound_Slots()), 2);
  // A file that does not load takes no slot; STOPSOUND frees every copy.
  sound_command("PLAYSOUND", "PLAYSOUND,NONE.WAV,200,0", false);
  EXPECT_EQ(playing(Sound_Slots()), 2);
  sound_command("STOPSOUND", "STOPSOUND,HUM.WAV", false);
  EXPECT_EQ(playing(Sound_Slots()), 0);
  EXPECT_EQ(playing(Sound3D_Slots()), 1);
  // The slot keeps the fields masked as the command gives them.
  sound_command("PLAYSOUND3D", "PLAYSOUND3D,BIRD.WAV,300,9000,8193", false);
  const Sound_Slot* bird = nullptr;
  for (int i = 0; i < 8; ++i)
    if (Sound3D_Slots()[i].channel != 0 && std::string(Sound3D_Slots()[i].name) == "BIRD.WAV") bird = &Sound3D_Slots()[i];
  ASSERT_NE(bird, nullptr);
  EXPECT_EQ(bird->volume, 300 & 255);
  EXPECT_EQ(bird->position, 9000 & 8191);
  EXPECT_EQ(bird->loops_left, 1);
}

TEST_F(SceneSoundTest, LoopsAreCountedWhenThePlayPositionWrapsBack) {
  // Positions after each frame: 2646, 1292 (wrapped), 3938, 2584 (wrapped), ...
  // The tick of the next frame sees a wrap and counts it.
  struct Case {
    const char* line;
    int frames_playing;  // frames mixed before the tick that stops the slot
  } cases[] = {{"PLAYSOUND,HUM.WAV,255,1", 2},
               {"PLAYSOUND,HUM.WAV,255,2", 4},
               {"PLAYSOUND,HUM.WAV,255,8193", 2},  // loops AND 8191
               {"PLAYSOUND3D,HUM.WAV,255,0,2", 4},
               {"PLAYSOUND,HUM.WAV,255,0", 40},    // 0: loops until stopped
               {"PLAYSOUND,HUM.WAV,255,8192", 40}};
  for (const Case& c : cases) {
    std::string line = c.line;
    std::string keyword = line.substr(0, line.find(','));
    Scene_Sound_Stop_All();
    sound_command(keyword.c_str(), line.c_str(), false);
    const Sound_Slot* slots = keyword == "PLAYSOUND" ? Sound_Slots() : Sound3D_Slots();
    ASSERT_EQ(playing(slots), 1) << c.line;
    int frames = 0;
    while (playing(slots) == 1 && frames < 40) {
      frame();
      if (playing(slots) == 1) ++frames;
    }
    EXPECT_EQ(frames, c.frames_playing) << c.line;
    if (c.frames_playing < 40) {
      // Stopped: the slot is free and its name cleared; the mix is silent.
      for (int i = 0; i < 8; ++i) EXPECT_EQ(slots[i].name[0], 0) << c.line;
      frame();
      ASSERT_FALSE(output_.empty());
      for (int16_t sample : output_) ASSERT_EQ(sample, 0) << c.line;
    }
  }
}

TEST_F(SceneSoundTest, PositionalSlotsTakePanAndVolumeFromTheView) {
  struct Case {
    int32_t position, yaw, pitch;
    int32_t volume, pan;  // engine scale, before the master volume
  } cases[] = {
      {0, 0, 0, 255, 0},          // straight ahead
      {2048, 0, 0, 155, 255},     // to the right: full pan, one depth quieter
      {6144, 0, 0, 155, -255},    // to the left
      {4096, 0, 0, 55, 0},        // behind: two depths quieter
      {1024, 0, 0, 225, 180},     // 45 degrees: sin and cos truncated
      {100, 100 + 8192, 0, 255, 0},  // the yaw is not masked: a whole turn
      {3048, 1000, 0, 155, 255},     // the angle is position - yaw
      {0, 0, 1024, 155, 0},       // looking a quarter turn up (pitch over 4096)
      {0, 0, 512, 225, 0},        // an eighth up
  };
  for (const Case& c : cases) {
    Scene_Sound_Stop_All();
    View().yaw = c.yaw;
    View().pitch = c.pitch;
    std::string line = "PLAYSOUND3D,HUM.WAV,255," + std::to_string(c.position) + ",0";
    sound_command("PLAYSOUND3D", line.c_str(), false);
    frame();
    int32_t left, right;
    Mixer_Gains(Sound_Volume_To_Hundredths((c.volume * 255) >> 8), Sound_Pan_To_Hundredths(c.pan), &left, &right);
    ASSERT_EQ(output_.size(), 2u * 1323);
    EXPECT_EQ(output_[0], (Level * left) >> 16) << "position " << c.position << " yaw " << c.yaw << " pitch " << c.pitch;
    EXPECT_EQ(output_[1], (Level * right) >> 16) << "position " << c.position << " yaw " << c.yaw << " pitch " << c.pitch;
  }
  // The master volume and the depth scale it: depth 0 makes every direction full.
  Scene_Sound_Stop_All();
  Engine_Params().sound3d_depth = 0;
  Engine_Params().master_volume = 128;
  View().yaw = 0;
  sound_command("PLAYSOUND3D", "PLAYSOUND3D,HUM.WAV,255,4096,0", false);
  frame();
  int32_t left, right;
  Mixer_Gains(Sound_Volume_To_Hundredths((255 * 128) >> 8), 0, &left, &right);
  EXPECT_EQ(output_[0], (Level * left) >> 16);
  EXPECT_EQ(output_[1], (Level * right) >> 16);
}

TEST_F(SceneSoundTest, RandomSoundFrequencyFieldDependsOnTheTest) {
  sound_command("PLAYRNDSOUND", "PLAYRNDSOUND,BIRD.WAV,200,40", true);
  sound_command("PLAYRNDSOUND", "PLAYRNDSOUND,BIRD.WAV,200,40", false);
  sound_command("PLAYRNDSOUND", "PLAYRNDSOUND,BIRD.WAV,200,40,77", false);
  sound_command("PLAYRNDSOUND", "PLAYRNDSOUND,BIRD.WAV,456,300,300", true);
  struct Want {
    int32_t volume, frequency;
  } want[] = {{200, 40}, {200, 0}, {200, 77}, {456 & 255, 300 & 255}};
  for (int i = 0; i < 4; ++i) {
    int32_t volume = -1, frequency = -1;
    ASSERT_TRUE(Random_Sound_Fields(i, &volume, &frequency)) << i;
    EXPECT_EQ(volume, want[i].volume) << i;
    EXPECT_EQ(frequency, want[i].frequency) << i;
  }
  EXPECT_FALSE(Random_Sound_Fields(4, nullptr, nullptr));
  Random_Sounds_Clear();
  EXPECT_FALSE(Random_Sound_Fields(0, nullptr, nullptr));
}

TEST(RandomNext, EachValueFollowsFromThePreviousByThirtyTwoShiftRounds) {
  // Written as the feedback polynomial: bit 31 of the sum of S shifted left by
  // 25, 27, 29, 30 and 31, and S itself.
  auto next = [](uint32_t s) {
    for (int round = 0; round < 32; ++round) {
      uint32_t b = ((s << 25) ^ (s << 27) ^ (s << 29) ^ (s << 30) ^ (s << 31) ^ s) >> 31;
      s = (b << 31) | ((s >> 1) + 1);
    }
    return s;
  };
  uint32_t value = Random_Next();
  int high = 0;
  for (int i = 0; i < 1000; ++i) {
    uint32_t following = Random_Next();
    ASSERT_EQ(following, next(value)) << "after " << value;
    high += following >> 31;
    value = following;
  }
  EXPECT_GT(high, 400);
  EXPECT_LT(high, 600);
}
