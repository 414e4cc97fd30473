#include "shell/shell_state.h"
#include "shell/saved_games.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/input.h"
#include "platform/trace.h"
#include "scene/run_script.h"
#include "scene/run_state.h"
#include "scene/runtime.h"
#include "scene/scene_sound.h"
#include "scene/script_compiler.h"
#include "scene/view.h"
#include "shell/levels.h"
#include "shell/plugins.h"
#include "shell/save_cards.h"
#include "sound/sound.h"
#include "sound/wav_builder.h"
#include "support/temp_dir.h"
#include "support/working_dir.h"
#include "video/command_block.h"

namespace {

uint32_t u32_at(const std::vector<uint8_t>& bytes, size_t offset) {
  return bytes[offset] | (bytes[offset + 1] << 8) | (bytes[offset + 2] << 16) |
         (static_cast<uint32_t>(bytes[offset + 3]) << 24);
}

Save_Slot small_slot() {
  Save_Slot slot;
  slot.level = 3;
  const char caption[] = "lundi 7 d\xE9" "cembre\0" "23:59:01\0" "Le ch\xE2teau";
  slot.caption.assign(caption, caption + sizeof caption);
  slot.snapshot = {1, 2, 3, 4, 5};
  slot.thumbnail_width = 3;
  slot.thumbnail_height = 2;
  slot.thumbnail = {0x1111, 0x2222, 0x3333, 0x4444, 0x5555, 0x6666};
  return slot;
}

std::vector<uint8_t> wav_second() {
  return wav_file(1, 22050, 16, pcm16(std::vector<int16_t>(22050, 1000)));
}

class SavedGamesTest : public testing::Test, public Run_Observer {
 protected:
  void SetUp() override {
    Shell_State_Reset();
    ASSERT_TRUE(Set_Install_Path(dir_.path().c_str()));
    Sound_Set_Output_Mode(Sound_Output::Pull);
    Command_Block_Set_Plugin_Handler(Plugin_Dispatch);
  }
  void TearDown() override {
    Command_Block_Set_Plugin_Handler(nullptr);
    Runtime_Set_Observer(nullptr);
    Saved_Games_Shutdown();
    Shell_State_Reset();
  }

  // Node 1 starts twice: first as the game goes, then restored from its save.
  void node_started(int node) override {
    if (node != 1) return;
    if (++visits_ == 1) {
      View().yaw = 300;
      return;
    }
    restored_.a = Bool_Get("A");
    restored_.yaw = View().yaw;
    restored_.music = Music_State().name;
    restored_.music_volume = Music_State().volume;
    for (int i = 0; i < 8; ++i) {
      const Sound_Slot& slot = Sound_Slots()[i];
      if (slot.channel != 0) restored_.sounds.push_back(std::string(slot.name) + "/" + std::to_string(slot.volume));
    }
    restored_.key0 = ::Run().key_warps[0];
    restored_.return_warp = ::Run().return_warp;
  }
  void before_input() override {
    if (visits_ == 1 && !jumped_) {
      jumped_ = true;
      View().yaw = 999;
      Push_Key(27);  // Escape: the menu node
    }
  }

  struct Restored {
    int32_t a = -1, yaw = -1, music_volume = -1, return_warp = -2;
    std::string music, key0;
    std::vector<std::string> sounds;
  };

  Temp_Dir dir_;
  Scoped_Working_Dir keep_dir_;  // the script runs change the working folder
  int visits_ = 0;
  bool jumped_ = false;
  Restored restored_;
};

}  // namespace

