// Minimal headless display: the frame buffer and Present_Frame advancing the
// clock. The SDL window backend builds on this.
#include "platform/display.h"

#include "platform/clock.h"

namespace {
uint16_t frame_buffer[Screen_Width * Screen_Height];
}

uint16_t* Screen_Buffer() { return frame_buffer; }

int Pump_Messages() { return 0; }

int Present_Frame(const uint16_t* /*source*/) {
  if (Pump_Messages() == 0) {
    // nothing to copy to without a window
  }
  Clock_Tick();
  return 0;
}

int Display_Bits_Per_Pixel() { return 16; }

bool Quit_Requested() { return false; }
