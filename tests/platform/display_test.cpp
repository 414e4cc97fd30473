#include "platform/display.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/display_modes.h"
#include "platform/input.h"
#include "platform/platform.h"
#include "platform/trace.h"
#include "platform_test_support.h"

namespace {
class DisplayTest : public testing::Test {
 protected:
  void SetUp() override { Reset_Platform_For_Test(); }
  void TearDown() override { Reset_Platform_For_Test(); }
};

uint16_t pixel_565(int r, int g, int b) { return static_cast<uint16_t>(((r & 0xF8) << 8) | ((g & 0xFC) << 3) | (b >> 3)); }
}  // namespace

TEST(DisplayModes, EachScreenModeGivesAListedAndADoubledEntry) {
  Mode_List modes;
  Mode_List_Add_Screen_Mode(modes, 800, 600, 16, 1600);
  Mode_List_Add_Screen_Mode(modes, 1280, 960, 16, 2560);
  ASSERT_EQ(modes.size(), 4u);
  EXPECT_EQ(modes[2].index, 3);
  EXPECT_EQ(modes[3].kind, Display_Kind_Doubled);
  EXPECT_EQ(modes[3].width, 640);
  EXPECT_EQ(modes[3].height, 480);
  EXPECT_EQ(modes[3].pitch, 2560);

  Display_Mode request;
  request.width = 640;
  request.height = 480;
  request.bits_per_pixel = 16;
  // Only 1280 x 960 offers 640 x 480: the doubled entry, centre (640, 480).
  int32_t chosen = Mode_List_Choose(modes, request);
  ASSERT_EQ(chosen, 4);
  int32_t cx, cy;
  Mode_Screen_Centre(modes[3], &cx, &cy);
  EXPECT_EQ(cx, 640);
  EXPECT_EQ(cy, 480);

  // A listed mode of the right size wins over a doubled one, even listed later.
  Mode_List_Add_Screen_Mode(modes, 640, 480, 16, 1280);
  EXPECT_EQ(Mode_List_Choose(modes, request), 5);
  Mode_Screen_Centre(modes[4], &cx, &cy);
  EXPECT_EQ(cx, 320);
  request.kind = Display_Kind_Doubled;
  EXPECT_EQ(Mode_List_Choose(modes, request), 4);
  request.bits_per_pixel = 32;
  EXPECT_EQ(Mode_List_Choose(modes, request), 0);
}

TEST(DisplayModes, SixteenBitScreensThatAreNot565CountAsFifteen) {
  EXPECT_EQ(Detect_Bits_Per_Pixel(16, 0xF800, 0x07E0, 0x001F), 16);
  EXPECT_EQ(Detect_Bits_Per_Pixel(16, 0x7C00, 0x03E0, 0x001F), 15);
  EXPECT_EQ(Detect_Bits_Per_Pixel(32, 0xFF0000, 0xFF00, 0xFF), 32);
  EXPECT_EQ(Detect_Bits_Per_Pixel(8, 0, 0, 0), 8);
}

TEST(ColourTables, ConvertEachPixelForTheScreenDepth) {
  std::vector<uint32_t> table(65536);
  struct Case {
    int bits;
    uint16_t pixel;
    uint32_t want;
  } cases[] = {
      {15, 0xFFFF, 0x7FFF}, {15, 0xF800, 0x7C00}, {15, 0x07E0, 0x03E0}, {15, 0x0020, 0x0000},  // green's low bit dropped
      {15, 0x0040, 0x0020}, {15, 0x001F, 0x001F}, {24, 0xFFFF, 0xF8FCF8}, {32, 0xF800, 0xF80000},
      {32, 0x07E0, 0x00FC00}, {32, 0x001F, 0x0000F8}, {8, 0x0000, 0},   {8, 0xFFFF, 4 * 42 + 5 * 6 + 4},
      {8, pixel_565(255, 0, 0), 4 * 42},  {8, pixel_565(0, 0, 255), 4},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(Colour_Table_Build(c.bits, table.data()));
    EXPECT_EQ(table[c.pixel], c.want) << c.bits << " bits, pixel " << std::hex << c.pixel;
  }
  EXPECT_FALSE(Colour_Table_Build(16, table.data()));

  uint8_t palette[255][4];
  Palette_8_Build(palette);
  const uint8_t cube_last[4] = {255, 255, 255, 0};
  const uint8_t cube_mixed[4] = {51, 127, 204, 0};  // r 1, g 3, b 4
  const uint8_t purple[4] = {93, 0, 93, 0};
  EXPECT_EQ(std::vector<uint8_t>(palette[251], palette[251] + 4), std::vector<uint8_t>(cube_last, cube_last + 4));
  EXPECT_EQ(std::vector<uint8_t>(palette[1 * 42 + 3 * 6 + 4], palette[1 * 42 + 3 * 6 + 4] + 4),
            std::vector<uint8_t>(cube_mixed, cube_mixed + 4));
  EXPECT_EQ(std::vector<uint8_t>(palette[253], palette[253] + 4), std::vector<uint8_t>(purple, purple + 4));
}

