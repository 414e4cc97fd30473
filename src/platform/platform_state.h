// The resets of the platform's files, run in turn by Platform_State_Reset. Each
// releases what its file holds through the file's own close functions, then
// gives every variable of the file the value it has in a fresh process.
#pragma once

namespace platform_state {
void Reset_Clock();
void Reset_Debug_Output();
void Reset_Display();
void Reset_Input();
void Reset_Instance_Lock();
void Reset_Message_Box();
void Reset_Record();
void Reset_Trace();
void Reset_Window();
}  // namespace platform_state
