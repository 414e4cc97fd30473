// Picture_Load: the reader chosen by the extension of the file-name part, and the
// fallbacks to the other formats with the cut name.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "files/file.h"
#include "picture_test_util.h"
#include "support/temp_dir.h"
#include "support/working_dir.h"

namespace {

// Runs a test inside a fresh folder, as the engine loads names relative to the
// current folder.
class PictureLoad : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(inside_.entered()); }

  void Write(const std::string& name, const std::vector<uint8_t>& bytes) { dir_.write(name, bytes); }

  // Loads `name` from a 256-byte buffer, which keeps what Picture_Load left in it.
  Picture_Ptr Load(const std::string& name) {
    std::memset(buffer_, 0, sizeof buffer_);
    std::strncpy(buffer_, name.c_str(), sizeof buffer_ - 1);
    return Picture_Ptr(Picture_Load(buffer_));
  }

  char buffer_[256] = {};

 private:
  Temp_Dir dir_;
  Scoped_Working_Dir inside_{dir_.path()};
};

// Small files of every format, told apart by their width.
std::vector<uint8_t> Tga_File(int width = 3) { return Write_Tga(Test_Image(width, 2, 24)); }
std::vector<uint8_t> Gif_File(int width = 4) { return Write_Gif(Test_Image(width, 2, 8)); }
std::vector<uint8_t> Pcx_File(int width = 5) { return Write_Pcx(Test_Image(width, 2, 8)); }
std::vector<uint8_t> Bmp_File(int width = 6) { return Write_Bmp(Test_Image(width, 2, 24)); }
std::vector<uint8_t> Iff_File(int width = 7) { return Write_Iff(Test_Image(width, 2, 8)); }
std::vector<uint8_t> Mtr_File(int width = 8) { return Write_Mdraw(width, 2, {}, std::vector<uint8_t>(width * 2, 1)); }
std::vector<uint8_t> Mtrd_File(int width = 9, const char* name = "stored") {
  Mtrd_Picture p;
  p.name = name;
  p.width = width;
  p.height = 2;
  p.data.assign(static_cast<size_t>(width) * 2, 3);
  return Write_Mtrd(p);
}

TEST_F(PictureLoad, TheExtensionChoosesTheReaderWithoutRegardToCase) {
  struct Case {
    const char* file;
    std::vector<uint8_t> bytes;
    int width;
    const char* name;
  } cases[] = {{"CURSOR1.PCX", Pcx_File(), 5, "CURSOR1.PCX"}, {"cursor2.pcx", Pcx_File(), 5, "cursor2.pcx"},
               {"cursor3.Pcx", Pcx_File(), 5, "cursor3.Pcx"}, {"a.tga", Tga_File(), 3, "a.tga"},
               {"a.gif", Gif_File(), 4, "a.gif"},             {"a.bmp", Bmp_File(), 6, "a.bmp"},
               {"a.lbm", Iff_File(), 7, "a.lbm"},             {"b.IFF", Iff_File(), 7, "b.IFF"},
               {"minifon1.mtr", Mtr_File(), 8, "minifon1.mtr"}, {"a.mtd", Mtrd_File(), 9, "stored"},
               {"b.mta", Mtrd_File(), 9, "stored"},           {"c.tga.old", Tga_File(), 3, "c.tga.old"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Write(c.file, c.bytes);
    Picture_Ptr picture = Load(c.file);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, c.width);
    EXPECT_STREQ(picture->name, c.name);
  }
}

TEST_F(PictureLoad, AMissingOrRefusedFileFallsBackInOrderUnderTheRequestedName) {
  // Only the MTRD file exists for a requested BMP.
  Write("hall.mtd", Mtrd_File(9, "stored"));
  Picture_Ptr picture = Load("hall.bmp");
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->width, 9);
  EXPECT_STREQ(picture->name, "hall.bmp");
  EXPECT_STREQ(buffer_, "hall.");  // the caller's buffer keeps the cut name

  // mtr comes before gif; a refused TGA counts as missing.
  Write("door.tga", {1, 2, 3});
  Write("door.gif", Gif_File(4));
  Write("door.mtr", Mtr_File(8));
  picture = Load("door.tga");
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->width, 8);
  EXPECT_STREQ(picture->name, "door.tga");

  // An empty MTRD file is not read; the next format is.
  Write("wall.mtd", {});
  Write("wall.lbm", Iff_File(7));
  picture = Load("wall.mtd");
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->width, 7);

  // The upper-case PCX fallback finds a lower-case file; a name without a dot gets one.
  Write("sign.pcx", Pcx_File(5));
  picture = Load("sign");
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->width, 5);
  EXPECT_STREQ(picture->name, "sign");

  // Later formats in the order: bmp last.
  Write("last.bmp", Bmp_File(6));
  picture = Load("last.xyz");
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->width, 6);

  EXPECT_FALSE(Load("nothing.tga"));
  EXPECT_FALSE(Load(""));
}

TEST_F(PictureLoad, MemoryFilesAreFoundBeforeDiskFiles) {
  Write("menu.tga", Tga_File(3));
  std::vector<uint8_t> in_memory = Tga_File(11);
  Mem_File_Add("menu.tga", in_memory.data(), static_cast<int>(in_memory.size()));
  Picture_Ptr picture = Load("menu.tga");
  Mem_File_Remove("menu.tga");
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->width, 11);
  picture = Load("menu.tga");
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->width, 3);
}

TEST_F(PictureLoad, OnlyTheFileNamePartOfAPathGivesTheExtension) {
  // A dot in a folder name neither chooses the reader nor is where the name is cut.
  Write("set.tga/room.gif", Gif_File(4));
  Write("set.tga/hall.pcx", Pcx_File(5));
  Picture_Ptr picture = Load("set.tga/room.gif");
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->width, 4);
  EXPECT_STREQ(picture->name, "room.gif");
  picture = Load("set.tga/hall");
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->width, 5);
  EXPECT_STREQ(buffer_, "set.tga/hall.");
  picture = Load("set.tga\\hall.bmp");
  ASSERT_TRUE(picture);
  EXPECT_STREQ(picture->name, "hall.bmp");
}

TEST_F(PictureLoad, MtrdPicturesAreFoundInsideAnOpenFile) {
  std::vector<uint8_t> file = Chunk_U32("JUNK", 1);
  std::vector<uint8_t> mtrd = Mtrd_File(9, "inner");
  file.insert(file.end(), mtrd.begin(), mtrd.end());
  Write("pack.bin", file);
  int slot = -1;
  File_Open("pack.bin", &slot, 1);
  ASSERT_EQ(File_Error(), 0);
  int size = static_cast<int>(file.size());
  int start = 0, end = size;
  ASSERT_EQ(Chunk_Find(slot, size, "mtrd", &start, &end), 0);
  EXPECT_EQ(start, 12);
  EXPECT_EQ(end, size);
  Picture_Ptr picture(Picture_Load_Mtrd(slot, size, start, end));
  ASSERT_TRUE(picture);
  EXPECT_STREQ(picture->name, "inner");
  EXPECT_FALSE(Picture_Ptr(Picture_Load_Mtrd(slot, size, start, end + 1)));
  start = 0, end = size;
  EXPECT_EQ(Chunk_Find(slot, size, "NONE", &start, &end), -1);
  EXPECT_EQ(end, start);
  File_Close(slot);
}

}  // namespace
