// Opens the real window (under a virtual X display in the test script), presents
// a known pattern and reads the window back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <utility>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/display.h"
#include "platform/platform.h"
#include "platform/window.h"
#include "platform_test_support.h"

namespace {

struct Rgb {
  int r, g, b;
};

Rgb from_565(uint16_t p) {
  int r = p >> 11, g = (p >> 5) & 63, b = p & 31;
  return {(r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2)};
}

bool close_to(uint32_t got, Rgb want) {
  int r = (got >> 16) & 255, g = (got >> 8) & 255, b = got & 255;
  return std::abs(r - want.r) <= 8 && std::abs(g - want.g) <= 8 && std::abs(b - want.b) <= 8;
}

// Quadrants of four colours and a white 40 x 40 square at (300, 220).
const uint16_t quadrant_colours[4] = {0xF800, 0x07E0, 0x001F, 0xFFE0};
uint16_t pattern_at(int x, int y) {
  if (x >= 300 && x < 340 && y >= 220 && y < 260) return 0xFFFF;
  return quadrant_colours[(y >= 240 ? 2 : 0) + (x >= 320 ? 1 : 0)];
}

class WindowTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || display[0] == '\0') GTEST_SKIP() << "no X display (run under xvfb-run)";
    Reset_Platform_For_Test();
  }
  void TearDown() override {
    Keep_Gl_Drivers_Loaded();
    Platform_Stop();
    Reset_Platform_For_Test();
    std::memset(Screen_Buffer(), 0, Screen_Width * Screen_Height * 2);
  }

  // Presents the pattern and reads the window back; returns false when the window
  // cannot be read.
  bool present_and_read(std::vector<uint32_t>* pixels, int* w, int* h, int frames = 3) {
    uint16_t* screen = Screen_Buffer();
    for (int y = 0; y < Screen_Height; ++y) {
      for (int x = 0; x < Screen_Width; ++x) screen[y * Screen_Width + x] = pattern_at(x, y);
    }
    // A few frames so that the window is mapped and shown (a frame is skipped
    // when the focus comes back).
    int shown = 0;
    for (int i = 0; i < frames + 17 && shown < frames; ++i) shown += Present_Frame(screen) == 0 ? 1 : 0;
    if (shown == 0) return false;
    return Window_Read_Back(pixels, w, h);
  }
};

// Maps a picture position to the window: scaled with the aspect kept, centred.
struct Placement {
  double scale, left, top;
};
Placement placement(int w, int h) {
  double scale = std::min(static_cast<double>(w) / Screen_Width, static_cast<double>(h) / Screen_Height);
  return {scale, (w - Screen_Width * scale) / 2, (h - Screen_Height * scale) / 2};
}

}  // namespace

TEST_F(WindowTest, TheWindowShowsThePresentedFrame) {
  Platform_Options options;
  options.pause_in_background = false;  // other tests' windows may take the focus
  ASSERT_EQ(Platform_Start(options), 0) << Platform_Error();
  ASSERT_FALSE(Display_Headless());
  std::vector<uint32_t> pixels;
  int w = 0, h = 0;
  ASSERT_TRUE(present_and_read(&pixels, &w, &h));
  ASSERT_GT(w, 0);
  Placement at = placement(w, h);
  const int probes[][2] = {{80, 60}, {560, 60}, {80, 420}, {560, 420}, {320, 240}, {299, 219}, {340, 260}};
  for (const auto& probe : probes) {
    int wx = static_cast<int>(at.left + (probe[0] + 0.5) * at.scale);
    int wy = static_cast<int>(at.top + (probe[1] + 0.5) * at.scale);
    uint32_t got = pixels[static_cast<size_t>(wy) * w + wx];
    EXPECT_TRUE(close_to(got, from_565(pattern_at(probe[0], probe[1]))))
        << "picture " << probe[0] << "," << probe[1] << " window " << wx << "," << wy << " got " << std::hex << got;
  }
  EXPECT_NE(Display_Last_Frame(), nullptr);
}


// Whether the window read back shows the pattern scaled with the aspect kept;
// prints the first probe that differs.
bool pattern_shown(const std::vector<uint32_t>& pixels, int w, int h) {
  Placement at = placement(w, h);
  const int probes[][2] = {{80, 60}, {560, 60}, {80, 420}, {560, 420}, {320, 240}};
  for (const auto& probe : probes) {
    int wx = static_cast<int>(at.left + (probe[0] + 0.5) * at.scale);
    int wy = static_cast<int>(at.top + (probe[1] + 0.5) * at.scale);
    uint32_t got = pixels[static_cast<size_t>(wy) * w + wx];
    if (!close_to(got, from_565(pattern_at(probe[0], probe[1])))) {
      std::fprintf(stderr, "picture %d,%d window %d,%d of %dx%d got %06x\n", probe[0], probe[1], wx, wy, w, h, got);
      return false;
    }
  }
  return true;
}

