#include "anim/anim_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "anim_file_writer.h"
#include "files/file.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/events.h"
#include "platform/input.h"
#include "platform/platform_test_support.h"
#include "sound/sound.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Frames that change a little from one to the next, so the packers find both
// copies within the frame and bytes equal to the previous frame.
std::vector<Bytes> moving_frames(int count, int width, int height, int bits) {
  std::vector<Bytes> frames;
  size_t size = static_cast<size_t>(width) * height * (bits / 8);
  for (int f = 0; f < count; ++f) {
    Bytes frame(size);
    for (size_t i = 0; i < size; ++i) frame[i] = static_cast<uint8_t>((i / 7 + (i % 13 == 0 ? f * 31 : 0)) & 0xFF);
    // A moving block so every frame differs somewhere.
    for (int k = 0; k < 5 && size > 0; ++k) frame[(static_cast<size_t>(f) * 97 + k) % size] = static_cast<uint8_t>(f);
    frames.push_back(frame);
  }
  return frames;
}

class Mem_File {
 public:
  Mem_File(const char* name, const Bytes& bytes) : name_(name) {
    Mem_File_Add(name, bytes.data(), static_cast<int>(bytes.size()));
  }
  ~Mem_File() { Mem_File_Remove(name_.c_str()); }

 private:
  std::string name_;
};

TEST(AnimFile, EveryVersionAndMethodDecodesFrameByFrameAndLoops) {
  struct Case {
    uint32_t version;
    int bits;
    uint32_t pack;
    int width, height;
  };
  const Case cases[] = {
      {1280, 8, 3, 40, 30},  {1281, 16, 5, 40, 30}, {1282, 8, 6, 33, 17},  {1283, 16, 7, 40, 30},
      {1284, 8, 3, 40, 30},  {1284, 16, 5, 17, 9},  {1284, 16, 6, 40, 30}, {1284, 8, 7, 40, 30},
      // Frames larger than the history: copies reach back exactly 65536 bytes.
      {1284, 16, 3, 300, 200},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "version " << c.version << " method " << c.pack << " bits " << c.bits);
    Anim_File a;
    a.version = c.version;
    a.width = c.width;
    a.height = c.height;
    a.bits = c.bits;
    a.pack = c.pack;
    a.frames = moving_frames(11, c.width, c.height, c.bits);  // PICT and 10 ANIM chunks
    a.palette.assign(768, 7);
    Mem_File file("anim.mta", Write_Anim_File(a));

    Anim_Player* player = Anim_Open("anim.mta");
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->frame_count, 10);
    EXPECT_EQ(player->picture->version, c.version);
    for (int pass = 0; pass < 2; ++pass) {
      for (int f = 0; f <= 10; ++f) {
        ASSERT_EQ(Anim_Next_Frame(player), f == 10 ? 0 : f + 1);
        ASSERT_EQ(std::memcmp(Anim_Frame(player), a.frames[static_cast<size_t>(f)].data(), player->frame_size), 0)
            << "frame " << f << " pass " << pass;
      }
    }
    Anim_Close(player);
  }
}

