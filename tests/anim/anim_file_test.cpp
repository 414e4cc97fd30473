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
  // A damaged one (a copy from before the history) keeps what it decoded, and
  // playback goes on to the end.
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
    EXPECT_EQ(Anim_Next_Frame(player), 2);
    EXPECT_EQ(Anim_Next_Frame(player), 3);
    Anim_Close(player);
    EXPECT_EQ(Anim_Play("x.mta", 0, 0, 0), 0);
  }
}

// --- Files laid out by hand --------------------------------------------------
// Chunks byte by byte: 4-character tag, u32 size counting the 8 header bytes,
// payload; every integer little-endian.

Bytes le32(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

Bytes chunk(const char* tag, const Bytes& payload) {
  Bytes out(tag, tag + 4);
  Bytes size = le32(static_cast<uint32_t>(payload.size() + 8));
  out.insert(out.end(), size.begin(), size.end());
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

Bytes u32_chunk(const char* tag, uint32_t v) { return chunk(tag, le32(v)); }

Bytes mtrd(const std::vector<Bytes>& chunks) {
  Bytes payload;
  for (const Bytes& c : chunks) payload.insert(payload.end(), c.begin(), c.end());
  return chunk("MTRD", payload);
}

// "HEAD": 16-byte name, then version, width, height, bits, pack, data size and
// frame count.
Bytes head_chunk(uint32_t version, uint32_t width, uint32_t height, uint32_t bits, uint32_t pack, uint32_t frames) {
  Bytes payload(16, 0);
  std::memcpy(payload.data(), "hand", 4);
  for (uint32_t v : {version, width, height, bits, pack, 0u, frames}) {
    Bytes b = le32(v);
    payload.insert(payload.end(), b.begin(), b.end());
  }
  return chunk("HEAD", payload);
}

// "ANIH": frames per second, sound rate, sound bits, stereo, sound pack method.
Bytes anih_chunk(uint32_t fps, uint32_t rate, uint32_t bits, uint32_t stereo, uint32_t method) {
  Bytes payload;
  for (uint32_t v : {fps, rate, bits, stereo, method}) {
    Bytes b = le32(v);
    payload.insert(payload.end(), b.begin(), b.end());
  }
  return chunk("ANIH", payload);
}

// The picture header of versions 1282 and up.
std::vector<Bytes> named_header(uint32_t width, uint32_t height, uint32_t bits, uint32_t pack, uint32_t frames) {
  return {chunk("NAME", Bytes(256, 0)), u32_chunk("SIZX", width), u32_chunk("SIZY", height),
          u32_chunk("BITP", bits),      u32_chunk("PACK", pack),   u32_chunk("SIZE", 0),
          u32_chunk("NBFR", frames)};
}

// A method-3 stream of literal groups only: code count - 1, then the bytes.
Bytes lz_literals(const Bytes& data) {
  Bytes out;
  for (size_t at = 0; at < data.size(); at += 128) {
    size_t n = data.size() - at < 128 ? data.size() - at : 128;
    out.push_back(static_cast<uint8_t>(n - 1));
    out.insert(out.end(), data.begin() + static_cast<long>(at), data.begin() + static_cast<long>(at + n));
  }
  return out;
}

Bytes ramp(size_t n, uint8_t from) {
  Bytes out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(from + i * 3);
  return out;
}

void add(std::vector<Bytes>& to, const std::vector<Bytes>& more) { to.insert(to.end(), more.begin(), more.end()); }

TEST(AnimFileByHand, HeadVersionReplacesVersWhateverItSays) {
  // "VERS" 1281 but "HEAD" 1283: the sound header is the separate chunks of 1283.
  {
    std::vector<Bytes> chunks = {u32_chunk("VERS", 1281), head_chunk(1283, 2, 2, 8, 3, 0),
                                 u32_chunk("FSEC", 10),   u32_chunk("SFRE", 8000),
                                 u32_chunk("SBIT", 8),    u32_chunk("STER", 0),
                                 u32_chunk("SCRU", 3),    chunk("PALE", Bytes(768, 0)),
                                 chunk("PICT", lz_literals(ramp(4, 1))),
                                 chunk("SAMP", lz_literals(ramp(800, 5)))};
    Mem_File file("h.mta", mtrd(chunks));
    Anim_Player* player = Anim_Open("h.mta");
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->picture->version, 1283);
    EXPECT_EQ(player->fps, 10u);
    ASSERT_NE(player->sound, nullptr);
    EXPECT_EQ(player->sound_bytes, 800u);
    EXPECT_EQ(Anim_Next_Frame(player), 0);
    EXPECT_EQ(std::memcmp(Anim_Frame_Sound(player), ramp(800, 5).data(), 800), 0);
    Anim_Close(player);
  }
  // No "VERS" (1280) but "HEAD" 1282: 8-bit PCM as stored, not 1280's 16-bit deltas.
  {
    std::vector<Bytes> chunks = {head_chunk(1282, 2, 2, 8, 3, 0), anih_chunk(10, 8000, 8, 0, 3),
                                 chunk("PALE", Bytes(768, 0)), chunk("PICT", lz_literals(ramp(4, 1))),
                                 chunk("SAMP", lz_literals(ramp(800, 5)))};
    Mem_File file("h.mta", mtrd(chunks));
    Anim_Player* player = Anim_Open("h.mta");
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->picture->version, 1282);
    EXPECT_EQ(player->sound->bits, 8u);
    EXPECT_EQ(player->sound_bytes, 800u);
    Anim_Close(player);
  }
  // A "HEAD" version no animation has is refused, like such a "VERS".
  {
    std::vector<Bytes> chunks = {u32_chunk("VERS", 1281), head_chunk(0, 2, 2, 8, 3, 0),
                                 chunk("PALE", Bytes(768, 0)), chunk("PICT", lz_literals(ramp(4, 1)))};
    Mem_File file("h.mta", mtrd(chunks));
    EXPECT_EQ(Anim_Open("h.mta"), nullptr);
  }
}

