// The input events of the platform layer, in the engine's terms (virtual-key
// codes, scan codes, Windows-1252 characters, relative mouse motion). The window
// translates SDL events into these; the message pump takes them from the window,
// from a replay file or from the injection queue, writes them to the record file
// when recording, and hands them to the input module and the display.
#pragma once
#include <cstdint>

enum class Platform_Event_Type : uint8_t {
  Key_Down = 1,      // a = virtual key, b = scan code
  Key_Up = 2,        // a = virtual key, b = scan code
  Character = 3,     // a = character code (Windows-1252)
  Mouse_Motion = 4,  // a, b = movement in screen pixels
  Button_Down = 5,   // a = 1 left, 2 right, 3 middle
  Button_Up = 6,     // a = 1 left, 2 right, 3 middle
  Focus_Lost = 7,
  Focus_Gained = 8,
  Quit = 9,          // the window was closed
  Exposed = 10,      // the window must be drawn again (exposed, resized); never recorded
};

struct Platform_Event {
  Platform_Event_Type type;
  int32_t a = 0;
  int32_t b = 0;
};

// Queues an event for the next pump, as if the window had sent it (tests, tools).
void Platform_Inject_Event(const Platform_Event& event);

// Applies a key, character, motion or button event to the input state (called by
// the pump).
void Input_Apply_Event(const Platform_Event& event);
// Clears the held keys and buttons and the pending motion (focus loss).
void Input_Release_All();
// Reads a mouse button as GetAsyncKeyState did: 1 pressed since the previous
// read, 2 held, 0 up. button: 1 left, 2 right, 3 middle.
int32_t Input_Read_Button(int button);