TEST(AnimFile, SoundFormsBecomeTheSamplesWritten) {
  // PCM (1281 to 1283, and 8-bit sound of 1284) plays as stored.
  for (uint32_t version : {1281u, 1282u, 1283u}) {
    Anim_File a;
    a.version = version;
    a.width = a.height = 4;
    a.bits = 8;
    a.frames = moving_frames(3, 4, 4, 8);
    a.rate = 11025;
    a.fps = 15;
    a.sound_bits = 16;
    a.stereo = 1;
    a.sound_method = 5;
    uint32_t bytes = (2 * 11025 * 2) / 15;
    for (int f = 0; f < 3; ++f) {
      Bytes s(bytes);
      for (uint32_t i = 0; i < bytes; ++i) s[i] = static_cast<uint8_t>(i * (f + 3));
      a.sounds.push_back(s);
    }
    Mem_File file("pcm.mta", Write_Anim_File(a));
    Anim_Player* player = Anim_Open("pcm.mta");
    ASSERT_NE(player, nullptr) << version;
    EXPECT_EQ(player->sound_bytes, bytes);
    for (int f = 0; f < 3; ++f) {
      Anim_Next_Frame(player);
      EXPECT_EQ(std::memcmp(Anim_Frame_Sound(player), a.sounds[static_cast<size_t>(f)].data(), bytes), 0) << version;
    }
    Anim_Close(player);
  }

  // Version 1280: signed deltas scaled by 256, mono 16 bits, (rate / fps) * 2 bytes.
  {
    Anim_File a;
    a.version = 1280;
    a.width = a.height = 4;
    a.bits = 8;
    a.frames = moving_frames(1, 4, 4, 8);
    a.rate = 300;
    a.fps = 15;
    a.sound_bits = 8;   // forced to 16 bits
    a.stereo = 1;       // forced to mono
    a.sound_method = 5; // forced to method 3
    a.sounds = {{0x01, 0xFF, 0x7F, 0x7F, 0x80, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}};
    Mem_File file("d8.mta", Write_Anim_File(a));
    Anim_Player* player = Anim_Open("d8.mta");
    ASSERT_NE(player, nullptr);
    ASSERT_EQ(player->sound_bytes, 40u);
    EXPECT_EQ(player->sound->bits, 16u);
    EXPECT_EQ(player->sound->stereo, 0u);
    Anim_Next_Frame(player);
    int16_t got[6];
    std::memcpy(got, Anim_Frame_Sound(player), sizeof got);
    // 256, +(-256) = 0, +127*256, +127*256 wraps, +(-128*256), +2*256
    EXPECT_EQ(got[0], 256);
    EXPECT_EQ(got[1], 0);
    EXPECT_EQ(got[2], 32512);
    EXPECT_EQ(got[3], static_cast<int16_t>(65024 - 65536));
    EXPECT_EQ(got[4], static_cast<int16_t>(65024 - 65536 - 32768));
    EXPECT_EQ(got[5], static_cast<int16_t>(65024 - 65536 - 32768 + 512));
    Anim_Close(player);
  }
}

TEST(AnimFile, DeltaCodesThroughTheTable) {
  // Codes 128 are silence; 255 then 0 comes back near the start.
  std::vector<uint8_t> silence(64, 128);
  std::vector<int16_t> out(64, 99);
  Anim_Delta_Decode(silence.data(), 64, false, out.data());
  for (int16_t s : out) EXPECT_EQ(s, 0);
  uint8_t up_down[] = {255, 0};
  int16_t two[2];
  Anim_Delta_Decode(up_down, 2, false, two);
  EXPECT_EQ(two[0], 32765);
  EXPECT_EQ(two[1], 0);
  // Stereo: first half left, second half right, each with its own sum.
  uint8_t stereo[] = {129, 129, 127, 127};
  int16_t lr[4];
  Anim_Delta_Decode(stereo, 4, true, lr);
  EXPECT_EQ(lr[0], 179);
  EXPECT_EQ(lr[1], -177);
  EXPECT_EQ(lr[2], 358);
  EXPECT_EQ(lr[3], -354);

  // Through a whole file: 16-bit stereo sound of version 1284 without a picture.
  Anim_File a;
  a.version = 1284;
  a.bits = 0;
  a.rate = 22050;
  a.fps = 10;
  a.sound_bits = 16;
  a.stereo = 1;
  a.sound_method = 3;
  a.sound_bytes = 400;
  a.sounds = {Bytes(200, 128), Bytes(200, 129)};
  Mem_File file("delta.mta", Write_Anim_File(a));
  Anim_Player* player = Anim_Open("delta.mta");
  ASSERT_NE(player, nullptr);
  EXPECT_EQ(player->frame_size, 0u);
  EXPECT_EQ(player->sound->bits, 16u);
  EXPECT_EQ(Anim_Next_Frame(player), 1);
  int16_t samples[200];
  std::memcpy(samples, Anim_Frame_Sound(player), sizeof samples);
  for (int16_t s : samples) ASSERT_EQ(s, 0);
  EXPECT_EQ(Anim_Next_Frame(player), 0);
  std::memcpy(samples, Anim_Frame_Sound(player), sizeof samples);
  EXPECT_EQ(samples[0], 179);
  EXPECT_EQ(samples[1], 179);
  EXPECT_EQ(samples[198], static_cast<int16_t>(179 * 100));
  Anim_Close(player);
}

