// The script checker and dumper, run as the built tool on files.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "support/pak_writer.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

Program_Run run_tool(const std::string& arguments) { return Run_Program("osterlin-tool", arguments); }

}  // namespace

TEST(ScriptDump, PrintsTheCompiledScriptAsJson) {
  Temp_Dir dir;
  dir.write("level/osterlin.lst",
            "[BOOL] door\r\n[BOOL]\r\n[WARP] hall.pic hall.zon\r\n[TEST] -1\r\nPRINT caf\xe9 \"q\"\r\n"
            "PLUGIN\r\n\tplay(\"a\\b\",\t1)\r\nENDPLUGIN\r\n[TEST] 2 1\r\n[WARP] MENU.ROZD\r\n[TEST]\r\nEND\r\n");
  Program_Run result = run_tool("script dump " + dir.file("level/osterlin.lst"));
  EXPECT_EQ(result.status, 0) << result.errors;
  EXPECT_EQ(result.output,
            "{\"bools\":[{\"name\":\"DOOR\"},{\"name\":null}],\"warps\":["
            "{\"picture\":\"HALL.PIC\",\"zones\":\"HALL.ZON\",\"kind\":0,\"tests\":["
            "{\"zone\":-1,\"trigger\":0,\"commands\":[\"PRINT,CAF\\u00e9,\\\"Q\\\"\","
            "\"PLUGIN,play(\\\"a\\\\b\\\",\\t1);\"]},{\"zone\":2,\"trigger\":1,\"commands\":[]}]},"
            "{\"picture\":\"MENU.ROZD\",\"zones\":null,\"kind\":1,\"tests\":[{\"zone\":0,\"trigger\":0,"
            "\"commands\":[\"END\"]}]}]}\n");

  dir.write("open.lst", "[WARP] A\n[TEST]\nPLUGIN\nx\n");
  Program_Run open = run_tool("script dump " + dir.file("open.lst"));
  EXPECT_EQ(open.status, 0);
  EXPECT_EQ(open.errors, "Syntax error in PLUGIN intruction, ENDPLUGIN not found!\nOffset: 25\n");
  EXPECT_EQ(run_tool("script dump " + dir.file("absent.lst")).status, 1);
  EXPECT_EQ(run_tool("script dump").status, 2);
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
  Program_Run result = run_tool("script check " + dir.file("s.lst"));
  EXPECT_EQ(result.status, 1);
  const std::string f = dir.file("s.lst");
  const char* expected[] = {
      ":4: warning: boolean \"SHUT\" used by IFAND is never declared",
      ":5: warning: boolean \"LAMP\" used by SET is never declared",
      ":6: warning: GOTOWARP names no node: \"NOWHERE\"",
      ":8: warning: HIDECURSOR names no node: \"ATTIC\"",
      ":9: warning: LOCKKEY slot 13 is outside 0 to 12",
      ":10: warning: GOSUB to \"MISSING\": no LABEL of that name in this test",
      ":14: warning: this ENDPLUGIN line does not close the PLUGIN block: it ends in a blank",
      ":14: warning: command \"ENDPLUGIN \" has no \"(\": the engine shows the error screen and abandons the "
      "rest of the block",
      ":16: warning: line longer than 255 characters is read as two lines",
      ":17: error: unknown keyword \"FOO\": compilation stops here",
  };
  std::string want;
  for (const char* line : expected) want += f + line + "\n";
  want += f + ": 1 node(s), 1 boolean(s), 1 error(s), 9 warning(s); compilation stops before the end of the file\n";
  EXPECT_EQ(result.output, want);
}

