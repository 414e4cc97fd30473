#include "video/scene_link.h"

#include "platform/display.h"

namespace {
struct Scene_Link_State {
  Scene_Link current = {nullptr, nullptr, nullptr};
};
Scene_Link_State state;
}  // namespace

void Scene_Link_Set(const Scene_Link& new_link) { state.current = new_link; }

int32_t Scene_Bool_Get(const char* name) {
  return state.current.bool_get != nullptr ? state.current.bool_get(name) : 0;
}

void Scene_Bool_Set(const char* name, int32_t value) {
  if (state.current.bool_set != nullptr) state.current.bool_set(name, value);
}

void Scene_Idle_Frame() {
  if (state.current.idle_frame != nullptr) state.current.idle_frame();
  else Present_Frame(Screen_Buffer());
}
