// The channel table and the double buffer in pull mode: every Clock_Tick of a
// stopped clock counts 30 ms, that is 1323 output frames at 44100 Hz.
#include <gtest/gtest.h>

#include <cmath>
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "sound/mixer.h"
#include "sound/sound.h"
#include "sound/sound_internal.h"
#include "sound/sound_test_fixture.h"

TEST(Sound_Scales, VolumeAndPanConversions) {
  struct Case {
    int engine;
    int32_t hundredths;
  };
  for (Case c : std::vector<Case>{{1, -4813}, {64, -1200}, {128, -598}, {254, -3}, {255, 0}, {0, -10000},
                                  {300, 0}, {-7, -10000}}) {
    EXPECT_EQ(Sound_Volume_To_Hundredths(c.engine), c.hundredths) << "volume " << c.engine;
  }
  for (Case c : std::vector<Case>{{0, 0}, {-255, -2550}, {100, 1000}, {-1000, -2550}, {1000, 2550}}) {
    EXPECT_EQ(Sound_Pan_To_Hundredths(c.engine), c.hundredths) << "pan " << c.engine;
  }
}

TEST_F(Pull_Sound, WithoutInitialisationNothingPlays) {
  Sound_Shutdown();
  Sound* sound = make_sound(44100, 16, 0, 100);
  EXPECT_EQ(Sound_Status(), -1);
  EXPECT_EQ(Sound_Play(sound, 255, 0, 1), -1);
  EXPECT_EQ(Stream_Start(sound->data, 44100, 16, 0, 200, 255, 0), -1);
  EXPECT_EQ(Sound_Position(1), 0);
  Sound_Free(sound);
  // A second initialisation reports failure, as a second device would.
  ASSERT_EQ(Sound_Init(), 0);
  EXPECT_EQ(Sound_Init(), -1);
  EXPECT_EQ(Sound_Status(), -1);
}

TEST_F(Pull_Sound, LoopingPositionWrapsWithTheFrameClock) {
  Sound* sound = make_sound(44100, 16, 0, 2000);  // 4000 bytes
  int channel = Sound_Play(sound, 255, 0, 1);
  Sound_Free(sound);  // the channel holds its own copy
  ASSERT_EQ(channel, 1);
  struct Step {
    int ticks;
    int32_t position;
  } steps[] = {{0, 0}, {1, 2646}, {1, 1292}, {1, 3938}, {2, 1230}};
  for (const Step& s : steps) {
    for (int i = 0; i < s.ticks; ++i) Clock_Tick();
    EXPECT_EQ(Sound_Position(channel), s.position);
  }
  // Half the rate consumes half the frames: 661.5 per tick, whole frames reported.
  Sound* slow = make_sound(22050, 16, 1, 5000);
  int slow_channel = Sound_Play(slow, 255, 0, 1);
  Sound_Free(slow);
  Clock_Tick();
  EXPECT_EQ(Sound_Position(slow_channel), 661 * 4);
  Clock_Tick();
  EXPECT_EQ(Sound_Position(slow_channel), 1323 * 4);
}

TEST_F(Pull_Sound, ChannelChoiceAndTheirFlags) {
  Sound* sound = make_sound(44100, 16, 0, 100);
  for (int i = 1; i <= 8; ++i) EXPECT_EQ(Sound_Play(sound, 255, 0, 1), i);
  // Eight looping sounds: a ninth fails with or without bit 1 (none may be cut off).
  EXPECT_EQ(Sound_Play(sound, 255, 0, 1), -1);
  EXPECT_EQ(Sound_Play(sound, 255, 0, 3), -1);
  EXPECT_EQ(Sound_Play(sound, 255, 0, 0), -1);  // a one-shot needs a free entry to start
  Sound_Stop(0);
  Sound_Stop(9);
  Sound_Stop(-3);
  EXPECT_EQ(Sound_Play(sound, 255, 0, 1), -1);  // nothing was stopped
  Sound_Stop(3);
  Sound_Stop(3);  // free already: ignored
  EXPECT_EQ(Sound_Position(3), 0);

  // A tracked non-looping sound (bit 1 only) takes entry 3 and returns 0; a later
  // sound with bit 1 may take it over, one without may not.
  Sound* long_sound = make_sound(44100, 16, 0, 100000);
  EXPECT_EQ(Sound_Play(long_sound, 255, 0, 2), 0);
  EXPECT_EQ(Sound_Play(sound, 255, 0, 1), -1);
  EXPECT_EQ(Sound_Play(sound, 255, 0, 3), 3);
  EXPECT_EQ(Sound_Play(sound, 255, 0, 3), -1);
  Sound_Free(long_sound);

  // A tracked non-looping sound is freed by the refresh once it has played out.
  Sound_Stop(5);
  EXPECT_EQ(Sound_Play(sound, 255, 0, 2), 0);  // 100 frames: gone after one tick
  EXPECT_EQ(Sound_Play(sound, 255, 0, 1), -1);
  Clock_Tick();
  EXPECT_EQ(Sound_Play(sound, 255, 0, 1), 5);
  Sound_Free(sound);

  // Sounds the mixer cannot play fail and leave their entry free.
  Sound_Stop(2);
  Sound* odd = make_sound(44100, 24, 0, 100);
  EXPECT_EQ(Sound_Play(odd, 255, 0, 1), -1);
  EXPECT_EQ(Sound_Play(nullptr, 255, 0, 1), -1);
  odd->bits = 16;
  EXPECT_EQ(Sound_Play(odd, 255, 0, 1), 2);
  Sound_Free(odd);
}