TEST(AnimFile, HeaderDefaultsAndRefusals) {
  Anim_File base;
  base.version = 1283;
  base.width = base.height = 8;
  base.bits = 16;
  base.frames = moving_frames(2, 8, 8, 16);

  // 1283 without "FSEC" plays at 15 frames per second; without "SFRE" silent.
  Anim_File a = base;
  a.write_fps = false;
  {
    Mem_File file("d.mta", Write_Anim_File(a));
    Anim_Player* player = Anim_Open("d.mta");
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->fps, 15u);
    EXPECT_EQ(player->sound, nullptr);
    Anim_Close(player);
  }
  // 1280 to 1282 without "ANIH": 15 frames per second, no sound.
  a = base;
  a.version = 1282;
  a.write_sound_header = false;
  {
    Mem_File file("d.mta", Write_Anim_File(a));
    Anim_Player* player = Anim_Open("d.mta");
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->fps, 15u);
    Anim_Close(player);
  }

  struct Refusal {
    const char* what;
    Bytes bytes;
  };
  std::vector<Refusal> refusals;
  a = base;
  a.bits = 24;
  a.frames = moving_frames(2, 8, 8, 24);
  refusals.push_back({"24 bits per pixel", Write_Anim_File(a)});
  a = base;
  a.version = 1284;
  a.fps = 0;
  {
    auto chunks = Anim_File_Chunks(a);
    // 1284 requires "SFRE".
    std::vector<std::vector<uint8_t>> kept;
    for (auto& c : chunks)
      if (std::memcmp(c.data(), "SFRE", 4) != 0) kept.push_back(c);
    refusals.push_back({"1284 without SFRE", Write_Mtrd_Chunks(kept)});
  }
  {
    auto chunks = Anim_File_Chunks(base);
    std::vector<std::vector<uint8_t>> kept;
    for (auto& c : chunks)
      if (std::memcmp(c.data(), "PALE", 4) != 0) kept.push_back(c);
    refusals.push_back({"no PALE", Write_Mtrd_Chunks(kept)});
  }
  // A header claiming a frame far larger than its data could ever unpack to.
  a = base;
  a.width = 16000;
  a.height = 16000;
  refusals.push_back({"frame larger than the file can hold", Write_Anim_File(a)});
  a = base;
  a.rate = 0xFFFFFFF;
  a.sound_bits = 16;
  refusals.push_back({"sound larger than the file can hold", Write_Anim_File(a)});
  a = base;
  a.version = 1290;
  refusals.push_back({"unknown version", Write_Anim_File(a)});
  refusals.push_back({"not an MTRD file", Bytes{'R', 'I', 'F', 'F', 8, 0, 0, 0}});

  for (const Refusal& r : refusals) {
    Mem_File file("bad.mta", r.bytes);
    Anim_Player* player = Anim_Open("bad.mta");
    EXPECT_EQ(player, nullptr) << r.what;
    Anim_Close(player);
    EXPECT_EQ(Anim_Play("bad.mta", 0, 0, 0), -1) << r.what;
  }
}

TEST(AnimFile, DamagedAndMissingChunks) {
  Anim_File a;
  a.version = 1284;
  a.width = a.height = 16;
  a.bits = 16;
  a.pack = 3;
  a.frames = moving_frames(4, 16, 16, 16);
  auto chunks = Anim_File_Chunks(a);

  // A missing "ANIM" chunk keeps the previous frame.
  {
    std::vector<std::vector<uint8_t>> kept;
    int anims = 0;
    for (auto& c : chunks) {
      if (std::memcmp(c.data(), "ANIM", 4) == 0 && ++anims == 3) continue;
      kept.push_back(c);
    }
    Mem_File file("m.mta", Write_Mtrd_Chunks(kept));
    Anim_Player* player = Anim_Open("m.mta");
    ASSERT_NE(player, nullptr);
    Anim_Next_Frame(player);
    Anim_Next_Frame(player);
    Anim_Next_Frame(player);
    EXPECT_EQ(std::memcmp(Anim_Frame(player), a.frames[2].data(), player->frame_size), 0);
    EXPECT_EQ(Anim_Next_Frame(player), 0);
    EXPECT_EQ(std::memcmp(Anim_Frame(player), a.frames[2].data(), player->frame_size), 0);
    Anim_Close(player);
  }
  // A damaged one (a copy from before the history) is reported, and ends a play.
  {
    auto damaged = chunks;
    for (auto& c : damaged) {
      if (std::memcmp(c.data(), "ANIM", 4) == 0) {
        c.resize(8);
        c.insert(c.end(), {0x80, 0xFF, 0xFF, 0x80, 0xFF, 0xFF});
        c[4] = static_cast<uint8_t>(c.size());
        c[5] = c[6] = c[7] = 0;
        break;
      }
    }
    Mem_File file("x.mta", Write_Mtrd_Chunks(damaged));
    Anim_Player* player = Anim_Open("x.mta");
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(Anim_Next_Frame(player), 1);
    EXPECT_EQ(Anim_Next_Frame(player), -1);
    Anim_Close(player);
    EXPECT_EQ(Anim_Play("x.mta", 0, 0, 0), 0);
  }
}

