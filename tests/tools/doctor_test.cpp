// osterlin-tool doctor on the demo game and on damaged copies of it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "scene/script_compiler.h"
#include "scene/snapshot.h"
#include "shell/saved_games.h"
#include "tool_run.h"

namespace fs = std::filesystem;

namespace {

std::string Last_Line(const std::string& text) {
  std::string t = text;
  while (!t.empty() && t.back() == '\n') t.pop_back();
  const size_t cut = t.rfind('\n');
  return cut == std::string::npos ? t : t.substr(cut + 1);
}

void Append(const fs::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary | std::ios::app);
  out << text;
}

// The demo game, written once for the suite (without recording its tour).
class Doctor : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new Temp_Dir();
    made_ = Run_Tool(*dir_, "make-demo --no-tour " + Quoted(dir_->file("demo")));
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override { ASSERT_EQ(made_.status, 0) << made_.errors; }

  // A fresh copy of the demo to damage.
  fs::path Copy(const Temp_Dir& into) {
    const fs::path copy = fs::path(into.path()) / "game";
    fs::copy(dir_->file("demo"), copy, fs::copy_options::recursive);
    return copy;
  }

  static Temp_Dir* dir_;
  static Tool_Result made_;
};

Temp_Dir* Doctor::dir_ = nullptr;
Tool_Result Doctor::made_;

}  // namespace

TEST_F(Doctor, TheDemoCanBePlayedFromStartToEnd) {
  Tool_Result r = Run_Tool(*dir_, "doctor " + Quoted(dir_->file("demo")));
  EXPECT_EQ(r.status, 0) << r.output << r.errors;
  EXPECT_EQ(Last_Line(r.output), "The game can be played from start to end.");
  EXPECT_EQ(r.output.find("PROBLEM"), std::string::npos) << r.output;
  for (const char* folder : {"01RE_DAVID", "02VR_ILE", "03VR_PUEBLO", "04VR_FLEUVE", "05VR_VILLAGEMARAIS",
                             "07VRTEMPLE_VOLCAN"}) {
    EXPECT_NE(r.output.find(std::string("ok       ") + folder), std::string::npos) << folder << "\n" << r.output;
  }
  EXPECT_NE(r.output.find("node pictures"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("cursor1"), std::string::npos) << r.output;
}

TEST_F(Doctor, EachDamageIsNamedAndFails) {
  struct Damage {
    const char* what;
    void (*apply)(const fs::path& game);
    std::vector<std::string> named;
  } damages[] = {
      {"missing level folder", [](const fs::path& game) { fs::remove_all(game / "04VR_FLEUVE"); },
       {"04VR_FLEUVE", "disc 3", "First: copy the folder 04VR_FLEUVE from disc 3"}},
      {"missing picture", [](const fs::path& game) { fs::remove(game / "01RE_DAVID" / "LIBRARY.ROZ"); },
       {"LIBRARY.ROZ", "node picture named at 01RE_DAVID/osterlin.lst:", "missing"}},
      {"damaged script",
       [](const fs::path& game) { Append(game / "03VR_PUEBLO" / "osterlin.lst", "FOOBAR 1\r\nSETANGLE 0 0\r\n"); },
       {"03VR_PUEBLO/osterlin.lst:", "unknown keyword \"FOOBAR\"", "compilation stops before the end",
        "First: replace 03VR_PUEBLO/osterlin.lst with the one from disc 3"}},
      {"cut zone file",
       [](const fs::path& game) { fs::resize_file(game / "01RE_DAVID" / "HALL.ZON", 20); },
       {"HALL.ZON", "zone file named at 01RE_DAVID/osterlin.lst:", "damaged: it counts"}},
      {"damaged saved game",
       [](const fs::path& game) { std::ofstream(game / "Saved_2.bin", std::ios::binary) << std::string(300, 'x'); },
       {"Saved_2.bin", "damaged", "First: move"}},
  };
  for (const Damage& damage : damages) {
    Temp_Dir dir;
    const fs::path game = Copy(dir);
    damage.apply(game);
    Tool_Result r = Run_Tool(dir, "doctor " + Quoted(game.string()));
    EXPECT_EQ(r.status, 1) << damage.what << "\n" << r.output << r.errors;
    for (const std::string& text : damage.named) {
      EXPECT_NE(r.output.find(text), std::string::npos) << damage.what << ": no \"" << text << "\" in\n" << r.output;
    }
    EXPECT_EQ(Last_Line(r.output).rfind("1 problem found. First: ", 0), 0u) << damage.what << "\n" << r.output;
  }
}

TEST_F(Doctor, LevelFoldersElsewhereAreFoundAsTheEngineFindsThem) {
  Temp_Dir dir;
  const fs::path game = Copy(dir);
  const fs::path discs = fs::path(dir.path()) / "discs";
  fs::create_directory(discs);
  for (const char* folder : {"01RE_DAVID", "02VR_ILE", "03VR_PUEBLO", "04VR_FLEUVE", "05VR_VILLAGEMARAIS",
                             "07VRTEMPLE_VOLCAN"}) {
    // The copy on disc is in lower case: names are matched without regard to case.
    std::string lower = folder;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    fs::rename(game / folder, discs / lower);
  }
  // Not found beside the installed folder...
  Tool_Result r = Run_Tool(dir, "doctor " + Quoted(game.string()));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("6 problems found. First: copy the folder 01RE_DAVID from disc 1"), std::string::npos)
      << r.output;
  // ...but through --discs, or through "source" in the settings file.
  r = Run_Tool(dir, "doctor " + Quoted(game.string()) + " --discs " + Quoted(discs.string()));
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("(--discs)"), std::string::npos) << r.output;
  const std::string settings = dir.write("registry.ini", "[Software\\Pellumaine's\\L'Osterlin\\1.0]\nsource=" +
                                                             discs.string() + "/\n");
  r = Run_Tool(dir, "doctor " + Quoted(game.string()), "OSTERLIN_REGISTRY=" + settings);
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("\"source\" in the settings file"), std::string::npos) << r.output;
}

