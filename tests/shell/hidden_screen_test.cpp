#include "shell/hidden_screen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "image_files.h"  // tools/: the PNG writer
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/display_internal.h"
#include "platform/events.h"
#include "platform/input.h"

namespace {

constexpr int32_t F = 65536;

// The screen runs on the engine's own pump, release queue, headless display and
// clock, the clock on its virtual counter. Waiting moves the counter on, and so
// does drawing (draw_ms per frame); after a chosen frame a key is released or
// the window closed (key 0).
struct Engine_Run {
  uint32_t draw_ms = 3;
  std::vector<std::pair<int, int>> actions;  // after frame n: release key k
  bool no_font = false;
  std::vector<uint32_t> presents;
  std::vector<uint32_t> sleeps;
};
Engine_Run run;

void advance_ms(uint32_t ms) { Clock_Set_Virtual_Counter(Counter_Now() + uint64_t{ms} * 10000); }
void run_sleep(uint32_t ms) {
  run.sleeps.push_back(ms);
  advance_ms(ms);
}
int run_present(const uint16_t* pixels) {
  const int result = Present_Frame(pixels);
  run.presents.push_back(Time_Ms());
  advance_ms(run.draw_ms);
  for (const auto& [frame, key] : run.actions) {
    if (static_cast<int>(run.presents.size()) != frame) continue;
    if (key == 0) {
      Platform_Inject_Event({Platform_Event_Type::Quit});
    } else {
      Platform_Inject_Event({Platform_Event_Type::Key_Down, key, 0});
      Platform_Inject_Event({Platform_Event_Type::Key_Up, key, 0});
    }
  }
  return result;
}
Glyph_Font* run_open_font(const char* families, int32_t weight, int32_t height) {
  return run.no_font ? nullptr : Glyph_Font_Open(families, weight, height);
}

// Runs the screen; false when it could not run for want of a font.
bool run_screen(Engine_Run setup, const std::vector<Platform_Event>& before = {}) {
  run = std::move(setup);
  Display_Reset_State();
  Forget_Key_Releases();
  Clock_Use_Virtual_Counter(true);
  Clock_Set_Virtual_Counter(123456789);
  for (const Platform_Event& e : before) Platform_Inject_Event(e);
  Pump_Messages();
  Hidden_Screen_Platform p;
  p.sleep_ms = run_sleep;
  p.present = run_present;
  p.open_font = run_open_font;
  Hidden_Screen_Set_Platform(&p);
  Hidden_Screen_Run();
  Hidden_Screen_Set_Platform(nullptr);
  Clock_Use_Virtual_Counter(false);
  Display_Reset_State();
  Forget_Key_Releases();
  return !run.presents.empty();
}

bool have_font() {
  Glyph_Font* f = Glyph_Font_Open("Arial Black,sans-serif", 900, 480);
  Glyph_Font_Close(f);
  return f != nullptr;
}

// A square outline from (0, 0) to (size, size) pixels.
std::unique_ptr<Glyph_Outline> square_letter(int32_t size) {
  auto g = std::make_unique<Glyph_Outline>();
  g->points = {{0, 0}, {size * F, 0}, {size * F, size * F}, {0, size * F}};
  g->segments = {3, 0};
  return g;
}

struct Pixel_Box {
  int count = 0, left = 640, top = 480, right = 0, bottom = 0;
};
Pixel_Box find_pixels(const std::vector<uint16_t>& pixels, uint16_t colour) {
  Pixel_Box b;
  for (int y = 0; y < Screen_Height; ++y)
    for (int x = 0; x < Screen_Width; ++x)
      if (pixels[y * Screen_Width + x] == colour) {
        ++b.count;
        b.left = std::min(b.left, x);
        b.top = std::min(b.top, y);
        b.right = std::max(b.right, x + 1);
        b.bottom = std::max(b.bottom, y + 1);
      }
  return b;
}

}  // namespace

// ---------------------------------------------------------------------------

