// Puts the platform layer's process-wide state back to its start (between tests).
#pragma once
#include <dlfcn.h>
#include <link.h>

#include <cstring>

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

// The GL driver a window loads (Mesa's, under xvfb) leaves blocks that only its
// own globals point to when the window system unloads it with the window: the leak
// checker would count them against us. Each loaded driver is kept loaded instead.
inline void Keep_Gl_Drivers_Loaded() {
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void*) {
        const char* name = info->dlpi_name;
        size_t length = name != nullptr ? std::strlen(name) : 0;
        if (length > 7 && std::strcmp(name + length - 7, "_dri.so") == 0) {
          dlopen(name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
        }
        return 0;
      },
      nullptr);
}

inline void Inject(Platform_Event_Type type, int a = 0, int b = 0) { Platform_Inject_Event({type, a, b}); }