TEST(SlotFile, LayoutByteForByteAndBack) {
  Save_Slot slot = small_slot();
  std::vector<uint8_t> bytes = Slot_File_Bytes(slot);
  const size_t c = slot.caption.size(), s = slot.snapshot.size();
  const size_t stride = 8;  // 3 pixels of 2 bytes padded to 4
  ASSERT_EQ(bytes.size(), 64 + c + s + 2 * stride);
  EXPECT_EQ(u32_at(bytes, 0), 3u);
  EXPECT_EQ(u32_at(bytes, 4), c);
  EXPECT_EQ(0, std::memcmp(&bytes[8], slot.caption.data(), c));
  EXPECT_EQ(u32_at(bytes, 8 + c), s);
  EXPECT_EQ(bytes[12 + c], 1);
  const size_t h = 12 + c + s;
  const uint32_t header[10] = {40, 3, 2, 0, 3, 2 * stride, 0, 0, 3, 0};
  for (int i = 0; i < 10; ++i) {
    if (i == 3) {  // planes 1 and 16 bits per pixel, two 16-bit fields
      EXPECT_EQ(u32_at(bytes, h + 12), 1u | (16u << 16));
      continue;
    }
    EXPECT_EQ(u32_at(bytes, h + 4 * i), header[i]) << "header field " << i;
  }
  EXPECT_EQ(u32_at(bytes, h + 40), 0xF800u);
  EXPECT_EQ(u32_at(bytes, h + 44), 0x07E0u);
  EXPECT_EQ(u32_at(bytes, h + 48), 0x001Fu);
  // Bottom row first, each padded with zeros.
  const std::vector<uint8_t> pixels = {0x44, 0x44, 0x55, 0x55, 0x66, 0x66, 0, 0,
                                       0x11, 0x11, 0x22, 0x22, 0x33, 0x33, 0, 0};
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + static_cast<long>(h + 52), bytes.end()), pixels);

  // Read back: every field, the caption's bytes exactly as written.
  Save_Slot back;
  ASSERT_TRUE(Slot_Read_Bytes(back, bytes.data(), bytes.size()));
  EXPECT_EQ(back.level, 3u);
  EXPECT_EQ(back.caption, slot.caption);
  EXPECT_EQ(back.snapshot, slot.snapshot);
  EXPECT_EQ(back.thumbnail, slot.thumbnail);
  EXPECT_EQ(back.thumbnail_width, 3);

  // The game's own thumbnail: 464-byte rows, image size 80736.
  Save_Slot full;
  full.caption = {'x', 0};
  full.thumbnail_width = 232;
  full.thumbnail_height = 174;
  full.thumbnail.assign(232 * 174, 7);
  std::vector<uint8_t> full_bytes = Slot_File_Bytes(full);
  EXPECT_EQ(u32_at(full_bytes, 14 + 20), 80736u);
  EXPECT_EQ(full_bytes.size(), 2 + 64 + 80736u);
}

TEST(SlotFile, UnreadableGamesReadAsEmptySlots) {
  const std::vector<uint8_t> good = Slot_File_Bytes(small_slot());
  const size_t caption = small_slot().caption.size();
  struct Case {
    const char* what;
    size_t offset;  // u32 to overwrite, or SIZE_MAX to truncate at `value`
    uint32_t value;
  };
  const Case cases[] = {
      {"caption length beyond the file", 4, 0x7FFFFFF0},
      {"snapshot length beyond the file", 8 + caption, 1000},
      {"cut inside the caption", SIZE_MAX, 10},
      {"cut inside the snapshot length", SIZE_MAX, static_cast<uint32_t>(8 + caption + 2)},
      {"empty", SIZE_MAX, 0},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = good;
    if (c.offset == SIZE_MAX) {
      bytes.resize(c.value);
    } else {
      for (int i = 0; i < 4; ++i) bytes[c.offset + i] = static_cast<uint8_t>(c.value >> (8 * i));
    }
    Save_Slot slot;
    EXPECT_FALSE(Slot_Read_Bytes(slot, bytes.data(), bytes.size())) << c.what;
    EXPECT_TRUE(slot.caption.empty()) << c.what;
    EXPECT_TRUE(slot.snapshot.empty()) << c.what;
  }
}