TEST(HiddenMessage, CountdownSpacesLettersPausesAndRestarts) {
  const uint8_t text[] = {1, 'A', 'B', 3, 'C', 10, 0};
  Hidden_Message m;
  Hidden_Message_Start(m, text, sizeof text);
  std::vector<std::pair<int, int32_t>> letters;  // frame (from 1), letter
  std::vector<uint32_t> colours;
  for (int frame = 1; frame <= 420; ++frame) {
    const int32_t letter = Hidden_Message_Step(m);
    if (letter >= 0) {
      letters.push_back({frame, letter});
      colours.push_back(m.colour);
    }
  }
  // 160 empty frames, then a letter every 14th frame (13 empty between); the line
  // feed takes a frame and is followed by 80 empty ones before the restart.
  const std::vector<std::pair<int, int32_t>> expected = {
      {161, 'A'}, {175, 'B'}, {189, 'C'}, {284, 'A'}, {298, 'B'}, {312, 'C'}, {407, 'A'}};
  EXPECT_EQ(letters, expected);
  const uint32_t c1 = Hidden_Colour_Table[0], c3 = Hidden_Colour_Table[2];
  EXPECT_EQ(colours, (std::vector<uint32_t>{c1, c1, c3, c1, c1, c3, c1}));

  // A text running out without a restart byte starts again; one without letters
  // or pauses gives no letter and does not hang.
  const uint8_t no_restart[] = {'X', 'Y'};
  const uint8_t no_letters[] = {1, 2, 0, 3};
  Hidden_Message a, b;
  Hidden_Message_Start(a, no_restart, sizeof no_restart);
  Hidden_Message_Start(b, no_letters, sizeof no_letters);
  std::string seen;
  for (int frame = 1; frame <= 161 + 14 * 3; ++frame) {
    if (int32_t l = Hidden_Message_Step(a); l >= 0) seen += static_cast<char>(l);
    EXPECT_EQ(Hidden_Message_Step(b), -1);
  }
  EXPECT_EQ(seen, "XYXY");
}

TEST(HiddenMessage, OurTextFollowsTheColourScheme) {
  size_t length = 0;
  const uint8_t* text = Hidden_Screen_Message(&length);
  ASSERT_GE(length, 3u);
  EXPECT_EQ(text[length - 2], 10);
  EXPECT_EQ(text[length - 1], 0);
  std::vector<int> codes;
  for (size_t i = 0; i + 2 < length; ++i) {
    if (text[i] >= 1 && text[i] <= 3) {
      codes.push_back(text[i]);
    } else {
      EXPECT_GE(text[i], 32) << i;  // everything else is a printable letter
    }
  }
  EXPECT_EQ(text[0], 1);
  EXPECT_EQ(codes, (std::vector<int>{1, 3, 2, 3, 1}));
}

TEST(TunnelCurve, WindsSmoothlyAndRepeatsFromItsSeed) {
  // A step is at most a thirteenth of a control move (1) in each direction; a
  // jump where two pieces meet would exceed it.
  Tunnel_Curve a, b;
  Tunnel_Curve_Start(a, 1);
  Tunnel_Curve_Start(b, 1);
  int32_t max_x = 0, max_y = 0, nonzero = 0;
  for (int i = 0; i < 2000; ++i) {
    int32_t ax, ay, bx, by;
    Tunnel_Curve_Next(a, ax, ay);
    Tunnel_Curve_Next(b, bx, by);
    ASSERT_EQ(ax, bx);
    ASSERT_EQ(ay, by);
    max_x = std::max(max_x, std::abs(ax));
    max_y = std::max(max_y, std::abs(ay));
    nonzero += ax != 0 || ay != 0;
  }
  EXPECT_LE(max_x, 163840 / 13 + 1);
  EXPECT_LE(max_y, 153600 / 13 + 1);
  EXPECT_GT(max_x, 163840 / 13 / 4);  // and it does wind
  EXPECT_GT(nonzero, 1900);
}

