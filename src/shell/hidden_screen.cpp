#include "shell/hidden_screen.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/clock.h"
#include "platform/display.h"
#include "platform/input.h"

namespace {

// The credit line, in Windows-1252. Colour codes 1, 3, 2, 3, 1 open its parts;
// it ends with a line feed (a pause) and the restart byte.
constexpr uint8_t message_text[] =
    "\x01L'OSTERLIN \x03TOURNE \x02GR\xC2"
    "CE \xC0 TOUTE L'\xC9QUIPE \x03"
    "DU MOTEUR \x01MERCI !\x0A";  // the terminating zero is the restart byte

constexpr char corner_text[] = "l'\xE9quipe d'osterlin vous salue";

constexpr int32_t first_delay = 160;
constexpr int32_t letter_delay = 13;
constexpr int32_t pause_delay = 80;
constexpr uint32_t frame_interval_ms = 17;
constexpr int32_t escape_key = 27;
constexpr int32_t quote_key = 222;

int32_t ring_depth(int32_t i) { return 281 + 25 * i; }

// ---------------------------------------------------------------------------

uint32_t engine_time() { return Time_Ms(); }
void engine_sleep(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
int engine_pump() { return Pump_Messages(); }
bool engine_quit() { return Quit_Requested(); }
bool engine_key_release(int virtual_key) { return Take_Key_Release(virtual_key); }
int engine_present(const uint16_t* pixels) { return Present_Frame(pixels); }

Hidden_Screen_Platform platform_in_use;

template <typename F>
F pick(F chosen, F fallback) {
  return chosen != nullptr ? chosen : fallback;
}

// The corner text as filled shapes, one per letter, laid out right- and
// bottom-aligned at the screen's lower right corner.
struct Corner_Glyph {
  std::vector<Fill_Point> points;
  std::vector<int32_t> contour_sizes;
};

std::vector<Corner_Glyph> lay_out_corner_text(Glyph_Font* font, const Spline_Weights& weights) {
  std::vector<Corner_Glyph> glyphs;
  if (font == nullptr) return glyphs;
  std::vector<Glyph_Outline> outlines;
  int64_t width = 0;
  for (const char* c = corner_text; *c != 0; ++c) {
    outlines.emplace_back();
    Glyph_Outline_Get(font, static_cast<uint8_t>(*c), outlines.back());
    width += outlines.back().advance;
  }
  int64_t pen_x = (int64_t{Screen_Width} << 16) - width;  // 16.16
  const int64_t baseline = int64_t{Screen_Height - Glyph_Font_Descent(font)} << 8;  // 24.8
  Outline_Polygons polygons;
  for (const Glyph_Outline& outline : outlines) {
    Outline_To_Polygons(outline, weights, polygons);
    Corner_Glyph glyph;
    glyph.contour_sizes = polygons.contour_sizes;
    for (const Outline_Point& p : polygons.points)
      glyph.points.push_back({static_cast<int32_t>((pen_x + p.x) >> 8), static_cast<int32_t>(baseline - (p.y >> 8))});
    if (!glyph.contour_sizes.empty()) glyphs.push_back(std::move(glyph));
    pen_x += outline.advance;
  }
  return glyphs;
}

}  // namespace

const uint32_t Hidden_Colour_Table[4] = {Rgb_Colour(255, 255, 255), Rgb_Colour(165, 123, 90),
                                         Rgb_Colour(128, 143, 80), Rgb_Colour(90, 99, 115)};

uint16_t Hidden_Depth_Pixel(uint32_t colour, int32_t ring) {
  const double factor = 1.0 - 0.025 * ring;
  const int r = static_cast<int>((colour & 0xFF) * factor);
  const int g = static_cast<int>(((colour >> 8) & 0xFF) * factor);
  const int b = static_cast<int>(((colour >> 16) & 0xFF) * factor);
  return Pixel_565(r, g, b);
}

const uint8_t* Hidden_Screen_Message(size_t* length) {
  if (length != nullptr) *length = sizeof message_text;  // with the restart byte
  return message_text;
}

const char* Hidden_Screen_Corner_Text() { return corner_text; }

// ---------------------------------------------------------------------------
// Message

void Hidden_Message_Start(Hidden_Message& message, const uint8_t* text, size_t length) {
  message.text = text;
  message.length = text != nullptr ? length : 0;
  message.position = 0;
  message.countdown = first_delay;
  message.colour = Hidden_Colour_Table[0];
}

int32_t Hidden_Message_Step(Hidden_Message& message) {
  if (message.countdown > 0) {
    --message.countdown;
    return -1;
  }
  // Colour codes and the restart take no frame of their own. The bound stops a
  // message that holds neither letters nor pauses from spinning forever.
  for (size_t guard = 0; guard <= message.length + 1; ++guard) {
    const uint8_t byte = message.position < message.length ? message.text[message.position] : 0;
    ++message.position;
    if (byte >= 1 && byte <= 3) {
      message.colour = Hidden_Colour_Table[byte - 1];
    } else if (byte == 10) {
      message.countdown = pause_delay;
      return -1;
    } else if (byte == 0) {
      message.position = 0;
    } else {
      message.countdown = letter_delay;
      return byte;
    }
  }
  return -1;
}

// ---------------------------------------------------------------------------
// Curve

void Tunnel_Curve_Start(Tunnel_Curve& curve, uint32_t seed) {
  curve = Tunnel_Curve{};
  curve.random_state = seed;
  curve.step_index = 13;  // the first step opens a new piece
}

void Tunnel_Curve_Next(Tunnel_Curve& curve, int32_t& step_x, int32_t& step_y) {
  // A small linear congruential generator giving 0..32767 like the C library's
  // rand(), seeded so that runs are repeatable.
  auto random_unit = [&curve] {
    curve.random_state = curve.random_state * 214013u + 2531011u;
    return static_cast<double>((curve.random_state >> 16) & 0x7FFF) / 32767.0;
  };
  if (curve.step_index >= 13) {
    curve.step_index = 0;
    for (int k = 0; k < 2; ++k) {
      curve.control[0][k] = curve.control[1][k];
      curve.control[1][k] = curve.control[2][k];
    }
    curve.control[2][0] += 1.0 - 2.0 * random_unit();
    curve.control[2][1] += 1.0 - 2.0 * random_unit();
  }
  ++curve.step_index;
  const double t = curve.step_index / 13.0;
  double point[2];
  for (int k = 0; k < 2; ++k) {
    const double from = (curve.control[0][k] + curve.control[1][k]) / 2;
    const double to = (curve.control[1][k] + curve.control[2][k]) / 2;
    point[k] = (1 - t) * (1 - t) * from + 2 * t * (1 - t) * curve.control[1][k] + t * t * to;
  }
  // Held well inside the range where forty accumulated steps still fit 32 bits.
  auto to_step = [](double v) { return static_cast<int32_t>(std::clamp(v, -16777216.0, 16777216.0)); };
  step_x = to_step((point[0] - curve.last_x) * 163840.0);
  step_y = to_step((point[1] - curve.last_y) * 153600.0);
  curve.last_x = point[0];
  curve.last_y = point[1];
}

// ---------------------------------------------------------------------------
// Tunnel

void Hidden_Tunnel_Start(Hidden_Tunnel& tunnel) {
  for (Tunnel_Ring& ring : tunnel.rings) ring = Tunnel_Ring{};
  tunnel.head = 0;
  Tunnel_Curve_Start(tunnel.curve, 1);
  size_t length = 0;
  const uint8_t* text = Hidden_Screen_Message(&length);
  Hidden_Message_Start(tunnel.message, text, length);
  Spline_Weights_Init(tunnel.weights);
}

void Tunnel_Draw(Hidden_Tunnel& tunnel, const Fill_Target& target) {
  Fill_Rect outer{0, 0, Screen_Width, Screen_Height};
  int32_t x = -81920, y = -61440;
  for (int32_t i = 0; i < Tunnel_Ring_Count; ++i) {
    Tunnel_Ring& ring = tunnel.rings[(tunnel.head + i) % Tunnel_Ring_Count];
    ring.x = x;
    ring.y = y;
    x += ring.step_x;
    y += ring.step_y;
    const int32_t z = ring_depth(i);
    Fill_Rect inner;
    inner.left = x / z + Screen_Width / 2;
    inner.top = y / z + Screen_Height / 2;
    inner.right = inner.left + 163840 / z;
    inner.bottom = inner.top + 122880 / z;
    // Kept inside the previous ring (an empty rectangle when it falls outside).
    inner.left = std::clamp(inner.left, outer.left, outer.right);
    inner.right = std::clamp(inner.right, inner.left, outer.right);
    inner.top = std::clamp(inner.top, outer.top, outer.bottom);
    inner.bottom = std::clamp(inner.bottom, inner.top, outer.bottom);
    ring.left = inner.left;
    ring.top = inner.top;
    ring.right = inner.right;
    ring.bottom = inner.bottom;
    Fill_Rect_Frame(target, outer, inner, Hidden_Depth_Pixel(Hidden_Colour_Table[3], i));
    outer = inner;
  }
  Fill_Rect_Solid(target, outer, 0);

  for (int32_t i = Tunnel_Ring_Count - 1; i >= 0; --i) {
    const Tunnel_Ring& ring = tunnel.rings[(tunnel.head + i) % Tunnel_Ring_Count];
    if (!ring.outline) continue;
    Outline_To_Polygons(*ring.outline, tunnel.weights, tunnel.polygons);
    if (tunnel.polygons.contour_sizes.empty()) continue;
    const int32_t d = ring_depth(i);
    const int32_t x0 = (ring.x + 20480) / d + Screen_Width / 2;
    const int32_t y0 = (ring.y + 92160) / d + Screen_Height / 2;
    tunnel.screen_points.clear();
    for (const Outline_Point& p : tunnel.polygons.points) {
      const int32_t sx = (p.x >> 8) / d + x0;
      const int32_t sy = y0 - (p.y >> 8) / d;
      tunnel.screen_points.push_back({sx * 256, sy * 256});
    }
    Fill_Polygons_Even_Odd(target, tunnel.screen_points.data(), tunnel.polygons.contour_sizes.data(),
                           static_cast<int32_t>(tunnel.polygons.contour_sizes.size()),
                           {ring.left, ring.top, ring.right, ring.bottom}, Hidden_Depth_Pixel(ring.colour, i));
  }
}

void Tunnel_Advance_Head(Hidden_Tunnel& tunnel, Glyph_Font* font) {
  Tunnel_Ring& ring = tunnel.rings[tunnel.head];
  Tunnel_Curve_Next(tunnel.curve, ring.step_x, ring.step_y);
  ring.outline.reset();
  const int32_t letter = Hidden_Message_Step(tunnel.message);
  if (letter >= 0) {
    ring.colour = tunnel.message.colour;
    ring.outline = std::make_unique<Glyph_Outline>();
    Glyph_Outline_Get(font, static_cast<uint8_t>(letter), *ring.outline);  // unreadable: empty
  }
  tunnel.head = (tunnel.head + 1) % Tunnel_Ring_Count;
}

// ---------------------------------------------------------------------------

void Hidden_Screen_Set_Platform(const Hidden_Screen_Platform* platform) {
  platform_in_use = platform != nullptr ? *platform : Hidden_Screen_Platform{};
}

void Hidden_Screen_Run() {
  const Hidden_Screen_Platform& p = platform_in_use;
  const auto time_ms = pick(p.time_ms, engine_time);
  const auto sleep_ms = pick(p.sleep_ms, engine_sleep);
  const auto pump = pick(p.pump, engine_pump);
  const auto quit_requested = pick(p.quit_requested, engine_quit);
  const auto take_key_release = pick(p.take_key_release, engine_key_release);
  const auto present = pick(p.present, engine_present);
  const auto open_font = pick(p.open_font, Glyph_Font_Open);

  // The letters' face: heavy, proportional, sans-serif, at a cell height of 480.
  Glyph_Font* font = open_font("Arial Black,sans-serif", 900, 480);
  if (font == nullptr) return;
  Glyph_Font* corner_font = open_font("sans-serif", 400, 13);

  auto tunnel = std::make_unique<Hidden_Tunnel>();
  Hidden_Tunnel_Start(*tunnel);
  const std::vector<Corner_Glyph> corner = lay_out_corner_text(corner_font, tunnel->weights);
  Glyph_Font_Close(corner_font);
  const Fill_Target target{Screen_Buffer(), Screen_Width, Screen_Height};
  const Fill_Rect whole_screen{0, 0, Screen_Width, Screen_Height};

  // Releases that happened before the screen opened belong to the disc prompt,
  // however many of them input has counted.
  while (take_key_release(escape_key)) {
  }
  while (take_key_release(quote_key)) {
  }

  // One pump per frame (and the one inside Present_Frame), then one wait for
  // the rest of the 17 ms: the sequence of pumps and clock readings is the same
  // however fast the machine is, so a recorded run replays frame for frame.
  bool drawn = false;
  uint32_t last_frame = 0;
  for (;;) {
    pump();
    if (quit_requested()) break;
    const bool escape = take_key_release(escape_key);
    const bool quote = take_key_release(quote_key);
    if (escape || quote) break;

    uint32_t now = time_ms();
    if (drawn && now - last_frame < frame_interval_ms) {
      sleep_ms(frame_interval_ms - (now - last_frame));
      now = time_ms();
    }
    drawn = true;
    last_frame = now;

    Tunnel_Draw(*tunnel, target);
    Tunnel_Advance_Head(*tunnel, font);
    for (const Corner_Glyph& glyph : corner)
      Fill_Polygons_Even_Odd(target, glyph.points.data(), glyph.contour_sizes.data(),
                             static_cast<int32_t>(glyph.contour_sizes.size()), whole_screen, 0);
    present(target.pixels);
  }
  Glyph_Font_Close(font);
}