// A 0 x 0 picture in versions 1280 to 1283: the animation is its sound alone.
std::vector<Bytes> sound_only_file(uint32_t version) {
  std::vector<Bytes> chunks = {u32_chunk("VERS", version)};
  if (version < 1282) {
    chunks.push_back(head_chunk(version, 0, 0, 8, 3, 1));
  } else {
    add(chunks, named_header(0, 0, 8, 3, 1));
  }
  if (version < 1283) {
    chunks.push_back(anih_chunk(10, 8000, 8, 0, 3));
  } else {
    add(chunks, {u32_chunk("FSEC", 10), u32_chunk("SFRE", 8000), u32_chunk("SBIT", 8), u32_chunk("STER", 0),
                 u32_chunk("SCRU", 3)});
  }
  // 800 stored bytes a frame: 8-bit PCM, or 1280's deltas of 1600 bytes of samples.
  add(chunks, {chunk("PALE", Bytes(768, 0)), chunk("PICT", {}), chunk("SAMP", lz_literals(Bytes(800, 1))),
               chunk("SAMP", lz_literals(Bytes(800, 2)))});
  return chunks;
}

TEST(AnimFileByHand, ZeroByZeroPictureIsASoundOnlyAnimation) {
  for (uint32_t version = 1280; version <= 1283; ++version) {
    SCOPED_TRACE(testing::Message() << "version " << version);
    Mem_File file("s.mta", mtrd(sound_only_file(version)));
    Anim_Player* player = Anim_Open("s.mta");
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->frame_size, 0u);
    ASSERT_NE(player->sound, nullptr);
    EXPECT_EQ(Anim_Next_Frame(player), 1);
    EXPECT_EQ(Anim_Next_Frame(player), 0);
    const uint8_t* sound = Anim_Frame_Sound(player);
    if (version == 1280) {
      int16_t first;
      std::memcpy(&first, sound, 2);
      EXPECT_EQ(first, 512);  // delta 2 scaled by 256
    } else {
      EXPECT_EQ(sound[799], 2);
    }
    Anim_Close(player);
  }
}

