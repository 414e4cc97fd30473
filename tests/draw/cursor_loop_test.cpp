#include <gtest/gtest.h>

#include "draw/cursor.h"
#include "draw/frame_buffer.h"
#include "platform/display.h"
#include "platform/events.h"
#include "platform/input.h"
#include "platform/platform.h"

TEST(CursorModalLoop, ReturnsOnAClickOrKeyAndLeavesTheScreenAsItWas) {
  Platform_State_Reset();
  Draw_State_Reset();
  Input_Reset();
  Screen_Buffer()[0] = 0x2222;
  Input().key = 55;  // a code left from before is cleared first
  Platform_Inject_Event({Platform_Event_Type::Mouse_Motion, 20, 20});
  Platform_Inject_Event({Platform_Event_Type::Button_Down, 1});
  Cursor_Modal_Loop();
  EXPECT_EQ(Input().left_button, 1);
  EXPECT_EQ(Input().key, 0);
  EXPECT_EQ(Input().mouse_x, 10);
  EXPECT_EQ(Screen_Buffer()[0], 0x2222);
  Platform_Inject_Event({Platform_Event_Type::Button_Up, 1});
  Input_Update();

  // Nothing happens for a while, then a key: the arrow was shown at the mouse.
  Platform_Inject_Event({Platform_Event_Type::Mouse_Motion, -20, -20});
  Input_Update();
  Push_Key('k');
  Cursor_Modal_Loop();
  EXPECT_EQ(Input().key, 'k');
  EXPECT_EQ(Screen_Buffer()[0], 0x2222);
  Screen_Buffer()[0] = 0;
}
