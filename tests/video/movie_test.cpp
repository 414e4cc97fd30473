#include "video/movie.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "files/file.h"
#include "pictures/picture.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/platform_test_support.h"
#include "scene/runtime.h"
#include "shell/levels.h"
#include "shell/mpeg.h"
#include "smack/smack.h"
#include "sound/sound.h"
#include "smacker_writer.h"
#include "support/temp_dir.h"
#include "video/node_picture.h"
#include "video/video_state.h"
#include "video_file_writer.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Colours whose components are exact 5-6-5 levels, so they survive conversion.
struct Colour {
  uint8_t r, g, b;
  uint16_t pixel() const { return static_cast<uint16_t>(((r & 0xF8) << 8) | ((g & 0xFC) << 3) | (b >> 3)); }
};
Colour frame_colour(int i) {
  return Colour{static_cast<uint8_t>((i * 40 + 8) & 0xF8), static_cast<uint8_t>((i * 84 + 4) & 0xFC),
                static_cast<uint8_t>((200 - i * 16) & 0xF8)};
}

// Frame i: the left half in frame_colour(i), the right half in white.
Bytes rgb_frame(int width, int height, int i) {
  Bytes rgb(static_cast<size_t>(width) * height * 3);
  Colour c = frame_colour(i);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
      bool left = x < width / 2;
      p[0] = left ? c.r : 0xF8;
      p[1] = left ? c.g : 0xFC;
      p[2] = left ? c.b : 0xF8;
    }
  }
  return rgb;
}

// Counts presented frames and advances the virtual counter by each frame's
// length, as a replayed run does.
int presents = 0;
uint64_t virtual_now = 0;
std::vector<std::pair<int, Platform_Event>> scheduled;  // (present number, event)

void on_tick(int32_t frame_ms) {
  ++presents;
  virtual_now += static_cast<uint64_t>(frame_ms) * 10000;
  Clock_Set_Virtual_Counter(virtual_now);
  for (auto& [at, event] : scheduled) {
    if (at == presents) Platform_Inject_Event(event);
  }
}

// The same, and the mixer pulled as Sound_Init would have it.
void on_tick_with_sound(int32_t frame_ms) {
  on_tick(frame_ms);
  Sound_Pull(frame_ms);
}

class MovieTest : public testing::Test {
 protected:
  void SetUp() override {
    Reset_Platform_For_Test();
    Clock_Use_Virtual_Counter(true);
    virtual_now = 1000000;
    Clock_Set_Virtual_Counter(virtual_now);
    Clock_Set_Tick_Listener(on_tick);
    presents = 0;
    scheduled.clear();
  }
  void TearDown() override {
    Video_State_Reset();
    Clock_Set_Tick_Listener(nullptr);
    Clock_Use_Virtual_Counter(false);
  }

  std::string lossless(const std::string& name, int frames, int width = 64, int height = 48, int fps = 15) {
    Video_File v;
    v.width = width;
    v.height = height;
    v.fps = fps;
    for (int i = 0; i < frames; ++i) v.frames.push_back(rgb_frame(width, height, i));
    std::string path = dir_.file(name);
    EXPECT_TRUE(Write_Video_File(path, v));
    return path;
  }
  static uint16_t last(int x, int y) { return Display_Last_Frame()[y * Screen_Width + x]; }

  Temp_Dir dir_;
};

TEST_F(MovieTest, OneFrameMovieShowsOnceAndReturns) {
  std::string path = lossless("one.nut", 1);
  // The scene's last screen, then something else drawn but not shown.
  std::memset(Screen_Buffer(), 0x55, Screen_Width * Screen_Height * 2);
  Present_Frame(nullptr);
  std::memset(Screen_Buffer(), 0x11, Screen_Width * Screen_Height * 2);
  presents = 0;
  EXPECT_EQ(Movie_Play(path.c_str()), 1);
  EXPECT_EQ(presents, 1);
  EXPECT_EQ(last(0, 0), frame_colour(0).pixel());
  EXPECT_EQ(last(63, 47), 0xFFFF);
  // Around the movie the last screen stays.
  EXPECT_EQ(last(64, 0), 0x5555);
  EXPECT_EQ(last(0, 48), 0x5555);
  EXPECT_EQ(last(639, 479), 0x5555);
  // The scene's frame buffer is left alone.
  EXPECT_EQ(Screen_Buffer()[0], 0x1111);
}

