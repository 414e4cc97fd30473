// State the video commands share with the scene that runs them: the engine
// parameters and the picture targets of the current run.
#pragma once
#include <cstdint>

struct Picture;

// Engine parameters, each 0 to 255 when set through Engine_Parameters_Set.
struct Engine_Parameters {
  int32_t master_volume;  // 255 at program start
  int32_t sound3d_depth;  // 100
  int32_t pan_speed;      // 255: turning sensitivity
};
Engine_Parameters& Engine_Params();
// Start values for the intro: negative values become 0, values above 255 become 255.
void Engine_Parameters_Set(int32_t master_volume, int32_t sound3d_depth, int32_t pan_speed);

// Picture targets of the current run. The panorama buffer (256 x 6144 pixels,
// 5-6-5) belongs to the renderer and exists from run start to END; null outside a
// run. The node picture is the flat node's 640 x 480 16-bit picture ("warpfix").
uint16_t* Panorama_Buffer();
// Set by the renderer glue at run start and END (and by tests that draw without a run).
void Engine_Set_Panorama_Buffer(uint16_t* buffer);
Picture* Node_Picture();
// Replaces the node picture (the previous one is freed).
void Node_Picture_Replace(Picture* picture);
// Frees the node picture, forgets the panorama buffer, start values of the parameters.
void Engine_Targets_Reset();