// A damaged thumbnail keeps the game; what the file lacks of it is black.
TEST(SlotFile, DamagedThumbnailKeepsTheGame) {
  // Laid out by hand: level, caption, scene block, the 40-byte header of a
  // 232 x 174 5-6-5 bitmap, the three masks, then the bottom row and three
  // pixels of the row above it.
  const std::vector<uint8_t> caption = {'d', 0, 't', 0, 'L', 0};
  const std::vector<uint8_t> block = {9, 8, 7};
  std::vector<uint8_t> file;
  put_u32(file, 6);
  put_u32(file, static_cast<uint32_t>(caption.size()));
  file.insert(file.end(), caption.begin(), caption.end());
  put_u32(file, static_cast<uint32_t>(block.size()));
  file.insert(file.end(), block.begin(), block.end());
  const size_t header = file.size();
  for (uint32_t v : {40u, 232u, 174u, 1u | (16u << 16), 3u, 80736u, 0u, 0u, 3u, 0u}) put_u32(file, v);
  for (uint32_t mask : {0xF800u, 0x07E0u, 0x001Fu}) put_u32(file, mask);
  for (int x = 0; x < 232 + 3; ++x) {
    file.push_back(0x34);
    file.push_back(0x12);
  }
  Save_Slot slot;
  ASSERT_TRUE(Slot_Read_Bytes(slot, file.data(), file.size()));
  EXPECT_EQ(slot.level, 6u);
  EXPECT_EQ(slot.caption, caption);
  EXPECT_EQ(slot.snapshot, block);
  ASSERT_EQ(slot.thumbnail_width, 232);
  ASSERT_EQ(slot.thumbnail_height, 174);
  ASSERT_EQ(slot.thumbnail.size(), 232u * 174u);
  EXPECT_EQ(slot.thumbnail[173 * 232 + 0], 0x1234);    // the bottom row, stored first
  EXPECT_EQ(slot.thumbnail[173 * 232 + 231], 0x1234);
  EXPECT_EQ(slot.thumbnail[172 * 232 + 2], 0x1234);    // three pixels of the row above
  EXPECT_EQ(slot.thumbnail[172 * 232 + 3], 0);
  EXPECT_EQ(slot.thumbnail[0], 0);

  // Headers that give no usable size: a black thumbnail of the saved size.
  struct Case {
    const char* what;
    size_t offset;  // u32 to overwrite, or SIZE_MAX to truncate at `value`
    uint32_t value;
  };
  const Case cases[] = {
      {"header size not 40", header, 39},
      {"width 0", header + 4, 0},
      {"height negative", header + 8, 0xFFFFFFFF},
      {"huge width", header + 4, 0x40000000},
      {"cut inside the header", SIZE_MAX, static_cast<uint32_t>(header + 20)},
      {"no thumbnail at all", SIZE_MAX, static_cast<uint32_t>(header)},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = file;
    if (c.offset == SIZE_MAX) {
      bytes.resize(c.value);
    } else {
      for (int i = 0; i < 4; ++i) bytes[c.offset + i] = static_cast<uint8_t>(c.value >> (8 * i));
    }
    Save_Slot damaged;
    ASSERT_TRUE(Slot_Read_Bytes(damaged, bytes.data(), bytes.size())) << c.what;
    EXPECT_EQ(damaged.caption, caption) << c.what;
    EXPECT_EQ(damaged.snapshot, block) << c.what;
    EXPECT_EQ(damaged.thumbnail_width, 232) << c.what;
    EXPECT_EQ(damaged.thumbnail_height, 174) << c.what;
    EXPECT_EQ(damaged.thumbnail, std::vector<uint16_t>(232 * 174, 0)) << c.what;
  }
}

TEST(SlotFile, InterruptedSaveKeepsThePreviousFile) {
  Temp_Dir dir;
  const std::string path = dir.file("Saved_2.bin");
  const std::vector<uint8_t> old_bytes = {1, 2, 3};
  ASSERT_EQ(Slot_File_Write(path.c_str(), old_bytes), 0);
  Slot_File_Fail_Before_Rename(true);
  EXPECT_EQ(Slot_File_Write(path.c_str(), std::vector<uint8_t>(500, 9)), -1);
  EXPECT_EQ(Read_Whole_File(path), old_bytes);
  EXPECT_NE(access((path + ".tmp").c_str(), F_OK), 0);  // no temporary file left
  // A folder that cannot take the file: the write fails, nothing changes.
  EXPECT_EQ(Slot_File_Write(dir.file("missing/Saved_1.bin").c_str(), old_bytes), -1);
  ASSERT_EQ(Slot_File_Write(path.c_str(), {4, 5}), 0);
  EXPECT_EQ(Read_Whole_File(path), std::vector<uint8_t>({4, 5}));
}

TEST(SlotCaption, DateTimeAndLevelName) {
  std::vector<uint8_t> caption = Slot_Caption_Now(2);
  std::vector<std::string> parts;
  size_t at = 0;
  while (at < caption.size()) {
    size_t end = at;
    while (end < caption.size() && caption[end] != 0) ++end;
    ASSERT_LT(end, caption.size()) << "every text ends with a NUL";
    parts.emplace_back(caption.begin() + static_cast<long>(at), caption.begin() + static_cast<long>(end));
    at = end + 1;
  }
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_FALSE(parts[0].empty());
  ASSERT_EQ(parts[1].size(), 8u);  // 24-hour time
  EXPECT_EQ(parts[1][2], ':');
  EXPECT_LE(std::stoi(parts[1].substr(0, 2)), 23);
  EXPECT_EQ(parts[2], Level_Display_Name(2));
}