TEST_F(MovieTest, FramesFollowTheFileRateAndUnplayableFilesReturnZero) {
  // 10 frames at 10 per second, presented every 30 ms (the clock is stopped):
  // each frame is due 100 ms after the one before.
  std::string path = lossless("ten.nut", 10, 32, 16, 10);
  EXPECT_EQ(Movie_Play(path.c_str()), 1);
  EXPECT_EQ(last(0, 0), frame_colour(9).pixel());
  EXPECT_GE(presents, 9 * 3);
  EXPECT_LE(presents, 9 * 4 + 2);

  std::string junk = dir_.write("junk.smk", std::string(5000, 'x'));
  EXPECT_EQ(Movie_Play(junk.c_str()), 0);
  EXPECT_EQ(Movie_Play(dir_.file("absent.smk").c_str()), 0);
}

TEST_F(MovieTest, ReleaseOfTheApostropheKeyEndsTheMovie) {
  std::string path = lossless("keys.nut", 30, 16, 16, 30);
  // A press alone does not end the movie; its release does, before the next frame.
  scheduled = {{3, {Platform_Event_Type::Key_Down, 222, 40}}, {8, {Platform_Event_Type::Key_Up, 222, 40}}};
  EXPECT_EQ(Movie_Play(path.c_str()), 1);
  EXPECT_EQ(presents, 8);
  // Other keys (Escape among them) do not end it.
  presents = 0;
  scheduled = {{2, {Platform_Event_Type::Key_Up, 27, 1}}};
  EXPECT_EQ(Movie_Play(path.c_str()), 1);
  EXPECT_GT(presents, 30);
  // A release before the movie starts does not count.
  presents = 0;
  scheduled.clear();
  Platform_Inject_Event({Platform_Event_Type::Key_Up, 222, 40});
  Pump_Messages();
  EXPECT_EQ(Movie_Play(path.c_str()), 1);
  EXPECT_GT(presents, 30);
}

TEST_F(MovieTest, NodeVideoShowsFrameZeroAtOpenAndKeepsItsLastFrame) {
  std::string path = lossless("node.nut", 4, 640, 480, 10);
  Picture* picture = Picture_Create("warpfix", 640, 480, 16);
  Node_Picture_Replace(picture);
  auto pixel = [&](int x, int y) { return reinterpret_cast<const uint16_t*>(picture->pixels)[y * 640 + x]; };

  ASSERT_EQ(Node_Video_Open(path.c_str(), picture), 1);
  EXPECT_TRUE(Node_Video_Open_Now());
  EXPECT_EQ(pixel(0, 0), frame_colour(0).pixel());
  EXPECT_EQ(pixel(639, 479), 0xFFFF);
  // Not due yet: nothing changes.
  Node_Video_Step();
  EXPECT_EQ(pixel(0, 0), frame_colour(0).pixel());
  for (int f = 1; f < 4; ++f) {
    virtual_now += 1000000;  // 100 ms
    Clock_Set_Virtual_Counter(virtual_now);
    Node_Video_Step();
    EXPECT_EQ(pixel(0, 0), frame_colour(f).pixel()) << f;
  }
  EXPECT_FALSE(Node_Video_Open_Now());
  virtual_now += 5000000;
  Clock_Set_Virtual_Counter(virtual_now);
  Node_Video_Step();
  EXPECT_EQ(pixel(0, 0), frame_colour(3).pixel());

  // One frame: shown at open and closed at once.
  std::string one = lossless("still.nut", 1, 640, 480);
  ASSERT_EQ(Node_Video_Open(one.c_str(), picture), 1);
  EXPECT_FALSE(Node_Video_Open_Now());
  EXPECT_EQ(pixel(0, 0), frame_colour(0).pixel());
  EXPECT_EQ(Node_Video_Open(dir_.file("absent.smk").c_str(), picture), 0);
}

