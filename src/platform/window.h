// The SDL window behind the display: a streaming RGB565 texture of the screen
// mode's size, scaled to the window with its aspect kept; Alt+Enter toggles full
// screen. Only the platform layer includes this.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/events.h"

bool Window_Open(int width, int height, const char* title, std::string* error);
void Window_Close();
bool Window_Is_Open();
// The next event in the engine's terms; waits up to wait_ms for one. False when
// none came.
bool Window_Poll_Event(Platform_Event* event, int wait_ms);
// Locks the texture for writing a whole frame.
bool Window_Lock(uint8_t** pixels, int* pitch);
// Unlocks the texture and shows it.
void Window_Unlock_And_Show();
// Draws the texture once more as it is shown and reads the window's drawing area
// back as 0x00RRGGBB pixels.
bool Window_Read_Back(std::vector<uint32_t>* pixels, int* width, int* height);
void Window_Toggle_Full_Screen();
// Confines the mouse to the window, hidden, reporting relative motion (on), or
// lets it go with its pointer shown (off). Ctrl+G toggles it; focus loss lets go.
void Window_Set_Relative_Mouse(bool on);
bool Window_Mouse_Confined();
