// Setters of the run's picture targets, used by the renderer glue at run start and
// END (and by tests that draw without a run).
#pragma once
#include <cstdint>

// The renderer's panorama buffer for this run; null at END.
void Engine_Set_Panorama_Buffer(uint16_t* buffer);
