#include "scene/renderer.h"

#include <unistd.h>

#include <climits>
#include <cstring>
#include <memory>
#include <vector>

#include "draw/rows.h"
#include "files/file.h"
#include "pictures/picture.h"
#include "pictures/picture_load.h"
#include "platform/clock.h"
#include "platform/load_timer.h"
#include "platform/message_box.h"
#include "scene/runtime.h"
#include "scene/scene_sound.h"
#include "scene/script_compiler.h"
#include "scene/state_resets.h"
#include "scene/view.h"
#include "video/engine_targets.h"
#include "video/node_picture.h"
#include "zel_vr/zel_vr.h"

namespace {

constexpr int Panorama_Bytes = 256 * 6144 * 2;

struct Renderer_State {
  ZEL_VR* renderer = nullptr;
  std::vector<uint32_t> conversion_table;  // 5-5-5 to 5-6-5, during a run
};
Renderer_State state;

// True when a picture was loaded.
bool load_flat_fallback(const char* name) {
  char buffer[260] = {0};
  if (name != nullptr) std::strncpy(buffer, name, sizeof buffer - 1);
  Picture* picture = Picture_Load(buffer);
  if (picture != nullptr) {
    Picture_Unpack(picture);
    Picture_To_16(picture);
    Picture_Scale(picture, 640, 480);
    Picture_To_16(picture);
  }
  Node_Picture_Replace(picture);
  return picture != nullptr;
}

// Raw 5-5-5 panorama read straight into the buffer: at most the buffer's size.
// True when anything was read.
bool load_raw_fallback(const char* name, int size) {
  uint16_t* buffer = Panorama_Buffer();
  if (buffer == nullptr || size <= 0 || name == nullptr) return false;
  int slot = -1;
  File_Open(name, &slot, 1);
  if (slot < 0) return false;
  int wanted = size < Panorama_Bytes ? size : Panorama_Bytes;
  int got = File_Read(slot, buffer, wanted);
  File_Close(slot);
  if (got > 0) Row_Table_16(buffer, buffer, state.conversion_table.data(), static_cast<uint32_t>(got / 2));
  return got > 0;
}

}  // namespace

ZEL_VR* Renderer() { return state.renderer; }
const uint32_t* Conversion_Table() { return state.conversion_table.empty() ? nullptr : state.conversion_table.data(); }

void Renderer_Create() {
  if (state.renderer == nullptr) state.renderer = new ZEL_VR();
}

void Renderer_Start() {
  state.conversion_table.resize(65536);
  for (uint32_t i = 0; i < 65536; ++i) {
    state.conversion_table[i] = (i & 0x1F) + 2 * (i & 0x7C00) + 2 * (i & 0x3E0);
  }
  state.renderer->Init_Resolution(0.0f, 0.0f, 640.0f, 480.0f, 640, 1.0f);
  Engine_Set_Panorama_Buffer(state.renderer->Buffer());
  Clock_Start();
  Node_Picture_Replace(Picture_Create("warpfix", 640, 480, 16));
}

void Renderer_End() {
  Anim_Close_All();
  Engine_Set_Panorama_Buffer(nullptr);
  delete state.renderer;
  state.renderer = nullptr;
  Node_Picture_Replace(nullptr);
  state.conversion_table.clear();
  state.conversion_table.shrink_to_fit();
}

void Renderer_State_Reset() {
  if (state.renderer != nullptr) Renderer_End();
  state = Renderer_State{};
}

int Warp_Picture_Load(Warp& warp, bool with_timer) {
  const char* name = warp.picture_name;
  int size = name != nullptr ? File_Size(name) : 0;
  int kind;
  {
    std::unique_ptr<Load_Timer> timer;
    if (with_timer) timer = std::make_unique<Load_Timer>(Scene_Sound_Tick);  // the sound tick every 100 ms
    kind = name != nullptr ? Load_Node_Picture(name) : -1;
    if (kind == -1) {
      kind = Picture_Name_Is_Flat(name) ? 1 : 0;
      bool loaded = kind == 0 ? load_raw_fallback(name, size) : load_flat_fallback(name);
      if (!loaded && name != nullptr) {
        char folder[PATH_MAX];
        if (getcwd(folder, sizeof folder) == nullptr) std::strcpy(folder, ".");
        Tell_Player("the node picture '%s' in '%s' cannot be loaded (missing, or not a picture the engine "
                    "reads); the node is shown black: copy that folder again from the game's disc",
                    name, folder);
      }
    }
  }
  warp.kind = kind;
  View_Set_Flat(kind == 1);
  return kind;
}