TEST(SaveCards, CardLandsBesideTheFaceCentreUpright) {
  Save_Slot slot;
  slot.caption = {'a', 0, 'b', 0, 'c', 0};
  slot.thumbnail_width = 232;
  slot.thumbnail_height = 174;
  // Quadrants: red top left, green top right, blue bottom left, grey bottom right.
  for (int y = 0; y < 174; ++y)
    for (int x = 0; x < 232; ++x)
      slot.thumbnail.push_back(y < 87 ? (x < 116 ? 0xF800 : 0x07E0) : (x < 116 ? 0x001F : 0x8410));
  int width = 0, height = 0;
  std::vector<uint16_t> card = Card_Build(slot, &width, &height);
  ASSERT_EQ(width, 238);
  ASSERT_EQ(height, 262);
  EXPECT_EQ(card[0], 0x0000);                 // outline
  EXPECT_EQ(card[1 * 238 + 1], 0xFFFF);       // white
  EXPECT_EQ(card[6 * 238 + 3], 0xF800);       // thumbnail at (3, 6)
  EXPECT_EQ(card[179 * 238 + 234], 0x8410);

  constexpr uint16_t Background = 0x1234;
  for (float tilt : {0.3927f, -0.3927f}) {
    std::vector<uint16_t> face(512 * 512, Background);
    Card_Project(face.data(), card.data(), width, height, tilt);
    int x0 = 512, x1 = -1, y0 = 512, y1 = -1;
    for (int y = 0; y < 512; ++y)
      for (int x = 0; x < 512; ++x)
        if (face[y * 512 + x] != Background) {
          x0 = std::min(x0, x);
          x1 = std::max(x1, x);
          y0 = std::min(y0, y);
          y1 = std::max(y1, y);
        }
    EXPECT_NEAR(x1 - x0 + 1, 198, 2) << tilt;
    EXPECT_NEAR(y1 - y0 + 1, 218, 2) << tilt;
    double centre = (x0 + x1 + 1) / 2.0 - 256.0;
    EXPECT_NEAR(centre, tilt > 0 ? 106 : -106, 2) << tilt;
    EXPECT_LT((y0 + y1) / 2, 256) << "the card stands above the horizon";
    // Upright and not mirrored: red above blue, red left of green.
    auto at = [&](double u, double v) {
      return face[static_cast<int>(y0 + v * (y1 - y0)) * 512 + static_cast<int>(x0 + u * (x1 - x0))];
    };
    EXPECT_EQ(at(0.2, 0.15), 0xF800) << tilt;
    EXPECT_EQ(at(0.8, 0.15), 0x07E0) << tilt;
    EXPECT_EQ(at(0.2, 0.55), 0x001F) << tilt;
    EXPECT_EQ(at(0.8, 0.55), 0x8410) << tilt;
  }
}

TEST_F(SavedGamesTest, SaveThenLoadRestoresTheGameAndRunsTheEntryTestAgain) {
  dir_.write("LOOP.WAV", wav_second());
  dir_.write("COUNT.WAV", wav_second());
  dir_.write("MUSIC.WAV", wav_second());
  dir_.write("osterlin.lst",
             "[BOOL] A\n[BOOL] LOADED\n"
             "[WARP] N1.PAN\n[TEST] -1\nSET A 1\nLOCKKEY 0 MENU.PAN\nPLAYMUSIQUE MUSIC.WAV 100\n"
             "PLAYSOUND LOOP.WAV 200 0\nPLAYSOUND COUNT.WAV 150 3\nGOTOWARP N2.PAN\n"
             "[WARP] N2.PAN\n[TEST] -1\nIFAND LOADED\nEND\nPLUGIN\nLoadSave()\nSave(1)\nENDPLUGIN\nSET A 5\n"
             "[WARP] MENU.PAN\n[TEST] -1\nSET A 9\nPLUGIN\nLoadSave()\nPreLoad(1)\nLoad(LOADED)\nENDPLUGIN\n");
  Runtime_Set_Observer(this);
  Trace_Set_Enabled(true);
  testing::internal::CaptureStderr();
  Run_Script_File("osterlin.lst", dir_.path().c_str());
  std::string trace = testing::internal::GetCapturedStderr();
  Trace_Set_Enabled(false);

  EXPECT_EQ(visits_, 2) << trace;
  EXPECT_EQ(restored_.a, 1);
  EXPECT_EQ(restored_.yaw, 300);
  EXPECT_EQ(restored_.music, "MUSIC.WAV");
  EXPECT_EQ(restored_.music_volume, 100);
  // The endlessly looping sound comes back with its volume; the counted one does not.
  EXPECT_EQ(restored_.sounds, std::vector<std::string>{"LOOP.WAV/200"});
  EXPECT_EQ(restored_.key0, "MENU.PAN");
  EXPECT_EQ(restored_.return_warp, -1);
  // The trace shows the state as saved and as restored, then the node starting again.
  EXPECT_NE(trace.find("state saved node 1 N2.PAN view 300 0 bools A=1 LOADED=0\n"), std::string::npos) << trace;
  EXPECT_NE(trace.find("plugin Load(LOADED)\nstate restored node 1 N2.PAN view 300 0 bools A=1 LOADED=0\n"
                       "node 1 N2.PAN\ntest 0 zone -1 trigger 0\ncmd IFAND,LOADED\ncmd END"),
            std::string::npos)
      << trace;
  // The slot file: in the installed folder, numbered 1, the level and a caption.
  std::vector<unsigned char> file = Read_Whole_File(dir_.file("Saved_1.bin"));
  ASSERT_GT(file.size(), 64u);
  EXPECT_EQ(u32_at(file, 0), Current_Level());
  EXPECT_EQ(Pending_Game(), nullptr);
}