TEST_F(MovieTest, SmackerFilesDecode) {
  // Two 8 x 8 frames of two colours each, written as Smacker files.
  Smacker_Movie m;
  m.width = 8;
  m.height = 8;
  m.fps = 10;
  m.palette.assign(768, 0);
  for (int i = 0; i < 4; ++i) {
    Colour c = frame_colour(i);
    m.palette[3 * i] = c.r;
    m.palette[3 * i + 1] = c.g;
    m.palette[3 * i + 2] = c.b;
  }
  for (int f = 0; f < 2; ++f) {
    Bytes frame(64);
    for (int i = 0; i < 64; ++i) frame[i] = static_cast<uint8_t>((i % 8) < 4 ? 2 * f : 2 * f + 1);
    m.frames.push_back(frame);
  }
  std::string path = dir_.write("intro.smk", Write_Smacker(m));
  Smack* smack = SmackOpen(path.c_str(), 0xFE000, 0xFFFFFFFF);
  ASSERT_NE(smack, nullptr);
  EXPECT_EQ(smack->Frames, 2u);
  EXPECT_EQ(smack->Width, 8);
  std::vector<uint16_t> out(16 * 8, 0x1234);
  for (uint32_t f = 0; f < 2; ++f) {
    SmackToBuffer(smack, 4, 0, 32, 8, out.data(), Smack_Format_565);
    ASSERT_EQ(SmackDoFrame(smack), 0);
    EXPECT_EQ(smack->FrameNum, f);
    EXPECT_EQ(out[4], frame_colour(2 * f).pixel()) << f;
    EXPECT_EQ(out[7 * 16 + 11], frame_colour(2 * f + 1).pixel()) << f;
    EXPECT_EQ(out[3], 0x1234);
    EXPECT_EQ(out[12], 0x1234);
    // Written again further right: cut at the end of the row.
    SmackToBuffer(smack, 14, 0, 32, 8, out.data(), Smack_Format_565);
    ASSERT_EQ(SmackDoFrame(smack), 0);
    EXPECT_EQ(out[15], frame_colour(2 * f).pixel()) << f;
    EXPECT_EQ(out[16], 0x1234) << "nothing spills into the next row";
    std::fill(out.begin(), out.end(), 0x1234);
    SmackNextFrame(smack);
  }
  EXPECT_EQ(smack->FrameNum, 1u);  // the last frame stays current
  // For a 15-bit display the same frame comes as x-5-5-5: green keeps its top five bits.
  SmackToBuffer(smack, 4, 0, 32, 8, out.data(), Smack_Format_555);
  ASSERT_EQ(SmackDoFrame(smack), 0);
  Colour c = frame_colour(2);
  EXPECT_EQ(out[4], ((c.r >> 3) << 10) | ((c.g >> 3) << 5) | (c.b >> 3));
  SmackClose(smack);
}

TEST_F(MovieTest, NodePictureLoadsAMovieAfterTargaFails) {
  Smacker_Movie m;
  m.width = 640;
  m.height = 480;
  m.palette.assign(768, 0);
  m.palette[3] = 0xFC;
  m.frames = {std::vector<uint8_t>(640 * 480, 1), std::vector<uint8_t>(640 * 480, 0)};
  std::string path = dir_.write("node.smk", Write_Smacker(m));
  Node_Picture_Replace(Picture_Create("warpfix", 640, 480, 16));
  EXPECT_EQ(Load_Node_Picture(path.c_str()), 1);
  EXPECT_TRUE(Node_Video_Open_Now());
  EXPECT_EQ(reinterpret_cast<const uint16_t*>(Node_Picture()->pixels)[1234], 0xF800);
  // The next node picture closes the video.
  EXPECT_EQ(Load_Node_Picture("absent.tga"), -1);
  EXPECT_FALSE(Node_Video_Open_Now());
}

