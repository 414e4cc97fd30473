// The script checker and dumper, run as the built tool on files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/temp_dir.h"

namespace {

struct Tool_Result {
  int status = -1;
  std::string output;
  std::string errors;
};

Tool_Result run_tool(const Temp_Dir& dir, const std::string& arguments) {
  std::string command = std::string("'") + OSTERLIN_BIN_DIR + "/osterlin-tool' " + arguments + " >'" +
                        dir.file("out.txt") + "' 2>'" + dir.file("err.txt") + "'";
  Tool_Result result;
  int status = std::system(command.c_str());
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  auto output = Read_Whole_File(dir.file("out.txt"));
  auto errors = Read_Whole_File(dir.file("err.txt"));
  result.output.assign(output.begin(), output.end());
  result.errors.assign(errors.begin(), errors.end());
  return result;
}

}  // namespace

TEST(ScriptDump, PrintsTheCompiledScriptAsJson) {
  Temp_Dir dir;
  dir.write("level/osterlin.lst",
            "[BOOL] door\r\n[BOOL]\r\n[WARP] hall.pic hall.zon\r\n[TEST] -1\r\nPRINT caf\xe9 \"q\"\r\n"
            "PLUGIN\r\n\tplay(\"a\\b\",\t1)\r\nENDPLUGIN\r\n[TEST] 2 1\r\n[WARP] MENU.ROZD\r\n[TEST]\r\nEND\r\n");
  Tool_Result result = run_tool(dir, "script dump " + dir.file("level/osterlin.lst"));
  EXPECT_EQ(result.status, 0) << result.errors;
  EXPECT_EQ(result.output,
            "{\"bools\":[{\"name\":\"DOOR\"},{\"name\":null}],\"warps\":["
            "{\"picture\":\"HALL.PIC\",\"zones\":\"HALL.ZON\",\"kind\":0,\"tests\":["
            "{\"zone\":-1,\"trigger\":0,\"commands\":[\"PRINT,CAF\\u00e9,\\\"Q\\\"\","
            "\"PLUGIN,play(\\\"a\\\\b\\\",\\t1);\"]},{\"zone\":2,\"trigger\":1,\"commands\":[]}]},"
            "{\"picture\":\"MENU.ROZD\",\"zones\":null,\"kind\":1,\"tests\":[{\"zone\":0,\"trigger\":0,"
            "\"commands\":[\"END\"]}]}]}\n");

  dir.write("open.lst", "[WARP] A\n[TEST]\nPLUGIN\nx\n");
  Tool_Result open = run_tool(dir, "script dump " + dir.file("open.lst"));
  EXPECT_EQ(open.status, 0);
  EXPECT_EQ(open.errors, "Syntax error in PLUGIN intruction, ENDPLUGIN not found!\nOffset: 25\n");
  EXPECT_EQ(run_tool(dir, "script dump " + dir.file("absent.lst")).status, 1);
  EXPECT_EQ(run_tool(dir, "script dump").status, 2);
}

TEST(ScriptCheck, ReportsEveryProblemWithItsLine) {
  Temp_Dir dir;
  // 255 characters, then "END" read as the next line.
  const std::string long_line = "PRINT A" + std::string(248, ' ') + "END";
  dir.write("s.lst",
            "[BOOL] OPEN\n"                       // 1
            "[WARP] HALL.PIC\n"                   // 2
            "[TEST] -1\n"                         // 3
            "IFAND OPEN SHUT\n"                   // 4: SHUT never declared
            "SET Lamp 1\n"                        // 5: LAMP never declared
            "GOTOWARP NOWHERE\n"                  // 6
            "SETCURSOR C.PCX HALL.PIC 0\n"        // 7: fine
            "HIDECURSOR ATTIC 0\n"                // 8
            "LOCKKEY 13 HALL.PIC\n"               // 9: slot
            "GOSUB MISSING\n"                     // 10
            "GOSUB HERE\n"                        // 11: fine
            "LABEL HERE\n"                        // 12
            "PLUGIN\n"                            // 13
            "ENDPLUGIN \n"                        // 14: kept open
            "endplugin\n" +                       // 15
            long_line + "\n"                      // 16: split
            "FOO 1\n"                             // 17: stops
            "END\n");
  Tool_Result result = run_tool(dir, "script check " + dir.file("s.lst"));
  EXPECT_EQ(result.status, 1);
  const std::string f = dir.file("s.lst");
  const char* expected[] = {
      ":4: boolean \"SHUT\" used by IFAND is never declared",
      ":5: boolean \"LAMP\" used by SET is never declared",
      ":6: GOTOWARP names no node: \"NOWHERE\"",
      ":8: HIDECURSOR names no node: \"ATTIC\"",
      ":9: LOCKKEY slot 13 is outside 0 to 12",
      ":10: GOSUB to \"MISSING\": no LABEL of that name in this test",
      ":14: this ENDPLUGIN line does not close the PLUGIN block: it ends in a blank",
      ":16: line longer than 255 characters is read as two lines",
      ":17: unknown keyword \"FOO\": compilation stops here",
  };
  std::string want;
  for (const char* line : expected) want += f + line + "\n";
  want += f + ": 1 node(s), 1 boolean(s), 9 problem(s); compilation stops before the end of the file\n";
  EXPECT_EQ(result.output, want);
}

TEST(ScriptCheck, StopRulesAndCleanScripts) {
  Temp_Dir dir;
  struct Case {
    const char* text;
    int status;
    const char* message;  // expected in the output
  } cases[] = {
      {"[WARP] A\r\n\r\n[TEST]\r\nEND\r\n", 1, ":2: the line after \"[WARP]\" must be \"[TEST]\""},
      {"[WARP] A\n[TEST]\nEND\n[BOOL] X\n", 1, ":4: \"[BOOL]\" among commands"},
      {"[WARP] A\n[TEST]\nPLUGIN\nx\n", 1, ":3: PLUGIN block without an ENDPLUGIN line"},
      {"[WARP] A\n[TEST]\nEND\n[WARP] B\n", 0, ":4: \"[WARP]\" at the end of the file has no \"[TEST]\""},
      {"[BOOL] X\n[WARP] A\n[TEST]\nIFOR X\nEND\n", 0, "1 node(s), 1 boolean(s), 0 problem(s)\n"},
  };
  for (const auto& c : cases) {
    dir.write("c.lst", c.text);
    Tool_Result result = run_tool(dir, "script check " + dir.file("c.lst"));
    EXPECT_EQ(result.status, c.status) << c.text;
    EXPECT_NE(result.output.find(c.message), std::string::npos) << c.text << "\n" << result.output;
  }
}
