#include "video/scene_link.h"

#include "platform/display.h"

namespace {
Scene_Link current = {nullptr, nullptr, nullptr};
}  // namespace

void Scene_Link_Set(const Scene_Link& new_link) { current = new_link; }

int32_t Scene_Bool_Get(const char* name) { return current.bool_get != nullptr ? current.bool_get(name) : 0; }

void Scene_Bool_Set(const char* name, int32_t value) {
  if (current.bool_set != nullptr) current.bool_set(name, value);
}

void Scene_Idle_Frame() {
  if (current.idle_frame != nullptr) current.idle_frame();
  else Present_Frame(Screen_Buffer());
}