TEST(PresentCopy, DoubledModesShowEveryPixelTwiceAndBlackLinesBetweenRows) {
  const int width = 3, height = 2;
  const uint16_t frame[width * height] = {0x1111, 0x2222, 0x3333, 0x4444, 0x5555, 0x6666};
  std::vector<uint32_t> table(65536);
  struct Case {
    int bits;
    int kind;
  } cases[] = {{16, Display_Kind_Listed}, {16, Display_Kind_Doubled}, {15, Display_Kind_Listed},
               {15, Display_Kind_Doubled}, {8, Display_Kind_Doubled}};
  for (const Case& c : cases) {
    Display_Mode mode;
    mode.kind = c.kind;
    mode.bits_per_pixel = c.bits;
    mode.width = width;
    mode.height = height;
    const bool doubled = c.kind == Display_Kind_Doubled;
    const int bytes = c.bits == 8 ? 1 : 2;
    const int pitch = width * bytes * (doubled ? 2 : 1) + 4;  // rows with a gap at the end
    std::vector<uint8_t> surface(static_cast<size_t>(pitch) * height * (doubled ? 2 : 1), 0xAA);
    if (c.bits != 16) Colour_Table_Build(c.bits, table.data());
    ASSERT_TRUE(Present_Copy(frame, mode, c.bits == 16 ? nullptr : table.data(), surface.data(), pitch));
    for (int y = 0; y < height * (doubled ? 2 : 1); ++y) {
      for (int x = 0; x < width * (doubled ? 2 : 1); ++x) {
        uint32_t got = bytes == 1 ? surface[y * pitch + x] : surface[y * pitch + 2 * x] | surface[y * pitch + 2 * x + 1] << 8;
        uint32_t want = 0;
        if (!doubled || y % 2 == 0) {
          uint16_t source = frame[(doubled ? y / 2 : y) * width + (doubled ? x / 2 : x)];
          want = c.bits == 16 ? source : table[source] & (bytes == 1 ? 0xFFu : 0xFFFFu);
        }
        if (c.bits == 8 && doubled && x / 2 == width - 1 && width % 2 == 1) want = 0xAA;  // odd last pixel
        if (c.bits == 8 && doubled && x / 2 == width - 1 && y % 2 == 1) want = 0xAA;
        EXPECT_EQ(got, want) << c.bits << " bits kind " << c.kind << " at " << x << "," << y;
      }
      // The gap after each row is never written.
      EXPECT_EQ(surface[y * pitch + pitch - 1], 0xAA);
    }
  }
  Display_Mode deep;
  deep.bits_per_pixel = 32;
  deep.width = width;
  deep.height = height;
  uint8_t untouched[64] = {};
  EXPECT_FALSE(Present_Copy(frame, deep, table.data(), untouched, 24));
}