// --- The player ---------------------------------------------------------------

class AnimPlayTest : public testing::Test {
 protected:
  void SetUp() override {
    Reset_Platform_For_Test();
    Clock_Use_Virtual_Counter(true);
    Clock_Set_Virtual_Counter(0);
    Key_Queue_Clear();
    std::memset(Screen_Buffer(), 0, Screen_Width * Screen_Height * 2);
  }
  void TearDown() override {
    Sound_Shutdown();
    Sound_Set_Output_Mode(Sound_Output::Device);
    Clock_Use_Virtual_Counter(false);
  }
  static uint16_t at(int x, int y) { return Screen_Buffer()[y * Screen_Width + x]; }
};

TEST_F(AnimPlayTest, PlacementByFlags) {
  Anim_File a;
  a.version = 1283;  // one frame: a 1284 file without later frames has no picture
  a.width = 4;
  a.height = 2;
  a.bits = 8;
  a.palette.assign(768, 0);
  a.palette[3] = 0xFF;  // entry 1: red
  a.palette[7] = 0xFF;  // entry 2: green
  a.frames = {{1, 1, 1, 1, 2, 2, 2, 2}};
  Mem_File file("p.mta", Write_Anim_File(a));
  const uint16_t red = 0xF800, green = 0x07E0;

  struct Case {
    int x, y, flags;
    int px, py;       // a pixel that must be red
    int gx, gy;       // one that must be green
    int bx, by;       // one that must stay black
  };
  const Case cases[] = {
      {10, 20, 0, 10, 20, 13, 21, 14, 20},          // 1:1 at a position
      {-1, -1, 0, 318, 239, 318, 240, 317, 239},    // centred
      {-1, -1, 1, 316, 238, 316, 240, 315, 238},    // doubled and centred
      {0, 0, 2, 639, 239, 0, 479, 0, 0},            // stretched: red fills the upper half
      {638, 479, 0, 639, 479, 0, 0, 0, 0},          // clipped at the corner
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "flags " << c.flags << " at " << c.x << "," << c.y);
    std::memset(Screen_Buffer(), 0, Screen_Width * Screen_Height * 2);
    ASSERT_EQ(Anim_Play("p.mta", c.x, c.y, c.flags), 0);
    EXPECT_EQ(at(c.px, c.py), red);
    if (c.flags != 0 || c.x != 638) {
      EXPECT_EQ(at(c.gx, c.gy), green);
    }
    if (c.flags != 2) {
      EXPECT_EQ(at(c.bx, c.by), 0);
    }
  }
}

TEST_F(AnimPlayTest, SilentFramesLastTheirTimeAndEscapeEnds) {
  Anim_File a;
  a.version = 1284;
  a.width = a.height = 4;
  a.bits = 16;
  a.fps = 10;
  a.frames = moving_frames(5, 4, 4, 16);
  Mem_File file("t.mta", Write_Anim_File(a));
  // The clock is stopped: every frame presented counts 30 ms, so a frame of
  // 100 ms is presented four times (120 ms), and 5 frames take 17 presents
  // (the 20 ms carried over shorten later frames).
  int32_t before = Clock_Now();
  ASSERT_EQ(Anim_Play("t.mta", 0, 0, 0), 0);
  int presents = (Clock_Now() - before) / 30;
  EXPECT_GE(presents, 16);
  EXPECT_LE(presents, 20);

  Push_Key(27);
  before = Clock_Now();
  ASSERT_EQ(Anim_Play("t.mta", 0, 0, 0), 0);
  EXPECT_EQ((Clock_Now() - before) / 30, 1);
}

