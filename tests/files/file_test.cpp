#include "files/file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

std::vector<unsigned char> counting_bytes(size_t n) {
  std::vector<unsigned char> bytes(n);
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<unsigned char>(i);
  return bytes;
}

}  // namespace

TEST(MemoryFiles, ReadAndSeekFollowTheSlotRules) {
  auto bytes = counting_bytes(100);
  Mem_File_Add("CURSOR1.PCX", bytes.data(), 100);
  EXPECT_EQ(File_Size("cursor1.pcx"), 100);

  int slot = -1;
  File_Open("cursor1.pcx", &slot, 1);
  ASSERT_GE(slot, 0);
  unsigned char buffer[16] = {};
  struct Step {
    int seek, whence, read, delivered, tell_after;
  } steps[] = {
      {95, 0, 10, 5, 100},   // read cut at the end
      {0, 1, 10, 0, 100},    // at the end: nothing, and no failure
      {200, 0, 1, 0, 101},   // beyond the end parks at size + 1
      {-10, 0, 4, 4, 4},     // before the start clamps to 0
      {-3, 2, 10, 3, 100},   // from the end
      {-50, 1, 2, 2, 52},    // from the current position
  };
  for (const Step& step : steps) {
    File_Seek(slot, step.seek, step.whence);
    if (step.seek == 200) {
      EXPECT_EQ(File_Tell(slot), 101);
    }
    EXPECT_EQ(File_Read(slot, buffer, step.read), step.delivered) << step.seek;
    EXPECT_EQ(File_Error(), 0);
    EXPECT_EQ(File_Tell(slot), step.tell_after) << step.seek;
  }
  File_Seek(slot, 95, 0);
  File_Read(slot, buffer, 10);
  EXPECT_EQ(buffer[0], 95);
  EXPECT_EQ(buffer[4], 99);
  File_Close(slot);
  EXPECT_EQ(File_Error(), 0);

  // Removing frees every entry of the name; the disk is asked again.
  Mem_File_Add("cursor1.pcx", bytes.data(), 10);
  Mem_File_Remove("Cursor1.Pcx");
  EXPECT_EQ(File_Size("CURSOR1.PCX"), 0);
  EXPECT_EQ(File_Error(), -1);
}

TEST(MemoryFiles, ShadowDiskFilesAndSurviveRemovalWhileOpen) {
  Temp_Dir dir;
  std::string path = dir.write("data.bin", std::string("disk"));
  EXPECT_EQ(File_Size(path.c_str()), 4);
  void* copy = Mem_File_Add(path.c_str(), "memory", 6);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(File_Size(path.c_str()), 6);

  Mem_File_Add("other", "x", 1);
  int first = -1, second = -1;
  File_Open(path.c_str(), &first, 1);
  File_Open("OTHER", &second, 1);
  ASSERT_GE(first, 0);
  ASSERT_GE(second, 0);
  // Removing an entry in front of an open one must not redirect the open slot.
  Mem_File_Remove(path.c_str());
  char c = 0;
  EXPECT_EQ(File_Read(second, &c, 1), 1);
  EXPECT_EQ(c, 'x');
  EXPECT_EQ(File_Read(first, &c, 1), 0);  // its memory file is gone
  EXPECT_EQ(File_Error(), -1);
  File_Close(first);
  File_Close(second);
  Mem_File_Remove("other");

  // Opened for writing, the disk file is used even when a memory file shadows it.
  Mem_File_Add(path.c_str(), "memory", 6);
  int slot = -1;
  File_Open(path.c_str(), &slot, 0);
  ASSERT_GE(slot, 0);
  char text[8] = {};
  EXPECT_EQ(File_Read(slot, text, 8), 4);
  EXPECT_STREQ(text, "disk");
  File_Close(slot);
  Mem_File_Remove(path.c_str());

  Mem_File_Load(path.c_str());
  std::vector<uint8_t> whole;
  ASSERT_TRUE(File_Load_Whole(path.c_str(), whole));
  EXPECT_EQ(std::string(whole.begin(), whole.end()), "disk");
  Mem_File_Remove(path.c_str());
}