TEST(ScriptCheck, StopRulesAndCleanScripts) {
  Temp_Dir dir;
  struct Case {
    const char* text;
    int status;
    const char* message;  // expected in the output
  } cases[] = {
      {"[WARP] A\r\n\r\n[TEST]\r\nEND\r\n", 1, ":2: error: the line after \"[WARP]\" must be \"[TEST]\""},
      {"[WARP] A\n[TEST]\nEND\n[BOOL] X\n", 1, ":4: error: \"[BOOL]\" among commands"},
      {"[WARP] A\n[TEST]\nPLUGIN\nx\n", 1, ":3: error: PLUGIN block without an ENDPLUGIN line"},
      // The lines of a block that never closes are never run: no warnings about them.
      {"[WARP] A\n[TEST]\nPLUGIN\nx\n", 1, "c.lst: 1 node(s), 0 boolean(s), 1 error(s), 0 warning(s); compilation"},
      {"[WARP] A\n[TEST]\nEND\n[WARP] B\n", 1, ":4: error: \"[WARP]\" at the end of the file has no \"[TEST]\""},
      {"[BOOL] X\n[BOOL] Y\n", 1, ": error: no node (no \"[WARP]\" line): the engine ends the run at once\n"},
      {"", 1, ": 0 node(s), 0 boolean(s), 1 error(s), 0 warning(s)\n"},
      {"[BOOL] X\n[WARP] A\n[TEST]\nIFOR X\nEND\n", 0, "1 node(s), 1 boolean(s), 0 error(s), 0 warning(s)\n"},
      {"[WARP] A\n[TEST]\nIFOR X\n", 0, ":3: warning: boolean \"X\" used by IFOR is never declared"},
  };
  for (const auto& c : cases) {
    dir.write("c.lst", c.text);
    Program_Run result = run_tool("script check " + dir.file("c.lst"));
    EXPECT_EQ(result.status, c.status) << c.text;
    EXPECT_NE(result.output.find(c.message), std::string::npos) << c.text << "\n" << result.output;
  }
}

TEST(ScriptCheck, RandomBytesFailWithoutANode) {
  Temp_Dir dir;
  std::mt19937 random(16);
  std::vector<unsigned char> bytes(4096);
  for (auto& byte : bytes) byte = static_cast<unsigned char>(random());
  dir.write("noise.lst", bytes);
  Program_Run result = run_tool("script check " + dir.file("noise.lst"));
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.output.find(": error: no node"), std::string::npos) << result.output;
}

// Command blocks are read without trimming: what follows a blank is not a number,
// and an empty line is an empty command that ends the block.
TEST(ScriptCheck, WarnsWhereCommandBlocksDoWhatTheAuthorDidNotMean) {
  Temp_Dir dir;
  dir.write("s.lst",
            "[BOOL] A\n"                          // 1
            "[BOOL] DONE\n"                       // 2
            "[WARP] HALL.PIC\n"                   // 3
            "[TEST] -1\n"                         // 4
            "PLUGIN set(A,1)\n"                   // 5: the rest of the line is dropped
            "set(A,5)\n"                          // 6: fine
            "  ; open the door\n"                 // 7: empty command
            "play_animbloc(DOOR,DONE,1, 25)\n"    // 8: speed 0
            "set(A, 5)\n"                         // 9: sets 0
            "until(DONE,1)\n"                     // 10: fine
            "\n"                                  // 11: one line end with line 10's LF
            "set (A,1)\n"                         // 12: not "set"
            "cmp(A,DONE,A,=<,1)\n"                // 13: no such operator
            "add(A ,A,1)\n"                       // 14: target with a blank
            "play_animbloc_number(DOOR,A,DONE,1,)\n"  // 15: empty speed
            "Set(B,1)\n"                          // 16: case matters, B undeclared
            "PlayMPEG(intro.mpg)\n"               // 17: a plug-in
            "ENDPLUGIN\n"                         // 18
            "END\n");
  Program_Run result = run_tool("script check " + dir.file("s.lst"));
  EXPECT_EQ(result.status, 0) << result.output;
  const std::string f = dir.file("s.lst");
  const char* expected[] = {
      ":5: warning: text after PLUGIN on its own line is ignored: the block starts below it",
      ":7: warning: comment-only line inside a PLUGIN block is an empty command: the engine shows the error screen "
      "and abandons the rest of the block",
      ":8: warning: play_animbloc: speed \" 25\" is written after a blank and reads as 0: the animation stays on "
      "its first frame and never ends",
      ":9: warning: set: value \" 5\" is written after a blank and reads as 0",
      ":12: warning: command name \"set \" ends in a blank, so it is not \"set\": the engine shows the error screen",
      ":13: warning: cmp: operator \"=<\" is not one of < > <= >= == !=: the command changes nothing",
      ":14: warning: add: target \"A \" has a blank at its start or end: it names no boolean",
      ":15: warning: play_animbloc_number: the speed is empty and reads as 0: the animation stays on its first "
      "frame and never ends",
      ":16: warning: \"Set\" is neither a command-block command nor a plug-in (did you mean \"set\"?): the engine "
      "shows the error screen",
  };
  std::string want;
  for (const char* line : expected) want += f + line + "\n";
  want += f + ": 1 node(s), 2 boolean(s), 0 error(s), 9 warning(s)\n";
  EXPECT_EQ(result.output, want);

  // With CR LF line ends a blank line is a line of its own, and so an empty command.
  dir.write("crlf.lst", "[WARP] A\r\n[TEST]\r\nPLUGIN\r\nwaves()\r\n\r\nENDPLUGIN\r\nEND\r\n");
  Program_Run crlf = run_tool("script check " + dir.file("crlf.lst"));
  EXPECT_EQ(crlf.status, 0);
  EXPECT_NE(crlf.output.find("crlf.lst:5: warning: blank line inside a PLUGIN block is an empty command"),
            std::string::npos)
      << crlf.output;
}