TEST_F(WindowTest, APausedWindowIsPresentedAgainWhenExposed) {
  Platform_Options options;
  options.pause_in_background = false;  // the injected events pause and resume it
  ASSERT_EQ(Platform_Start(options), 0) << Platform_Error();
  std::vector<uint32_t> pixels;
  int w = 0, h = 0;
  ASSERT_TRUE(present_and_read(&pixels, &w, &h));
  Window_Counts before = Window_Get_Counts();
  // Paused in the background: no frame is presented, but the window manager
  // shows the window again (or a window that covered it goes away).
  Inject(Platform_Event_Type::Focus_Lost);
  Inject(Platform_Event_Type::Exposed);
  Inject(Platform_Event_Type::Focus_Gained);
  EXPECT_EQ(Pump_Messages(), -1);
  Window_Counts after = Window_Get_Counts();
  EXPECT_GE(after.presents, before.presents + 1) << "the exposed window was not drawn again";
  EXPECT_EQ(after.uploads, before.uploads) << "a repaint shows the frame the texture holds";
  ASSERT_TRUE(Window_Read_Back(&pixels, &w, &h));
  EXPECT_TRUE(pattern_shown(pixels, w, h));
}

TEST_F(WindowTest, AnUnchangedFrameIsPresentedAgainOnlyAfterAnExpose) {
  Platform_Options options;
  options.pause_in_background = false;
  ASSERT_EQ(Platform_Start(options), 0) << Platform_Error();
  std::vector<uint32_t> pixels;
  int w = 0, h = 0;
  ASSERT_TRUE(present_and_read(&pixels, &w, &h));
  uint16_t* screen = Screen_Buffer();
  // Frames are presented, skipped (-1 when the focus comes back) or ended by
  // the window's own events, so each step compares what one call did.
  auto step = [&](bool expose) {
    Window_Counts before = Window_Get_Counts();
    if (expose) Inject(Platform_Event_Type::Exposed);
    int shown = Present_Frame(screen);
    Window_Counts after = Window_Get_Counts();
    return std::make_pair(shown == 0 ? after.uploads - before.uploads : 99, after.presents - before.presents);
  };
  // Steps until ten frames in a row are not presented (at most 600 steps);
  // returns how many were presented on the way.
  auto until_quiet = [&](int* presented) {
    int quiet = 0;
    for (int i = 0; i < 600 && quiet < 10; ++i) {
      const uint64_t presents = step(false).second;
      *presented += static_cast<int>(presents);
      quiet = presents == 0 ? quiet + 1 : 0;
    }
    return quiet == 10;
  };
  // The window's start-up events (mapping, exposes) may come late on a busy
  // machine: let them pass first.
  int ignored = 0;
  ASSERT_TRUE(until_quiet(&ignored)) << "an unchanged frame kept being presented";
  EXPECT_EQ(step(false), std::make_pair(uint64_t{0}, uint64_t{0})) << "same frame";
  // After an expose the window is presented for a few frames, until it has
  // surely taken its new size, and then no more.
  EXPECT_EQ(step(true), std::make_pair(uint64_t{0}, uint64_t{1})) << "same frame, window exposed";
  int presented = 1;
  EXPECT_TRUE(until_quiet(&presented)) << "unchanged frames are presented again for a while only";
  EXPECT_GT(presented, 1);
  screen[1234] ^= 0xFFFF;
  EXPECT_EQ(step(false), std::make_pair(uint64_t{1}, uint64_t{1})) << "one pixel changed";
  screen[1234] ^= 0xFFFF;
  EXPECT_EQ(step(false), std::make_pair(uint64_t{1}, uint64_t{1})) << "changed back";
  ASSERT_TRUE(Window_Read_Back(&pixels, &w, &h));
  EXPECT_TRUE(pattern_shown(pixels, w, h));
}

// In a process of its own: a window system that has seen earlier windows of the
// process may keep their sizes for a while, which is not what this test is about.
TEST_F(WindowTest, EveryFullScreenToggleScalesThePictureToTheNewOutput) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  auto toggle_twice = [this] {
    Platform_Options options;
    options.pause_in_background = false;
    if (Platform_Start(options) != 0) std::exit(2);
    std::vector<uint32_t> pixels;
    int windowed_w = 0, windowed_h = 0;
    if (!present_and_read(&pixels, &windowed_w, &windowed_h)) std::exit(3);
    for (int toggle = 1; toggle <= 2; ++toggle) {
      Window_Toggle_Full_Screen();
      int w = 0, h = 0;
      if (!present_and_read(&pixels, &w, &h)) std::exit(4);
      bool size_ok = toggle == 1 ? w > windowed_w : w == windowed_w && h == windowed_h;
      if (!size_ok || !pattern_shown(pixels, w, h)) {
        std::fprintf(stderr, "%s: %d x %d, windowed %d x %d\n", toggle == 1 ? "full screen" : "windowed again", w,
                     h, windowed_w, windowed_h);
        std::exit(1);
      }
    }
    std::exit(0);
  };
  EXPECT_EXIT(toggle_twice(), testing::ExitedWithCode(0), "");
}
