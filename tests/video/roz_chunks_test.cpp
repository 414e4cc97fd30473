#include "video/roz_chunks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "files/file.h"
#include "support/temp_dir.h"

namespace {

void put(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A chunk file built byte by byte: the header chunk, an unknown chunk of 12 bytes,
// a flat picture chunk of exactly 8 bytes, an animation header whose size runs
// one byte past the end, and its name cut short by the end of the file.
std::vector<uint8_t> walk_file() {
  std::vector<uint8_t> f;
  put(f, Roz_File_Header);
  put(f, 8);
  put(f, 0x11111111);  // at 8
  put(f, 12);
  put(f, 0xDEADBEEF);
  put(f, Roz_Flat);  // at 20
  put(f, 8);
  put(f, Roz_Anim_Header);  // at 28
  put(f, 8 + 3 + 1);        // 3 bytes of name follow
  f.push_back('d');
  f.push_back('o');
  f.push_back('o');
  return f;
}

// The cursor over the file in memory and over the same file through a slot walk
// the same chunks and refuse the same sizes.
TEST(RozChunks, CursorWalksMemoryAndSlotAlike) {
  std::vector<uint8_t> bytes = walk_file();
  Temp_Dir dir;
  std::string path = dir.write("WALK.ROZ", bytes);
  int slot = -1;
  File_Open(path.c_str(), &slot, 1);
  ASSERT_GE(slot, 0);
  Roz_Chunk_Cursor in_memory(bytes.data(), bytes.size());
  Roz_Chunk_Cursor through_slot(slot);

  for (const Roz_Chunk_Cursor* cursor : {&in_memory, &through_slot}) {
    SCOPED_TRACE(cursor == &in_memory ? "memory" : "slot");
    EXPECT_EQ(cursor->size(), bytes.size());
    EXPECT_TRUE(cursor->is_roz_file());
    struct Case {
      size_t at;
      uint32_t id, size;
      bool fits;
    };
    const Case cases[] = {
        {8, 0x11111111, 12, true},
        {20, Roz_Flat, 8, true},               // a chunk of its header alone
        {28, Roz_Anim_Header, 12, false},      // one byte past the end
        {bytes.size() - 7, 0, 0, false},       // fewer than 8 bytes left: the end
        {bytes.size() + 100, 0, 0, false},
    };
    for (const Case& c : cases) {
      Roz_Chunk chunk = cursor->at(c.at);
      EXPECT_EQ(chunk.id, c.id) << c.at;
      EXPECT_EQ(chunk.size, c.size) << c.at;
      EXPECT_EQ(chunk.fits, c.fits) << c.at;
      // A size that cannot be right reads as the end where sizes are trusted.
      EXPECT_EQ(cursor->sized_at(c.at).id, c.fits ? c.id : 0u) << c.at;
    }

    size_t position = Roz_First_Chunk;
    Roz_Chunk found;
    ASSERT_TRUE(cursor->find(&position, Roz_Flat, found));
    EXPECT_EQ(found.start, 20u);
    // The wanted chunk is found even when its size does not fit; the walk past it does not go on.
    position = Roz_First_Chunk;
    ASSERT_TRUE(cursor->find(&position, Roz_Anim_Header, found));
    EXPECT_EQ(found.start, 28u);
    EXPECT_FALSE(Roz_Chunk_Cursor::skip(&position, found));
    position = Roz_First_Chunk;
    EXPECT_FALSE(cursor->find(&position, Roz_Anim_Loop, found));

    // The cut name: what there is, then zeros; a whole read of it fails.
    uint8_t name[Roz_Anim_Name_Size];
    std::fill(name, name + sizeof name, 0xAA);
    cursor->read_padded(36, name, sizeof name);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(name)), "doo");
    EXPECT_EQ(name[sizeof name - 1], 0);
    EXPECT_FALSE(cursor->read(36, name, sizeof name));
    uint32_t value = 0;
    EXPECT_TRUE(cursor->u32(16, value));
    EXPECT_EQ(value, 0xDEADBEEFu);
    EXPECT_FALSE(cursor->u32(bytes.size() - 3, value));
  }
  File_Close(slot);

  // Not a ROZ file: another first id, or too short to hold one.
  std::vector<uint8_t> other = {0xAB, 0x84, 0xFA, 0x13};
  EXPECT_FALSE(Roz_Chunk_Cursor(other.data(), other.size()).is_roz_file());
  EXPECT_FALSE(Roz_Chunk_Cursor(bytes.data(), 3).is_roz_file());
  EXPECT_FALSE(Roz_Chunk_Cursor(nullptr, 0).is_roz_file());
}

}  // namespace