TEST_F(MovieTest, MovieSoundPlaysThroughThePulledMixer) {
  Video_File v;
  v.width = v.height = 16;
  v.fps = 10;
  for (int i = 0; i < 5; ++i) v.frames.push_back(rgb_frame(16, 16, i));
  v.sound_rate = 22050;
  v.stereo = false;
  v.samples.assign(22050 / 2, 8000);  // half a second of a constant level
  std::string path = dir_.file("sound.nut");
  ASSERT_TRUE(Write_Video_File(path, v));

  Sound_Set_Output_Mode(Sound_Output::Pull);
  ASSERT_EQ(Sound_Init(), 0);
  Clock_Set_Tick_Listener(on_tick_with_sound);
  static int64_t heard = 0;
  heard = 0;
  Sound_Set_Pull_Sink(
      [](const int16_t* samples, int frames, void*) {
        for (int i = 0; i < 2 * frames; ++i) heard += samples[i] != 0;
      },
      nullptr);
  EXPECT_EQ(Movie_Play(path.c_str()), 1);
  EXPECT_GT(heard, 22050 / 4);
  Sound_Set_Pull_Sink(nullptr, nullptr);
  Sound_Shutdown();
  Sound_Set_Output_Mode(Sound_Output::Device);
}

// A movie's sound belongs to the movie: it ends with the movie, also when the
// movie is interrupted or a node video closes early, and it never holds one of
// the scene's eight channels.
TEST_F(MovieTest, MovieSoundEndsWithTheMovieAndTakesNoChannel) {
  Video_File v;
  v.width = 64;
  v.height = 48;
  v.fps = 10;
  for (int i = 0; i < 30; ++i) v.frames.push_back(rgb_frame(64, 48, i % 3));
  v.sound_rate = 22050;
  v.stereo = false;
  v.samples.assign(22050 * 3, 8000);  // as long as the pictures
  std::string path = dir_.file("long.nut");
  ASSERT_TRUE(Write_Video_File(path, v));

  Sound_Set_Output_Mode(Sound_Output::Pull);
  ASSERT_EQ(Sound_Init(), 0);
  Clock_Set_Tick_Listener(on_tick_with_sound);
  static int64_t heard = 0;
  Sound_Set_Pull_Sink(
      [](const int16_t* samples, int frames, void*) {
        for (int i = 0; i < 2 * frames; ++i) heard += samples[i] != 0;
      },
      nullptr);
  auto heard_in_a_second = [] {
    heard = 0;
    for (int i = 0; i < 10; ++i) Sound_Pull(100);
    return heard;
  };

  // Ended by the key after a few frames: the sound was heard, then silence.
  heard = 0;
  scheduled = {{5, {Platform_Event_Type::Key_Up, 222, 40}}};
  EXPECT_EQ(Movie_Play(path.c_str()), 1);
  EXPECT_EQ(presents, 5);
  EXPECT_GT(heard, 0);
  EXPECT_EQ(heard_in_a_second(), 0);

  // A node video: all eight channels stay free for the scene while it plays.
  Picture* picture = Picture_Create("warpfix", 640, 480, 16);
  Node_Picture_Replace(picture);
  ASSERT_EQ(Node_Video_Open(path.c_str(), picture), 1);
  ASSERT_TRUE(Node_Video_Open_Now());
  Sound* loop = Sound_Create("loop", 22050, 16, 0, 100);
  for (int i = 1; i <= 8; ++i) EXPECT_EQ(Sound_Play(loop, 255, 0, 1), i);
  for (int i = 1; i <= 8; ++i) Sound_Stop(i);
  Sound_Free(loop);
  EXPECT_GT(heard_in_a_second(), 0);
  // The next node picture closes the video, and its sound with it.
  Node_Video_Close();
  EXPECT_EQ(heard_in_a_second(), 0);

  Sound_Set_Pull_Sink(nullptr, nullptr);
  Sound_Shutdown();
  Sound_Set_Output_Mode(Sound_Output::Device);
}

