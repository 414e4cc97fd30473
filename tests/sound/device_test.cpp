// The real output path through SDL's disk audio driver, which writes what the
// device would play to a file: raw 16-bit stereo at 44100 Hz.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

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