TEST(Tunnel, StraightTunnelRingsAndLetterMapping) {
  auto tunnel = std::make_unique<Hidden_Tunnel>();
  Hidden_Tunnel_Start(*tunnel);
  std::vector<uint16_t> pixels(Screen_Width * Screen_Height, 0x1234);
  const Fill_Target target{pixels.data(), Screen_Width, Screen_Height};
  // Ring 0 holds a 100-pixel square, ring 30 a 1000-pixel one that its ring clips.
  tunnel->rings[0].outline = square_letter(100);
  tunnel->rings[0].colour = Hidden_Colour_Table[1];
  tunnel->rings[30].outline = square_letter(1000);
  tunnel->rings[30].colour = Hidden_Colour_Table[0];
  Tunnel_Draw(*tunnel, target);

  struct Ring_Case {
    int i, left, top, right, bottom;
  };
  const Ring_Case rings[] = {{0, 29, 22, 612, 459}, {1, 53, 40, 588, 441}, {30, 241, 181, 399, 300}, {39, 255, 192, 385, 289}};
  for (const Ring_Case& r : rings) {
    const Tunnel_Ring& ring = tunnel->rings[r.i];
    EXPECT_EQ(ring.left, r.left) << r.i;
    EXPECT_EQ(ring.top, r.top) << r.i;
    EXPECT_EQ(ring.right, r.right) << r.i;
    EXPECT_EQ(ring.bottom, r.bottom) << r.i;
  }
  EXPECT_EQ(pixels[0], Hidden_Depth_Pixel(Hidden_Colour_Table[3], 0));
  EXPECT_EQ(pixels[0], Pixel_565(90, 99, 115));
  EXPECT_EQ(pixels[30 * Screen_Width + 31], Hidden_Depth_Pixel(Hidden_Colour_Table[3], 1));
  EXPECT_EQ(pixels[240 * Screen_Width + 256], Hidden_Depth_Pixel(Hidden_Colour_Table[3], 39));
  EXPECT_EQ(Hidden_Depth_Pixel(Hidden_Colour_Table[3], 39), Pixel_565(2, 2, 2));  // 90 x 0.025 = 2.25
  EXPECT_EQ(find_pixels(pixels, 0x1234).count, 0);  // every pixel drawn

  // The near square: x0 = (-81920 + 20480) / 281 + 320 = 102, y0 = 349, size
  // (100 * 256) / 281 = 91 pixels.
  const Pixel_Box near = find_pixels(pixels, Pixel_565(165, 123, 90));
  EXPECT_EQ(near.left, 102);
  EXPECT_EQ(near.right, 193);
  EXPECT_EQ(near.top, 258);
  EXPECT_EQ(near.bottom, 349);
  EXPECT_EQ(near.count, 91 * 91);
  // The far square starts at (261, 269), reaches 256000 / 1031 = 248 pixels right
  // and up, and is cut by ring 30's rectangle; its colour is white at a quarter.
  const Pixel_Box far = find_pixels(pixels, Pixel_565(63, 63, 63));
  EXPECT_EQ(far.left, 261);
  EXPECT_EQ(far.right, 399);
  EXPECT_EQ(far.top, 181);
  EXPECT_EQ(far.bottom, 269);
  EXPECT_EQ(far.count, 138 * 88);
}

TEST(HiddenScreen, FramesNeverCloserThanSeventeenMilliseconds) {
  if (!have_font()) GTEST_SKIP() << "no scalable font installed";
  struct Case {
    uint32_t draw_ms, shortest, longest;
  };
  // A fast machine waits for the rest of the interval, a slow one draws at once.
  const Case cases[] = {{0, 17, 18}, {9, 17, 18}, {17, 17, 18}, {30, 30, 31}};
  for (const Case& k : cases) {
    Engine_Run setup;
    setup.draw_ms = k.draw_ms;
    setup.actions = {{40, 27}};
    ASSERT_TRUE(run_screen(setup));
    ASSERT_EQ(run.presents.size(), 40u);
    for (size_t i = 1; i < run.presents.size(); ++i) {
      EXPECT_GE(run.presents[i] - run.presents[i - 1], k.shortest) << k.draw_ms << " ms, frame " << i;
      EXPECT_LE(run.presents[i] - run.presents[i - 1], k.longest) << k.draw_ms << " ms, frame " << i;
    }
    for (uint32_t s : run.sleeps) EXPECT_LE(s, 17u);
    if (k.draw_ms > 17) {
      EXPECT_TRUE(run.sleeps.empty());
    }
  }
}

