#include "draw/frame_buffer.h"

#include <gtest/gtest.h>

#include <vector>

#include "draw/cursor.h"
#include "draw/font.h"
#include "platform/display.h"

namespace {
// A small target so that every pixel can be checked.
class DrawTarget : public testing::Test {
 protected:
  static constexpr int W = 24, H = 16;
  void SetUp() override {
    pixels_.assign(W * H, 0x7777);
    Draw_Set_Target(pixels_.data(), W, H);
  }
  void TearDown() override { Draw_State_Reset(); }
  uint16_t at(int x, int y) const { return pixels_[y * W + x]; }
  int count(uint16_t colour) const { return static_cast<int>(std::count(pixels_.begin(), pixels_.end(), colour)); }
  std::vector<uint16_t> pixels_;
};
}  // namespace

TEST_F(DrawTarget, PixelsOutsideTheBufferAreNeitherWrittenNorRead) {
  struct Case {
    int32_t x, y;
    bool inside;
  } cases[] = {{0, 0, true}, {W - 1, H - 1, true}, {W, 0, false}, {0, H, false}, {-1, 0, false}, {0, -1, false},
               {INT32_MIN, 0, false}};
  for (const Case& c : cases) {
    pixels_.assign(W * H, 0x7777);
    Pixel_Put(c.x, c.y, 0x1234);
    EXPECT_EQ(count(0x1234), c.inside ? 1 : 0) << c.x << "," << c.y;
    EXPECT_EQ(Pixel_Get(c.x, c.y), c.inside ? 0x1234 : 0) << c.x << "," << c.y;
  }
}

TEST_F(DrawTarget, RectFillIsClippedToTheBuffer) {
  struct Case {
    int32_t x, y, w, h;
    int filled;
  } cases[] = {
      {-10, -10, 20, 20, 100},   // the 10 x 10 square at the origin
      {2, 3, 4, 5, 20},
      {W - 2, H - 1, 10, 10, 2},
      {W, 0, 5, 5, 0},           // wholly outside
      {-5, -5, 5, 5, 0},
      {0, 0, 0, 5, 0},           // empty
      {0, 0, -3, 5, 0},
      {INT32_MAX - 1, 0, INT32_MAX, 1, 0},
      {-100, -100, 1000, 1000, W * H},
  };
  for (const Case& c : cases) {
    pixels_.assign(W * H, 0x7777);
    Rect_Fill(c.x, c.y, c.w, c.h, 0x00FF);
    EXPECT_EQ(count(0x00FF), c.filled) << c.x << "," << c.y << " " << c.w << "x" << c.h;
  }
  pixels_.assign(W * H, 0x7777);
  Rect_Fill(-10, -10, 20, 20, 0x00FF);
  EXPECT_EQ(at(9, 9), 0x00FF);
  EXPECT_EQ(at(10, 9), 0x7777);
}

TEST_F(DrawTarget, TextDrawsGlyphsByCharacterAndDotsForOtherBytes) {
  // A 4-column font of 2 x 2 glyphs: glyph g is filled with the index g + 1, so
  // each drawn glyph shows which character it was. Pixel (1, 1) of every glyph
  // is transparent.
  const int gw = 2, gh = 2, columns = 4, glyphs = 96;
  const int pw = gw * columns, ph = gh * (glyphs / columns);
  std::vector<uint8_t> picture(pw * ph);
  for (int g = 0; g < glyphs; ++g) {
    for (int j = 0; j < gh; ++j) {
      for (int i = 0; i < gw; ++i) {
        picture[(g / columns * gh + j) * pw + g % columns * gw + i] = (i == 1 && j == 1) ? 0 : static_cast<uint8_t>(g + 1);
      }
    }
  }
  uint16_t palette[256];
  for (int i = 0; i < 256; ++i) palette[i] = static_cast<uint16_t>(0x1000 + i);
  ASSERT_EQ(Font_Add("Small", picture.data(), pw, ph, palette, gw, gh), 0);
  EXPECT_EQ(Font_Width("SMALL"), 2);
  EXPECT_EQ(Font_Height("small"), 2);
  EXPECT_EQ(Font_Width("other"), 0);

  Text_Draw("A\xE9\t~", 1, 1, "small");
  const int dot = '.' - 32 + 1;
  const uint16_t want[4] = {static_cast<uint16_t>(0x1000 + 'A' - 32 + 1), static_cast<uint16_t>(0x1000 + dot),
                            static_cast<uint16_t>(0x1000 + dot), static_cast<uint16_t>(0x1000 + '~' - 32 + 1)};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(at(1 + 2 * k, 1), want[k]) << "character " << k;
    EXPECT_EQ(at(2 + 2 * k, 2), 0x7777) << "transparent pixel of character " << k;
  }
  EXPECT_EQ(at(9, 1), 0x7777);  // no advance beyond the text

  Text_Draw_Colour("B", W - 1, H - 1, "Small", 0x0F0F);  // clipped to one pixel
  EXPECT_EQ(at(W - 1, H - 1), 0x0F0F);

  Font_Remove("SMALL");
  EXPECT_EQ(Font_Width("Small"), 0);
  pixels_.assign(W * H, 0x7777);
  Text_Draw("AAAA", 0, 0, "Small");
  EXPECT_EQ(count(0x7777), W * H);
}

