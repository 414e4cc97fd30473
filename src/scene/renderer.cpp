#include "scene/renderer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "draw/rows.h"
#include "files/file.h"
#include "pictures/picture.h"
#include "pictures/picture_load.h"
#include "platform/clock.h"
#include "video/engine_targets.h"
#include "scene/runtime.h"
#include "scene/scene_sound.h"
#include "scene/script_compiler.h"
#include "scene/view.h"
#include "video/node_picture.h"
#include "zel_vr/zel_vr.h"

namespace {

constexpr int Panorama_Bytes = 256 * 6144 * 2;

ZEL_VR* renderer = nullptr;
std::vector<uint32_t> conversion_table;

// The 100 ms timer that runs the sound tick while a node picture loads. The busy
// flag makes a tick that comes while the previous one still runs return at once.
class Load_Timer {
 public:
  Load_Timer() : thread_([this] { run(); }) {}
  ~Load_Timer() {
    {
      std::lock_guard<std::mutex> guard(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }

 private:
  void run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!wake_.wait_for(lock, std::chrono::milliseconds(100), [this] { return stop_; })) {
      if (busy_.exchange(true)) continue;
      lock.unlock();
      Sound_Tick();
      lock.lock();
      busy_ = false;
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::atomic<bool> busy_{false};
  std::thread thread_;
};

char last_character(const char* name) {
  if (name == nullptr || name[0] == 0) return 0;
  return name[std::strlen(name) - 1];
}

void load_flat_fallback(const char* name) {
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
}

// Raw 5-5-5 panorama read straight into the buffer: at most the buffer's size.
void load_raw_fallback(const char* name, int size) {
  uint16_t* buffer = Panorama_Buffer();
  if (buffer == nullptr || size <= 0 || name == nullptr) return;
  int slot = -1;
  File_Open(name, &slot, 1);
  if (slot < 0) return;
  int wanted = size < Panorama_Bytes ? size : Panorama_Bytes;
  int got = File_Read(slot, buffer, wanted);
  File_Close(slot);
  if (got > 0) Row_Table_16(buffer, buffer, conversion_table.data(), static_cast<uint32_t>(got / 2));
}

}  // namespace

ZEL_VR* Renderer() { return renderer; }
const uint32_t* Conversion_Table() { return conversion_table.empty() ? nullptr : conversion_table.data(); }

void Renderer_Create() {
  if (renderer == nullptr) renderer = new ZEL_VR();
}

void Renderer_Start() {
  conversion_table.resize(65536);
  for (uint32_t i = 0; i < 65536; ++i) {
    conversion_table[i] = (i & 0x1F) + 2 * (i & 0x7C00) + 2 * (i & 0x3E0);
  }
  renderer->Init_Resolution(0.0f, 0.0f, 640.0f, 480.0f, 640, 1.0f);
  Engine_Set_Panorama_Buffer(renderer->Buffer());
  Clock_Start();
  Node_Picture_Replace(Picture_Create("warpfix", 640, 480, 16));
}

void Renderer_End() {
  Anim_Close_All();
  Engine_Set_Panorama_Buffer(nullptr);
  delete renderer;
  renderer = nullptr;
  Node_Picture_Replace(nullptr);
  conversion_table.clear();
  conversion_table.shrink_to_fit();
}

int Warp_Picture_Load(Warp& warp, bool with_timer) {
  const char* name = warp.picture_name;
  int size = name != nullptr ? File_Size(name) : 0;
  int kind;
  {
    std::unique_ptr<Load_Timer> timer;
    if (with_timer) timer = std::make_unique<Load_Timer>();
    kind = name != nullptr ? Load_Node_Picture(name) : -1;
    if (kind == -1) {
      char last = last_character(name);
      kind = (last == 'A' || last == 'a' || last == 'D' || last == 'd') ? 1 : 0;
      if (kind == 0) {
        load_raw_fallback(name, size);
      } else {
        load_flat_fallback(name);
      }
    }
  }
  warp.kind = kind;
  View_Set_Flat(kind == 1);
  return kind;
}
