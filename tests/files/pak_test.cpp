#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/file.h"
#include "files/pack_methods.h"
#include "files/pak.h"
#include "platform/memory.h"
#include "support/pak_writer.h"
#include "support/sample_data.h"
#include "support/temp_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Unpacked {
  int result;
  std::string name;
  Bytes data;
  bool null_data;
};

Unpacked unpack(const std::string& path) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, "%s", path.c_str());
  uint8_t* data = reinterpret_cast<uint8_t*>(1);
  int size = -1;
  Unpacked u;
  u.result = Pak_Unpack(buffer, &data, &size);
  u.name = buffer;
  u.null_data = data == nullptr;
  if (data) u.data.assign(data, data + size);
  if (!data) {
    EXPECT_EQ(size, 0);
  }
  Mem_Free(data);
  return u;
}

}  // namespace

TEST(PakFiles, UnpackEveryMethodAndReturnTheInnerName) {
  Temp_Dir dir;
  Bytes text = Sample_Text(3000);
  for (int method = 0; method <= 5; ++method) {
    Bytes packed = Pack_Encode(method, text.data(), text.size());
    Bytes file = Write_Pak({"PAKF", "osterlin.lst", static_cast<uint32_t>(method),
                            static_cast<uint32_t>(packed.size()), static_cast<uint32_t>(text.size())},
                           packed);
    EXPECT_EQ(Pak_Build("osterlin.lst", method, text.data(), text.size()), file) << method;
    std::string path = dir.write("intro" + std::to_string(method) + ".pak", file);
    Unpacked u = unpack(path);
    EXPECT_EQ(u.result, 13) << method;
    EXPECT_EQ(u.name, "osterlin.lst") << method;
    EXPECT_EQ(u.data, text) << method;
  }
  // Byte 15 of the name always ends it; the payload may be followed by more bytes.
  std::string path = dir.write("long.pak", Write_Pak({"PAKF", "ABCDEFGHIJKLMNOPQ", 0, 3, 3}, {'x', 'y', 'z', '!'}));
  Unpacked u = unpack(path);
  EXPECT_EQ(u.name, "ABCDEFGHIJKLMNO");
  EXPECT_EQ(u.result, 16);
  EXPECT_EQ(u.data, (Bytes{'x', 'y', 'z'}));

  // A PAK registered as a memory file is read from memory.
  Bytes file = Pak_Build("cursor1.pcx", 1, text.data(), 100);
  Mem_File_Add("CURSOR1.PAK", file.data(), static_cast<int>(file.size()));
  u = unpack("cursor1.pak");
  EXPECT_EQ(u.name, "cursor1.pcx");
  EXPECT_EQ(u.data, Bytes(text.begin(), text.begin() + 100));
  Mem_File_Remove("cursor1.pak");
}

TEST(PakFiles, DamagedOrImpossibleFilesAreRefused) {
  Temp_Dir dir;
  Bytes text = Sample_Text(500);
  Bytes m3 = Pack_Encode(3, text.data(), text.size());
  const uint32_t n3 = static_cast<uint32_t>(m3.size());
  Bytes header_cut = Write_Pak({"PAKF", "a", 0, 3, 3}, {});
  header_cut.resize(30);
  struct Case {
    const char* what;
    Bytes file;
  } cases[] = {
      {"wrong magic", Write_Pak({"PAKX", "a", 0, 3, 3}, {1, 2, 3})},
      {"header cut", header_cut},
      {"method 6", Write_Pak({"PAKF", "a", 6, n3, 500}, m3)},
      {"method 99", Write_Pak({"PAKF", "a", 99, 3, 3}, {1, 2, 3})},
      {"packed size beyond the file", Write_Pak({"PAKF", "a", 3, n3 + 1, 500}, m3)},
      {"stored copy larger than the payload", Write_Pak({"PAKF", "a", 0, 3, 4}, {1, 2, 3, 4})},
      {"empty", Write_Pak({"PAKF", "a", 0, 0, 0}, {})},
      {"claims 2 GB from a few bytes", Write_Pak({"PAKF", "a", 3, n3, 0x7FFFFFF0u}, m3)},
      {"stream shorter than its size", Write_Pak({"PAKF", "a", 3, n3, 600}, m3)},
      {"stream cut", Write_Pak({"PAKF", "a", 3, n3 - 10, 500}, Bytes(m3.begin(), m3.end() - 10))},
      {"damaged huffman", Write_Pak({"PAKF", "a", 4, 4, 10}, {0xFF, 0xFF, 0xFF, 0xFF})},
  };
  for (const Case& c : cases) {
    std::string path = dir.write("bad.pak", c.file);
    Unpacked u = unpack(path);
    EXPECT_EQ(u.result, 0) << c.what;
    EXPECT_TRUE(u.null_data) << c.what;
    EXPECT_EQ(u.name, path) << c.what;  // the caller's buffer is left alone
  }
  EXPECT_EQ(unpack(dir.file("absent.pak")).result, 0);
}
