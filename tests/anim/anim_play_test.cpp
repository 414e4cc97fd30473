// The animation player and the scene's music: an animation played while music
// runs (its own sound then cannot have the stream) leaves the music playing, at
// its level, and keeps feeding it on every frame.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "anim/anim_file.h"
#include "anim_file_writer.h"
#include "files/file.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/input.h"
#include "platform/platform_test_support.h"
#include "sound/mixer.h"
#include "sound/sound.h"
#include "sound/wav_builder.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Music of 8 blocks of 16384 bytes (44100 Hz mono, so the mixer copies samples
// unchanged); block k holds the constant 1000 (k + 1). What is heard tells which
// block plays, and whether blocks follow each other or two halves repeat.
constexpr int Music_Blocks = 8;
constexpr int Block_Samples = 8192;

Bytes music_file() {
  std::vector<int16_t> samples;
  for (int k = 0; k < Music_Blocks; ++k) samples.insert(samples.end(), Block_Samples, static_cast<int16_t>(1000 * (k + 1)));
  return wav_file(1, 44100, 16, pcm16(samples));
}

Bytes animation(bool with_sound) {
  Anim_File a;
  a.version = 1284;
  a.width = a.height = 4;
  a.bits = 16;
  a.fps = 10;
  for (int f = 0; f < 10; ++f) a.frames.push_back(Bytes(32, static_cast<uint8_t>(f * 7)));
  if (with_sound) {
    a.rate = 22050;
    a.sound_bits = 16;
    a.stereo = 0;
    a.sound_method = 5;
    a.sound_bytes = 4410;
    a.sounds.assign(10, Bytes(2205, 200));  // delta codes: a rising, audible level
  }
  return Write_Anim_File(a);
}

std::vector<int16_t> heard;  // the left side of everything mixed
void collect(const int16_t* samples, int frames, void*) {
  for (int i = 0; i < frames; ++i) heard.push_back(samples[2 * i]);
}

class AnimMusic : public testing::Test {
 protected:
  void SetUp() override {
    Reset_Platform_For_Test();
    Clock_Use_Virtual_Counter(true);
    Clock_Set_Virtual_Counter(0);
    Key_Queue_Clear();
    heard.clear();
    Sound_Set_Output_Mode(Sound_Output::Pull);
    Sound_Set_Pull_Sink(collect, nullptr);
    ASSERT_EQ(Sound_Init(), 0);
    Bytes music = music_file(), with = animation(true), without = animation(false);
    Mem_File_Add("music.wav", music.data(), static_cast<int>(music.size()));
    Mem_File_Add("voice.mta", with.data(), static_cast<int>(with.size()));
    Mem_File_Add("mute.mta", without.data(), static_cast<int>(without.size()));
  }
  void TearDown() override {
    Music_Stop();
    Sound_Shutdown();
    Sound_Set_Pull_Sink(nullptr, nullptr);
    Sound_Set_Output_Mode(Sound_Output::Device);
    Clock_Use_Virtual_Counter(false);
    for (const char* name : {"music.wav", "voice.mta", "mute.mta"}) Mem_File_Remove(name);
  }
  // Scene frames: the music fed, then the frame presented (which pulls the mixer).
  static void scene_frames(int count, int volume) {
    for (int i = 0; i < count; ++i) {
      Music_Update(volume, 0);
      Present_Frame(nullptr);
    }
  }
};

TEST_F(AnimMusic, MusicPlaysOnBeforeAcrossAndAfterAnimations) {
  const int volume = 128;
  int32_t gain = 0, unused = 0;
  Mixer_Gains(Sound_Volume_To_Hundredths(volume), 0, &gain, &unused);
  auto level = [gain](int block) { return static_cast<int16_t>((1000 * (block + 1) * gain) >> 16); };

  Music_Play("music.wav", volume, 0);
  scene_frames(5, volume);
  size_t before = heard.size();
  ASSERT_EQ(Anim_Play("voice.mta", 0, 0, 0), 0);
  size_t after_voice = heard.size();
  scene_frames(5, volume);
  ASSERT_EQ(Anim_Play("mute.mta", 0, 0, 0), 0);
  size_t after_mute = heard.size();
  scene_frames(10, volume);
  // Each animation lasts about a second: long enough for five blocks.
  ASSERT_GT(after_voice - before, 5u * Block_Samples);
  ASSERT_GT(after_mute - after_voice, 5u * Block_Samples);

  // One block after the other, at the music's level, without a gap: never
  // silence, never the animation's own sound, never the same two halves again.
  int block = 0;
  size_t changes = 0;
  for (size_t i = 0; i < heard.size(); ++i) {
    if (heard[i] == level(block)) continue;
    block = (block + 1) % Music_Blocks;
    ++changes;
    ASSERT_EQ(heard[i], level(block)) << "sample " << i << " of " << heard.size() << " (animations from " << before
                                      << " to " << after_mute << ")";
  }
  EXPECT_GE(changes, heard.size() / Block_Samples - 1);
}

}  // namespace
