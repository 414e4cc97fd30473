#include "platform/input.h"

#include <gtest/gtest.h>

#include "platform_test_support.h"

namespace {
class InputTest : public testing::Test {
 protected:
  void SetUp() override { Reset_Platform_For_Test(); }
  void TearDown() override {
    if (Keyboard_Step() != 7) {  // leave the step as the program starts
      Push_Key(8);
      Input_Update();
    }
    Reset_Platform_For_Test();
  }
};

void press_key(int vk, int scan) {
  Inject(Platform_Event_Type::Key_Down, vk, scan);
  Inject(Platform_Event_Type::Key_Up, vk, scan);
}

std::vector<int32_t> drain_queue() {
  std::vector<int32_t> codes;
  for (int i = 0; i < 300; ++i) {
    int32_t code = Read_Key();
    if (code == 0) break;
    codes.push_back(code);
  }
  return codes;
}
}  // namespace

TEST_F(InputTest, KeyQueueHoldsAtMost255Codes) {
  for (uint32_t i = 1; i <= 300; ++i) Push_Key(i);
  std::vector<int32_t> codes = drain_queue();
  ASSERT_EQ(codes.size(), 255u);
  EXPECT_EQ(codes.front(), 1);
  EXPECT_EQ(codes.back(), 255);  // the 256th and later codes were lost
  // Once emptied, the ring takes codes again.
  Push_Key(77);
  EXPECT_EQ(Read_Key(), 77);
  EXPECT_EQ(Read_Key(), 0);
}

TEST_F(InputTest, KeyDownCodesFollowTheKeyTable) {
  struct Case {
    int vk;
    std::vector<int32_t> codes;  // pushed by the key-down alone
  } cases[] = {
      {8, {9}},       {9, {8}},       {27, {27}},     {37, {0x4B00}}, {38, {0x4800}}, {39, {0x4D00}},
      {40, {0x5000}}, {46, {8}},      {112, {128}},   {123, {139}},   {65, {}},       {13, {}},
  };
  for (const Case& c : cases) {
    Key_Queue_Clear();
    Inject(Platform_Event_Type::Key_Down, c.vk, 30);
    Pump_Messages();
    EXPECT_EQ(drain_queue(), c.codes) << "virtual key " << c.vk;
  }
  // The paging keys and Insert push a code 0, which reads as "no key" but takes
  // its place in the queue.
  Key_Queue_Clear();
  Inject(Platform_Event_Type::Key_Down, 33, 73);
  Push_Key(99);
  Pump_Messages();
  EXPECT_EQ(Read_Key(), 99);  // pushed before the pump ran
  EXPECT_EQ(Read_Key(), 0);   // the code 0 of Page Up
}

TEST_F(InputTest, BackspaceStepsTheKeyboardAndRightClicksOnTheUpdateThatTakesEight) {
  // The window sends Backspace as the key (code 9) and as its character (8).
  Inject(Platform_Event_Type::Key_Down, 8, 14);
  Inject(Platform_Event_Type::Character, 8);
  Input_Update();
  EXPECT_EQ(Input().key, 9);
  EXPECT_EQ(Input().right_button, 0);
  EXPECT_EQ(Keyboard_Step(), 7);
  Input_Update();
  EXPECT_EQ(Input().key, 8);
  EXPECT_EQ(Input().right_button, 1);
  EXPECT_EQ(Keyboard_Step(), 1);
  Push_Key(0x4D00);
  Input_Update();
  EXPECT_EQ(Input().mouse_dx, 1);
}

