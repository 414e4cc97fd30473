#include "platform/clock.h"

#include <gtest/gtest.h>

#include "platform_test_support.h"

namespace {
constexpr uint64_t counts_per_ms = 10000;

class FrameClock : public testing::Test {
 protected:
  void SetUp() override {
    Reset_Platform_For_Test();
    Clock_Use_Virtual_Counter(true);
    Clock_Set_Virtual_Counter(0);
  }
  void TearDown() override { Reset_Platform_For_Test(); }

  // Lets `ms` milliseconds pass, then ticks.
  void frame(uint64_t ms) {
    now_ += ms * counts_per_ms;
    Clock_Set_Virtual_Counter(now_);
    Clock_Tick();
  }
  uint64_t now_ = 0;
};
}  // namespace

TEST_F(FrameClock, StoppedClockCountsThirtyMillisecondsPerFrame) {
  frame(500);
  frame(3);
  EXPECT_EQ(Clock_Delta(), 30);
  EXPECT_EQ(Clock_Now(), 60);
  EXPECT_EQ(Clock_Last(), 30);
}

TEST_F(FrameClock, StartGivesFourteenAndMeasuresFramesPlusOne) {
  now_ = 1000 * counts_per_ms;
  Clock_Set_Virtual_Counter(now_);
  Clock_Start();
  EXPECT_TRUE(Clock_Running());
  EXPECT_EQ(Clock_Delta(), 14);
  EXPECT_EQ(Clock_Now(), 1000);
  frame(20);  // the first tick adds the 1 ms of every running tick
  EXPECT_EQ(Clock_Delta(), 21);
  frame(20);
  EXPECT_EQ(Clock_Delta(), 20);
  Clock_Stop();
  frame(5);
  EXPECT_EQ(Clock_Delta(), 30);
}

TEST_F(FrameClock, LongFramesCountOnlyAQuarterLongerUntilTheyAreNormal) {
  Clock_Start();
  frame(20);
  frame(20);
  ASSERT_EQ(Clock_Delta(), 20);
  const int expected[] = {26, 33, 42, 53, 200, 200};
  for (int want : expected) {
    frame(200);
    EXPECT_EQ(Clock_Delta(), want);
  }
  // Back to short frames: they are taken as they are.
  frame(20);
  EXPECT_EQ(Clock_Delta(), 20);
}

TEST_F(FrameClock, ClockDoesNotJumpBackWhenTheLow32BitsOfTheCounterWrap) {
  now_ = (uint64_t{1} << 32) - 5 * counts_per_ms;
  Clock_Set_Virtual_Counter(now_);
  Clock_Start();
  int32_t before = Clock_Now();
  frame(20);
  EXPECT_EQ(Clock_Delta(), 21);
  EXPECT_GT(Clock_Now(), before);
}

