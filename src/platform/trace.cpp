#include "platform/trace.h"

#include <cstdarg>
#include <cstdio>

namespace {
bool trace_enabled = false;
}

void Trace_Set_Enabled(bool enabled) { trace_enabled = enabled; }

bool Trace_Enabled() { return trace_enabled; }

void Trace_Line(const char* format, ...) {
  if (!trace_enabled) return;
  char line[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  // One write per line, so lines from a tracing run stay whole.
  std::fprintf(stderr, "%s\n", line);
  std::fflush(stderr);
}
