#include "shell/engine_outputs.h"

#include <cstdio>

#include "platform/display.h"
#include "platform/frame_hash.h"
#include "platform/platform.h"
#include "platform/png.h"
#include "shell/tour.h"

namespace {

Frame_Output_Options outputs;
FILE* hash_file = nullptr;
uint64_t frames = 0;
bool started = false;
bool touring = false;

void write_png(const std::string& path, const uint16_t* frame) {
  if (!Png_Write_565(path, frame, Screen_Width, Screen_Height)) {
    std::fprintf(stderr, "osterlin: cannot write the screenshot %s\n", path.c_str());
  }
}

void on_present(const uint16_t* frame) {
  ++frames;
  if (hash_file != nullptr) {
    std::fprintf(hash_file, "%016llx\n",
                 static_cast<unsigned long long>(Frame_Hash(frame, static_cast<size_t>(Screen_Width) * Screen_Height)));
  }
  for (const auto& [at, path] : outputs.screenshots_at) {
    if (at == frames) write_png(path, frame);
  }
  if (touring) Tour_Frame(frames);
  if (outputs.frame_limit != 0 && frames >= outputs.frame_limit) Platform_Exit(0);
}

}  // namespace

bool Engine_Outputs_Start(const Frame_Output_Options& options, std::string* error) {
  outputs = options;
  frames = 0;
  if (!outputs.tour.empty()) {
    if (!Tour_Load(outputs.tour, error)) return false;
    Tour_Start();
    touring = true;
  }
  if (!outputs.frame_hashes.empty()) {
    hash_file = std::fopen(outputs.frame_hashes.c_str(), "w");
    if (hash_file == nullptr) {
      *error = "cannot write " + outputs.frame_hashes;
      return false;
    }
  }
  started = true;
  Display_Set_Present_Listener(on_present);
  return true;
}

void Engine_Outputs_Finish() {
  if (!started) return;
  started = false;
  Display_Set_Present_Listener(nullptr);
  if (!outputs.screenshot.empty()) {
    if (const uint16_t* last = Display_Last_Frame()) write_png(outputs.screenshot, last);
  }
  if (hash_file != nullptr) {
    std::fclose(hash_file);
    hash_file = nullptr;
  }
}

uint64_t Engine_Outputs_Frames() { return frames; }
