#include "sound/wav.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/debug_output.h"
#include "sound/sound.h"
#include "sound/wav_builder.h"

namespace {
Sound* load(const std::vector<uint8_t>& bytes, const char* name = "test.wav") {
  Memory_Riff_Source source(bytes.data(), bytes.size());
  return Wav_Load_From(source, name);
}

const std::vector<uint8_t> samples = {1, 2, 3, 4, 5, 6, 7, 8};
const std::vector<uint8_t> fmt = fmt_payload(2, 22050, 16);

// An extensible "fmt " chunk: the common fields with tag 0xFFFE, then extension
// size 22, valid bits, channel mask and the 16-byte sub-format, whose first
// four bytes are the coding (1 = PCM) and the rest the common suffix.
std::vector<uint8_t> extensible_fmt(uint32_t coding, size_t cut = 0) {
  std::vector<uint8_t> out = fmt_payload(2, 22050, 16, 0xFFFE);
  put_u16(out, 22);
  put_u16(out, 16);
  put_u32(out, 3);
  put_u32(out, coding);
  out.insert(out.end(), {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71});
  out.erase(out.end() - static_cast<std::ptrdiff_t>(cut), out.end());
  return out;
}
}  // namespace

TEST(Wav, AcceptedFiles) {
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
    uint32_t rate, bits, stereo;
    std::vector<uint8_t> data;
  } cases[] = {
      {"plain", wav_file(2, 22050, 16, samples), 22050, 16, 1, samples},
      {"mono 8-bit", wav_file(1, 11025, 8, {0x80, 0x81, 0x7F}), 11025, 8, 0, {0x80, 0x81, 0x7F}},
      {"LIST between fmt and data is skipped",
       riff_file("WAVE", {{"fmt ", fmt}, {"LIST", std::vector<uint8_t>(30, 'x')}, {"data", samples}}), 22050, 16, 1,
       samples},
      {"data before fmt", riff_file("WAVE", {{"data", samples}, {"fmt ", fmt}}), 22050, 16, 1, samples},
      {"odd-sized chunk followed by its pad byte",
       riff_file("WAVE", {{"fmt ", fmt}, {"note", {'a', 'b', 'c'}}, {"data", samples}}), 22050, 16, 1, samples},
      {"odd-sized chunk from a writer that left the pad out",
       riff_file("WAVE", {{"fmt ", fmt}, {"note", {'a', 'b', 'c'}, -1, false}, {"data", samples}}), 22050, 16, 1,
       samples},
      {"tags in other case", riff_file("WAVE", {{"FMT ", fmt}, {"Data", samples}}), 22050, 16, 1, samples},
      {"a longer fmt chunk (extension bytes ignored)",
       riff_file("WAVE", {{"fmt ", [] { auto f = fmt; f.insert(f.end(), {0, 0}); return f; }()}, {"data", samples}}),
       22050, 16, 1, samples},
      {"extensible with PCM samples", riff_file("WAVE", {{"fmt ", extensible_fmt(1)}, {"data", samples}}), 22050, 16,
       1, samples},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Sound* sound = load(c.file);
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->version, 256u);
    EXPECT_EQ(sound->rate, c.rate);
    EXPECT_EQ(sound->bits, c.bits);
    EXPECT_EQ(sound->stereo, c.stereo);
    ASSERT_EQ(sound->size, c.data.size());
    EXPECT_EQ(std::vector<uint8_t>(sound->data, sound->data + sound->size), c.data);
    Sound_Free(sound);
  }
}

TEST(Wav, NameKeepsTheFirstFifteenCharacters) {
  Sound* sound = load(wav_file(1, 22050, 8, {1}), "levels/disc2/sounds/door01.wav");
  ASSERT_NE(sound, nullptr);
  EXPECT_STREQ(sound->name, "levels/disc2/so");
  for (size_t i = 15; i < sizeof sound->name; ++i) ASSERT_EQ(sound->name[i], 0);
  Sound_Free(sound);
  sound = load(wav_file(1, 22050, 8, {1}), "a.wav");
  EXPECT_STREQ(sound->name, "a.wav");
  Sound_Free(sound);
}

TEST(Wav, RefusedFiles) {
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
  } cases[] = {
      {"another form type", riff_file("AVI ", {{"fmt ", fmt}, {"data", samples}})},
      {"no RIFF chunk", [] { auto f = wav_file(1, 8000, 8, {1}); std::memcpy(f.data(), "RIFX", 4); return f; }()},
      {"no fmt chunk", riff_file("WAVE", {{"data", samples}})},
      {"no data chunk", riff_file("WAVE", {{"fmt ", fmt}})},
      {"a zero-size chunk before data ends the search", riff_file("WAVE", {{"fmt ", fmt}, {"junk", {}}, {"data", samples}})},
      {"data of size 0", riff_file("WAVE", {{"fmt ", fmt}, {"data", {}}})},
      {"fmt shorter than its fields", riff_file("WAVE", {{"fmt ", std::vector<uint8_t>(fmt.begin(), fmt.begin() + 14)}, {"data", samples}})},
      {"data one byte larger than the file", riff_file("WAVE", {{"fmt ", fmt}, {"data", samples, 9}})},
      // Sizes that in 32-bit arithmetic would lead the search back onto the same
      // chunk or before it; here they lead past the end of the file.
      {"a chunk size of 2^32 - 8", riff_file("WAVE", {{"fmt ", fmt}, {"LIST", {1, 2}, 0xFFFFFFF8}, {"data", samples}})},
      {"a chunk size of 2^32 - 16", riff_file("WAVE", {{"fmt ", fmt}, {"LIST", {1, 2}, 0xFFFFFFF0}, {"data", samples}})},
      {"an odd chunk size near 2^32", riff_file("WAVE", {{"fmt ", fmt}, {"LIST", {1, 2}, 0xFFFFFFFF}, {"data", samples}})},
      {"empty", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(load(c.file), nullptr);
    Memory_Riff_Source source(c.file.data(), c.file.size());
    Wav_Info info;
    EXPECT_FALSE(Wav_Read_Info_From(source, &info));
  }
}