// Damaged copies of a Smacker file and of a lossless file: refused or decoded
// without reading or writing out of bounds.
TEST_F(MovieTest, DamagedMoviesAreRefusedOrDecodedSafely) {
  Smacker_Movie m;
  m.width = 16;
  m.height = 8;
  m.palette.assign(768, 40);
  for (int f = 0; f < 3; ++f) m.frames.push_back(std::vector<uint8_t>(128, static_cast<uint8_t>(f * 3)));
  std::vector<Bytes> originals = {Write_Smacker(m)};
  lossless("d.nut", 3, 16, 8);
  originals.push_back(Read_Whole_File(dir_.file("d.nut")));
  uint32_t seed = 99;
  auto next = [&]() { return seed = seed * 1103515245u + 12345u; };
  std::vector<uint16_t> frame(640 * 480);
  for (const Bytes& original : originals) {
    for (int round = 0; round < 60; ++round) {
      Bytes damaged = original;
      if (round % 4 == 0) {
        damaged.resize(next() % damaged.size());
      } else {
        for (int k = 0; k < 1 + round % 5; ++k) damaged[next() % damaged.size()] = static_cast<uint8_t>(next() >> 8);
      }
      Mem_File_Add("dmg.smk", damaged.data(), static_cast<int>(damaged.size()));
      if (Smack* smack = SmackOpen("dmg.smk", 0, 0)) {
        for (int i = 0; i < 4; ++i) {
          SmackToBuffer(smack, 0, 0, 1280, 480, frame.data(), Smack_Format_565);
          SmackDoFrame(smack);
          SmackNextFrame(smack);
        }
        SmackClose(smack);
      }
      Mem_File_Remove("dmg.smk");
    }
  }
}

TEST(NameVariants, LanguageAndMpegNames) {
  Set_Language_Code("US");
  struct Case {
    const char* in;
    const char* lang;
    const char* mpeg;
  };
  const Case cases[] = {
      {"intro.smk", "introUS.smk", "intro.mpg"},
      {"intro", "introUS", "intro.mpg"},
      {"dir.x\\file", "dir.x\\fileUS", "dir.x\\file.mpg"},
      {"dir.x/file", "dir.x/fileUS", "dir.x/file.mpg"},
      {"c:file", "c:fileUS", "c:file.mpg"},
      {"a.b.smk", "a.bUS.smk", "a.b.mpg"},
      {".smk", "US.smk", ".mpg"},
      {"", "US", ".mpg"},
  };
  Set_Mpeg_Mode(true);
  for (const Case& c : cases) {
    EXPECT_STREQ(Lang_Variant(c.in), c.lang) << c.in;
    EXPECT_STREQ(Mpeg_Variant(c.in), c.mpeg) << c.in;
  }
  // Each transformation has its own buffer.
  const char* lang = Lang_Variant("movie.smk");
  const char* mpeg = Mpeg_Variant(lang);
  EXPECT_STREQ(mpeg, "movieUS.mpg");
  EXPECT_STREQ(lang, "movieUS.smk");
  // Off or empty: the name itself.
  Set_Mpeg_Mode(false);
  const char* name = "movie.smk";
  EXPECT_EQ(Mpeg_Variant(name), name);
  Set_Language_Code("");
  EXPECT_EQ(Lang_Variant(name), name);
  // Names too long for the buffer are cut, never overflow it.
  Set_Language_Code("FR");
  std::string longest(300, 'a');
  EXPECT_EQ(std::strlen(Lang_Variant(longest.c_str())), 259u);
  Set_Language_Code("");
}

