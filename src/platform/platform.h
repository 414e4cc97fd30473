// Starting and stopping the platform layer (window, display, input, clock, the
// record and replay files).
//
// Start-up takes our options out of argv first, then starts the platform:
//
//   Platform_Options options;
//   if (Platform_Take_Options(&argc, argv, &options) != 0) { usage error }
//   if (Platform_Start(options) != 0) { show Platform_Error(), exit -1 }
//   ... Input_Reset(); the game ...
//   Platform_Stop();
//
// Options (each taken out of argv, with its value; the game's own single-dash
// options are left in place):
//   --headless       no window: frames go to a memory surface
//   --scanlines      the doubled presentation with black lines between rows
//   --record FILE    write every pump's input events and every frame-clock reading
//   --replay FILE    read them back instead of the window and the real clock;
//                    the program ends with status 0 when the file ends
//
// Closing the window (or the end of a replay) is acted on by the next
// Present_Frame, which calls Platform_Exit(0). Modal loops that do not present
// frames check Quit_Requested().
#pragma once
#include <string>

struct Platform_Options {
  bool headless = false;
  bool scanlines = false;
  std::string record_path;
  std::string replay_path;
  // Losing the focus pauses the game until it comes back. Tests that open windows
  // side by side on one display turn this off: the pump then counts the focus
  // as regained at once.
  bool pause_in_background = true;
};

// Removes our options from argv (argc is updated, argv stays null-terminated).
// Returns 0, or -1 when an option lacks its value (a line goes to stderr).
int Platform_Take_Options(int* argc, char** argv, Platform_Options* options);

// Opens the window (unless headless), sets up the display and opens the record or
// replay file. Returns 0, or -1 with the reason in Platform_Error().
int Platform_Start(const Platform_Options& options);
const char* Platform_Error();
// Flushes the record file, closes the window and releases the display.
void Platform_Stop();
// Returns the platform to the state of a fresh process (between tests; safe to
// call twice): stops it, closes the instance lock, clears clock, input, display
// and switches. Thread stoppers and pause listeners stay: they belong to the
// threads and devices that registered them, which take them off when closed;
// so do live load timers.
void Platform_State_Reset();

// Threads that run engine code beside the main thread (the sound device's
// callback, the load timer) register how to stop them. Every way out of the
// program runs Platform_Stop_Threads before it releases anything: a thread still
// in the mixer while exit handlers destroy it crashes the process. Stoppers run
// last registered first, each once per registration; a stopper called on the
// thread it stops must not wait for itself.
using Thread_Stopper = void (*)();
void Platform_Add_Thread_Stopper(Thread_Stopper stopper);
void Platform_Remove_Thread_Stopper(Thread_Stopper stopper);
void Platform_Stop_Threads();

// Run with true when the game pauses in the background (focus lost) and with
// false when it resumes; the sound device pauses with the game. Listeners run in
// the order they were added.
using Pause_Listener = void (*)(bool paused);
void Platform_Add_Pause_Listener(Pause_Listener listener);
void Platform_Remove_Pause_Listener(Pause_Listener listener);
void Platform_Notify_Pause(bool paused);

// Called by Platform_Exit before the platform stops (start-up releases its own
// resources there: lock file, settings). One hook.
void Platform_Set_Exit_Hook(void (*hook)());
// Stops the threads, runs the exit hook, stops the platform and ends the process
// with `status`.
[[noreturn]] void Platform_Exit(int status);