TEST(AnimFileByHand, ChunksThatUnpackShortPlayOn) {
  // 4 x 2 8-bit frames at 10 fps with 800 bytes of 8-bit sound a frame; the
  // second frame's "ANIM" holds 5 of its 8 bytes and its "SAMP" 300 of 800.
  std::vector<Bytes> chunks;
  add(chunks, {u32_chunk("VERS", 1283)});
  add(chunks, named_header(4, 2, 8, 3, 1));
  add(chunks, {u32_chunk("FSEC", 10), u32_chunk("SFRE", 8000), u32_chunk("SBIT", 8), u32_chunk("STER", 0),
               u32_chunk("SCRU", 3), chunk("PALE", Bytes(768, 0)), chunk("PICT", lz_literals(ramp(8, 10))),
               chunk("SAMP", lz_literals(ramp(800, 7))), chunk("ANIM", lz_literals(ramp(5, 100))),
               chunk("SAMP", lz_literals(ramp(300, 50)))});
  Mem_File file("short.mta", mtrd(chunks));
  Anim_Player* player = Anim_Open("short.mta");
  ASSERT_NE(player, nullptr);
  EXPECT_EQ(Anim_Next_Frame(player), 1);
  EXPECT_EQ(Anim_Next_Frame(player), 0);
  // The frame: its 5 new bytes over the rest of the first frame.
  Bytes frame = ramp(5, 100);
  Bytes first = ramp(8, 10);
  frame.insert(frame.end(), first.begin() + 5, first.end());
  EXPECT_EQ(Bytes(Anim_Frame(player), Anim_Frame(player) + 8), frame);
  // The sound: its 300 bytes, then silence.
  Bytes sound = ramp(300, 50);
  sound.resize(800, 0x80);
  EXPECT_EQ(Bytes(Anim_Frame_Sound(player), Anim_Frame_Sound(player) + 800), sound);
  Anim_Close(player);
}

TEST(AnimFileByHand, OnlyTheLzMethodsDecodeFramesAndSound) {
  // Streams that decode to 8 bytes of 0x41 in their own method: stored, RLE
  // (a run of 8), LZ short (8 literals).
  struct Case {
    uint32_t method;
    Bytes stream;
  };
  const Case cases[] = {
      {0, Bytes(8, 0x41)},
      {1, {0x07, 0x41}},
      {2, {0x07, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "method " << c.method);
    std::vector<Bytes> chunks;
    add(chunks, {u32_chunk("VERS", 1283)});
    add(chunks, named_header(4, 2, 8, c.method, 1));
    // Sound of the same method, 800 bytes a frame.
    Bytes stored_sound = c.method == 0 ? Bytes(800, 0x11) : c.stream;
    add(chunks, {u32_chunk("FSEC", 10), u32_chunk("SFRE", 8000), u32_chunk("SBIT", 8), u32_chunk("STER", 0),
                 u32_chunk("SCRU", c.method), chunk("PALE", Bytes(768, 0)), chunk("PICT", c.stream),
                 chunk("SAMP", stored_sound), chunk("ANIM", c.stream), chunk("SAMP", stored_sound)});
    Mem_File file("m.mta", mtrd(chunks));
    Anim_Player* player = Anim_Open("m.mta");
    ASSERT_NE(player, nullptr);
    for (int expected : {1, 0}) {
      ASSERT_EQ(Anim_Next_Frame(player), expected);
      EXPECT_EQ(Bytes(Anim_Frame(player), Anim_Frame(player) + 8), Bytes(8, 0));
      EXPECT_EQ(Bytes(Anim_Frame_Sound(player), Anim_Frame_Sound(player) + 800), Bytes(800, 0x80));
    }
    Anim_Close(player);
  }
  // A 1283 file without "SCRU" has sound method 0: its sound stays silent.
  std::vector<Bytes> chunks;
  add(chunks, {u32_chunk("VERS", 1283)});
  add(chunks, named_header(4, 2, 8, 3, 0));
  add(chunks, {u32_chunk("FSEC", 10), u32_chunk("SFRE", 8000), u32_chunk("SBIT", 16), chunk("PALE", Bytes(768, 0)),
               chunk("PICT", lz_literals(ramp(8, 1))), chunk("SAMP", Bytes(1600, 0x33))});
  Mem_File file("m.mta", mtrd(chunks));
  Anim_Player* player = Anim_Open("m.mta");
  ASSERT_NE(player, nullptr);
  EXPECT_EQ(Anim_Next_Frame(player), 0);
  EXPECT_EQ(Bytes(Anim_Frame(player), Anim_Frame(player) + 8), ramp(8, 1));
  EXPECT_EQ(Bytes(Anim_Frame_Sound(player), Anim_Frame_Sound(player) + 1600), Bytes(1600, 0));
  Anim_Close(player);
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

  // A version-1283 animation with a 0 x 0 picture plays its sound and draws
  // nothing.
  Mem_File sound_only("o.mta", mtrd(sound_only_file(1283)));
  std::memset(Screen_Buffer(), 0x5A, Screen_Width * Screen_Height * 2);
  ASSERT_EQ(Anim_Play("o.mta", 0, 0, 0), 0);
  EXPECT_EQ(at(0, 0), 0x5A5A);
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
