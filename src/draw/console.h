// Debug output. Lines go to stderr when debug output is on (OSTERLIN_DEBUG=1 or
// --debug) and are discarded otherwise; nothing is ever drawn on the screen.
#pragma once

void Console_Print(const char* text);  // one line of text
void Console_Show();                   // presents Screen_Buffer once
void Console_Set_Enabled(bool enabled);
bool Console_Enabled();
