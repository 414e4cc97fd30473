// Presenting a frame to the real window, split into its parts: the texture
// upload (conversion into the locked texture), scaling and presenting the
// texture, and a whole Present_Frame of a changed and of an unchanged frame.
// The lines measure the process's CPU time (a presentation may wait for the
// display's refresh, which costs nothing); they are skipped without an X
// display. Drawing the view is BM_Zel_Vr_Draw.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/display.h"
#include "platform/display_internal.h"
#include "platform/display_modes.h"
#include "platform/platform.h"
#include "platform/window.h"

namespace {

// Opens the window for one benchmark and fills the frame buffer with detail;
// false (and the benchmark skipped) when there is no display.
bool open_window(benchmark::State& state) {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || display[0] == 0) {
    state.SkipWithError("no X display");
    return false;
  }
  Platform_Options options;
  options.pause_in_background = false;
  if (Platform_Start(options) != 0) {
    state.SkipWithError(Platform_Error());
    return false;
  }
  uint16_t* screen = Screen_Buffer();
  for (int i = 0; i < Screen_Width * Screen_Height; ++i) screen[i] = static_cast<uint16_t>(i * 2654435761u >> 16);
  return true;
}

void BM_Present_Texture_Upload(benchmark::State& state) {
  if (!open_window(state)) return;
  const Display_Mode& mode = Display_Current_Mode();
  for (auto _ : state) {
    uint8_t* pixels = nullptr;
    int pitch = 0;
    if (!Window_Lock(&pixels, &pitch)) continue;
    Present_Copy(Screen_Buffer(), mode, nullptr, pixels, pitch);
    Window_Unlock();
  }
  Platform_Stop();
}
BENCHMARK(BM_Present_Texture_Upload)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

void BM_Present_Scale_And_Show(benchmark::State& state) {
  if (!open_window(state)) return;
  Present_Frame(Screen_Buffer());
  for (auto _ : state) Window_Repaint();
  Platform_Stop();
}
BENCHMARK(BM_Present_Scale_And_Show)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

// Every frame differs in one pixel: upload, scaling and presenting each time.
void BM_Present_Frame_Changed(benchmark::State& state) {
  if (!open_window(state)) return;
  uint16_t* screen = Screen_Buffer();
  for (auto _ : state) {
    screen[0] ^= 1;
    Present_Frame(screen);
  }
  Platform_Stop();
}
BENCHMARK(BM_Present_Frame_Changed)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

// The same frame again (a node where nothing moves): compared, not presented.
void BM_Present_Frame_Unchanged(benchmark::State& state) {
  if (!open_window(state)) return;
  for (auto _ : state) Present_Frame(Screen_Buffer());
  Platform_Stop();
}
BENCHMARK(BM_Present_Frame_Unchanged)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

}  // namespace
