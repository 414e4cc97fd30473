#include "platform/trace.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "platform/platform_state.h"

namespace {
struct Trace_State {
  bool trace_enabled = false;
};

Trace_State state;
}

void Trace_Set_Enabled(bool enabled) { state.trace_enabled = enabled; }

bool Trace_Enabled() { return state.trace_enabled; }

void Trace_Line(const char* format, ...) {
  if (!state.trace_enabled) return;
  // Lines are whole however long (a saved state lists every boolean).
  va_list args, again;
  va_start(args, format);
  va_copy(again, args);
  int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::vector<char> line(static_cast<size_t>(length > 0 ? length : 0) + 1);
  std::vsnprintf(line.data(), line.size(), format, again);
  va_end(again);
  // One write per line, so lines from a tracing run stay whole.
  std::fprintf(stderr, "%s\n", line.data());
  std::fflush(stderr);
}

void platform_state::Reset_Trace() { state = Trace_State{}; }
