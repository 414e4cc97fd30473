// Streamed music in pull mode: the output must be the file's data, looped without
// a gap or a repeat, however the frames and the updates fall.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "files/file.h"
#include "sound/mixer.h"
#include "sound/sound.h"
#include "sound/sound_internal.h"
#include "sound/sound_test_fixture.h"
#include "sound/wav_builder.h"

namespace {
// 16-bit stereo frames numbered 1, 2, 3, ...: left k, right -k.
std::vector<int16_t> numbered_frames(size_t frames) {
  std::vector<int16_t> out;
  for (size_t k = 1; k <= frames; ++k) {
    out.push_back(static_cast<int16_t>(k));
    out.push_back(static_cast<int16_t>(-static_cast<int>(k)));
  }
  return out;
}

class Music : public Pull_Sound {
 protected:
  void add_music(const char* name, size_t frames) {
    std::vector<uint8_t> file = wav_file(2, 44100, 16, pcm16(numbered_frames(frames)));
    Mem_File_Add(name, file.data(), static_cast<int>(file.size()));
  }
  void TearDown() override {
    Pull_Sound::TearDown();
    Mem_File_Remove("music.wav");
  }
};
}  // namespace

TEST_F(Music, PlaysTheDataLoopedWithoutGap) {
  struct Case {
    size_t frames;
    int updates_per_frame;
  } cases[] = {
      {10000, 1},  // 40000 bytes: longer than both halves
      {10000, 3},  // extra updates while a half still plays must change nothing
      {3000, 1},   // 12000 bytes: between 8192 and 16384, repeated to fill each block
      {750, 2},    // 3000 bytes: shorter than 8192, wrapped many times in a block
      {4097, 1},   // one frame more than a block
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.frames << " frames, " << c.updates_per_frame << " updates");
    Mem_File_Remove("music.wav");
    add_music("music.wav", c.frames);
    output.clear();
    Music_Play("music.wav", 255, 0);
    ASSERT_EQ(Sound_Mixer().buffer_count(), 1u);
    for (int tick = 0; tick < 40; ++tick) {
      for (int u = 0; u < c.updates_per_frame; ++u) Music_Update(255, 0);
      Clock_Tick();
    }
    ASSERT_EQ(output.size(), 2u * 40 * 1323);
    for (size_t j = 0; j < output.size() / 2; ++j) {
      int k = static_cast<int>(j % c.frames) + 1;
      ASSERT_EQ(output[2 * j], k) << "output frame " << j;
      ASSERT_EQ(output[2 * j + 1], -k) << "output frame " << j;
    }
    Music_Stop();
    EXPECT_EQ(Sound_Mixer().buffer_count(), 0u);
  }
}

TEST_F(Music, NothingPlaysWithoutSoundOrAReadableFile) {
  std::vector<uint8_t> not_wav = riff_file("AVI ", {{"fmt ", fmt_payload(2, 44100, 16)}, {"data", {1, 2, 3, 4}}});
  Mem_File_Add("music.wav", not_wav.data(), static_cast<int>(not_wav.size()));
  Music_Play("music.wav", 255, 0);
  Music_Play("absent.wav", 255, 0);
  Mem_File_Remove("music.wav");
  std::vector<uint8_t> five_channels = wav_file(5, 44100, 16, std::vector<uint8_t>(1000, 1));
  Mem_File_Add("music.wav", five_channels.data(), static_cast<int>(five_channels.size()));
  Music_Play("music.wav", 255, 0);
  Music_Update(255, 0);
  EXPECT_EQ(Sound_Mixer().buffer_count(), 0u);
  Mem_File_Remove("music.wav");

  add_music("music.wav", 5000);
  Sound_Shutdown();
  Music_Play("music.wav", 255, 0);  // no sound: nothing
  Sound_Init();
  Music_Play("music.wav", 255, 0);
  Music_Play("music.wav", 255, 0);  // a new music replaces the running one
  EXPECT_EQ(Sound_Mixer().buffer_count(), 1u);
  Sound_Shutdown();  // stops the music too
  EXPECT_EQ(Sound_Mixer().buffer_count(), 0u);
  Music_Update(255, 0);
  Sound_Init();
}

// The load timer's thread updates the music while the main thread presents frames,
// plays sounds and restarts the music (run under ThreadSanitizer).
TEST_F(Music, TimerThreadUpdatesWhileTheMainThreadPlays) {
  add_music("music.wav", 3000);
  Music_Play("music.wav", 255, 0);
  Sound* sound = make_sound(22050, 8, 0, 500);
  std::atomic<bool> done{false};
  std::thread timer([&] {
    while (!done) {
      Sound_Refresh();
      Music_Update(200, 10);
      std::this_thread::yield();
    }
  });
  for (int i = 0; i < 200; ++i) {
    Sound_Play(sound, 255, 0, 0);
    Clock_Tick();
    if (i % 50 == 0) Music_Play("music.wav", 255, 0);
  }
  done = true;
  timer.join();
  Sound_Free(sound);
  EXPECT_GT(output.size(), 0u);
}
