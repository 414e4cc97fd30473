// The scene runtime: runs one compiled scene script from its start node to END —
// node starts, trigger scans, the frame loop, the command interpreter, key jumps —
// and the services other subsystems reach it through (booleans by name, the
// engine parameters, an idle frame for waiting commands, the picture targets).
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

// The value of the first boolean whose name matches (ASCII case folded), 0 if none.
int32_t Bool_Get(const char* name);
// Sets the first boolean whose name matches; no match does nothing.
void Bool_Set(const char* name, int32_t value);

// One frame without input, cursor, PRINT text or triggers: draw the view,
// Animation_Step, the sound tick, Present_Frame. Used by waiting commands.
void Render_Idle_Frame();

// Picture targets of the current run. The panorama buffer (256 x 6144 pixels,
// 5-6-5) belongs to the renderer and exists from run start to END; null outside a
// run. The node picture is the flat node's 640 x 480 16-bit picture ("warpfix").
uint16_t* Panorama_Buffer();
Picture* Node_Picture();
// Replaces the node picture (the previous one is freed).
void Node_Picture_Replace(Picture* picture);
// True when the display works with 15-bit colour (ROZ pictures then decode to 5-5-5
// dithering precision).
bool Display_Uses_15_Bits();
