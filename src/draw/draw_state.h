// The resets of the drawing files behind Draw_State_Reset (frame_buffer.h): each
// releases what its file holds and gives its variables their fresh-process values.
#pragma once

namespace draw_state {
void Reset_Cursor();
void Reset_Fonts();
}  // namespace draw_state
