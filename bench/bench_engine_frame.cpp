// A whole engine frame in a panorama node, timed inside a real run of a scene
// script: one iteration is everything between two input reads of the frame
// loop (key jumps, turning, the click test, drawing the view, the animation
// step, random sounds, the three zone scans, cursor and PRINT overlay, the sound
// tick and presenting to the headless display). The mouse moves every frame, so
// the view turns as in BM_Zel_Vr_Draw, the line to compare with.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "../tools/picture_file_writers.h"
#include "platform/events.h"
#include "platform/input.h"
#include "scene/run_script.h"
#include "scene/runtime.h"
#include "sound/sound.h"
#include "zel_vr/zel_vr.h"

namespace {

void write_file(const std::string& path, const void* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
}

// A raw 5-5-5 panorama with detail everywhere, six zones, a cursor and a script
// whose node turns freely; Escape leads to a node that ends the run.
std::string make_game() {
  char pattern[] = "/tmp/osterlin-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return "";
  std::string dir = pattern;
  std::vector<uint16_t> cube(zel_vr::Buffer_Pixels);
  for (int index = 0; index < zel_vr::Buffer_Pixels; ++index) {
    int face, x, y;
    zel_vr::Buffer_Index_Pixel(index, &face, &x, &y);
    cube[static_cast<size_t>(index)] =
        static_cast<uint16_t>(((face * 5 + (x ^ y)) & 31) << 10 | ((x >> 4) & 31) << 5 | ((y >> 4) & 31));
  }
  write_file(dir + "/ROOM.RAW", cube.data(), cube.size() * 2);
  // Six zones around the horizon: a count, then a1 a2 b1 b2 each.
  std::vector<uint8_t> zones(4 + 6 * 16);
  int32_t count = 6;
  std::memcpy(zones.data(), &count, 4);
  for (int z = 0; z < 6; ++z) {
    const float limits[4] = {static_cast<float>(z), static_cast<float>(z) + 0.6f, 1.0f, 2.2f};
    std::memcpy(&zones[4 + static_cast<size_t>(z) * 16], limits, 16);
  }
  write_file(dir + "/ROOM.ZON", zones.data(), zones.size());
  Picture_Image cursor;
  cursor.width = cursor.height = 16;
  cursor.bits = 8;
  cursor.palette.assign(768, 255);
  cursor.pixels.assign(256, 0);
  for (int i = 0; i < 16; ++i) cursor.pixels[static_cast<size_t>(i * 16 + 8)] = cursor.pixels[8 * 16 + i] = 1;
  std::vector<uint8_t> pcx = Write_Pcx(cursor);
  write_file(dir + "/cursor1.pcx", pcx.data(), pcx.size());
  write_file(dir + "/cursor2.pcx", pcx.data(), pcx.size());
  std::string script =
      "[WARP] ROOM.RAW ROOM.ZON\r\n[TEST] -1\r\nLOCKKEY 0 LAST.RAW\r\n"
      "[TEST] 0 1\r\nSET SEEN 1\r\n[TEST] 1 2\r\nSET SEEN 0\r\n"
      "[WARP] LAST.RAW\r\n[TEST] -1\r\nEND\r\n";
  script = "[BOOL] SEEN\r\n" + script;
  write_file(dir + "/osterlin.lst", script.data(), script.size());
  return dir;
}

struct Frame_Timer : Run_Observer {
  benchmark::State* state = nullptr;
  bool done = false;
  void before_input() override {
    if (done) return;
    // The view keeps turning: a mouse motion reaches every input read.
    Platform_Inject_Event({Platform_Event_Type::Mouse_Motion, 24, 0});
    if (!state->KeepRunning()) {
      done = true;
      Platform_Inject_Event({Platform_Event_Type::Key_Down, 27, 1});
      Platform_Inject_Event({Platform_Event_Type::Key_Up, 27, 1});
    }
  }
};

void BM_Engine_Frame_Panorama(benchmark::State& state) {
  std::string dir = make_game();
  if (dir.empty()) {
    state.SkipWithError("no temporary folder");
    return;
  }
  char* old_dir = getcwd(nullptr, 0);
  Sound_Set_Output_Mode(Sound_Output::Pull);
  Input_Reset();
  Frame_Timer timer;
  timer.state = &state;
  Runtime_Set_Observer(&timer);
  Run_Script_File("osterlin.lst", dir.c_str());
  Runtime_Set_Observer(nullptr);
  if (!timer.done) {
    // The run ended before the benchmark had its iterations.
    while (state.KeepRunning()) {
    }
    state.SkipWithError("the run ended early");
  }
  if (old_dir != nullptr && chdir(old_dir) != 0) state.SkipWithError("cannot go back");
  std::free(old_dir);
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
}
// Wall time per frame, as BM_Zel_Vr_Draw (whose two threads it uses too).
BENCHMARK(BM_Engine_Frame_Panorama)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace
