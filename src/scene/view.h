// The player's view of the current node: angles and field of view, the commands
// that set or animate them, turning with inertia, the hotspot hit tests, the
// cursor and PRINT overlay, and the FADE and TRANSFADE transitions.
#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "scene/command_rows.h"

struct Picture;

// Angles are in 1/8192 of a turn.
struct View_State {
  int32_t pitch;        // grows when the mouse moves up; within +-pitch_limit
  int32_t yaw;          // grows to the right; not wrapped
  int32_t pitch_speed;
  int32_t yaw_speed;
  int32_t pitch_limit;  // ANGLEXMAX, 1536 at run start
  int32_t yaw_min;      // ANGLEYMAX; both -1: no limit
  int32_t yaw_max;
  float fov;            // degrees, 90 at run start
};
View_State& View();

// Radians per angle unit and a quarter turn as the engine computes them.
constexpr float View_Radians_Per_Unit = 0.0007669898f;
constexpr float View_Units_Per_Radian = 1303.7983f;
constexpr float View_Quarter_Turn = 1.570795f;

// One hotspot zone of the node's zone file.
struct Zone {
  int32_t state;  // 1 outside, 2 inside (last hit test)
  float a1, a2, b1, b2;
};

// What the view draws: a panorama through the renderer, or the flat node picture.
void View_Set_Flat(bool flat);
bool View_Is_Flat();

// Draws the view into the screen buffer.
void View_Draw(int32_t pitch, int32_t yaw, float fov);
void View_Draw_Current();

// Zone geometry.
void Zone_Snap(Zone& zone);
int Zone_Hit(Zone& zone);  // 2 inside, 1 outside (panorama: view centre; flat: mouse)
// The zone hit test with explicit inputs (for tests and the flat case).
bool Zone_Contains_View(const Zone& zone, int32_t yaw, int32_t pitch);
bool Zone_Contains_Point(const Zone& zone, int32_t x, int32_t y);

// Reads a zone file: a count, then records of four floats. A damaged file gives
// the complete records it holds.
std::vector<Zone> Zone_File_Load(const char* name);

// Turning, once per frame after the input update.
void View_Turn();
// Mouse movement and both speeds to 0 (node start, after every test run).
void View_Stop_Turning();

// Overlays.
void Cursor_Draw(const Picture* cursor);
void Print_Set(const char* text, const char* font);  // "_" in text becomes a space
void Print_Clear();
void Print_Draw();
const char* Print_Text();
const char* Print_Font();
void Print_Restore(const char* text, const char* font);  // stored as given

// The view and effect commands of a test (ANGLEXMAX, ANGLEYMAX, SETANGLE, SETNORD,
// SETZOOM, INTERPOLANGLE, INTERPOLZOOM, INTERPOLANGLEZOOM, FADE, TRANSFADE) as
// rows of the runtime's command table.
std::span<const Command_Row> View_Command_Rows();

// Completes an effect frame: PRINT overlay, animation step, sound tick, present.
void Effect_Frame();

// The easing table of angle interpolations: E[4095 - j] = 1 - j^2 / 2^24.
void View_Build_Easing(std::vector<float>& table);
