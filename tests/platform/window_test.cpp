// Opens the real window (under a virtual X display in the test script), presents
// a known pattern and reads the window back.
#include <gtest/gtest.h>

#include <algorithm>
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
    Platform_Stop();
    Reset_Platform_For_Test();
    std::memset(Screen_Buffer(), 0, Screen_Width * Screen_Height * 2);
  }

  // Presents the pattern and reads the window back; returns false when the window
  // cannot be read.
  bool present_and_read(std::vector<uint32_t>* pixels, int* w, int* h) {
    uint16_t* screen = Screen_Buffer();
    for (int y = 0; y < Screen_Height; ++y) {
      for (int x = 0; x < Screen_Width; ++x) screen[y * Screen_Width + x] = pattern_at(x, y);
    }
    // A few frames so that the window is mapped and shown (a frame is skipped
    // when the focus comes back).
    int shown = 0;
    for (int i = 0; i < 20 && shown < 3; ++i) shown += Present_Frame(screen) == 0 ? 1 : 0;
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

