// The script's booleans by name, as the rest of the engine reads and sets them.
#include <cstring>

#include "files/text.h"
#include "scene/runtime.h"
#include "scene/script_compiler.h"

namespace {
Bool_Var* find_bool(const char* name) {
  Scene_Script* script = Script_Current();
  if (script == nullptr || name == nullptr) return nullptr;
  for (int32_t i = 0; i < script->bool_count; ++i) {
    Bool_Var& var = script->bools[i];
    if (var.name != nullptr && Str_Compare_No_Case(var.name, name) == 0) return &var;
  }
  return nullptr;
}
}  // namespace

int32_t Bool_Get(const char* name) {
  Bool_Var* var = find_bool(name);
  return var ? var->value : 0;
}

void Bool_Set(const char* name, int32_t value) {
  if (Bool_Var* var = find_bool(name)) var->value = value;
}
