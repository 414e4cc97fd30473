#include "shell/shell_state.h"

#include "shell/tour.h"

void Shell_State_Reset() {
  // The frame outputs drive the tour; the saved games hold the pending game
  // that the levels' state points at.
  Engine_Outputs_State_Reset();
  Tour_State_Reset();
  Saved_Games_State_Reset();
  Mpeg_State_Reset();
  Levels_State_Reset();
}