TEST_F(SavedGamesTest, MismatchedBlockIsRefusedAndChangesNothing) {
  std::string text = "[BOOL] B1\n[BOOL] B2\n[WARP] ROOM.PAN\n[TEST] -1\nEND\n";
  Script_Compile_Text(Script_Text{reinterpret_cast<const uint8_t*>(text.data()), text.size()});
  Save_Slot slot = small_slot();
  slot.caption = {'x', 0};
  ASSERT_EQ(Slot_File_Write(dir_.file("Saved_1.bin").c_str(), Slot_File_Bytes(slot)), 0);
  Bool_Set("B1", 1);
  Bool_Set("B2", 4);
  Plugin_Dispatch("LoadSave");
  Plugin_Dispatch("LoadSave 1 B1 B2");
  EXPECT_EQ(Bool_Get("B1"), 1);  // slot 1 holds a game
  EXPECT_EQ(Bool_Get("B2"), 0);
  Bool_Set("B2", 4);
  Plugin_Dispatch("PreLoad 1");
  ASSERT_NE(Pending_Game(), nullptr);
  Plugin_Dispatch("Load B1");
  EXPECT_EQ(Bool_Get("B1"), 0);  // refused
  EXPECT_EQ(Bool_Get("B2"), 4);  // the running game untouched
  EXPECT_FALSE(::Run().restart_pending);
  EXPECT_EQ(Pending_Game(), nullptr);
  Script_Free();
}

TEST_F(SavedGamesTest, SlotFilesAreFoundWithoutRegardToCase) {
  auto names = [&] {
    std::vector<std::string> found;
    DIR* dir = opendir(dir_.path().c_str());
    while (struct dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") found.push_back(name);
    }
    closedir(dir);
    std::sort(found.begin(), found.end());
    return found;
  };
  Save_Slot game = small_slot();
  dir_.write("SAVED_1.BIN", Slot_File_Bytes(game));

  // Slot 1 reads the file of another case, and saving replaces that file.
  Save_Slot* one = Slot_Create(0);
  EXPECT_EQ(one->level, 3u);
  EXPECT_EQ(one->caption, game.caption);
  game.level = 4;
  ASSERT_EQ(Slot_File_Write(one->file_path, Slot_File_Bytes(game)), 0);
  EXPECT_EQ(names(), std::vector<std::string>{"SAVED_1.BIN"});
  EXPECT_EQ(u32_at(Read_Whole_File(dir_.file("SAVED_1.BIN")), 0), 4u);
  Slot_Destroy(one);

  // A slot without a file gets a new one under the game's own name.
  Save_Slot* two = Slot_Create(1);
  EXPECT_TRUE(two->caption.empty());
  ASSERT_EQ(Slot_File_Write(two->file_path, Slot_File_Bytes(game)), 0);
  EXPECT_EQ(names(), (std::vector<std::string>{"SAVED_1.BIN", "Saved_2.bin"}));
  Slot_Destroy(two);
  Save_Slot* again = Slot_Create(1);
  EXPECT_EQ(again->level, 4u);
  Slot_Destroy(again);
}