TEST_F(Pull_Sound, OneShotsTakeNoChannelAndAreReleasedWhenDone) {
  Sound* loop = make_sound(44100, 16, 0, 100);
  Sound* shot = make_sound(44100, 16, 0, 2000);  // 1.5 ticks long
  for (int i = 1; i <= 7; ++i) ASSERT_EQ(Sound_Play(loop, 255, 0, 1), i);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Sound_Play(shot, 255, 0, 0), 0);
  EXPECT_EQ(Sound_Play(loop, 255, 0, 1), 8);  // entry 8 stayed free
  EXPECT_EQ(Sound_Mixer().buffer_count(), 13u);
  Clock_Tick();
  Sound_Refresh();
  EXPECT_EQ(Sound_Mixer().buffer_count(), 13u);  // still playing
  Clock_Tick();
  Sound_Refresh();
  EXPECT_EQ(Sound_Mixer().buffer_count(), 8u);
  Sound_Free(loop);
  Sound_Free(shot);
}

// A video's sound: outside the eight channels, silent from the moment its owner
// releases it, and never released by anyone else.
TEST_F(Pull_Sound, OwnedSoundsTakeNoChannelAndStopWhenReleased) {
  Sound* track = make_sound(44100, 16, 0, 44100);  // one second of a constant level
  std::vector<int16_t> level(44100, 5000);
  std::memcpy(track->data, level.data(), track->size);
  Sound* loop = make_sound(44100, 16, 0, 100);

  int handle = Sound_Play_Owned(track, 255, 0);
  ASSERT_GT(handle, 0);
  for (int i = 1; i <= 8; ++i) EXPECT_EQ(Sound_Play(loop, 255, 0, 1), i);
  // A refresh or a take-over leaves it alone.
  Sound_Refresh();
  EXPECT_EQ(Sound_Play(loop, 255, 0, 3), -1);
  for (int i = 1; i <= 8; ++i) Sound_Stop(i);
  Clock_Tick();
  ASSERT_EQ(output.size(), 2u * 1323);
  EXPECT_EQ(output[2 * 1322], 5000);

  // Handles that are not owned sounds change nothing; the real one silences it.
  Sound_Release_Owned(0);
  Sound_Release_Owned(-1);
  Sound_Release_Owned(handle + 1);
  Clock_Tick();
  EXPECT_EQ(output.back(), 5000);
  Sound_Release_Owned(handle);
  Sound_Release_Owned(handle);  // twice: ignored
  output.clear();
  Clock_Tick();
  EXPECT_EQ(output, std::vector<int16_t>(2 * 1323, 0));
  EXPECT_EQ(Sound_Mixer().buffer_count(), 0u);

  // A channel's buffer cannot be released through this door.
  int channel = Sound_Play(loop, 255, 0, 1);
  ASSERT_EQ(channel, 1);
  for (int id = 1; id <= handle + 20; ++id) Sound_Release_Owned(id);
  EXPECT_EQ(Sound_Mixer().buffer_count(), 1u);

  // Played out, it stays (stopped) until released; shutdown frees it too.
  int short_one = Sound_Play_Owned(loop, 255, 0);
  ASSERT_GT(short_one, 0);
  Clock_Tick();
  Sound_Refresh();
  EXPECT_EQ(Sound_Mixer().buffer_count(), 2u);
  Sound_Shutdown();
  EXPECT_EQ(Sound_Play_Owned(track, 255, 0), -1);  // no output
  Sound_Release_Owned(short_one);
  ASSERT_EQ(Sound_Init(), 0);
  EXPECT_EQ(Sound_Play_Owned(nullptr, 255, 0), -1);
  Sound_Free(track);
  Sound_Free(loop);
}

TEST_F(Pull_Sound, VolumeAndPanAreClampedOnTheWayToTheOutput) {
  std::vector<int16_t> samples(1323, 10000);
  Sound* sound = make_sound(44100, 16, 0, 1323);
  std::memcpy(sound->data, samples.data(), sound->size);
  int channel = Sound_Play(sound, 300, -1000, 1);  // full volume, hardest left
  ASSERT_EQ(channel, 1);
  Clock_Tick();
  ASSERT_EQ(output.size(), 2u * 1323);
  EXPECT_EQ(output[0], 10000);
  EXPECT_NEAR(output[1], 10000 * std::pow(10.0, -2550 / 2000.0), 1.0);

  struct Case {
    int volume, pan;
    double left, right;
  } cases[] = {
      {128, 0, std::pow(10.0, -598 / 2000.0), std::pow(10.0, -598 / 2000.0)},
      {255, 1000, std::pow(10.0, -2550 / 2000.0), 1.0},
      {-20, 0, 0.0, 0.0},
      {64, 100, std::pow(10.0, -2200 / 2000.0), std::pow(10.0, -1200 / 2000.0)},
  };
  for (const Case& c : cases) {
    Sound_Set(channel, c.volume, c.pan);
    output.clear();
    Clock_Tick();
    EXPECT_NEAR(output[0], 10000 * c.left, 1.0) << c.volume << " " << c.pan;
    EXPECT_NEAR(output[1], 10000 * c.right, 1.0) << c.volume << " " << c.pan;
  }
  Sound_Set(0, 255, 0);  // ignored
  Sound_Set(7, 255, 0);  // free: ignored
  Sound_Free(sound);
}

