#include "files/text.h"

#include <gtest/gtest.h>

#include <string>

TEST(TextUtilities, CompareNoCase) {
  EXPECT_EQ(Str_Compare_No_Case("intro.pak", "INTRO.PAK"), 0);
  EXPECT_EQ(Str_Compare_No_Case("intro", "intro.pak"), -1);
  EXPECT_EQ(Str_Compare_No_Case(nullptr, "a"), -1);
  EXPECT_EQ(Str_Compare_No_Case("\xC9", "\xE9"), -1);  // only ASCII letters fold
  std::string long_a(300, 'a'), long_b(300, 'A');
  EXPECT_EQ(Str_Compare_No_Case(long_a.c_str(), long_b.c_str()), -1);  // gives up after 256
  std::string exact_a(255, 'a'), exact_b(255, 'A');
  EXPECT_EQ(Str_Compare_No_Case(exact_a.c_str(), exact_b.c_str()), 0);
}

TEST(TextUtilities, PathFileNameAndSub) {
  char out[300];
  Path_File_Name(out, "C:\\GAME\\01RE_DAVID\\hall.pic");
  EXPECT_STREQ(out, "hall.pic");
  Path_File_Name(out, "dir/sub/");
  EXPECT_STREQ(out, "");
  Path_File_Name(out, "plain");
  EXPECT_STREQ(out, "plain");
  Str_Sub(out, "abcdef", 2, 3);
  EXPECT_STREQ(out, "bcd");
  Str_Sub(out, "abcdef", 5, 10);
  EXPECT_STREQ(out, "ef");
  Str_Sub(out, "abcdef", 0, 3);
  EXPECT_STREQ(out, "");
}

TEST(TextUtilities, NumbersAndBytes) {
  EXPECT_EQ(Parse_Hex("1fG"), 31u);
  EXPECT_EQ(Parse_Hex(""), 0u);
  EXPECT_EQ(Parse_Hex("00FF"), 255u);
  char out[16];
  Format_Hex8(out, 255);
  EXPECT_STREQ(out, "000000FF");
  Format_Int(out, -7);
  EXPECT_STREQ(out, "-7");
  Format_Int(out, INT32_MIN);
  EXPECT_STREQ(out, "-2147483648");
  unsigned char bytes[2] = {0x01, 0x40};
  Reverse_Bytes(bytes, 2);
  EXPECT_EQ(bytes[0], 0x40);
  EXPECT_EQ(bytes[1], 0x01);
}
