// osterlin-tool export: every kind of file of the demo game written as PNG, WAV
// and JSON and checked against the engine's own loaders; hand-made damaged files
// refused with a reason and nothing written outside the output folder.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "files/pak.h"
#include "anim_file_writer.h"
#include "picture_file_writers.h"
#include "roz_chunk_writer.h"
#include "scene/renderer.h"
#include "scene/runtime.h"
#include "scene/script_compiler.h"
#include "shell/saved_games.h"
#include "sound/sound.h"
#include "sound/wav.h"
#include "support/pak_writer.h"
#include "support/picture_writers.h"
#include "support/png_reader.h"
#include "support/temp_dir.h"
#include "video_file_writer.h"
#include "video/node_picture.h"
#include "zel_vr/zel_vr.h"

namespace fs = std::filesystem;

namespace {

struct Run_Result {
  int status = -1;
  std::string out, err;
};

std::string read_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

Run_Result run_tool(const std::string& args, const Temp_Dir& scratch) {
  std::string command = std::string("'") + OSTERLIN_BIN_DIR + "/osterlin-tool' " + args + " >'" +
                        scratch.file("stdout.txt") + "' 2>'" + scratch.file("stderr.txt") + "'";
  int status = std::system(command.c_str());
  Run_Result result;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = read_text(scratch.file("stdout.txt"));
  result.err = read_text(scratch.file("stderr.txt"));
  return result;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

void widen_565(uint16_t pixel, uint8_t* rgb) {
  int r = pixel >> 11, g = (pixel >> 5) & 63, b = pixel & 31;
  rgb[0] = static_cast<uint8_t>((r << 3) | (r >> 2));
  rgb[1] = static_cast<uint8_t>((g << 2) | (g >> 4));
  rgb[2] = static_cast<uint8_t>((b << 3) | (b >> 2));
}

uint32_t u32_at(const std::vector<unsigned char>& bytes, size_t at) {
  return static_cast<uint32_t>(bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16)) |
         (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

// The number after "key": in a JSON text (first occurrence after `from`).
double json_number(const std::string& json, const std::string& key, size_t from = 0) {
  size_t at = json.find("\"" + key + "\":", from);
  if (at == std::string::npos) return NAN;
  return std::strtod(json.c_str() + at + key.size() + 3, nullptr);
}

// The demo game (written without recording its tour), a saved game added beside
// it, then exported. Writing and exporting the demo is the expensive part, and
// ctest runs every test in a process of its own: the result is kept in the build
// tree and made again only when the tool or this test program is newer.
class Export_Demo : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    scratch_ = new Temp_Dir();
    root_ = std::string(OSTERLIN_BIN_DIR) + "/../export-demo-test";
    game_ = root_ + "/game";
    fs::create_directories(root_);
    int lock = open((root_ + ".lock").c_str(), O_CREAT | O_RDWR, 0644);
    if (lock >= 0) flock(lock, LOCK_EX);
    std::error_code error;
    auto stamp = fs::last_write_time(root_ + "/done", error);
    bool fresh = !error && stamp > fs::last_write_time(std::string(OSTERLIN_BIN_DIR) + "/osterlin-tool") &&
                 stamp > fs::last_write_time("/proc/self/exe");
    saved_game(!fresh);  // the expected values, and the file when the demo is made again
    if (!fresh) {
      fs::remove_all(root_, error);
      fs::create_directories(root_);
      Run_Result make = run_tool("make-demo --no-tour '" + game_ + "'", *scratch_);
      Run_Result exported;
      if (make.status == 0) {
        saved_game(true);
        exported = run_tool("export '" + game_ + "' --to '" + root_ + "/out'", *scratch_);
      }
      std::ofstream(root_ + "/export.out") << exported.out;
      std::ofstream(root_ + "/export.err") << make.err << exported.err;
      std::ofstream(root_ + "/done") << make.status << " " << exported.status << "\n";
    }
    std::ifstream(root_ + "/done") >> make_status_ >> export_.status;
    export_.out = read_text(root_ + "/export.out");
    export_.err = read_text(root_ + "/export.err");
    if (lock >= 0) close(lock);
  }
  static void TearDownTestSuite() {
    delete scratch_;
    scratch_ = nullptr;
  }

  // Saved_1.bin of level 1, in node 1, with the booleans numbered 100, 101...
  static void saved_game(bool write) {
    Script_Compile((game_ + "/01RE_DAVID/osterlin.lst").c_str());
    const Scene_Script* script = Script_Current();
    if (script == nullptr || script->warp_count < 2) {
      Script_Free();
      return;
    }
    size_t tests = 0;
    for (int32_t w = 0; w < script->warp_count; ++w) tests += static_cast<size_t>(script->warps[w].test_count);
    bools_ = script->bool_count;
    node_one_ = script->warps[1].picture_name;
    if (bools_ > 0) first_bool_ = script->bools[0].name;
    Save_Slot slot;
    slot.level = 1;
    const char caption[] = "1 janvier 2026\00012:34\000Le David";
    slot.caption.assign(caption, caption + sizeof caption);
    slot.snapshot.assign(8175 + 257 * tests + 4 * static_cast<size_t>(bools_), 0);
    auto put = [&](size_t at, int32_t v) {
      for (int i = 0; i < 4; ++i) slot.snapshot[at + i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
    };
    put(0, -300);   // pitch
    put(4, 2048);   // yaw
    put(28, 1);     // node
    for (int32_t b = 0; b < bools_; ++b) put(550 + 257 * tests + 4 * static_cast<size_t>(b), 100 + b);
    slot.thumbnail_width = 232;
    slot.thumbnail_height = 174;
    for (int i = 0; i < 232 * 174; ++i) slot.thumbnail.push_back(static_cast<uint16_t>(i * 37));
    thumbnail_ = slot.thumbnail;
    Script_Free();
    if (!write) return;
    std::vector<uint8_t> bytes = Slot_File_Bytes(slot);
    std::ofstream(game_ + "/Saved_1.bin", std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                                  static_cast<std::streamsize>(bytes.size()));
  }

  static std::string out(const std::string& name) { return root_ + "/out/" + name; }

  void SetUp() override {
    ASSERT_EQ(make_status_, 0) << export_.err;
    ASSERT_EQ(export_.status, 0) << export_.err;
  }

  static Temp_Dir* scratch_;
  static std::string root_, game_;
  static int make_status_;
  static Run_Result export_;
  static std::vector<uint16_t> thumbnail_;
  static int32_t bools_;
  static std::string node_one_, first_bool_;
};

Temp_Dir* Export_Demo::scratch_ = nullptr;
std::string Export_Demo::root_, Export_Demo::game_;
int Export_Demo::make_status_ = -1;
Run_Result Export_Demo::export_;
std::vector<uint16_t> Export_Demo::thumbnail_;
int32_t Export_Demo::bools_ = 0;
std::string Export_Demo::node_one_, Export_Demo::first_bool_;

TEST_F(Export_Demo, SummaryCountsEveryFileAndRefusesNone) {
  std::vector<std::string> lines = lines_of(export_.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines.back().find("files read"), std::string::npos) << lines.back();
  EXPECT_NE(lines.back().find(" 0 files refused"), std::string::npos) << lines.back();
  EXPECT_EQ(export_.err, "");
  // Not a terminal: no progress bar.
  EXPECT_EQ(export_.out.find('\r'), std::string::npos);
}

// The faces strip is the panorama as the node loader leaves it, face f at
// x = 512 f; the equirectangular picture is the bilinear sample of the cube in
// the direction of each pixel's centre, yaw 0 in the centre column.
TEST_F(Export_Demo, PanoramaFacesAndEquirectangularMatchTheLoadedCube) {
  Renderer_Create();
  Renderer_Start();
  ASSERT_EQ(Load_Node_Picture((game_ + "/01RE_DAVID/HALL.ROZ").c_str()), 0);
  const uint16_t* cube = Panorama_Buffer();

  Png_Read faces = Png_Read_File(out("01RE_DAVID/HALL.faces.png"));
  ASSERT_TRUE(faces.ok);
  ASSERT_EQ(faces.width, 3072);
  ASSERT_EQ(faces.height, 512);
  int mismatches = 0;
  for (int f = 0; f < 6; ++f) {
    for (int y = 0; y < 512; y += 3) {
      for (int x = 0; x < 512; x += 5) {
        uint8_t want[3], got[3];
        widen_565(cube[zel_vr::Face_Pixel_Index(f, x, y)], want);
        faces.rgb(f * 512 + x, y, got);
        mismatches += std::memcmp(want, got, 3) != 0;
      }
    }
  }
  EXPECT_EQ(mismatches, 0);

  Png_Read equirect = Png_Read_File(out("01RE_DAVID/HALL.equirect.png"));
  ASSERT_TRUE(equirect.ok);
  ASSERT_EQ(equirect.width, 2048);
  ASSERT_EQ(equirect.height, 1024);
  // Cube geometry written out here on its own: faces 4 front (+z), 3 right
  // (+x), 5 back, 1 left, 0 up, 2 down; u to the right and v downwards as seen
  // from the centre, the up face with +z at its bottom.
  const double pi = 3.14159265358979323846;
  int checked = 0, wrong = 0;
  for (int y = 8; y < 1024; y += 37) {
    for (int x = 3; x < 2048; x += 41) {
      double yaw = (x + 0.5) * 2 * pi / 2048 - pi, pitch = pi / 2 - (y + 0.5) * pi / 1024;
      double dx = std::cos(pitch) * std::sin(yaw), dy = std::sin(pitch), dz = std::cos(pitch) * std::cos(yaw);
      double ax = std::fabs(dx), ay = std::fabs(dy), az = std::fabs(dz), s, t;
      int face;
      if (az >= ax && az >= ay) {
        face = dz > 0 ? 4 : 5, s = dx / dz, t = -dy / az;
      } else if (ax >= ay) {
        face = dx > 0 ? 3 : 1, s = -dz / dx, t = -dy / ax;
      } else {
        face = dy > 0 ? 0 : 2, s = dx / ay, t = dz / dy;
      }
      double u = (s + 1) * 256 - 0.5, v = (t + 1) * 256 - 0.5;
      int tx = static_cast<int>(std::floor(u)), ty = static_cast<int>(std::floor(v));
      if (tx < 0 || ty < 0 || tx > 510 || ty > 510) continue;  // edges blend two faces
      double wx = u - tx, wy = v - ty;
      uint8_t c[4][3], got[3];
      widen_565(cube[zel_vr::Face_Pixel_Index(face, tx, ty)], c[0]);
      widen_565(cube[zel_vr::Face_Pixel_Index(face, tx + 1, ty)], c[1]);
      widen_565(cube[zel_vr::Face_Pixel_Index(face, tx, ty + 1)], c[2]);
      widen_565(cube[zel_vr::Face_Pixel_Index(face, tx + 1, ty + 1)], c[3]);
      equirect.rgb(x, y, got);
      for (int k = 0; k < 3; ++k) {
        double top = c[0][k] + (c[1][k] - c[0][k]) * wx, bottom = c[2][k] + (c[3][k] - c[2][k]) * wx;
        if (std::fabs(top + (bottom - top) * wy - got[k]) > 2.0) ++wrong;
      }
      ++checked;
    }
  }
  EXPECT_GT(checked, 1000);
  EXPECT_EQ(wrong, 0);
  Renderer_End();
}

TEST_F(Export_Demo, FlatPicturesAndBlockAnimationFrames) {
  for (const char* name : {"01RE_DAVID/MENU.png", "01RE_DAVID/GALLERY.png", "DISC.png"}) {
    Png_Read picture = Png_Read_File(out(name));
    ASSERT_TRUE(picture.ok) << name;
    EXPECT_EQ(picture.width, 640) << name;
    EXPECT_EQ(picture.height, 480) << name;
  }
  // HALL.ROZ's door animation changes the back face only: eight frames of it.
  std::string loop = read_text(out("01RE_DAVID/HALL.anim/DOOR/loop.json"));
  EXPECT_NE(loop.find("\"frames\":8"), std::string::npos) << loop;
  EXPECT_NE(loop.find("\"loop_frame\":null"), std::string::npos) << loop;
  EXPECT_NE(loop.find("\"faces\":[5]"), std::string::npos) << loop;
  Png_Read first = Png_Read_File(out("01RE_DAVID/HALL.anim/DOOR/0000.png"));
  Png_Read last = Png_Read_File(out("01RE_DAVID/HALL.anim/DOOR/0007.png"));
  ASSERT_TRUE(first.ok && last.ok);
  EXPECT_EQ(first.width, 512);
  EXPECT_EQ(first.height, 512);
  EXPECT_NE(first.pixels, last.pixels);
  EXPECT_FALSE(fs::exists(out("01RE_DAVID/HALL.anim/DOOR/0008.png")));
}

TEST_F(Export_Demo, AnimationFileVideoAndSounds) {
  // CLIP.MTA: 20 frames of 160 x 120 and 2940 bytes of 16-bit mono sound each.
  std::string info = read_text(out("01RE_DAVID/CLIP/info.json"));
  EXPECT_EQ(json_number(info, "frames"), 20) << info;
  EXPECT_EQ(json_number(info, "width"), 160);
  Png_Read frame = Png_Read_File(out("01RE_DAVID/CLIP/0019.png"));
  ASSERT_TRUE(frame.ok);
  EXPECT_EQ(frame.width, 160);
  EXPECT_EQ(frame.height, 120);
  std::vector<unsigned char> clip_sound = Read_Whole_File(out("01RE_DAVID/CLIP/sound.wav"));
  ASSERT_GE(clip_sound.size(), 44u);
  EXPECT_EQ(u32_at(clip_sound, 24), 22050u);
  EXPECT_EQ(u32_at(clip_sound, 40), 20u * 2940u);

  std::string video = read_text(out("01RE_DAVID/OPENING/info.json"));
  int frames = static_cast<int>(json_number(video, "frames"));
  EXPECT_GT(frames, 1) << video;
  Png_Read last = Png_Read_File(out("01RE_DAVID/OPENING/" + std::string(frames < 10 ? "000" : "00") +
                                    std::to_string(frames - 1) + ".png"));
  ASSERT_TRUE(last.ok);
  EXPECT_EQ(last.width, static_cast<int>(json_number(video, "width")));

  // A WAV comes out with the samples, rate, bits and channels the engine loads.
  for (const char* name : {"MUSIC", "DOOR"}) {
    Sound* sound = Wav_Load((game_ + "/01RE_DAVID/" + name + ".WAV").c_str());
    ASSERT_NE(sound, nullptr);
    std::vector<unsigned char> wav = Read_Whole_File(out(std::string("01RE_DAVID/") + name + ".wav"));
    ASSERT_EQ(wav.size(), 44u + sound->size + (sound->size & 1));
    EXPECT_EQ(u32_at(wav, 24), sound->rate);
    EXPECT_EQ(wav[22], sound->stereo + 1);
    EXPECT_EQ(wav[34], sound->bits);
    EXPECT_EQ(0, std::memcmp(wav.data() + 44, sound->data, sound->size));
    Sound_Free(sound);
  }
}

TEST_F(Export_Demo, ScriptsZonesAndPakInnerFiles) {
  Run_Result dump = run_tool("script dump '" + game_ + "/01RE_DAVID/osterlin.lst'", *scratch_);
  ASSERT_EQ(dump.status, 0);
  EXPECT_EQ(read_text(out("01RE_DAVID/osterlin.json")), dump.out);
  // intro.pak holds the intro's script: exported by its inner name.
  bool intro = false;
  for (const auto& entry : fs::directory_iterator(root_ + "/out")) {
    std::string name = entry.path().filename().string();
    intro = intro || (name != "osterlin.json" && name.size() > 5 && name.compare(name.size() - 5, 5, ".json") == 0 &&
                      read_text(entry.path().string()).rfind("{\"bools\":", 0) == 0);
  }
  EXPECT_TRUE(intro);

  // The zones' floats read back exactly as the zone file holds them.
  std::vector<unsigned char> zon = Read_Whole_File(game_ + "/01RE_DAVID/HALL.ZON");
  std::string zones = read_text(out("01RE_DAVID/HALL.zones.json"));
  uint32_t count = u32_at(zon, 0);
  ASSERT_GT(count, 0u);
  size_t at = 0;
  for (uint32_t i = 0; i < count; ++i) {
    at = zones.find("\"index\":" + std::to_string(i), at);
    ASSERT_NE(at, std::string::npos) << zones;
    const char* keys[4] = {"a1", "a2", "b1", "b2"};
    for (int k = 0; k < 4; ++k) {
      uint32_t bits = u32_at(zon, 4 + 16 * i + 4 * k);
      float want;
      std::memcpy(&want, &bits, 4);
      EXPECT_EQ(static_cast<float>(json_number(zones, keys[k], at)), want) << "zone " << i << " " << keys[k];
    }
  }
  EXPECT_NE(zones.find("\"kind\":\"panorama\""), std::string::npos);
  EXPECT_NE(zones.find("GOTOWARP,COURT.ROZ"), std::string::npos);

  // Outlines in the colours of click (yellow), entering (green) and leaving (magenta).
  Png_Read picture = Png_Read_File(out("01RE_DAVID/HALL.zones.png"));
  ASSERT_TRUE(picture.ok);
  ASSERT_EQ(picture.width, 2048);
  int yellow = 0, magenta = 0;
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      uint8_t c[3];
      picture.rgb(x, y, c);
      yellow += c[0] == 255 && c[1] == 220 && c[2] == 0;
      magenta += c[0] == 255 && c[1] == 0 && c[2] == 255;
    }
  }
  EXPECT_GT(yellow, 500);
  EXPECT_GT(magenta, 500);
  Png_Read flat = Png_Read_File(out("01RE_DAVID/GALLERY.zones.png"));
  ASSERT_TRUE(flat.ok);
  EXPECT_EQ(flat.width, 640);
}

