#include "draw/console.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/display.h"

namespace {
int debug_state = -1;  // -1: not decided yet, then 0 or 1

bool debug_from_environment() {
  const char* value = std::getenv("OSTERLIN_DEBUG");
  return value != nullptr && std::strcmp(value, "1") == 0;
}
}  // namespace

void Console_Set_Enabled(bool enabled) { debug_state = enabled ? 1 : 0; }

bool Console_Enabled() {
  if (debug_state < 0) debug_state = debug_from_environment() ? 1 : 0;
  return debug_state == 1;
}

void Console_Print(const char* text) {
  if (!Console_Enabled() || text == nullptr) return;
  std::fprintf(stderr, "%s\n", text);
}

void Console_Show() { Present_Frame(Screen_Buffer()); }
