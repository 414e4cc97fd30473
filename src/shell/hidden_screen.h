// The hidden screen: a message flying letter by letter through a winding tunnel
// of forty nested frames. Opened from the disc prompt while L and O are held.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "shell/glyph_outline.h"
#include "shell/polygon_fill.h"

// Runs the screen until Escape or the key with virtual code 222 is released or
// the window is closed. Returns at once when no font is available.
void Hidden_Screen_Run();

// ---------------------------------------------------------------------------
// The parts of the screen, open to tests.

constexpr int32_t Tunnel_Ring_Count = 40;

// Colours as the system's colour values: red in the low byte, then green, blue.
constexpr uint32_t Rgb_Colour(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }
// Letter colours (message codes 1 to 3 pick entries 0 to 2); entry 3 is the tunnel.
extern const uint32_t Hidden_Colour_Table[4];
// The colour scaled for ring i (0 nearest): each component times 1 - 0.025 i, truncated.
uint16_t Hidden_Depth_Pixel(uint32_t colour, int32_t ring);

struct Tunnel_Ring {
  int32_t step_x = 0, step_y = 0;                   // 16.16
  int32_t left = 0, top = 0, right = 0, bottom = 0;  // clip rectangle on the screen
  int32_t x = 0, y = 0;                             // accumulated position
  uint32_t colour = 0;                              // letter colour
  std::unique_ptr<Glyph_Outline> outline;           // none for most rings
};

// The message: bytes 1-3 pick the letter colour, 10 pauses 80 frames, 0 starts
// again; every other byte is a letter. A countdown spaces the letters: 160
// frames before the first, 13 between letters.
struct Hidden_Message {
  const uint8_t* text = nullptr;
  size_t length = 0;
  size_t position = 0;
  int32_t countdown = 0;
  uint32_t colour = 0;
};
void Hidden_Message_Start(Hidden_Message& message, const uint8_t* text, size_t length);
// The letter for this frame, or -1 for none.
int32_t Hidden_Message_Step(Hidden_Message& message);
// The screen's own message and corner text (zero-terminated; the message holds
// its own restart byte 0 before the terminator).
const uint8_t* Hidden_Screen_Message(size_t* length);
const char* Hidden_Screen_Corner_Text();

// The tunnel's direction: a quadratic spline through the midpoints of random
// control points, walked in steps of 1/13.
struct Tunnel_Curve {
  double control[3][2] = {};
  double last_x = 0, last_y = 0;
  int32_t step_index = 0;
  uint32_t random_state = 0;
};
void Tunnel_Curve_Start(Tunnel_Curve& curve, uint32_t seed);
// The next step of the curve, scaled to 16.16 ring steps.
void Tunnel_Curve_Next(Tunnel_Curve& curve, int32_t& step_x, int32_t& step_y);

struct Hidden_Tunnel {
  Tunnel_Ring rings[Tunnel_Ring_Count];
  int32_t head = 0;  // the nearest ring
  Tunnel_Curve curve;
  Hidden_Message message;
  Spline_Weights weights{};
  Outline_Polygons polygons;            // work buffers
  std::vector<Fill_Point> screen_points;
};
void Hidden_Tunnel_Start(Hidden_Tunnel& tunnel);
// Draws the bands, the black centre and the letters far to near.
void Tunnel_Draw(Hidden_Tunnel& tunnel, const Fill_Target& target);
// Gives the nearest ring a new step and perhaps a letter, and makes it the farthest.
void Tunnel_Advance_Head(Hidden_Tunnel& tunnel, Glyph_Font* font);

// What the screen takes from the platform. Tests replace it; null fields and a
// null pointer mean the engine's own display, clock, input and fonts.
struct Hidden_Screen_Platform {
  uint32_t (*time_ms)() = nullptr;
  void (*sleep_ms)(uint32_t ms) = nullptr;
  int (*pump)() = nullptr;
  bool (*quit_requested)() = nullptr;
  bool (*take_key_release)(int virtual_key) = nullptr;
  int (*present)(const uint16_t* pixels) = nullptr;
  Glyph_Font* (*open_font)(const char* families, int32_t weight, int32_t cell_height) = nullptr;
};
void Hidden_Screen_Set_Platform(const Hidden_Screen_Platform* platform);
