#include "shell/engine_outputs.h"

#include <cstdio>

#include "platform/display.h"
#include "platform/frame_hash.h"
#include "platform/platform.h"
#include "platform/png.h"
#include "shell/tour.h"

namespace {

struct Outputs_State {
  Frame_Output_Options outputs;
  FILE* hash_file = nullptr;
  uint64_t frames = 0;
  bool started = false;
  bool touring = false;
};

Outputs_State state;

void write_png(const std::string& path, const uint16_t* frame) {
  if (!Png_Write_565(path, frame, Screen_Width, Screen_Height)) {
    std::fprintf(stderr, "osterlin: cannot write the screenshot %s\n", path.c_str());
  }
}

void on_present(const uint16_t* frame) {
  ++state.frames;
  if (state.hash_file != nullptr) {
    std::fprintf(state.hash_file, "%016llx\n",
                 static_cast<unsigned long long>(Frame_Hash(frame, static_cast<size_t>(Screen_Width) * Screen_Height)));
  }
  for (const auto& [at, path] : state.outputs.screenshots_at) {
    if (at == state.frames) write_png(path, frame);
  }
  if (state.touring) Tour_Frame(state.frames);
  if (state.outputs.frame_limit != 0 && state.frames >= state.outputs.frame_limit) Platform_Exit(0);
}

}  // namespace

bool Engine_Outputs_Start(const Frame_Output_Options& options, std::string* error) {
  state.outputs = options;
  state.frames = 0;
  if (!state.outputs.tour.empty()) {
    if (!Tour_Load(state.outputs.tour, error)) return false;
    Tour_Start();
    state.touring = true;
  }
  if (!state.outputs.frame_hashes.empty()) {
    state.hash_file = std::fopen(state.outputs.frame_hashes.c_str(), "w");
    if (state.hash_file == nullptr) {
      *error = "cannot write " + state.outputs.frame_hashes;
      return false;
    }
  }
  state.started = true;
  Display_Set_Present_Listener(on_present);
  return true;
}

void Engine_Outputs_Finish() {
  if (!state.started) return;
  state.started = false;
  Display_Set_Present_Listener(nullptr);
  if (!state.outputs.screenshot.empty()) {
    if (const uint16_t* last = Display_Last_Frame()) write_png(state.outputs.screenshot, last);
  }
  if (state.hash_file != nullptr) {
    std::fclose(state.hash_file);
    state.hash_file = nullptr;
  }
}

uint64_t Engine_Outputs_Frames() { return state.frames; }

void Engine_Outputs_State_Reset() {
  if (state.started) Display_Set_Present_Listener(nullptr);
  if (state.hash_file != nullptr) std::fclose(state.hash_file);
  state = Outputs_State{};
}