TEST_F(Doctor, RefusesWhatIsNotAFolder) {
  Tool_Result r = Run_Tool(*dir_, "doctor " + Quoted(dir_->file("nowhere")));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.errors.find("is not a folder"), std::string::npos) << r.errors;
  r = Run_Tool(*dir_, "doctor " + Quoted(dir_->file("demo")) + " --discs " + Quoted(dir_->file("nowhere")));
  EXPECT_EQ(r.status, 1);
}

TEST_F(Doctor, SavedGamesMustFitTheirLevelsScript) {
  Temp_Dir dir;
  const fs::path game = Copy(dir);
  // The block size a game saved in level 2 has: what the level's script gives.
  std::vector<uint8_t> script = Read_Whole_File((game / "02VR_ILE" / "osterlin.lst").string());
  Script_Compile_Text(Script_Text{script.data(), script.size()});
  const size_t block = Scene_State_Size();
  Script_Free();
  ASSERT_GT(block, 32u);
  auto save = [&](int n, size_t size) {
    Save_Slot slot;
    slot.level = 2;
    slot.caption = {'1', 0, '2', 0, 'L', 0};
    slot.thumbnail_width = 232;
    slot.thumbnail_height = 174;
    slot.thumbnail.assign(232 * 174, 0x1234);
    slot.snapshot.assign(size, 0);  // node 0, view 0
    std::vector<uint8_t> bytes = Slot_File_Bytes(slot);
    std::ofstream(game / ("Saved_" + std::to_string(n) + ".bin"), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  };
  save(1, block);
  Tool_Result r = Run_Tool(dir, "doctor " + Quoted(game.string()));
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("ok       Saved_1.bin              level 2"), std::string::npos) << r.output;

  // A block of another size was saved from another script: it cannot be loaded.
  save(3, block + 4);
  r = Run_Tool(dir, "doctor " + Quoted(game.string()));
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("PROBLEM  Saved_3.bin"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("another version"), std::string::npos) << r.output;
  EXPECT_EQ(Last_Line(r.output).rfind("1 problem found. First: move", 0), 0u) << r.output;
}
