// Sound in pull mode for one test, with everything it mixes collected in `output`
// (interleaved left/right). The frame clock is stopped, so each Clock_Tick counts
// 30 ms: 1323 frames.
#pragma once
#include <gtest/gtest.h>

#include <vector>

#include "platform/clock.h"
#include "sound/sound.h"

class Pull_Sound : public testing::Test {
 protected:
  void SetUp() override {
    Clock_Stop();
    Sound_Set_Output_Mode(Sound_Output::Pull);
    Sound_Set_Pull_Sink(collect, this);
    ASSERT_EQ(Sound_Init(), 0);
  }
  void TearDown() override { Sound_State_Reset(); }
  static void collect(const int16_t* samples, int frames, void* user) {
    auto* self = static_cast<Pull_Sound*>(user);
    self->output.insert(self->output.end(), samples, samples + 2 * frames);
  }
  // A sound of `frames` frames of silence.
  static Sound* make_sound(uint32_t rate, uint32_t bits, uint32_t stereo, uint32_t frames) {
    return Sound_Create("test", rate, bits, stereo, frames * bits / 8 * (stereo + 1));
  }

  std::vector<int16_t> output;
};