TEST(DiskFiles, ReadingPastTheEndMarksTheSlotUntilClosed) {
  Temp_Dir dir;
  std::string path = dir.write("five.bin", std::string("12345"));
  int slot = -1;
  File_Open(path.c_str(), &slot, 1);
  ASSERT_GE(slot, 0);
  char buffer[8];
  EXPECT_EQ(File_Read(slot, buffer, 8), 5);
  EXPECT_EQ(File_Error(), 0);
  EXPECT_EQ(File_Read(slot, buffer, 8), 0);
  EXPECT_EQ(File_Error(), -1);
  File_Seek(slot, 0, 0);
  EXPECT_EQ(File_Read(slot, buffer, 1), 0);  // the mark sticks after a seek back
  EXPECT_EQ(File_Error(), -1);
  File_Close(slot);
  EXPECT_EQ(File_Error(), -1);  // closing a marked slot reports the failure

  // Missing files: size 0 with File_Error -1; open gives slot -1.
  EXPECT_EQ(File_Size(dir.file("absent").c_str()), 0);
  EXPECT_EQ(File_Error(), -1);
  slot = 7;
  File_Open(dir.file("absent").c_str(), &slot, 1);
  EXPECT_EQ(slot, -1);
  EXPECT_EQ(File_Error(), -1);
  // A folder is not a file.
  EXPECT_EQ(File_Size(dir.path().c_str()), 0);

  // Invalid slot numbers fail quietly.
  EXPECT_EQ(File_Read(-1, buffer, 1), 0);
  EXPECT_EQ(File_Error(), -1);
  EXPECT_EQ(File_Read(File_Slot_Count, buffer, 1), 0);
  EXPECT_EQ(File_Tell(3), 0);
  EXPECT_EQ(File_Error(), -1);
}

TEST(DiskFiles, WritingCreatesUpdatesAndDeletes) {
  Temp_Dir dir;
  std::string path = dir.file("Saved_1.bin");
  int slot = -1;
  File_Open(path.c_str(), &slot, 0);
  ASSERT_GE(slot, 0);
  EXPECT_EQ(File_Write(slot, "abcdef", 6), 6);
  File_Seek(slot, 2, 0);
  char c = 0;
  EXPECT_EQ(File_Read(slot, &c, 1), 1);
  EXPECT_EQ(c, 'c');
  EXPECT_EQ(File_Write(slot, "Z", 1), 1);  // read then write on one stream
  File_Close(slot);
  EXPECT_EQ(File_Error(), 0);
  EXPECT_EQ(Read_Whole_File(path), (std::vector<unsigned char>{'a', 'b', 'c', 'Z', 'e', 'f'}));

  // Reopening for writing keeps the contents.
  File_Open(path.c_str(), &slot, 0);
  EXPECT_EQ(File_Write(slot, "X", 1), 1);
  File_Close(slot);
  EXPECT_EQ(File_Size(path.c_str()), 6);

  EXPECT_EQ(File_Delete(path.c_str()), 0);
  EXPECT_EQ(File_Size(path.c_str()), 0);
  EXPECT_EQ(File_Delete(path.c_str()), -1);
  EXPECT_EQ(File_Error(), -1);

  Mem_File_Add("memory.bin", "m", 1);
  File_Open("memory.bin", &slot, 1);
  EXPECT_EQ(File_Write(slot, "x", 1), 0);  // memory files are read only
  EXPECT_EQ(File_Error(), -1);
  File_Close(slot);
  Mem_File_Remove("memory.bin");
}

TEST(DiskFiles, FortyFirstOpenIsRefused) {
  Mem_File_Add("one.bin", "1", 1);
  std::vector<int> open;
  for (int i = 0; i < File_Slot_Count; ++i) {
    int slot = -1;
    File_Open("one.bin", &slot, 1);
    ASSERT_EQ(slot, i);  // the lowest free slot each time
    open.push_back(slot);
  }
  int slot = 1234;
  File_Open("one.bin", &slot, 1);
  EXPECT_EQ(File_Error(), -1);
  EXPECT_EQ(slot, 1234);  // left untouched
  File_Close(open[5]);
  File_Open("one.bin", &slot, 1);
  EXPECT_EQ(slot, 5);
  for (int s : open) File_Close(s);
  Mem_File_Remove("one.bin");
}