TEST_F(DisplayTest, HeadlessPresentKeepsTheFrameAndTicksTheClock) {
  Screen_Buffer()[0] = 0x1234;
  Screen_Buffer()[640 * 480 - 1] = 0xBEEF;
  EXPECT_EQ(Present_Frame(Screen_Buffer()), 0);
  ASSERT_NE(Display_Last_Frame(), nullptr);
  EXPECT_EQ(Display_Last_Frame()[0], 0x1234);
  EXPECT_EQ(Display_Last_Frame()[640 * 480 - 1], 0xBEEF);
  EXPECT_EQ(Clock_Delta(), 30);
  int w, h, pitch, bits;
  const uint8_t* surface = Display_Surface(&w, &h, &pitch, &bits);
  ASSERT_NE(surface, nullptr);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(pitch, 1280);
  EXPECT_EQ(surface[0] | surface[1] << 8, 0x1234);
}

TEST_F(DisplayTest, FocusLossKeepsTheFrameAndTheFirstPumpBackReportsAndDiscardsTheClick) {
  Screen_Buffer()[5] = 0x0F0F;
  Inject(Platform_Event_Type::Focus_Lost);
  Inject(Platform_Event_Type::Button_Down, 1);  // the click that brings the window back
  Inject(Platform_Event_Type::Focus_Gained);
  Inject(Platform_Event_Type::Button_Up, 1);
  int32_t clock_before = Clock_Now();
  EXPECT_EQ(Present_Frame(Screen_Buffer()), -1);  // skipped: no copy, no tick
  EXPECT_EQ(Clock_Now(), clock_before);
  EXPECT_EQ(Screen_Buffer()[5], 0x0F0F);
  EXPECT_FALSE(Display_Inactive());
  Input_Update();
  EXPECT_EQ(Input().left_button, 0);
  EXPECT_EQ(Pump_Messages(), 0);
  EXPECT_EQ(Present_Frame(Screen_Buffer()), 0);
  Screen_Buffer()[5] = 0;
}

TEST_F(DisplayTest, ClosingTheWindowEndsTheProgramWithStatusZeroAtTheNextFrame) {
  EXPECT_EXIT(
      {
        Inject(Platform_Event_Type::Quit);
        Pump_Messages();
        if (!Quit_Requested()) std::_Exit(3);
        Present_Frame(Screen_Buffer());
        std::_Exit(4);
      },
      testing::ExitedWithCode(0), "");
}

TEST(PlatformOptions, OurOptionsAreTakenOutOfTheArguments) {
  char a0[] = "osterlin", a1[] = "--headless", a2[] = "-nologo", a3[] = "--record", a4[] = "run.rec",
       a5[] = "--scanlines", a6[] = "level";
  char* argv[] = {a0, a1, a2, a3, a4, a5, a6, nullptr};
  int argc = 7;
  Platform_Options options;
  ASSERT_EQ(Platform_Take_Options(&argc, argv, &options), 0);
  ASSERT_EQ(argc, 3);
  EXPECT_STREQ(argv[1], "-nologo");
  EXPECT_STREQ(argv[2], "level");
  EXPECT_EQ(argv[3], nullptr);
  EXPECT_TRUE(options.headless);
  EXPECT_TRUE(options.scanlines);
  EXPECT_EQ(options.record_path, "run.rec");

  char b0[] = "osterlin", b1[] = "--replay";
  char* missing[] = {b0, b1, nullptr};
  argc = 2;
  Platform_Options other;
  EXPECT_EQ(Platform_Take_Options(&argc, missing, &other), -1);
}

TEST(PlatformState, ResetGivesFreshProcessValuesAndIsSafeTwice) {
  Platform_Inject_Event({Platform_Event_Type::Quit});
  Pump_Messages();
  ASSERT_TRUE(Quit_Requested());
  Push_Key(65);
  Clock_Use_Virtual_Counter(true);
  Clock_Set_Virtual_Counter(uint64_t{1} << 60);
  Trace_Set_Enabled(true);
  Input().mouse_x = 77;
  Platform_State_Reset();
  Platform_State_Reset();
  EXPECT_FALSE(Quit_Requested());
  EXPECT_EQ(Read_Key(), 0);
  EXPECT_LT(Counter_Now(), uint64_t{1} << 60) << "the real counter again";
  EXPECT_FALSE(Trace_Enabled());
  EXPECT_EQ(Input().mouse_x, 0);
  EXPECT_EQ(Keyboard_Step(), 7);
  Reset_Platform_For_Test();
}