TEST(Wav, CodingsOtherThanPcmAreRefusedWithTheReason) {
  struct Case {
    const char* what;
    std::vector<uint8_t> fmt;
    const char* reason;
  } cases[] = {
      {"ADPCM", fmt_payload(2, 22050, 4, 2), "format tag 2 is not PCM"},
      {"float", fmt_payload(2, 22050, 32, 3), "format tag 3 is not PCM"},
      {"A-law", fmt_payload(1, 8000, 8, 6), "format tag 6 is not PCM"},
      {"u-law", fmt_payload(1, 8000, 8, 7), "format tag 7 is not PCM"},
      {"MPEG layer 3", fmt_payload(2, 44100, 0, 0x55), "format tag 85 is not PCM"},
      {"tag 0", fmt_payload(2, 22050, 16, 0), "format tag 0 is not PCM"},
      {"extensible float", extensible_fmt(3), "sub-format 3 is not PCM"},
      {"extensible A-law", extensible_fmt(6), "sub-format 6 is not PCM"},
      {"extensible cut before its sub-format", extensible_fmt(1, 1), "without its sub-format"},
  };
  Debug_Output_Set_Enabled(true);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> file = riff_file("WAVE", {{"fmt ", c.fmt}, {"data", samples}});
    testing::internal::CaptureStderr();
    EXPECT_EQ(load(file), nullptr);
    Memory_Riff_Source source(file.data(), file.size());
    Wav_Info info;
    EXPECT_FALSE(Wav_Read_Info_From(source, &info));
    std::string debug = testing::internal::GetCapturedStderr();
    EXPECT_NE(debug.find(c.reason), std::string::npos) << debug;
  }
  Debug_Output_Set_Enabled(false);
  // A sub-format whose suffix differs is not PCM either, whatever its first bytes.
  std::vector<uint8_t> other = extensible_fmt(1);
  other.back() ^= 1;
  EXPECT_EQ(load(riff_file("WAVE", {{"fmt ", other}, {"data", samples}})), nullptr);
}

TEST(Wav, InfoKeepsTheHeaderFields) {
  std::vector<uint8_t> file = riff_file("WAVE", {{"fmt ", extensible_fmt(1)}, {"LIST", {9, 9, 9}}, {"data", samples}});
  Memory_Riff_Source source(file.data(), file.size());
  Wav_Info info;
  ASSERT_TRUE(Wav_Read_Info_From(source, &info));
  EXPECT_EQ(std::memcmp(&info.form_type, "WAVE", 4), 0);
  EXPECT_EQ(info.format_tag, 0xFFFEu);
  EXPECT_EQ(info.channels, 2u);
  EXPECT_EQ(info.samples_per_second, 22050u);
  EXPECT_EQ(info.avg_bytes_per_second, 88200u);
  EXPECT_EQ(info.block_align, 4u);
  EXPECT_EQ(info.bits_per_sample, 16u);
  EXPECT_EQ(info.data_size, 8u);
  // RIFF header 12, fmt 8 + 40, LIST 8 + 3 + pad, data header 8.
  EXPECT_EQ(info.data_offset, 12u + 48u + 12u + 8u);
}

TEST(Wav, ChunkSearch) {
  std::vector<uint8_t> file = riff_file("WAVE", {{"fmt ", fmt}, {"odd ", {1, 2, 3}}, {"data", samples}});
  Memory_Riff_Source source(file.data(), file.size());
  struct Case {
    const char* tag;
    uint64_t start, end;  // search range
    int result;
    uint64_t found_start, found_end;
  } cases[] = {
      {"RIFF", 0, file.size(), 0, 0, file.size()},
      {"fmt ", 12, file.size(), 0, 12, 36},
      {"ODD ", 12, file.size(), 0, 36, 47},
      {"data", 12, file.size(), 0, 48, 64},
      {"data", 12, 40, -1, 0, 0},               // the search stops at its end
      {"LIST", 12, file.size(), -1, 0, 0},      // not there
      {"fmt ", file.size(), file.size(), -1, 0, 0},  // the file must reach past start
      {"fmt ", 12, file.size() + 1, -1, 0, 0},       // and hold the whole range
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tag);
    uint64_t start = c.start, end = c.end;
    ASSERT_EQ(Riff_Find_In(source, c.tag, &start, &end), c.result);
    if (c.result == 0) {
      EXPECT_EQ(start, c.found_start);
      EXPECT_EQ(end, c.found_end);
    }
  }
}
