// osterlin-tool wav info: what it prints, writes and returns.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "sound/wav_builder.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {
Program_Run run_tool(const std::string& arguments) { return Run_Program("osterlin-tool", arguments); }
}  // namespace

TEST(Wav_Tool, InfoPrintsTheFormatAndWritesTheSamples) {
  if (!std::filesystem::exists(Program_Path("osterlin-tool"))) GTEST_SKIP() << "osterlin-tool not built";
  Temp_Dir dir;
  std::vector<uint8_t> samples = {1, 2, 3, 4, 5, 6};
  std::string wav = dir.write("a.wav", riff_file("WAVE", {{"fmt ", fmt_payload(1, 11025, 16)},
                                                          {"LIST", {1, 2, 3}}, {"data", samples}}));
  std::string data = dir.file("a.raw");
  Program_Run run = run_tool("wav info " + wav + " --data " + data);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, "rate=11025 bits=16 stereo=0 size=6\n");
  EXPECT_EQ(Read_Whole_File(data), samples);

  std::string bad = dir.write("b.wav", riff_file("WAVE", {{"fmt ", fmt_payload(1, 11025, 16)}, {"data", {}}}));
  struct Case {
    std::string arguments;
    int status;
  } cases[] = {
      {"wav info " + bad, 1},
      {"wav info " + dir.file("missing.wav"), 1},
      {"wav info", 2},
      {"wav dump " + wav, 2},
  };
  for (const Case& c : cases) EXPECT_EQ(run_tool(c.arguments).status, c.status) << c.arguments;
}
