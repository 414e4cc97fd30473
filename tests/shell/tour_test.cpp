#include "shell/tour.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/display.h"
#include "platform/display_internal.h"
#include "platform/events.h"
#include "platform/input.h"

TEST(Tour, StepsAreReadOrRefusedWithTheirLine) {
  struct Case {
    const char* text;
    bool ok;
  };
  const Case cases[] = {
      {"# a comment only\n\n", true},
      {"node HALL.ROZ\nwait 30\nkey 27\nclick\nrclick\nmove -40 12\nturn 40 0 34\nshot hall  # first\nclose\n", true},
      {"close now\n", false},
      {"wait -1\n", false},
      {"key 0\n", false},
      {"key 300\n", false},
      {"turn 40 0\n", false},
      {"click twice\n", false},
      {"move 1\n", false},
      {"node\n", false},
      {"jump 3\n", false},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_EQ(Tour_Parse(c.text, &error), c.ok) << c.text;
    if (!c.ok) {
      EXPECT_EQ(error.rfind("tour line 1 ", 0), 0u) << error;
    }
  }
  std::string error;
  EXPECT_FALSE(Tour_Parse("wait 1\nwait 2\nbogus\n", &error));
  EXPECT_EQ(error.rfind("tour line 3 ", 0), 0u) << error;
}

// Each frame's injected events are what the next input read of the game sees.
TEST(Tour, InputArrivesAtTheFramesTheStepsName) {
  ASSERT_TRUE(Tour_Parse("wait 2\nclick\nturn 10 0 3\nmove 4 6\nkey 27\n", nullptr));
  // Nothing left over from earlier tests: events waiting for a pump, queued keys.
  Pump_Messages();
  Input_Release_All();
  Key_Queue_Clear();
  Input_Reset();
  struct Seen {
    int32_t left, dx, dy, key;
  };
  std::vector<Seen> seen;
  for (uint64_t frame = 1; frame <= 8; ++frame) {
    Tour_Frame(frame);
    Input_Update();
    seen.push_back({Input().left_button, Input().mouse_dx, Input().mouse_dy, Input().key});
  }
  // The cursor moves half the motion; Escape arrives as its key and its character.
  const std::vector<Seen> expected = {
      {0, 0, 0, 0}, {0, 0, 0, 0}, {1, 5, 0, 0}, {0, 5, 0, 0}, {0, 5, 0, 0}, {0, 2, 3, 27}, {0, 0, 0, 27}, {0, 0, 0, 0},
  };
  ASSERT_EQ(seen.size(), expected.size());
  for (size_t i = 0; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i].left, expected[i].left) << "frame " << i + 1;
    EXPECT_EQ(seen[i].dx, expected[i].dx) << "frame " << i + 1;
    EXPECT_EQ(seen[i].dy, expected[i].dy) << "frame " << i + 1;
    EXPECT_EQ(seen[i].key, expected[i].key) << "frame " << i + 1;
  }
  EXPECT_FALSE(Tour_Running());
}

// Closing the window is a step like a key: the pump then sees the request that
// ends the program at the next frame.
TEST(Tour, CloseStepAsksTheProgramToEnd) {
  ASSERT_TRUE(Tour_Parse("wait 1\nclose\n", nullptr));
  Display_Reset_State();
  Tour_Frame(1);
  Pump_Messages();
  EXPECT_FALSE(Quit_Requested());
  Tour_Frame(2);
  Pump_Messages();
  EXPECT_TRUE(Quit_Requested());
  Display_Reset_State();
  EXPECT_FALSE(Quit_Requested());
}

// A reset forgets the steps, a turn under way and a wait: nothing is injected.
TEST(Tour, ResetForgetsEveryStep) {
  for (const char* text : {"wait 5\nkey 27\n", "turn 3 0 4\nclick\n", "node NOWHERE.PAN\n"}) {
    ASSERT_TRUE(Tour_Parse(text, nullptr));
    Tour_Frame(1);
    ASSERT_TRUE(Tour_Running()) << text;
    Tour_State_Reset();
    EXPECT_FALSE(Tour_Running()) << text;
    Input_Update();  // takes what frame 1 injected
    Tour_Frame(2);
    Input_Update();
    EXPECT_EQ(Input().mouse_dx, 0) << text;
    EXPECT_EQ(Input().left_button, 0) << text;
    EXPECT_EQ(Input().key, 0) << text;
  }
}
