// Puts the platform layer's process-wide state back to its start (between tests).
#pragma once
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/display_internal.h"
#include "platform/events.h"
#include "platform/input.h"
#include "platform/platform.h"

inline void Reset_Platform_For_Test() {
  Platform_State_Reset();
  Input_Reset();
  Mode_List modes;
  Mode_List_Add_Screen_Mode(modes, 640, 480, 16, 1280);
  Display_Mode request;
  request.width = 640;
  request.height = 480;
  request.bits_per_pixel = 16;
  Display_Setup(modes, request);
}

inline void Inject(Platform_Event_Type type, int a = 0, int b = 0) { Platform_Inject_Event({type, a, b}); }
