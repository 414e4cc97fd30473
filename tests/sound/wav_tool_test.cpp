// osterlin-tool wav info: what it prints, writes and returns.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>

#include "sound/wav_builder.h"
#include "support/temp_dir.h"

namespace {
struct Tool_Run {
  int status;
  std::string out;
};

Tool_Run run_tool(const std::string& arguments) {
  std::string command = std::string(OSTERLIN_BIN_DIR) + "/osterlin-tool " + arguments + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  Tool_Run run{-1, {}};
  if (pipe == nullptr) return run;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) run.out += buffer;
  int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}
}  // namespace

TEST(Wav_Tool, InfoPrintsTheFormatAndWritesTheSamples) {
  if (!std::filesystem::exists(std::string(OSTERLIN_BIN_DIR) + "/osterlin-tool")) GTEST_SKIP() << "osterlin-tool not built";
  Temp_Dir dir;
  std::vector<uint8_t> samples = {1, 2, 3, 4, 5, 6};
  std::string wav = dir.write("a.wav", riff_file("WAVE", {{"fmt ", fmt_payload(1, 11025, 16)},
                                                          {"LIST", {1, 2, 3}}, {"data", samples}}));
  std::string data = dir.file("a.raw");
  Tool_Run run = run_tool("wav info " + wav + " --data " + data);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "rate=11025 bits=16 stereo=0 size=6\n");
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
