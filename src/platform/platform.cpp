#include "platform/platform.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/clock.h"
#include "platform/display.h"
#include "platform/display_internal.h"
#include "platform/platform_state.h"
#include "platform/record.h"
#include "platform/trace.h"
#include "platform/window.h"

namespace {
using Exit_Hook = void (*)();

struct Platform_State {
  std::string last_error;
  Exit_Hook exit_hook = nullptr;
  bool started = false;

  // The fatal memory error may take the way out from the load timer's thread, and
  // the sound device it closes then leaves the pause listeners.
  std::mutex lists_lock;
  std::vector<Thread_Stopper> stoppers;
  std::vector<Pause_Listener> pause_listeners;
};

Platform_State state;

// Removes argv[index .. index + count - 1], keeping the null at argv[argc].
void remove_arguments(int* argc, char** argv, int index, int count) {
  for (int i = index; i + count <= *argc; ++i) argv[i] = argv[i + count];
  *argc -= count;
}
}  // namespace

int Platform_Take_Options(int* argc, char** argv, Platform_Options* options) {
  int i = 1;
  while (i < *argc) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--headless") == 0) {
      options->headless = true;
      remove_arguments(argc, argv, i, 1);
    } else if (std::strcmp(arg, "--scanlines") == 0) {
      options->scanlines = true;
      remove_arguments(argc, argv, i, 1);
    } else if (std::strcmp(arg, "--record") == 0 || std::strcmp(arg, "--replay") == 0) {
      if (i + 1 >= *argc) {
        std::fprintf(stderr, "%s needs a file name\n", arg);
        return -1;
      }
      (arg[4] == 'c' ? options->record_path : options->replay_path) = argv[i + 1];
      remove_arguments(argc, argv, i, 2);
    } else {
      ++i;
    }
  }
  if (!options->record_path.empty() && !options->replay_path.empty()) {
    std::fprintf(stderr, "--record and --replay cannot be used together\n");
    return -1;
  }
  return 0;
}

int Platform_Start(const Platform_Options& options) {
  state.last_error.clear();
  Display_Reset_State();

  // The screen modes our presentation offers: the texture at the engine's size,
  // and at twice that for the doubled picture with black lines.
  Mode_List modes;
  Mode_List_Add_Screen_Mode(modes, Screen_Width, Screen_Height, 16, Screen_Width * 2);
  Mode_List_Add_Screen_Mode(modes, 2 * Screen_Width, 2 * Screen_Height, 16, 4 * Screen_Width);
  Display_Mode request;
  request.width = Screen_Width;
  request.height = Screen_Height;
  request.bits_per_pixel = 16;
  request.kind = options.scanlines ? Display_Kind_Doubled : Display_Kind_Any;
  if (!Display_Setup(modes, request)) {
    state.last_error = "Screen error!";
    return -1;
  }

  if (!options.headless) {
    int factor = options.scanlines ? 2 : 1;
    char title[256] = "osterlin";
    if (char* path = realpath("/proc/self/exe", nullptr)) {
      std::snprintf(title, sizeof title, "%s", path);
      std::free(path);
    }
    if (!Window_Open(Screen_Width * factor, Screen_Height * factor, title, &state.last_error)) return -1;
  }

  if (!options.record_path.empty() && !Record_Open(options.record_path, &state.last_error)) {
    Window_Close();
    return -1;
  }
  if (!options.replay_path.empty()) {
    if (!Replay_Open(options.replay_path, &state.last_error)) {
      Window_Close();
      return -1;
    }
    Clock_Use_Virtual_Counter(true);
    Clock_Set_Virtual_Counter(0);
  }
  Display_Set_Pause_In_Background(options.pause_in_background);
  state.started = true;
  return 0;
}

const char* Platform_Error() { return state.last_error.c_str(); }

void Platform_Stop() {
  Record_Replay_Close();
  Window_Close();
  Clock_Use_Virtual_Counter(false);
  Display_Reset_State();
  Display_Set_Pause_In_Background(true);
  state.started = false;
}

void Platform_Add_Thread_Stopper(Thread_Stopper stopper) {
  std::lock_guard<std::mutex> guard(state.lists_lock);
  state.stoppers.push_back(stopper);
}

void Platform_Remove_Thread_Stopper(Thread_Stopper stopper) {
  std::lock_guard<std::mutex> guard(state.lists_lock);
  for (size_t i = state.stoppers.size(); i-- > 0;) {
    if (state.stoppers[i] == stopper) {
      state.stoppers.erase(state.stoppers.begin() + static_cast<std::ptrdiff_t>(i));
      return;
    }
  }
}

void Platform_Stop_Threads() {
  // Taken off the list before it runs: a stopper may remove itself (the device's
  // close does) or start nothing new.
  for (;;) {
    Thread_Stopper stopper;
    {
      std::lock_guard<std::mutex> guard(state.lists_lock);
      if (state.stoppers.empty()) return;
      stopper = state.stoppers.back();
      state.stoppers.pop_back();
    }
    stopper();
  }
}

void Platform_Add_Pause_Listener(Pause_Listener listener) {
  std::lock_guard<std::mutex> guard(state.lists_lock);
  state.pause_listeners.push_back(listener);
}

void Platform_Remove_Pause_Listener(Pause_Listener listener) {
  std::lock_guard<std::mutex> guard(state.lists_lock);
  for (auto it = state.pause_listeners.begin(); it != state.pause_listeners.end(); ++it) {
    if (*it == listener) {
      state.pause_listeners.erase(it);
      return;
    }
  }
}

void Platform_Notify_Pause(bool paused) {
  // Run from a copy, without the lock: a listener may remove itself.
  std::vector<Pause_Listener> listeners;
  {
    std::lock_guard<std::mutex> guard(state.lists_lock);
    listeners = state.pause_listeners;
  }
  for (Pause_Listener listener : listeners) listener(paused);
}

void Platform_Set_Exit_Hook(void (*hook)()) { state.exit_hook = hook; }

void Platform_Exit(int status) {
  Platform_Stop_Threads();
  if (state.exit_hook != nullptr) {
    auto hook = state.exit_hook;
    state.exit_hook = nullptr;  // a hook that ends up here again must not loop
    hook();
  }
  Platform_Stop();
  std::fflush(stdout);
  std::fflush(stderr);
  std::exit(status);
}

void Display_Quit_Now() {
  Trace_Line("quit");
  Platform_Exit(0);
}

void Platform_State_Reset() {
  Platform_Stop();
  platform_state::Reset_Record();
  platform_state::Reset_Window();
  platform_state::Reset_Display();
  platform_state::Reset_Input();
  platform_state::Reset_Clock();
  platform_state::Reset_Instance_Lock();
  platform_state::Reset_Message_Box();
  platform_state::Reset_Trace();
  platform_state::Reset_Debug_Output();
  state.last_error.clear();
  state.exit_hook = nullptr;
  state.started = false;
}