TEST_F(Pull_Sound, DoubleBufferRefillsOnlyTheHalfAlreadyPlayed) {
  // 16-bit mono, 4000-frame halves; each block a constant so the output shows it.
  const uint32_t half = 8000;
  auto block = [&](int16_t value) { return std::vector<int16_t>(half / 2, value); };
  auto a = block(1), b = block(2), c = block(3), d = block(4);
  ASSERT_EQ(Stream_Start(a.data(), 44100, 16, 0, 2 * half, 255, 0), 0);
  EXPECT_EQ(Stream_Start(a.data(), 44100, 16, 0, 2 * half, 255, 0), -1);  // one stream at a time
  EXPECT_EQ(Stream_Feed(b.data(), 255, 0), 1);  // the second half is free at once
  EXPECT_EQ(Stream_Feed(c.data(), 255, 0), 0);  // the first half still plays
  Clock_Tick();
  Clock_Tick();
  Clock_Tick();  // 3969 frames: still in the first half
  EXPECT_EQ(Stream_Feed(c.data(), 255, 0), 0);
  Clock_Tick();  // 5292: in the second half
  EXPECT_EQ(Stream_Feed(c.data(), 255, 0), 1);
  EXPECT_EQ(Stream_Feed(d.data(), 255, 0), 0);
  for (int i = 0; i < 3; ++i) Clock_Tick();  // 9261 frames: wrapped into the first half
  EXPECT_EQ(Stream_Feed(d.data(), 255, 0), 1);
  for (int i = 0; i < 3; ++i) Clock_Tick();  // 13230

  // Output: 4000 frames of 1, 4000 of 2, 4000 of 3, then 4's.
  ASSERT_EQ(output.size(), 2u * 13230);
  for (size_t frame = 0; frame < 13230; ++frame) {
    int expected = frame < 4000 ? 1 : frame < 8000 ? 2 : frame < 12000 ? 3 : 4;
    ASSERT_EQ(output[2 * frame], expected) << "frame " << frame;
  }
  Stream_Stop();
  EXPECT_EQ(Stream_Feed(d.data(), 255, 0), 1);  // no stream: taken at once
  EXPECT_EQ(Sound_Mixer().buffer_count(), 0u);
}

// The load timer's thread runs the sound tick while the main thread plays, stops
// and presents frames (run under ThreadSanitizer).
TEST_F(Pull_Sound, TimerThreadAndMainThreadDoNotRace) {
  Sound* sound = make_sound(44100, 16, 1, 3000);
  std::vector<int16_t> half(4096, 7);
  ASSERT_EQ(Stream_Start(half.data(), 44100, 16, 1, 16384, 255, 0), 0);
  std::atomic<bool> done{false};
  std::thread timer([&] {
    while (!done) {
      Sound_Refresh();
      Stream_Feed(half.data(), 200, 0);
      for (int channel = 1; channel <= 8; ++channel) {
        if (Sound_Position(channel) > 100) Sound_Set(channel, 100, -50);
      }
      std::this_thread::yield();
    }
  });
  for (int i = 0; i < 300; ++i) {
    int channel = Sound_Play(sound, 255, 0, i % 3 == 0 ? 0 : 1);
    Clock_Tick();
    if (i % 2 == 0) Sound_Stop(channel);
  }
  done = true;
  timer.join();
  Stream_Stop();
  Sound_Free(sound);
}

TEST_F(Pull_Sound, StateResetStopsEverythingAndForgetsTheOutputMode) {
  Sound* sound = make_sound(44100, 16, 0, 1000);
  ASSERT_EQ(Sound_Play(sound, 255, 0, 1), 1);
  ASSERT_GT(Sound_Play_Owned(sound, 255, 0), 0);
  ASSERT_EQ(Stream_Start(sound->data, 44100, 16, 0, 400, 255, 0), 0);
  Sound_Free(sound);
  Sound_State_Reset();
  Sound_State_Reset();
  EXPECT_EQ(Sound_Status(), -1);
  EXPECT_EQ(Sound_Position(1), 0);
  EXPECT_EQ(Sound_Get_Output_Mode(), Sound_Output::Device);
  // Pulled time mixes nothing into a sink that was forgotten.
  Sound_Set_Output_Mode(Sound_Output::Pull);
  ASSERT_EQ(Sound_Init(), 0);
  output.clear();
  Sound_Pull(30);
  EXPECT_TRUE(output.empty());
}