TEST_F(DrawTarget, FontsWithGlyphsMissingFromThePictureDrawOnlyWhatExists) {
  // One row of four glyphs: characters from 36 on have no rows in the picture.
  const uint8_t picture[8 * 2] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  uint16_t palette[256] = {};
  palette[1] = 0xAAAA;
  ASSERT_EQ(Font_Add("tiny", picture, 8, 2, palette, 2, 2), 0);
  EXPECT_EQ(Font_Add("bad", picture, 8, 2, palette, 0, 2), -1);
  EXPECT_EQ(Font_Add("bad", picture, 8, 2, palette, 9, 2), -1);
  Text_Draw("!z", 0, 0, "tiny");
  EXPECT_EQ(at(0, 0), 0xAAAA);
  EXPECT_EQ(at(2, 0), 0x7777);
  Font_Remove("tiny");
}

TEST_F(DrawTarget, CursorIsClippedAtTheEdgesAndRestoresWhatItCovered) {
  const std::vector<uint16_t> before = pixels_;
  Arrow_Draw(2, 2);
  EXPECT_EQ(at(2, 2), 0x0001);     // outline tip
  EXPECT_EQ(at(3, 4), 0xFFFF);     // fill
  EXPECT_EQ(at(3, 2), 0x7777);     // transparent
  EXPECT_EQ(at(7, 13), 0x0001);    // tail, row 11 column 5
  Arrow_Restore();
  EXPECT_EQ(pixels_, before);

  struct Case {
    int32_t x, y;
    int drawn;  // outline and fill pixels inside the buffer
  } cases[] = {{W - 8, H - 12, 58}, {W - 1, H - 1, 1}, {W - 2, 0, 21}, {-7, -11, 0}, {-1, -1, 47}, {W, H, 0}};
  for (const Case& c : cases) {
    Arrow_Draw(c.x, c.y);
    EXPECT_EQ(count(0x0001) + count(0xFFFF), c.drawn) << c.x << "," << c.y;
    Arrow_Restore();
    EXPECT_EQ(pixels_, before) << c.x << "," << c.y;
  }
}

TEST(DrawState, ResetRestoresTheScreenTargetAndRemovesEveryFont) {
  const uint8_t picture[8 * 2] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  uint16_t palette[256] = {};
  for (const char* name : {"one", "two", "three"}) ASSERT_EQ(Font_Add(name, picture, 8, 2, palette, 2, 2), 0);
  std::vector<uint16_t> pixels(4 * 4);
  Draw_Set_Target(pixels.data(), 4, 4);
  Draw_State_Reset();
  Draw_State_Reset();
  EXPECT_EQ(Draw_Target(), Screen_Buffer());
  EXPECT_EQ(Draw_Target_Width(), Screen_Width);
  EXPECT_EQ(Draw_Target_Height(), Screen_Height);
  for (const char* name : {"one", "two", "three"}) EXPECT_EQ(Font_Width(name), 0) << name;
  ASSERT_EQ(Font_Add("one", picture, 8, 2, palette, 2, 2), 0);
  EXPECT_EQ(Font_Width("one"), 2);
  Draw_State_Reset();
}
