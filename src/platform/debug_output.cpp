#include "platform/debug_output.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform_state.h"

namespace {
struct Debug_Output_State {
  int debug_state = -1;  // -1: not decided yet, then 0 or 1
};

Debug_Output_State state;

bool debug_from_environment() {
  const char* value = std::getenv("OSTERLIN_DEBUG");
  return value != nullptr && std::strcmp(value, "1") == 0;
}
}  // namespace

void Debug_Output_Set_Enabled(bool enabled) { state.debug_state = enabled ? 1 : 0; }

bool Debug_Output_Enabled() {
  if (state.debug_state < 0) state.debug_state = debug_from_environment() ? 1 : 0;
  return state.debug_state == 1;
}

void Debug_Print(const char* text) {
  if (!Debug_Output_Enabled() || text == nullptr) return;
  std::fprintf(stderr, "%s\n", text);
}

void platform_state::Reset_Debug_Output() { state = Debug_Output_State{}; }