TEST_F(AnimPlayTest, SoundPacesFramesAndTheDeviceComesBack) {
  Sound_Set_Output_Mode(Sound_Output::Pull);
  ASSERT_EQ(Sound_Init(), 0);  // a scene's sound is on, with a looping sound
  Sound* ambient = Sound_Create("ambient", 22050, 16, 0, 4410);
  int ambient_channel = Sound_Play(ambient, 255, 0, 1);
  Sound_Free(ambient);
  ASSERT_GT(ambient_channel, 0);
  Anim_File a;
  a.version = 1284;
  a.width = a.height = 4;
  a.bits = 16;
  a.fps = 10;
  a.frames = moving_frames(4, 4, 4, 16);
  a.rate = 22050;
  a.sound_bits = 16;
  a.stereo = 0;
  a.sound_method = 5;
  a.sound_bytes = 4410;
  a.sounds.assign(4, Bytes(2205, 128));
  Mem_File file("s.mta", Write_Anim_File(a));
  int32_t before = Clock_Now();
  ASSERT_EQ(Anim_Play("s.mta", 0, 0, 0), 0);
  // The second frame fills the half not yet played; each later one waits until
  // the stream has played another half (100 ms).
  EXPECT_GE(Clock_Now() - before, 200);
  EXPECT_LE(Clock_Now() - before, 300);
  // The scene's sound goes on: the device and its looping channel.
  EXPECT_EQ(Sound_Status(), 0);
  EXPECT_GT(Sound_Position(ambient_channel), 0);

  // Escape while waiting for the stream ends at once.
  Push_Key(27);
  before = Clock_Now();
  ASSERT_EQ(Anim_Play("s.mta", 0, 0, 0), 0);
  EXPECT_LE(Clock_Now() - before, 30);
  EXPECT_EQ(Sound_Status(), 0);

  // Without a scene the device is opened for the animation and closed after it.
  Sound_Shutdown();
  ASSERT_EQ(Anim_Play("s.mta", 0, 0, 0), 0);
  EXPECT_EQ(Sound_Status(), -1);
}

}  // namespace

namespace {

// Damaged copies of valid files of every version: bytes changed at random, or
// the file cut short. Nothing may be read or written out of bounds (the test
// build checks), and a damaged frame ends decoding rather than looping.
TEST(AnimFile, RandomDamageIsRefusedOrDecodedSafely) {
  std::vector<Bytes> originals;
  for (uint32_t version = 1280; version <= 1284; ++version) {
    Anim_File a;
    a.version = version;
    a.width = 24;
    a.height = 10;
    a.bits = version == 1282 ? 8 : 16;
    const uint32_t methods[] = {3, 5, 6, 7, 3};
    a.pack = methods[version - 1280];
    a.frames = moving_frames(4, a.width, a.height, a.bits);
    a.rate = 8000;
    a.fps = 10;
    a.sound_bits = version == 1284 ? 16 : 8;
    a.sound_method = 3;
    a.sound_bytes = 1600;
    // 800 stored bytes a frame in every form: 8-bit PCM at 8000 Hz and 10 fps,
    // or the 800 deltas or codes of 1600 bytes of 16-bit sound.
    for (int f = 0; f < 4; ++f) a.sounds.push_back(Bytes(800, static_cast<uint8_t>(100 + f)));
    originals.push_back(Write_Anim_File(a));
  }
  uint32_t seed = 12345;
  auto next = [&]() { return seed = seed * 1103515245u + 12345u; };
  for (const Bytes& original : originals) {
    for (int round = 0; round < 150; ++round) {
      Bytes damaged = original;
      if (round % 5 == 0) {
        damaged.resize(next() % damaged.size());
      } else {
        for (int k = 0; k < 1 + round % 7; ++k) damaged[next() % damaged.size()] = static_cast<uint8_t>(next() >> 8);
      }
      Mem_File file("dmg.mta", damaged);
      if (Anim_Player* player = Anim_Open("dmg.mta")) {
        for (int i = 0; i < 12 && Anim_Next_Frame(player) >= 0; ++i) {
        }
        Anim_Close(player);
      }
    }
  }
}

}  // namespace