TEST(HostPaths, NamesResolveWithoutRegardToCase) {
  Temp_Dir dir;
  dir.write("Level1/Sounds/hall.pic", std::string("pic"));
  struct Case {
    std::string name;
    int size;
  } cases[] = {
      {dir.path() + "/Level1/Sounds/hall.pic", 3},
      {dir.path() + "/LEVEL1/SOUNDS/HALL.PIC", 3},
      {dir.path() + "\\level1\\sounds\\Hall.Pic", 3},
      {dir.path() + "/level1//./SOUNDS/../Sounds/HALL.pic", 3},
      {dir.path() + "/LEVEL1/SOUNDS/HALL.PCX", 0},
      {dir.path() + "/LEVEL2/SOUNDS/HALL.PIC", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(File_Size(c.name.c_str()), c.size) << c.name;

  int slot = -1;
  File_Open((dir.path() + "/LEVEL1\\SOUNDS\\HALL.PIC").c_str(), &slot, 1);
  ASSERT_GE(slot, 0);
  char text[4] = {};
  EXPECT_EQ(File_Read(slot, text, 3), 3);
  EXPECT_STREQ(text, "pic");
  File_Close(slot);

  // A file created through the layer is found at once under any case, even
  // though its folder was listed before; a deleted one is gone at once.
  std::string created = dir.path() + "/LEVEL1/SOUNDS/Saved_2.BIN";
  File_Open(created.c_str(), &slot, 0);
  ASSERT_GE(slot, 0);
  File_Write(slot, "12", 2);
  File_Close(slot);
  EXPECT_EQ(Read_Whole_File(dir.path() + "/Level1/Sounds/Saved_2.BIN").size(), 2u);
  EXPECT_EQ(File_Size((dir.path() + "/level1/sounds/saved_2.bin").c_str()), 2);
  EXPECT_EQ(File_Delete((dir.path() + "/LEVEL1/SOUNDS/SAVED_2.BIN").c_str()), 0);
  EXPECT_EQ(File_Size((dir.path() + "/level1/sounds/saved_2.bin").c_str()), 0);

  // A file another program adds is found once the folder shows a change.
  EXPECT_EQ(File_Size((dir.path() + "/LEVEL1/SOUNDS/OTHER.WAV").c_str()), 0);
  dir.write("Level1/Sounds/other.wav", std::string("wave"));
  struct timespec times[2] = {{1000, 0}, {1000, 0}};  // a change time that surely differs
  ASSERT_EQ(utimensat(AT_FDCWD, (dir.path() + "/Level1/Sounds").c_str(), times, 0), 0);
  EXPECT_EQ(File_Size((dir.path() + "/LEVEL1/SOUNDS/OTHER.WAV").c_str()), 4);

  char host[512];
  ASSERT_TRUE(File_Host_Path((dir.path() + "\\LEVEL1\\SOUNDS\\HALL.PIC").c_str(), host, sizeof host));
  EXPECT_EQ(std::string(host), dir.path() + "/Level1/Sounds/hall.pic");
  EXPECT_FALSE(File_Host_Path((dir.path() + "/x").c_str(), host, 4));
}

TEST(FilesState, ResetClosesSlotsAndForgetsMemoryFilesAndIsSafeTwice) {
  Temp_Dir dir;
  const std::string path = dir.write("disk.bin", std::string("abcdef"));
  int disk_slot = -1;
  File_Open(path.c_str(), &disk_slot, 1);
  ASSERT_GE(disk_slot, 0);
  auto bytes = counting_bytes(10);
  Mem_File_Add("first.bin", bytes.data(), 10);
  Mem_File_Add("second.bin", bytes.data(), 4);
  Mem_File_Add("FIRST.BIN", bytes.data(), 2);
  int memory_slot = -1;
  File_Open("second.bin", &memory_slot, 1);
  ASSERT_GE(memory_slot, 0);
  Files_State_Reset();
  Files_State_Reset();
  EXPECT_EQ(File_Size("first.bin"), 0);
  EXPECT_EQ(File_Size("second.bin"), 0);
  unsigned char buffer[4];
  EXPECT_EQ(File_Read(disk_slot, buffer, 4), 0) << "the disk slot was closed";
  EXPECT_EQ(File_Read(memory_slot, buffer, 4), 0) << "the memory slot was closed";
  // The layer works as before after a reset.
  Mem_File_Add("again.bin", bytes.data(), 5);
  EXPECT_EQ(File_Size("again.bin"), 5);
  EXPECT_EQ(File_Size(path.c_str()), 6);
  Files_State_Reset();
}
