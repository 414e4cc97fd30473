// The real output path through SDL's disk audio driver, which writes what the
// device would play to a file: raw 16-bit stereo at 44100 Hz.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/display.h"
#include "platform/events.h"
#include "platform/platform.h"
#include "sound/sound.h"
#include "support/temp_dir.h"

TEST(Sound_Device, DiskDriverFileHoldsTheMixedSound) {
  Temp_Dir dir;
  const std::string path = dir.file("out.raw");
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
  Sound_Set_Output_Mode(Sound_Output::Device);
  if (Sound_Init() != 0) GTEST_SKIP() << "no disk audio driver in this SDL";

  // A looping 441-frame ramp, left rising and right its negative.
  constexpr int Frames = 441;
  Sound* sound = Sound_Create("ramp", 44100, 16, 1, Frames * 4);
  auto* samples = reinterpret_cast<int16_t*>(sound->data);
  for (int i = 0; i < Frames; ++i) {
    samples[2 * i] = static_cast<int16_t>(1000 + 50 * i);
    samples[2 * i + 1] = static_cast<int16_t>(-(1000 + 50 * i));
  }
  EXPECT_EQ(Sound_Play(sound, 255, 0, 1), 1);
  Sound_Free(sound);
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  Sound_Shutdown();
  Sound_Set_Output_Mode(Sound_Output::Pull);
  unsetenv("SDL_AUDIODRIVER");
  unsetenv("SDL_DISKAUDIOFILE");

  std::vector<unsigned char> bytes = Read_Whole_File(path);
  std::vector<int16_t> out(bytes.size() / 2);
  std::memcpy(out.data(), bytes.data(), out.size() * 2);
  size_t first = 0;
  while (first < out.size() && out[first] == 0) ++first;
  ASSERT_EQ(first % 2, 0u);
  const size_t start = first / 2, frames = out.size() / 2;
  ASSERT_GT(frames, start + 4 * Frames) << "the device wrote too little";
  // Silence until the sound starts, then the ramp over and over, sample for sample.
  for (size_t f = start; f < frames; ++f) {
    int i = static_cast<int>((f - start) % Frames);
    ASSERT_EQ(out[2 * f], 1000 + 50 * i) << "frame " << f;
    ASSERT_EQ(out[2 * f + 1], -(1000 + 50 * i)) << "frame " << f;
  }
}

namespace {

// A second of a quiet tone, played looping on the device: its play position moves
// while the device's callback runs. The disk driver writes to a file of the test.
class Running_Device : public testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", dir_.file("out.raw").c_str(), 1);
    Sound_Set_Output_Mode(Sound_Output::Device);
    if (Sound_Init() != 0) GTEST_SKIP() << "no disk audio driver in this SDL";
    Sound* sound = Sound_Create("tone", 44100, 16, 1, 44100 * 4);
    auto* samples = reinterpret_cast<int16_t*>(sound->data);
    for (int i = 0; i < 2 * 44100; ++i) samples[i] = static_cast<int16_t>((i % 200) * 10);
    channel_ = Sound_Play(sound, 255, 0, 1);
    Sound_Free(sound);
    ASSERT_EQ(channel_, 1);
  }
  void TearDown() override {
    Sound_Shutdown();
    Sound_Set_Output_Mode(Sound_Output::Pull);
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("SDL_DISKAUDIOFILE");
  }
  // True once the position has moved away from `from` (the callback ran) within
  // `ms` milliseconds: a device block lasts 23 ms, a loaded machine may take longer.
  bool moves_from(int32_t from, int ms = 3000) {
    for (int i = 0; i < ms / 10; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (Sound_Position(channel_) != from) return true;
    }
    return false;
  }

  Temp_Dir dir_;
  int channel_ = 0;
};

// While the game waits in the background, the positions read on entering the
// pause and a while later, and whether the callback ran again after it.
struct Pause_Probe {
  int channel = 0;
  int32_t entering = -1;
  int32_t later = -1;
};
Pause_Probe probe;

void probe_pause(bool paused) {
  if (!paused) return;
  probe.entering = Sound_Position(probe.channel);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // several device blocks
  probe.later = Sound_Position(probe.channel);
  Platform_Inject_Event({Platform_Event_Type::Focus_Gained});
}

}  // namespace

TEST_F(Running_Device, SilentWhileTheGameIsPausedInTheBackground) {
  ASSERT_TRUE(moves_from(Sound_Position(channel_)));
  // Focus lost: the pump pauses the game until the focus comes back (injected by
  // the probe, which runs once the game has paused).
  probe = Pause_Probe{channel_};
  Platform_Add_Pause_Listener(probe_pause);
  Platform_Inject_Event({Platform_Event_Type::Focus_Lost});
  EXPECT_EQ(Pump_Messages(), -1);
  Platform_Remove_Pause_Listener(probe_pause);
  ASSERT_GE(probe.entering, 0) << "the game did not pause";
  // The device did not take a sample while paused: no stale buffer halves replayed.
  EXPECT_EQ(probe.later, probe.entering);
  EXPECT_TRUE(moves_from(probe.later)) << "the sound did not resume with the game";
}

TEST_F(Running_Device, WayOutStopsTheCallbackBeforeAnythingIsReleased) {
  ASSERT_TRUE(moves_from(Sound_Position(channel_)));
  Platform_Stop_Threads();
  int32_t stopped = Sound_Position(channel_);
  EXPECT_FALSE(moves_from(stopped, 300)) << "the callback still runs";
}

TEST_F(Running_Device, ProgramEndsCleanlyWhileSoundPlays) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // In a child of its own (which runs SetUp again: the tone plays), the way out
  // every end of the program takes.
  EXPECT_EXIT(
      {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        Platform_Exit(0);
      },
      testing::ExitedWithCode(0), "");
}
