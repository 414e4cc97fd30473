// Finding a script's text through the file layer: the packed form first.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "files/file.h"
#include "scene/script_compiler.h"
#include "support/temp_dir.h"
#include "support/working_dir.h"

namespace {

std::vector<unsigned char> pak_file(const std::string& inner_name, const std::string& payload, const char* magic = "PAKF",
                                    uint32_t declared_size = UINT32_MAX) {
  std::vector<unsigned char> bytes(36, 0);
  std::memcpy(bytes.data(), magic, 4);
  std::memcpy(bytes.data() + 8, inner_name.data(), std::min<size_t>(inner_name.size(), 15));
  auto put32 = [&](size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
  };
  uint32_t size = declared_size == UINT32_MAX ? static_cast<uint32_t>(payload.size()) : declared_size;
  put32(24, 0);  // stored
  put32(28, size);
  put32(32, size);
  bytes.insert(bytes.end(), payload.begin(), payload.end());
  return bytes;
}

class ScriptSource : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(inside_.entered()); }
  void TearDown() override { Script_Free(); }
  std::string first_node(const char* name) {
    Script_Compile(name);
    const Scene_Script* script = Script_Current();
    if (script == nullptr) return "(no script)";
    if (script->warp_count == 0) return "(no node)";
    return script->warps[0].picture_name ? script->warps[0].picture_name : "(unnamed)";
  }

  Temp_Dir dir_;
  Scoped_Working_Dir inside_{dir_.path()};
};

const std::string packed_script = "[WARP] PACKED.PIC\r\n[TEST]\r\n";
const std::string plain_script = "[WARP] PLAIN.PIC\r\n[TEST]\r\n";

}  // namespace

TEST_F(ScriptSource, PackedFormFirstThenThePlainFile) {
  dir_.write("osterlin.lst", plain_script);
  EXPECT_EQ(first_node("osterlin.lst"), "PLAIN.PIC");
  dir_.write("osterlin.pak", pak_file("inner.lst", packed_script));
  EXPECT_EQ(first_node("osterlin.lst"), "PACKED.PIC");
  // The memory file is gone afterwards: the plain file is seen again.
  EXPECT_EQ(File_Size("osterlin.lst"), static_cast<int>(plain_script.size()));
  dir_.write("intro.pak", pak_file("intro.lst", packed_script));
  EXPECT_EQ(first_node("intro.pak"), "PACKED.PIC");
}

TEST_F(ScriptSource, PackedFileThatCannotBeUnpackedCountsAsAbsent) {
  dir_.write("osterlin.lst", plain_script);
  std::vector<unsigned char> header_only = pak_file("x", "");
  header_only.resize(20);
  struct Case {
    const char* name;
    std::vector<unsigned char> pak;
  } cases[] = {
      {"wrong magic", pak_file("x", packed_script, "JUNK")},
      {"empty payload", pak_file("x", "")},
      {"header only", header_only},
      {"payload shorter than declared", pak_file("x", "[WARP]", "PAKF", 4000)},
  };
  for (const auto& c : cases) {
    dir_.write("osterlin.pak", c.pak);
    EXPECT_EQ(first_node("osterlin.lst"), "PLAIN.PIC") << c.name;
  }
}

TEST_F(ScriptSource, MissingOrEmptyScriptGivesNoNodes) {
  EXPECT_EQ(first_node("osterlin.lst"), "(no node)");
  dir_.write("empty.lst", "");
  EXPECT_EQ(first_node("empty.lst"), "(no node)");
  EXPECT_EQ(first_node(""), "(no node)");
}
