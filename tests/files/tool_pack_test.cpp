// The pack, unpack and pak commands of osterlin-tool, run as a user runs them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "files/pack_methods.h"
#include "files/pak.h"
#include "support/pak_writer.h"
#include "support/run_program.h"
#include "support/sample_data.h"
#include "support/temp_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;

Program_Run tool(const std::vector<std::string>& args) { return Run_Program("osterlin-tool", Quote_Arguments(args)); }

class ToolPack : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(std::filesystem::exists(Program_Path("osterlin-tool")))
        << "osterlin-tool must be built before these tests";
  }
  Temp_Dir dir;
};

}  // namespace

TEST_F(ToolPack, PackAndUnpackRoundTripEveryMethod) {
  Bytes picture = Sample_Picture_16(64, 40);
  Bytes reference = picture;
  for (size_t i = 0; i < reference.size(); i += 7) reference[i] ^= 0x10;
  std::string in = dir.write("in.bin", picture);
  std::string ref = dir.write("ref.bin", reference);
  const std::string size = std::to_string(picture.size());
  for (int method = 0; method <= 7; ++method) {
    const std::string m = std::to_string(method);
    std::string packed = dir.file("p" + m), out = dir.file("o" + m);
    ASSERT_EQ(tool({"pack", "--method", m, in, packed}).status, 0) << method;
    EXPECT_EQ(Read_Whole_File(packed), Pack_Encode(method, picture.data(), picture.size()));
    ASSERT_EQ(tool({"unpack", "--method", m, "--size", size, packed, out}).status, 0) << method;
    EXPECT_EQ(Read_Whole_File(out), picture) << method;
    if (method >= 6) {  // against a reference, decoded on top of it
      ASSERT_EQ(tool({"pack", "--method", m, "--ref", ref, in, packed}).status, 0);
      ASSERT_EQ(tool({"unpack", "--method", m, "--size", size, "--ref", ref, packed, out}).status, 0);
      EXPECT_EQ(Read_Whole_File(out), picture) << method;
    }
  }
}

TEST_F(ToolPack, RefusalsAndUsageErrorsHaveTheirExitCodes) {
  std::string in = dir.write("in.bin", std::string("hello hello hello"));
  std::string small = dir.write("small.bin", std::string("hi"));
  std::string bad = dir.write("bad.bin", Bytes{0x00, 0x61, 0xC0, 0x05});  // copy from before the start
  std::string cut = dir.write("cut.bin", Bytes{0x05, 0x61});
  std::string out = dir.file("out.bin");
  struct Case {
    std::vector<std::string> args;
    int status;
  } cases[] = {
      {{"pack", in, out}, 2},
      {{"pack", "--method", "8", in, out}, 2},
      {{"pack", "--method", "x", in, out}, 2},
      {{"pack", "--method", "3", "--ref", in, in, out}, 2},
      {{"pack", "--method", "3", in}, 2},
      {{"pack", "--method", "3", dir.file("absent"), out}, 1},
      {{"pack", "--method", "6", "--ref", small, in, out}, 1},
      {{"unpack", "--method", "3", in, out}, 2},
      {{"unpack", "--method", "3", "--size", "-1", in, out}, 2},
      {{"unpack", "--method", "3", "--size", "8", bad, out}, 1},
      {{"unpack", "--method", "3", "--size", "8", cut, out}, 1},
      {{"unpack", "--method", "1", "--size", "2", dir.write("run.bin", Bytes{0x05, 0x41}), out}, 1},
      {{"unpack", "--method", "7", "--size", "5", "--ref", small, in, out}, 1},
      {{"pak"}, 2},
      {{"pak", "frobnicate"}, 2},
      {{"pak", "create", "--method", "6", in, out}, 2},
      {{"pak", "create", "--method", "1", "--name", "a_name_too_long.txt", in, out}, 1},
      {{"pak", "list", in}, 1},
      {{"pak", "extract", in, dir.path()}, 1},
      {{"nonsense"}, 2},
  };
  for (const Case& c : cases) {
    std::string line;
    for (const auto& a : c.args) line += a + " ";
    EXPECT_EQ(tool(c.args).status, c.status) << line;
  }
}

TEST_F(ToolPack, PakCreateListAndExtract) {
  Bytes text = Sample_Text(4000);
  std::string in = dir.write("Osterlin.lst", text);
  std::string pak = dir.file("intro.pak");
  ASSERT_EQ(tool({"pak", "create", "--method", "5", in, pak}).status, 0);
  Bytes file = Read_Whole_File(pak);
  EXPECT_EQ(file, Pak_Build("Osterlin.lst", 5, text.data(), text.size()));
  Program_Run listed = tool({"pak", "list", pak});
  EXPECT_EQ(listed.status, 0);
  EXPECT_EQ(listed.output, "Osterlin.lst 5 " + std::to_string(file.size() - 36) + " 4000\n");

  Program_Run extracted = tool({"pak", "extract", pak, dir.file("out")});
  EXPECT_EQ(extracted.status, 0);
  EXPECT_EQ(extracted.output, "Osterlin.lst\n");
  EXPECT_EQ(Read_Whole_File(dir.file("out/Osterlin.lst")), text);

  ASSERT_EQ(tool({"pak", "create", "--method", "0", "--name", "cursor1.pcx", in, pak}).status, 0);
  EXPECT_EQ(tool({"pak", "list", pak}).output, "cursor1.pcx 0 4000 4000\n");

  // Inner names with folder parts are reduced to their file name.
  struct Hostile {
    std::string inner, written;
  } hostile[] = {{"../../evil.txt", "evil.txt"}, {"..\\x\\evil.bat", "evil.bat"}, {"/etc/passwd", "passwd"},
                 {"C:evil", "evil"}};
  for (const Hostile& h : hostile) {
    std::string path = dir.write("hostile.pak", Write_Pak({"PAKF", h.inner, 0, 3, 3}, {'b', 'a', 'd'}));
    std::string target = dir.file("safe/inner");
    Program_Run r = tool({"pak", "extract", path, target});
    EXPECT_EQ(r.status, 0) << h.inner;
    EXPECT_EQ(r.output, h.written + "\n") << h.inner;
    EXPECT_EQ(Read_Whole_File(target + "/" + h.written), (Bytes{'b', 'a', 'd'})) << h.inner;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("safe/evil.txt")));
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "/../evil.txt"));
  std::string dots = dir.write("dots.pak", Write_Pak({"PAKF", "a/..", 0, 3, 3}, {'b', 'a', 'd'}));
  EXPECT_EQ(tool({"pak", "extract", dots, dir.file("safe")}).status, 1);
}