TEST_F(MovieTest, MpegPlaysFullScreenUntilItsEndOrTheKeyPress) {
  Video_File v;
  v.kind = Video_File::Kind::Mpeg;
  v.width = 160;
  v.height = 120;
  v.fps = 25;
  for (int i = 0; i < 12; ++i) v.frames.push_back(rgb_frame(160, 120, i));
  v.sound_rate = 44100;
  v.samples.assign(44100 / 2 * 2, 0);
  std::string path = dir_.file("video.mpg");
  ASSERT_TRUE(Write_Video_File(path, v));

  EXPECT_NO_FATAL_FAILURE(Mpeg_Play(path.c_str()));
  // 12 frames at 25 per second, presented every 30 ms: at least one present each.
  EXPECT_GE(presents, 12);
  EXPECT_LE(presents, 16);
  // Scaled to the whole screen: the last frame's halves (MPEG colours are near).
  uint16_t left = last(100, 240), right = last(600, 240);
  Colour c = frame_colour(11);
  EXPECT_NEAR((left >> 11) << 3, c.r, 24);
  EXPECT_NEAR(((left >> 5) & 63) << 2, c.g, 24);
  EXPECT_GE(right >> 11, 29);
  // The frame buffer is cleared after the video.
  EXPECT_EQ(Screen_Buffer()[240 * 640 + 100], 0);

  // A press of the key with code 222 stops it; Escape does not.
  presents = 0;
  scheduled = {{2, {Platform_Event_Type::Key_Down, 27, 1}}, {4, {Platform_Event_Type::Key_Down, 222, 40}}};
  Mpeg_Play(path.c_str());
  EXPECT_EQ(presents, 4);
  Input_Release_All();

  presents = 0;
  Mpeg_Play(dir_.file("absent.mpg").c_str());
  EXPECT_EQ(presents, 0);
}

// A second of MPEG-1 program stream and of AVI, each with its sound: the reader
// probes the end of these files and seeks back, after which every frame must
// still be read and shown.
std::vector<int> levels_seen;
void note_level(const uint16_t* frame) {
  int green = ((frame[240 * Screen_Width + 320] >> 5) & 63) << 2;
  levels_seen.push_back((green - 24 + 4) / 8);  // frame i is grey 24 + 8 i
}

TEST_F(MovieTest, MpegProgramStreamsAndAviFilesPlayEveryFrame) {
  const Video_File::Kind kinds[] = {Video_File::Kind::Mpeg, Video_File::Kind::Avi};
  for (Video_File::Kind kind : kinds) {
    bool mpeg = kind == Video_File::Kind::Mpeg;
    SCOPED_TRACE(mpeg ? "MPEG" : "AVI");
    Video_File v;
    v.kind = kind;
    v.width = 160;
    v.height = 120;
    v.fps = 25;
    // Frame i is grey 24 + 8 i below a band of noise that makes the encoder
    // spend its whole rate, so the file is as large as a real one of a second.
    uint32_t seed = 7;
    for (int i = 0; i < 25; ++i) {
      Bytes frame(160 * 120 * 3, static_cast<uint8_t>(24 + 8 * i));
      for (size_t k = 0; k < 160 * 32 * 3; ++k) frame[k] = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
      v.frames.push_back(frame);
    }
    v.sound_rate = 44100;
    v.samples.assign(44100 * 2, 3000);
    std::string path = dir_.file(mpeg ? "second.mpg" : "second.avi");
    ASSERT_TRUE(Write_Video_File(path, v));

    Smack* smack = SmackOpen(path.c_str(), 0, 0);
    ASSERT_NE(smack, nullptr);
    EXPECT_EQ(smack->Frames, 25u);
    SmackClose(smack);

    levels_seen.clear();
    Display_Set_Present_Listener(note_level);
    Mpeg_Play(path.c_str());
    Display_Set_Present_Listener(nullptr);
    std::vector<int> shown;
    for (int level : levels_seen) {
      if (shown.empty() || shown.back() != level) shown.push_back(level);
    }
    std::vector<int> every(25);
    for (int i = 0; i < 25; ++i) every[i] = i;
    EXPECT_EQ(shown, every);
  }
}

}  // namespace
