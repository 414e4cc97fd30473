// --trace: one line per engine event on stderr ("level N FOLDER", "script FILE",
// "end", ...), for tests and for following a run from the outside.
#pragma once

void Trace_Set_Enabled(bool enabled);
bool Trace_Enabled();
// Writes one line (printf format, no newline needed) when tracing is on.
void Trace_Line(const char* format, ...) __attribute__((format(printf, 1, 2)));
