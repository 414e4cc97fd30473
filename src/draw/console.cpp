#include "draw/console.h"

#include "platform/debug_output.h"
#include "platform/display.h"

void Console_Set_Enabled(bool enabled) { Debug_Output_Set_Enabled(enabled); }

bool Console_Enabled() { return Debug_Output_Enabled(); }

void Console_Print(const char* text) { Debug_Print(text); }

void Console_Show() { Present_Frame(Screen_Buffer()); }