TEST_F(Export_Demo, SavedGameThumbnailAndStateWithTheLevelsBooleans) {
  Png_Read thumbnail = Png_Read_File(out("Saved_1.png"));
  ASSERT_TRUE(thumbnail.ok);
  ASSERT_EQ(thumbnail.width, 232);
  ASSERT_EQ(thumbnail.height, 174);
  int wrong = 0;
  for (int y = 0; y < 174; ++y) {
    for (int x = 0; x < 232; ++x) {
      uint8_t want[3], got[3];
      widen_565(thumbnail_[static_cast<size_t>(y) * 232 + x], want);
      thumbnail.rgb(x, y, got);
      wrong += std::memcmp(want, got, 3) != 0;
    }
  }
  EXPECT_EQ(wrong, 0);
  std::string json = read_text(out("Saved_1.json"));
  EXPECT_NE(json.find("\"level\":1"), std::string::npos) << json;
  EXPECT_NE(json.find("\"level_folder\":\"01RE_DAVID\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"time\":\"12:34\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"pitch\":-300,\"yaw\":2048"), std::string::npos) << json;
  EXPECT_NE(json.find("\"index\":1,\"name\":\"" + node_one_ + "\""), std::string::npos) << json;
  if (bools_ > 0) {
    EXPECT_NE(json.find("\"" + first_bool_ + "\":100"), std::string::npos) << json;
  }
}

