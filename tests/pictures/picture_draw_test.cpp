// Drawing pictures into the frame buffer at every depth, clipped to the screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>

#include "draw/frame_buffer.h"
#include "draw/picture_draw.h"
#include "picture_test_util.h"
#include "platform/display.h"

namespace {

constexpr uint16_t Background = 0x1234;

void Clear_Screen() {
  uint16_t* screen = Screen_Buffer();
  for (int i = 0; i < Screen_Width * Screen_Height; ++i) screen[i] = Background;
}

uint16_t Screen_At(int x, int y) { return Screen_Buffer()[y * Screen_Width + x]; }

// A 16-bit picture whose pixel (c, r) is r * 256 + c + 1 (never 0 or the background).
Picture_Ptr Numbered_16(int width, int height) {
  Picture_Ptr picture(Picture_Create("p", width, height, 16));
  auto* pixels = reinterpret_cast<uint16_t*>(picture->pixels);
  for (int r = 0; r < height; ++r) {
    for (int c = 0; c < width; ++c) pixels[r * width + c] = static_cast<uint16_t>(r * 256 + c + 1);
  }
  return picture;
}

// Checks every screen pixel: inside the drawn rectangle the picture's, else the background.
void Expect_Drawn(int width, int height, int x, int y) {
  int wrong = 0;
  for (int sy = 0; sy < Screen_Height; ++sy) {
    for (int sx = 0; sx < Screen_Width; ++sx) {
      int c = sx - x, r = sy - y;
      bool inside = c >= 0 && c < width && r >= 0 && r < height;
      uint16_t expected = inside ? static_cast<uint16_t>(r * 256 + c + 1) : Background;
      if (Screen_At(sx, sy) != expected && wrong++ < 5) {
        ADD_FAILURE() << "pixel (" << sx << ", " << sy << ") is " << Screen_At(sx, sy) << ", expected " << expected;
      }
    }
  }
}

TEST(PictureDraw, SixteenBitPicturesAreClippedToTheScreen) {
  struct Case {
    int width, height, x, y;
  } cases[] = {{640, 480, 0, 0},      {30, 20, -10, -5},  {100, 10, 600, 0},    {20, 20, 630, 470},
               {20, 20, -19, -19},    {20, 20, -20, 0},   {20, 20, 640, 10},    {20, 20, 10, 480},
               {700, 500, -30, -10},  {5, 5, 100, 200},   {20, 20, 0, -20}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height) + " at " + std::to_string(c.x) + ", " +
                 std::to_string(c.y));
    Clear_Screen();
    Picture_Ptr picture = Numbered_16(c.width, c.height);
    Picture_Draw(picture.get(), c.x, c.y);
    Expect_Drawn(c.width, c.height, c.x, c.y);
  }
}

TEST(PictureDraw, EightAndTwentyFourBitPicturesDrawInFiveSixFive) {
  Clear_Screen();
  Picture_Ptr indexed(Picture_Create("p", 3, 1, 8));
  const uint8_t rgb[] = {0, 0, 0, 255, 0, 0, 0x08, 0x04, 0xFF};
  std::memcpy(indexed->palette, rgb, sizeof rgb);
  indexed->pixels[0] = 1, indexed->pixels[1] = 0, indexed->pixels[2] = 2;
  Picture_Draw(indexed.get(), -1, 0);  // column 0 is off the screen
  EXPECT_EQ(Screen_At(0, 0), 0x0000);   // index 0 is black, not transparent
  EXPECT_EQ(Screen_At(1, 0), 0x083F);
  EXPECT_EQ(Screen_At(2, 0), Background);

  Picture_Ptr true_colour(Picture_Create("p", 2, 2, 24));
  const uint8_t pixels[] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
  std::memcpy(true_colour->pixels, pixels, sizeof pixels);
  Picture_Draw(true_colour.get(), 638, 478);
  EXPECT_EQ(Screen_At(638, 478), 0xF800);
  EXPECT_EQ(Screen_At(639, 478), 0x07E0);
  EXPECT_EQ(Screen_At(638, 479), 0x001F);
  EXPECT_EQ(Screen_At(639, 479), 0xFFFF);
}

TEST(PictureDraw, EightAndTwentyFourBitPicturesGoToTheDrawingTarget) {
  // Pixels are put into the current target (clipped to its size); 16-bit rows
  // always go to the screen.
  Clear_Screen();
  uint16_t target[4 * 3];
  std::fill(std::begin(target), std::end(target), Background);
  Draw_Set_Target(target, 4, 3);
  Picture_Ptr indexed(Picture_Create("p", 3, 3, 8));
  std::memset(indexed->palette, 255, 3);
  Picture_Draw(indexed.get(), 2, 1);  // entry 0 is white here
  Picture_Ptr screen_only = Numbered_16(2, 2);
  Picture_Draw(screen_only.get(), 0, 0);
  Draw_Set_Target(nullptr, 0, 0);
  const uint16_t W = 0xFFFF, B = Background;
  const uint16_t expected[12] = {B, B, B, B, B, B, W, W, B, B, W, W};
  EXPECT_TRUE(std::equal(std::begin(target), std::end(target), expected));
  EXPECT_EQ(Screen_At(1, 1), 0x0102);
}

TEST(PictureDraw, OtherDepthsEmptyAndMissingPicturesDrawNothing) {
  Clear_Screen();
  Picture_Ptr deep(Picture_Create("p", 10, 10, 32));
  Picture_Draw(deep.get(), 0, 0);
  Picture_Ptr empty(Picture_Create("p", 0, 10, 16));
  Picture_Draw(empty.get(), 0, 0);
  Picture_Draw(nullptr, 0, 0);
  Expect_Drawn(0, 0, 0, 0);
}

TEST(PictureDraw, PackedPicturesAreUnpackedFirst) {
  Clear_Screen();
  Picture_Ptr picture = Numbered_16(8, 4);
  ASSERT_EQ(Picture_Repack(picture.get(), 1), 0);
  Picture_Draw(picture.get(), 3, 2);
  EXPECT_EQ(picture->pack_method, 0u);
  Expect_Drawn(8, 4, 3, 2);
}

}  // namespace