TEST(ScriptCheck, DataLooksForNamedFilesAsTheEngineFindsThem) {
  Temp_Dir dir;
  const std::string script =
      "[WARP] hall.pic hall.zon\n"                // 1: picture in another case; zone file missing
      "[TEST] -1\n"                               // 2
      "PLAYMUSIQUE theme.wav 200\n"               // 3
      "PLAYSOUND door.wav 255 1\n"                // 4: missing
      "PLAYSOUND3D sounds\\step.wav 255 0 1\n"     // 5: in a folder of another case
      "SETCURSOR hand.pcx hall.pic 0\n"           // 6: only its packed form exists
      "SETCURSORDEFAULT 0 arrow.pcx\n"            // 7: its packed form is damaged
      "PLAYSOUND door.wav 255 1\n"                // 8: named again
      "PLUGIN\n"                                  // 9
      "play_movie(intro.smk)\n"                   // 10: missing
      "PlayLangAutoVideo(outro.smk)\n"            // 11: a language variant exists
      "ENDPLUGIN\n"                               // 12
      "[WARP] menu.mtd\n"                         // 13: flat, found as another picture format
      "[TEST] -1\n"                               // 14
      "PLAYVIDEO bye.anm\n";                      // 15: missing
  dir.write("level/osterlin.lst", script);
  const std::vector<uint8_t> pixels = {1, 2, 3, 4};
  Pak_Fields hand;
  hand.name = "hand.pcx";
  hand.packed_size = hand.unpacked_size = 4;
  dir.write("level/HAND.PAK", Write_Pak(hand, pixels));
  Pak_Fields arrow = hand;
  arrow.magic = "PAKX";
  dir.write("level/arrow.pak", Write_Pak(arrow, pixels));
  for (const char* name : {"level/Hall.Pic", "level/THEME.WAV", "level/Sounds/STEP.WAV", "level/outroUS.smk",
                           "level/MENU.PCX", "level/cursor1.pcx", "level/cursor2.pcx"}) {
    dir.write(name, "data");
  }
  const std::string f = dir.file("level/osterlin.lst");
  // Without --data the files are not looked for.
  EXPECT_EQ(run_tool("script check " + f).status, 0);

  Program_Run result = run_tool("script check --data " + f);
  EXPECT_EQ(result.status, 1);
  const char* expected[] = {
      ":1: error: zone file \"HALL.ZON\" is missing",
      ":4: error: sound \"DOOR.WAV\" is missing (named again on 1 more line(s))",
      ":7: error: cursor picture \"ARROW.PCX\" is missing (in any picture format, and as \"ARROW.pak\")",
      ":10: error: movie \"intro.smk\" is missing",
      ":15: error: animation file \"BYE.ANM\" is missing",
  };
  std::string want;
  for (const char* line : expected) want += f + line + "\n";
  want += f + ": 2 node(s), 0 boolean(s), 5 error(s), 0 warning(s)\n";
  EXPECT_EQ(result.output, want);

  // Every file present (an empty one counts as absent, as for the engine), and
  // the run's two cursors missing: warnings only.
  dir.write("clean/osterlin.lst", "[WARP] A.PIC\n[TEST] -1\nPLAYSOUND EMPTY.WAV 1 1\nEND\n");
  dir.write("clean/a.pic", "data");
  dir.write("clean/empty.wav", "");
  Program_Run clean = run_tool("script check --data " + dir.file("clean/osterlin.lst"));
  EXPECT_EQ(clean.status, 1);
  EXPECT_NE(clean.output.find(":3: error: sound \"EMPTY.WAV\" is missing"), std::string::npos) << clean.output;
  dir.write("clean/empty.wav", "RIFF");
  clean = run_tool("script check --data " + dir.file("clean/osterlin.lst"));
  EXPECT_EQ(clean.status, 0);
  EXPECT_NE(clean.output.find(": warning: cursor picture \"cursor1.pcx\" is missing (in any picture format, and as "
                              "\"cursor1.pak\"): the default cursor is not drawn\n"),
            std::string::npos)
      << clean.output;
  EXPECT_NE(clean.output.find("1 node(s), 0 boolean(s), 0 error(s), 2 warning(s)\n"), std::string::npos);
}