// Hand-made files, each damaged in one way: every one is refused with a reason,
// the good one beside them is still exported, and nothing lands outside --to.
TEST(Export_Refusals, DamagedFilesAreRefusedWithAReasonAndNothingLeavesTheOutputFolder) {
  Temp_Dir dir;
  auto u32 = [](std::vector<unsigned char>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
  };
  std::vector<unsigned char> header_only;
  u32(header_only, 0x12FA84AB);
  u32(header_only, 8);
  std::vector<unsigned char> bad_header;
  u32(bad_header, 0x12FA84AC);
  u32(bad_header, 8);
  u32(bad_header, 0xA0B1C200);
  u32(bad_header, 16);
  u32(bad_header, 50);
  u32(bad_header, 0);
  std::vector<unsigned char> overrun = header_only;  // a chunk claiming more than the file holds
  u32(overrun, 0xA0B1C200);
  u32(overrun, 4096);
  u32(overrun, 50);
  // The header chunk's size field is not used: the picture chunk after its 8
  // bytes is found, and its damaged stream is what is refused.
  std::vector<unsigned char> zero_header;
  u32(zero_header, 0x12FA84AB);
  u32(zero_header, 0);
  u32(zero_header, 0xA0B1C200);
  u32(zero_header, 24);
  for (int i = 0; i < 4; ++i) u32(zero_header, 0xFFFFFFFF);

  Picture_Image image = Test_Image(5, 3, 8);
  std::vector<uint8_t> pcx = Write_Pcx(image);
  std::vector<unsigned char> short_pcx(pcx.begin(), pcx.begin() + static_cast<long>(pcx.size() / 2));

  std::vector<unsigned char> wav = {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'};
  std::vector<uint8_t> sound(100, 0x80);
  std::vector<uint8_t> good_wav;
  // A valid 8-bit mono WAV to put inside the PAK files that try to escape.
  {
    std::vector<unsigned char> w;
    w.insert(w.end(), {'R', 'I', 'F', 'F'});
    u32(w, 36 + 100);
    w.insert(w.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    u32(w, 16);
    w.insert(w.end(), {1, 0, 1, 0});
    u32(w, 11025);
    u32(w, 11025);
    w.insert(w.end(), {1, 0, 8, 0, 'd', 'a', 't', 'a'});
    u32(w, 100);
    w.insert(w.end(), sound.begin(), sound.end());
    good_wav.assign(w.begin(), w.end());
  }
  auto pak_named = [&](const std::string& name) {
    Pak_Fields fields;
    fields.name = name;
    fields.packed_size = fields.unpacked_size = static_cast<uint32_t>(good_wav.size());
    return Write_Pak(fields, good_wav);
  };
  std::vector<unsigned char> random(3000);
  for (size_t i = 0; i < random.size(); ++i) random[i] = static_cast<unsigned char>((i * 7919) >> 3);
  // A Targa picture 0 pixels wide: neither a node picture nor a picture.
  std::vector<unsigned char> targa = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xE0, 1, 24, 0x20};
  targa.resize(18 + 64, 0x40);

  const std::vector<std::pair<std::string, std::vector<unsigned char>>> damaged = {
      {"BADHEAD.ROZ", bad_header},
      {"NOPIC.ROZ", header_only},
      {"OVERRUN.ROZ", overrun},
      {"ZEROHEAD.ROZ", zero_header},
      {"SHORT.PCX", short_pcx},
      {"BAD.WAV", wav},
      {"ESCAPE.PAK", pak_named("../EVIL.WAV")},
      {"ROOTED.PAK", pak_named("/tmp/EVIL.WAV")},
      {"Saved_3.bin", std::vector<unsigned char>(10, 1)},
      {"JUNK.MTA", random},
      {"JUNK.SMK", random},
      {"NARROW.TGA", targa},
  };
  for (const auto& [name, bytes] : damaged) dir.write("in/" + name, bytes);
  dir.write("in/NONODE.LST", std::string("just some text\r\nwith no node\r\n"));
  dir.write("in/GOOD.PCX", pcx);
  dir.write("in/notes.txt", std::string("not game data"));

  Run_Result result = run_tool("export '" + dir.file("in") + "' --to '" + dir.file("out") + "'", dir);
  EXPECT_EQ(result.status, 1);
  std::vector<std::string> refusals = lines_of(result.err);
  EXPECT_EQ(refusals.size(), damaged.size() + 1) << result.err;
  for (const auto& [name, bytes] : damaged) {
    bool named = false;
    for (const std::string& line : refusals) named = named || line.find("/" + name + ": ") != std::string::npos;
    EXPECT_TRUE(named) << name << " not refused with a reason:\n" << result.err;
  }
  EXPECT_NE(result.err.find("BADHEAD.ROZ: not a ROZ picture file"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("NOPIC.ROZ: no panorama or flat picture chunk"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("ZEROHEAD.ROZ: picture stream refused by the decoder"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("ESCAPE.PAK: inner name \"../EVIL.WAV\" would leave the output folder"), std::string::npos)
      << result.err;
  std::string summary = lines_of(result.out).back();
  EXPECT_NE(summary.find(std::to_string(damaged.size() + 1) + " files refused"), std::string::npos) << summary;
  EXPECT_NE(summary.find("1 files the engine does not read skipped"), std::string::npos) << summary;

  // The good picture keeps its palette and indices.
  Png_Read good = Png_Read_File(dir.file("out/GOOD.png"));
  ASSERT_TRUE(good.ok);
  EXPECT_EQ(good.colour_type, 3);
  EXPECT_EQ(good.palette, image.palette);
  EXPECT_EQ(good.pixels, image.pixels);

  // Nothing beside the input and output folders, and no escaped file anywhere.
  std::vector<std::string> top;
  for (const auto& entry : fs::directory_iterator(dir.path())) top.push_back(entry.path().filename().string());
  std::sort(top.begin(), top.end());
  EXPECT_EQ(top, (std::vector<std::string>{"in", "out", "stderr.txt", "stdout.txt"}));
  EXPECT_FALSE(fs::exists("/tmp/EVIL.WAV"));
  for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
    std::string name = entry.path().filename().string();
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_NE(name, "evil.wav") << entry.path();
  }
}

// Files the demo has none of, each built from its byte layout.
TEST(Export_Hand_Made, RawPanoramaPakMtrdStillLoneZoneFileAndMpegWithSound) {
  Temp_Dir dir;
  // A raw panorama: 256 x 6144 pixels of 5-5-5 in the buffer's tile layout.
  std::vector<unsigned char> raw(256 * 6144 * 2);
  auto raw_pixel = [](size_t i) { return static_cast<uint16_t>((i * 2654435761u >> 7) & 0x7FFF); };
  for (size_t i = 0; i < raw.size() / 2; ++i) {
    raw[2 * i] = static_cast<unsigned char>(raw_pixel(i));
    raw[2 * i + 1] = static_cast<unsigned char>(raw_pixel(i) >> 8);
  }
  dir.write("in/RAWPANO.BIN", raw);
  // A PAK holding an 8-bit PCX, and an MTRD still picture.
  Picture_Image image = Test_Image(7, 4, 8, 3);
  std::vector<uint8_t> pcx = Write_Pcx(image);
  std::vector<uint8_t> pak = Pak_Build("INNER.PCX", 0, pcx.data(), pcx.size());
  dir.write("in/PACKED.PAK", std::vector<unsigned char>(pak.begin(), pak.end()));
  Mtrd_Picture still;
  still.name = "STILL";
  still.width = image.width;
  still.height = image.height;
  still.palette = image.palette;
  still.data = image.pixels;
  std::vector<uint8_t> mtrd = Write_Mtrd(still);
  dir.write("in/STILL.MTD", std::vector<unsigned char>(mtrd.begin(), mtrd.end()));
  // A zone file alone: count 2, then a1, a2, b1, b2 per zone.
  const float floats[8] = {6.0f, 0.3f, 1.0f, 2.0f, 100.5f, 200.25f, 50.0f, 80.0f};
  std::vector<unsigned char> zon = {2, 0, 0, 0};
  zon.resize(4 + sizeof floats);
  std::memcpy(zon.data() + 4, floats, sizeof floats);
  dir.write("in/ALONE.ZON", zon);
  // An MPEG video with stereo sound.
  Video_File video;
  video.kind = Video_File::Kind::Mpeg;
  video.width = 64;
  video.height = 48;
  video.fps = 25;
  for (int f = 0; f < 5; ++f) video.frames.push_back(std::vector<uint8_t>(64 * 48 * 3, static_cast<uint8_t>(40 * f)));
  video.sound_rate = 22050;
  video.stereo = true;
  for (int i = 0; i < 22050 / 5 * 2; ++i) video.samples.push_back(static_cast<int16_t>((i % 200) * 100 - 10000));
  ASSERT_TRUE(Write_Video_File(dir.file("in/MOVIE.MPG"), video));

  Run_Result result = run_tool("export '" + dir.file("in") + "' --to '" + dir.file("out") + "'", dir);
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("5 files read"), std::string::npos) << result.out;

  Png_Read faces = Png_Read_File(dir.file("out/RAWPANO.faces.png"));
  ASSERT_TRUE(faces.ok);
  int wrong = 0;
  for (int f = 0; f < 6; ++f) {
    for (int y = 0; y < 512; y += 7) {
      for (int x = 0; x < 512; x += 3) {
        uint16_t v = raw_pixel(static_cast<size_t>(zel_vr::Face_Pixel_Index(f, x, y)));
        uint8_t want[3], got[3];
        widen_565(static_cast<uint16_t>((v & 0x1F) + ((v & 0x7FE0) << 1)), want);
        faces.rgb(f * 512 + x, y, got);
        wrong += std::memcmp(want, got, 3) != 0;
      }
    }
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_TRUE(Png_Read_File(dir.file("out/RAWPANO.equirect.png")).ok);

  for (const char* name : {"out/INNER.png", "out/STILL.png"}) {
    Png_Read picture = Png_Read_File(dir.file(name));
    ASSERT_TRUE(picture.ok) << name;
    EXPECT_EQ(picture.colour_type, 3) << name;
    EXPECT_EQ(picture.palette, image.palette) << name;
    EXPECT_EQ(picture.pixels, image.pixels) << name;
  }

  std::string zones = read_text(dir.file("out/ALONE.zon.json"));
  EXPECT_NE(zones.find("\"node\":null"), std::string::npos) << zones;
  EXPECT_EQ(static_cast<float>(json_number(zones, "a2")), 0.3f) << zones;
  EXPECT_EQ(static_cast<float>(json_number(zones, "a2", zones.find("\"index\":1"))), 200.25f) << zones;

  std::string info = read_text(dir.file("out/MOVIE/info.json"));
  EXPECT_EQ(json_number(info, "width"), 64) << info;
  EXPECT_GE(json_number(info, "frames"), 4) << info;
  EXPECT_TRUE(Png_Read_File(dir.file("out/MOVIE/0000.png")).ok);
  std::vector<unsigned char> wav = Read_Whole_File(dir.file("out/MOVIE/sound.wav"));
  ASSERT_GE(wav.size(), 44u) << info;
  EXPECT_EQ(u32_at(wav, 24), static_cast<uint32_t>(json_number(info, "rate")));
  EXPECT_EQ(wav[22], 2);
  EXPECT_GT(u32_at(wav, 40), 22050u * 4 / 10);  // most of the fifth of a second of sound
}

// A flat ROZ picture with two block animations: one of three frames with a loop
// marker back to frame 1, and one whose second frame draws outside the picture
// (the engine's stepper ends it there).
TEST(Export_Hand_Made, BlockAnimationsFrameByFrameWithTheirLoopAndDamage) {
  Temp_Dir dir;
  std::vector<uint8_t> file =
      roz_chunk::picture_file(roz_chunk::Flat, std::vector<uint8_t>(640 * 480 * 3, 0x30), 90);
  std::vector<uint8_t> white(192, 0xFF);
  roz_chunk::put_anim_header(file, "LOOPS", 3);
  for (int offset : {0, 8, 16}) roz_chunk::put_anim_frame(file, {offset}, white, 90);
  roz_chunk::put_anim_loop(file, 1);
  roz_chunk::put_anim_header(file, "BROKEN", 2);
  roz_chunk::put_anim_frame(file, {640 * 8}, white, 90);
  roz_chunk::put_anim_frame(file, {640 * 480}, white, 90);
  dir.write("in/FLATANIM.ROZ", std::vector<unsigned char>(file.begin(), file.end()));

  Run_Result result = run_tool("export '" + dir.file("in/FLATANIM.ROZ") + "' --to '" + dir.file("out") + "'", dir);
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("FLATANIM.ROZ: block animation BROKEN is damaged after frame 1"), std::string::npos)
      << result.err;

  Png_Read base = Png_Read_File(dir.file("out/FLATANIM.png"));
  ASSERT_TRUE(base.ok);
  ASSERT_EQ(base.width, 640);
  // Frame n of LOOPS shows tiles 0 to n drawn over the picture, nothing else.
  for (int n = 0; n < 3; ++n) {
    Png_Read frame = Png_Read_File(dir.file("out/FLATANIM.anim/LOOPS/000" + std::to_string(n) + ".png"));
    ASSERT_TRUE(frame.ok) << n;
    int changed_outside = 0, white_inside = 0;
    for (int y = 0; y < 480; ++y) {
      for (int x = 0; x < 640; ++x) {
        uint8_t a[3], b[3];
        base.rgb(x, y, a);
        frame.rgb(x, y, b);
        bool in_tiles = y < 8 && x < 8 * (n + 1);
        if (in_tiles) white_inside += b[0] > 0xF0 && b[1] > 0xF0 && b[2] > 0xF0;
        else changed_outside += std::memcmp(a, b, 3) != 0;
      }
    }
    EXPECT_EQ(changed_outside, 0) << n;
    EXPECT_EQ(white_inside, 64 * (n + 1)) << n;
  }
  EXPECT_FALSE(fs::exists(dir.file("out/FLATANIM.anim/LOOPS/0003.png")));
  std::string loops = read_text(dir.file("out/FLATANIM.anim/LOOPS/loop.json"));
  EXPECT_NE(loops.find("\"frames\":3,\"loop_frame\":1"), std::string::npos) << loops;
  EXPECT_NE(loops.find("\"damaged\":false"), std::string::npos) << loops;
  std::string broken = read_text(dir.file("out/FLATANIM.anim/BROKEN/loop.json"));
  EXPECT_NE(broken.find("\"frames\":1,"), std::string::npos) << broken;
  EXPECT_NE(broken.find("\"damaged\":true"), std::string::npos) << broken;
}

// An 8-bit animation file keeps its palette in every frame; one whose header
// claims a million frames gives no more pictures than its bytes could hold.
TEST(Export_Hand_Made, AnimationFileFramesKeepThePaletteAndAreBoundedByTheFile) {
  Temp_Dir dir;
  Anim_File anim;
  anim.width = 8;
  anim.height = 4;
  anim.bits = 8;
  anim.pack = 3;  // frames decode only with the LZ methods
  anim.palette = Test_Image(1, 1, 8).palette;
  for (int f = 0; f < 3; ++f) {
    std::vector<uint8_t> frame(32);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i * 5 + f * 40);
    anim.frames.push_back(frame);
  }
  std::vector<uint8_t> bytes = Write_Anim_File(anim);
  dir.write("in/PAL.MTA", std::vector<unsigned char>(bytes.begin(), bytes.end()));
  std::string text(bytes.begin(), bytes.end());
  size_t count_at = text.find("NBFR");
  ASSERT_NE(count_at, std::string::npos);
  for (int i = 0; i < 4; ++i) bytes[count_at + 8 + i] = static_cast<uint8_t>(1000000u >> (8 * i));
  dir.write("in/HUGE.MTA", std::vector<unsigned char>(bytes.begin(), bytes.end()));

  Run_Result result = run_tool("export '" + dir.file("in") + "' --to '" + dir.file("out") + "'", dir);
  ASSERT_EQ(result.status, 0) << result.err;
  for (int f = 0; f < 3; ++f) {
    Png_Read frame = Png_Read_File(dir.file("out/PAL/000" + std::to_string(f) + ".png"));
    ASSERT_TRUE(frame.ok) << f;
    EXPECT_EQ(frame.colour_type, 3);
    EXPECT_EQ(frame.palette, anim.palette);
    EXPECT_EQ(frame.pixels, anim.frames[static_cast<size_t>(f)]) << f;
  }
  EXPECT_EQ(json_number(read_text(dir.file("out/PAL/info.json")), "frames"), 3);
  double huge = json_number(read_text(dir.file("out/HUGE/info.json")), "frames");
  EXPECT_GE(huge, 3);
  EXPECT_LE(huge, bytes.size() / 8 + 1);
}

TEST(Export_Command, BadCommandLinesSayWhyInOneLine) {
  Temp_Dir dir;
  Run_Result missing = run_tool("export '" + dir.file("absent") + "' --to '" + dir.file("out") + "'", dir);
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(lines_of(missing.err).size(), 1u) << missing.err;
  EXPECT_NE(missing.err.find("absent"), std::string::npos);
  EXPECT_EQ(run_tool("export '" + dir.path() + "'", dir).status, 2);
  EXPECT_EQ(run_tool("export --to '" + dir.file("out") + "'", dir).status, 2);
}

// On a terminal a progress bar counts the files; the summary comes after it.
TEST(Export_Command, ProgressBarOnlyOnATerminal) {
  Temp_Dir dir;
  for (const char* name : {"A.ZON", "B.ZON", "C.ZON"}) dir.write(std::string("in/") + name, std::vector<unsigned char>(4, 0));
  std::string tool = std::string(OSTERLIN_BIN_DIR) + "/osterlin-tool";
  std::string in = dir.file("in"), out = dir.file("out");
  int master = -1;
  pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(child, 0);
  if (child == 0) {
    execl(tool.c_str(), tool.c_str(), "export", in.c_str(), "--to", out.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  std::string seen;
  char buffer[4096];
  for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;) seen.append(buffer, static_cast<size_t>(n));
  int status = 0;
  waitpid(child, &status, 0);
  close(master);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << seen;
  EXPECT_NE(seen.find("\r["), std::string::npos) << seen;
  EXPECT_NE(seen.find("] 3/3"), std::string::npos) << seen;
  EXPECT_NE(seen.find("export: 3 files read, 3 files written, 0 files refused"), std::string::npos) << seen;
}

// --help: one list, descriptions in one column, the commands of every engineer.
TEST(Tool_Help, UsageFormsFormOneAlignedList) {
  Temp_Dir dir;
  Run_Result help = run_tool("--help", dir);
  ASSERT_EQ(help.status, 0);
  size_t column = 0;
  int forms = 0;
  for (const std::string& line : lines_of(help.out)) {
    if (line.rfind("  osterlin-tool ", 0) == 0) {
      ++forms;
      size_t gap = line.find("  ", 2);
      if (gap == std::string::npos) continue;  // description on the next line
      size_t start = line.find_first_not_of(' ', gap);
      if (column == 0) column = start;
      EXPECT_EQ(start, column) << line;
    } else if (!line.empty() && line[0] == ' ') {
      EXPECT_EQ(line.find_first_not_of(' '), column) << line;
    }
  }
  EXPECT_GT(forms, 20);
  for (const char* form : {"export INPUT... --to DIR", "import zones IN.json OUT.ZON", "doctor INSTALLED"}) {
    EXPECT_NE(help.out.find(form), std::string::npos) << form;
  }
}

}  // namespace
