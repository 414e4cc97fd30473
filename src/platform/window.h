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
// Unlocks the texture; it now holds a frame.
void Window_Unlock();
// Ends a frame: presents the texture scaled to the window when `changed` (a new
// frame, or the window's contents were lost), else only waits as long as a
// presentation would have (one refresh), so that the game keeps its pace while
// an unchanged frame costs neither scaling nor presenting.
void Window_Show(bool changed);
// Presents the texture again as it is (black before the first frame): for an
// exposed or resized window while no frames come.
void Window_Repaint();
bool Window_Has_Frame();                   // the texture holds a frame since the window opened
struct Window_Counts {
  uint64_t uploads = 0;   // frames written into the texture
  uint64_t presents = 0;  // presentations of the window
};
Window_Counts Window_Get_Counts();         // since the program started (tests, benchmarks)
// Draws the texture once more as it is shown and reads the window's drawing area
// back as 0x00RRGGBB pixels.
bool Window_Read_Back(std::vector<uint32_t>* pixels, int* width, int* height);
void Window_Toggle_Full_Screen();
// Confines the mouse to the window, hidden, reporting relative motion (on), or
// lets it go with its pointer shown (off). Ctrl+G toggles it; focus loss lets go.
void Window_Set_Relative_Mouse(bool on);
bool Window_Mouse_Confined();