TEST(HiddenScreen, EndsOnEscapeOrQuoteReleaseOrWindowClose) {
  if (!have_font()) GTEST_SKIP() << "no scalable font installed";
  struct Case {
    int key;  // released after frame 5; 0: the window is closed instead
    size_t frames;
  };
  // Every run closes the window after frame 9 unless something ended it before.
  const Case cases[] = {{27, 5}, {222, 5}, {0, 5}, {'L', 9}, {'O', 9}, {13, 9}, {32, 9}};
  for (const Case& k : cases) {
    Engine_Run setup;
    setup.actions = {{5, k.key}, {9, 0}};
    ASSERT_TRUE(run_screen(setup));
    EXPECT_EQ(run.presents.size(), k.frames) << k.key;
  }
  // Releases from before the screen opened belong to the disc prompt, one or many.
  for (int before : {1, 2, 3}) {
    std::vector<Platform_Event> releases;
    for (int i = 0; i < before; ++i) {
      releases.push_back({Platform_Event_Type::Key_Up, 27, 0});
      releases.push_back({Platform_Event_Type::Key_Up, 222, 0});
    }
    Engine_Run setup;
    setup.actions = {{12, 27}};
    ASSERT_TRUE(run_screen(setup, releases));
    EXPECT_EQ(run.presents.size(), 12u) << before << " releases of each key before";
  }
}

TEST(HiddenScreen, WithoutAFontReturnsAtOnce) {
  Engine_Run setup;
  setup.no_font = true;
  setup.actions = {{3, 27}};
  EXPECT_FALSE(run_screen(setup));
  EXPECT_TRUE(run.sleeps.empty());
}

TEST(HiddenScreen, ScreenshotShowsTunnelLettersAndCornerText) {
  if (!have_font()) GTEST_SKIP() << "no scalable font installed";
  Engine_Run setup;
  setup.actions = {{300, 222}};
  ASSERT_TRUE(run_screen(setup));
  ASSERT_EQ(run.presents.size(), 300u);
  const std::vector<uint16_t> shot(Screen_Buffer(), Screen_Buffer() + Screen_Width * Screen_Height);
  const std::string path = std::string(OSTERLIN_BIN_DIR) + "/hidden_screen.png";
  std::string error;
  EXPECT_TRUE(Png_Write(path, Png_From_565(shot.data(), Screen_Width, Screen_Height, Screen_Width), &error))
      << path << ": " << error;

  int bands = 0, band_pixels = 0, letter_pixels = 0;
  for (int32_t i = 0; i < Tunnel_Ring_Count; ++i) {
    const int n = find_pixels(shot, Hidden_Depth_Pixel(Hidden_Colour_Table[3], i)).count;
    bands += n > 0;
    band_pixels += n;
    // Letters of the first part of the message have colour code 1 (white).
    letter_pixels += find_pixels(shot, Hidden_Depth_Pixel(Hidden_Colour_Table[0], i)).count;
  }
  EXPECT_GE(bands, 30);
  EXPECT_GT(band_pixels, Screen_Width * Screen_Height / 3);
  EXPECT_GT(letter_pixels, 500);
  EXPECT_GT(find_pixels(shot, 0).count, 0);  // the black centre

  // Black corner text in the nearest band, bottom right.
  int corner_black = 0;
  for (int y = 460; y < Screen_Height; ++y)
    for (int x = 400; x < Screen_Width; ++x) corner_black += shot[y * Screen_Width + x] == 0;
  EXPECT_GT(corner_black, 40);
}
