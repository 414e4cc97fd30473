// Debug output: lines go to stderr when debug output is on (OSTERLIN_DEBUG=1 in
// the environment, or switched on by --debug) and are discarded otherwise. Kept
// this low so that readers below the drawing layer can say why they refused a
// file; the console of the drawing layer writes through it.
#pragma once

void Debug_Print(const char* text);  // one line of text
void Debug_Output_Set_Enabled(bool enabled);
bool Debug_Output_Enabled();  // decided from the environment on first use unless set
