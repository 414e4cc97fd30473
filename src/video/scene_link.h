// The script's booleans and the frame drawn while a command waits belong to the
// scene above the video commands. The scene hands them in here when it compiles a
// script, so that the video commands reach them without knowing the scene.
#pragma once
#include <cstdint>

struct Scene_Link {
  int32_t (*bool_get)(const char* name);         // 0 when no boolean has the name
  void (*bool_set)(const char* name, int32_t value);  // no match does nothing
  void (*idle_frame)();                          // one frame without input or triggers
};
void Scene_Link_Set(const Scene_Link& link);

// Through the link. Before the scene sets it, booleans read 0, setting one does
// nothing and an idle frame only presents the screen as it stands.
int32_t Scene_Bool_Get(const char* name);
void Scene_Bool_Set(const char* name, int32_t value);
void Scene_Idle_Frame();
