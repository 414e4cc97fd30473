// The WAV operations by name, through the file slots (disk and memory files).
#include <gtest/gtest.h>

#include <cstring>

#include "files/file.h"
#include "platform/memory.h"
#include "sound/sound.h"
#include "sound/wav.h"
#include "sound/wav_builder.h"
#include "support/temp_dir.h"

namespace {
const std::vector<uint8_t> samples = {1, 2, 3, 4, 5, 6, 7, 8};

std::vector<uint8_t> file_with_extras() {
  return riff_file("WAVE", {{"fmt ", fmt_payload(2, 22050, 16)}, {"LIST", {'I', 'N', 'F', 'O', 'x'}}, {"data", samples}});
}
}  // namespace

TEST(Wav_File, LoadsFromDiskAndMemoryFilesFirst) {
  Temp_Dir dir;
  std::string path = dir.write("door.wav", file_with_extras());
  Sound* sound = Wav_Load(path.c_str());
  ASSERT_NE(sound, nullptr);
  EXPECT_EQ(sound->rate, 22050u);
  EXPECT_EQ(std::vector<uint8_t>(sound->data, sound->data + sound->size), samples);
  Sound_Free(sound);

  // A memory file of the same name shadows the disk file.
  std::vector<uint8_t> other = wav_file(1, 11025, 8, {9, 9, 9});
  Mem_File_Add(path.c_str(), other.data(), static_cast<int>(other.size()));
  sound = Wav_Load(path.c_str());
  ASSERT_NE(sound, nullptr);
  EXPECT_EQ(sound->rate, 11025u);
  EXPECT_EQ(sound->size, 3u);
  Sound_Free(sound);
  Mem_File_Remove(path.c_str());

  EXPECT_EQ(Wav_Load(dir.file("missing.wav").c_str()), nullptr);
  EXPECT_EQ(Wav_Read_Info(dir.file("missing.wav").c_str()), nullptr);
}

TEST(Wav_File, InfoAndChunkSearchByName) {
  Temp_Dir dir;
  std::string path = dir.write("music.wav", file_with_extras());
  Wav_Info* info = Wav_Read_Info(path.c_str());
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->channels, 2u);
  EXPECT_EQ(info->data_size, 8u);
  EXPECT_EQ(info->data_offset, 12u + 24u + 14u + 8u);  // LIST: 8 + 5 + pad
  Mem_Free(info);

  int32_t start = 12, end = static_cast<int32_t>(file_with_extras().size());
  ASSERT_EQ(Riff_Find(path.c_str(), "list", &start, &end), 0);
  EXPECT_EQ(start, 36);
  EXPECT_EQ(end, 49);
  start = 12;
  end = 1000;  // more than the file holds
  EXPECT_EQ(Riff_Find(path.c_str(), "data", &start, &end), -1);
  start = 0;
  end = 20;
  EXPECT_EQ(Riff_Find(dir.file("none.wav").c_str(), "RIFF", &start, &end), -1);
}

// Every cut of a file, on disk and in memory, loads as nothing (and without
// reading past what is there).
TEST(Wav_File, EveryTruncationLoadsAsNothing) {
  Temp_Dir dir;
  std::vector<uint8_t> whole = file_with_extras();
  for (size_t size = 0; size < whole.size(); ++size) {
    std::vector<uint8_t> cut(whole.begin(), whole.begin() + size);
    std::string path = dir.write("cut.wav", cut);
    EXPECT_EQ(Wav_Load(path.c_str()), nullptr) << size;
    EXPECT_EQ(Wav_Read_Info(path.c_str()), nullptr) << size;
    Mem_File_Add("cut.wav", cut.data(), static_cast<int>(cut.size()));
    EXPECT_EQ(Wav_Load("cut.wav"), nullptr) << size;
    Mem_File_Remove("cut.wav");
  }
}