TEST_F(InputTest, SteeringKeysMoveTheCursorAndEnterEscapeAct) {
  struct Case {
    int32_t code, dx, dy, left, escape;
  } cases[] = {
      {0x4800, 0, -7, 0, 0}, {'8', 0, -7, 0, 0}, {0x5000, 0, 7, 0, 0}, {'2', 0, 7, 0, 0},
      {0x4B00, -7, 0, 0, 0}, {'4', -7, 0, 0, 0}, {0x4D00, 7, 0, 0, 0}, {'6', 7, 0, 0, 0},
      {13, 0, 0, 1, 0},      {27, 0, 0, 0, 1},   {'a', 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    Input().mouse_x = Input().mouse_y = 100;
    Push_Key(static_cast<uint32_t>(c.code));
    Input_Update();
    EXPECT_EQ(Input().key, c.code);
    EXPECT_EQ(Input().mouse_dx, c.dx) << c.code;
    EXPECT_EQ(Input().mouse_dy, c.dy) << c.code;
    EXPECT_EQ(Input().mouse_x, 100 + c.dx) << c.code;
    EXPECT_EQ(Input().left_button, c.left) << c.code;
    EXPECT_EQ(Input().escape, c.escape) << c.code;
  }
}

TEST_F(InputTest, MouseMovesAtHalfSpeedAndStaysInsideTheClipRectangle) {
  struct Case {
    int motion_x, motion_y;
    int32_t want_x, want_y;
  } cases[] = {
      {-5000, 0, 0, 240},   // far left stops at 0, never negative
      {40, 20, 20, 250},    // half the system movement
      {-3, -3, 18, 248},    // arithmetic shift: -3 >> 1 = -2
      {5000, 5000, 639, 479},
  };
  Input().mouse_y = 240;
  for (const Case& c : cases) {
    Inject(Platform_Event_Type::Mouse_Motion, c.motion_x, c.motion_y);
    Input_Update();
    EXPECT_EQ(Input().mouse_x, c.want_x) << c.motion_x;
    EXPECT_EQ(Input().mouse_y, c.want_y) << c.motion_y;
  }
  Input().clip_left = 100;
  Input().clip_right = 200;
  Input().clip_top = 50;
  Input().clip_bottom = 60;
  Input_Update();
  EXPECT_EQ(Input().mouse_x, 200);
  EXPECT_EQ(Input().mouse_y, 60);
}

TEST_F(InputTest, ButtonsReadClickedHeldUp) {
  using T = Platform_Event_Type;
  struct Step {
    std::vector<std::pair<T, int>> events;
    int32_t left, right;
  } steps[] = {
      {{}, 0, 0},
      {{{T::Button_Down, 1}}, 1, 0},                         // pressed: clicked
      {{}, 2, 0},                                            // still down: held
      {{{T::Button_Up, 1}}, 0, 0},                           // up
      {{{T::Button_Down, 1}, {T::Button_Up, 1}}, 1, 0},      // press and release between updates
      {{}, 0, 0},
      {{{T::Button_Down, 2}, {T::Button_Down, 3}}, 0, 1},    // the middle button is neither
      {{{T::Button_Up, 2}}, 0, 0},
  };
  int n = 0;
  for (const Step& step : steps) {
    for (const auto& [type, button] : step.events) Inject(type, button);
    Input_Update();
    EXPECT_EQ(Input().left_button, step.left) << "step " << n;
    EXPECT_EQ(Input().right_button, step.right) << "step " << n;
    ++n;
  }
}

TEST_F(InputTest, KeyStateByScanCodeAndReleasesByVirtualKey) {
  Inject(Platform_Event_Type::Key_Down, 'A', 30);
  Pump_Messages();
  EXPECT_EQ(Key_Down(30), 0xFF);
  EXPECT_TRUE(Async_Key_Down('A'));
  EXPECT_FALSE(Take_Key_Release('A'));
  Inject(Platform_Event_Type::Key_Up, 'A', 30);
  press_key('A', 30);
  Pump_Messages();
  EXPECT_EQ(Key_Down(30), 0);
  EXPECT_FALSE(Async_Key_Down('A'));
  EXPECT_TRUE(Take_Key_Release('A'));
  EXPECT_TRUE(Take_Key_Release('A'));  // one for each release
  EXPECT_FALSE(Take_Key_Release('A'));
  EXPECT_EQ(Key_Down(200), 0);
  EXPECT_FALSE(Async_Key_Down(-1));
  Inject(Platform_Event_Type::Button_Down, 1);
  Pump_Messages();
  EXPECT_TRUE(Async_Key_Down(1));
}

