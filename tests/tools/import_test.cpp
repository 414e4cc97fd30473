// osterlin-tool import: panoramas, flat pictures, zone files and sounds, each read
// back through the engine's own loader.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "files/file.h"
#include "pictures/picture.h"
#include "video/engine_targets.h"
#include "scene/runtime.h"
#include "scene/view.h"
#include "sound/sound.h"
#include "sound/wav.h"
#include "sound/wav_builder.h"
#include "tool_run.h"
#include "video/node_picture.h"
#include "zel_vr/zel_vr.h"

namespace {

constexpr double Pi = 3.14159265358979323846;

struct Rgb {
  double r, g, b;
};

// Direction of the centre of equirectangular pixel (x, y): yaw 0 at the centre
// column growing to the right, the top row looking up.
void Equirect_Direction(int x, int y, int width, int height, double d[3]) {
  const double yaw = ((x + 0.5) / width - 0.5) * 2 * Pi;
  const double pitch = (0.5 - (y + 0.5) / height) * Pi;
  d[0] = std::cos(pitch) * std::sin(yaw);
  d[1] = std::sin(pitch);
  d[2] = std::cos(pitch) * std::cos(yaw);
}

// A picture given as a colour for every direction, drawn equirectangular.
template <typename Colour_Of>
std::vector<uint8_t> Draw_Equirect(int width, int height, Colour_Of colour_of) {
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      double d[3];
      Equirect_Direction(x, y, width, height, d);
      const Rgb c = colour_of(d);
      uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
      p[0] = static_cast<uint8_t>(std::clamp(c.r, 0.0, 255.0) + 0.5);
      p[1] = static_cast<uint8_t>(std::clamp(c.g, 0.0, 255.0) + 0.5);
      p[2] = static_cast<uint8_t>(std::clamp(c.b, 0.0, 255.0) + 0.5);
    }
  }
  return rgb;
}

// The decoders truncate each channel and carry the bits lost to the neighbours,
// so the 5-6-5 levels times 8, 4, 8 average back to the true 8-bit values.
Rgb Expand_565(uint16_t p) {
  return {static_cast<double>((p >> 11) << 3), static_cast<double>(((p >> 5) & 63) << 2),
          static_cast<double>((p & 31) << 3)};
}

// The loaded cube seen in a direction, bilinear inside the face hit.
Rgb Cube_Sample(const std::vector<uint16_t>& cube, const double d[3]) {
  float fx, fy;
  const int face = zel_vr::Direction_To_Face(static_cast<float>(d[0]), static_cast<float>(d[1]),
                                             static_cast<float>(d[2]), &fx, &fy);
  const double x = std::clamp(fx - 0.5, 0.0, 511.0), y = std::clamp(fy - 0.5, 0.0, 511.0);
  const int x0 = std::min(static_cast<int>(x), 510), y0 = std::min(static_cast<int>(y), 510);
  const double ax = x - x0, ay = y - y0;
  Rgb out{0, 0, 0};
  for (int k = 0; k < 4; ++k) {
    const int dx = k & 1, dy = k >> 1;
    const double w = (dx ? ax : 1 - ax) * (dy ? ay : 1 - ay);
    const Rgb c = Expand_565(cube[static_cast<size_t>(zel_vr::Face_Pixel_Index(face, x0 + dx, y0 + dy))]);
    out.r += w * c.r;
    out.g += w * c.g;
    out.b += w * c.b;
  }
  return out;
}

// Loads a node picture file through the engine: 0 panorama, 1 flat, -1 none.
class Node_Picture_Target {
 public:
  Node_Picture_Target() : cube_(zel_vr::Buffer_Pixels) {
    Engine_Set_Panorama_Buffer(cube_.data());
    Node_Picture_Replace(Picture_Create("warpfix", 640, 480, 16));
  }
  ~Node_Picture_Target() {
    Anim_Close_All();
    Node_Picture_Replace(nullptr);
    Engine_Set_Panorama_Buffer(nullptr);
  }
  int load(const std::string& path) { return Load_Node_Picture(path.c_str()); }
  const std::vector<uint16_t>& cube() const { return cube_; }
  const uint16_t* flat() const { return reinterpret_cast<const uint16_t*>(Node_Picture()->pixels); }

 private:
  std::vector<uint16_t> cube_;
};

// PSNR of the loaded cube re-projected to the source's equirectangular grid.
double Round_Trip_Psnr(const std::vector<uint8_t>& source, int width, int height, const std::vector<uint16_t>& cube) {
  double error = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      double d[3];
      Equirect_Direction(x, y, width, height, d);
      const Rgb c = Cube_Sample(cube, d);
      const uint8_t* p = &source[(static_cast<size_t>(y) * width + x) * 3];
      error += (c.r - p[0]) * (c.r - p[0]) + (c.g - p[1]) * (c.g - p[1]) + (c.b - p[2]) * (c.b - p[2]);
    }
  }
  const double mse = error / (3.0 * width * height);
  return 10 * std::log10(255.0 * 255.0 / mse);
}

Rgb Smooth_Colour(const double d[3]) {
  return {128 + 70 * std::sin(2.0 * d[0] + 1.1 * d[1]), 128 + 60 * std::cos(1.7 * d[2] - 0.8 * d[0]),
          128 + 50 * std::sin(2.3 * d[1] + 0.5 * d[2] + 0.3)};
}

// Something like a photograph: a sky, a horizon and an irregular ground with
// fine texture in many directions (sums of waves of many frequencies on the
// sphere, so the picture has no seam).
Rgb Photo_Like_Colour(const double d[3]) {
  static const std::vector<std::array<double, 5>> waves = [] {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<std::array<double, 5>> w;
    for (int i = 0; i < 48; ++i) {
      const double f = 2.0 * std::pow(1.12, i);
      double a[3] = {u(rng), u(rng), u(rng)};
      const double n = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
      w.push_back({a[0] / n * f, a[1] / n * f, a[2] / n * f, u(rng) * Pi, 60.0 / std::sqrt(f)});
    }
    return w;
  }();
  double texture = 0;
  for (const auto& w : waves) texture += w[4] * std::sin(w[0] * d[0] + w[1] * d[1] + w[2] * d[2] + w[3]);
  if (d[1] > 0.05 * std::sin(7 * std::atan2(d[0], d[2]))) {
    return {90 + 0.3 * texture + 60 * d[1], 140 + 0.3 * texture + 50 * d[1], 230 - 0.2 * texture};
  }
  return {110 + texture, 90 + 0.8 * texture, 60 + 0.5 * texture};
}

}  // namespace

TEST(ImportPanorama, SmoothPictureRoundTripsAbove30Db) {
  Temp_Dir dir;
  const int width = 1024, height = 512;
  const std::vector<uint8_t> source = Draw_Equirect(width, height, Smooth_Colour);
  Write_Png_Rgb(dir.file("smooth.png"), source, width, height);
  Tool_Result r = Run_Tool(dir, "import panorama " + Quoted(dir.file("smooth.png")) + " " +
                                    Quoted(dir.file("SMOOTH.ROZ")) + " --quality 90");
  ASSERT_EQ(r.status, 0) << r.errors;
  EXPECT_TRUE(r.output.empty()) << "no progress bar when stdout is not a terminal";
  Node_Picture_Target target;
  ASSERT_EQ(target.load(dir.file("SMOOTH.ROZ")), 0);
  EXPECT_EQ(Node_Picture_Width(), 256);
  const double psnr = Round_Trip_Psnr(source, width, height, target.cube());
  RecordProperty("smooth_psnr_db", std::to_string(psnr));
  std::printf("smooth picture round trip: %.2f dB\n", psnr);
  EXPECT_GE(psnr, 30.0);

  // A photograph-like picture with detail at every scale, larger than the
  // cube's own resolution, so the reduction and the filter are exercised too.
  const int big_width = 4096, big_height = 2048;
  const std::vector<uint8_t> photo = Draw_Equirect(big_width, big_height, Photo_Like_Colour);
  Write_Png_Rgb(dir.file("photo.png"), photo, big_width, big_height);
  r = Run_Tool(dir, "import panorama " + Quoted(dir.file("photo.png")) + " " + Quoted(dir.file("PHOTO.ROZ")));
  ASSERT_EQ(r.status, 0) << r.errors;
  ASSERT_EQ(target.load(dir.file("PHOTO.ROZ")), 0);
  // Compared at the resolution export writes (2048 x 1024), averaging the source.
  std::vector<uint8_t> reduced(2048 * 1024 * 3);
  for (int y = 0; y < 1024; ++y) {
    for (int x = 0; x < 2048; ++x) {
      for (int c = 0; c < 3; ++c) {
        int sum = 0;
        for (int k = 0; k < 4; ++k) sum += photo[((static_cast<size_t>(2 * y + (k >> 1)) * big_width) + 2 * x + (k & 1)) * 3 + c];
        reduced[(static_cast<size_t>(y) * 2048 + x) * 3 + c] = static_cast<uint8_t>((sum + 2) / 4);
      }
    }
  }
  const double photo_psnr = Round_Trip_Psnr(reduced, 2048, 1024, target.cube());
  RecordProperty("photo_like_psnr_db", std::to_string(photo_psnr));
  std::printf("photograph-like picture round trip: %.2f dB\n", photo_psnr);
  EXPECT_GE(photo_psnr, 25.0);
}

TEST(ImportPanorama, FinestDetailAveragesInsteadOfAliasing) {
  Temp_Dir dir;
  // A checkerboard of single pixels is finer than any face pixel, everywhere on
  // the sphere (near the poles most of all): every face pixel must come out as
  // its mean grey, not as a pattern of black and white.
  const int width = 4096, height = 2048;
  std::vector<uint8_t> board(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint8_t v = ((x + y) & 1) ? 255 : 0;
      std::fill_n(&board[(static_cast<size_t>(y) * width + x) * 3], 3, v);
    }
  }
  Write_Png_Rgb(dir.file("board.png"), board, width, height);
  ASSERT_EQ(Run_Tool(dir, "import panorama " + Quoted(dir.file("board.png")) + " " + Quoted(dir.file("B.ROZ"))).status, 0);
  Node_Picture_Target target;
  ASSERT_EQ(target.load(dir.file("B.ROZ")), 0);
  for (int face = 0; face < zel_vr::Face_Count; ++face) {
    double sum = 0, squares = 0;
    for (int i = 0; i < zel_vr::Face_Pixels; ++i) {
      const double g = Expand_565(target.cube()[static_cast<size_t>(face) * zel_vr::Face_Pixels + i]).g;
      sum += g;
      squares += g * g;
    }
    const double mean = sum / zel_vr::Face_Pixels;
    const double deviation = std::sqrt(squares / zel_vr::Face_Pixels - mean * mean);
    EXPECT_NEAR(mean, 127.5, 4) << "face " << face;
    EXPECT_LT(deviation, 8) << "face " << face;
  }
}

TEST(ImportPanorama, DirectionsLandOnTheFacesTheRendererShows) {
  Temp_Dir dir;
  // Six regions told apart by colour: up, down, and the four quarters of yaw.
  auto region = [](const double d[3]) -> Rgb {
    if (d[1] > 0.8) return {220, 220, 220};
    if (d[1] < -0.8) return {30, 30, 30};
    const double yaw = std::atan2(d[0], d[2]);  // 0 ahead, growing to the right
    if (std::fabs(yaw) < Pi / 4) return {200, 60, 60};
    if (yaw >= Pi / 4 && yaw < 3 * Pi / 4) return {60, 200, 60};
    if (yaw <= -Pi / 4 && yaw > -3 * Pi / 4) return {60, 60, 200};
    return {200, 200, 60};
  };
  Write_Png_Rgb(dir.file("regions.png"), Draw_Equirect(512, 256, region), 512, 256);
  ASSERT_EQ(Run_Tool(dir, "import panorama " + Quoted(dir.file("regions.png")) + " " + Quoted(dir.file("R.ROZ"))).status, 0);
  Node_Picture_Target target;
  ASSERT_EQ(target.load(dir.file("R.ROZ")), 0);
  struct Case {
    int yaw, pitch, face;
    Rgb colour;
  } cases[] = {
      {0, 0, zel_vr::Face_Front, {200, 60, 60}},    {2048, 0, zel_vr::Face_Right, {60, 200, 60}},
      {4096, 0, zel_vr::Face_Back, {200, 200, 60}}, {6144, 0, zel_vr::Face_Left, {60, 60, 200}},
      {0, 2000, zel_vr::Face_Up, {220, 220, 220}},  {0, -2000, zel_vr::Face_Down, {30, 30, 30}},
  };
  for (const Case& c : cases) {
    float d[3];
    zel_vr::Angles_Direction(c.yaw, c.pitch, &d[0], &d[1], &d[2]);
    float fx, fy;
    ASSERT_EQ(zel_vr::Direction_To_Face(d[0], d[1], d[2], &fx, &fy), c.face);
    const Rgb got = Expand_565(target.cube()[static_cast<size_t>(zel_vr::Direction_To_Pixel_Index(d[0], d[1], d[2]))]);
    EXPECT_NEAR(got.r, c.colour.r, 24) << "yaw " << c.yaw << " pitch " << c.pitch;
    EXPECT_NEAR(got.g, c.colour.g, 24) << "yaw " << c.yaw << " pitch " << c.pitch;
    EXPECT_NEAR(got.b, c.colour.b, 24) << "yaw " << c.yaw << " pitch " << c.pitch;
  }
}

TEST(ImportPanorama, FacesStripAndRefusals) {
  Temp_Dir dir;
  // Face f is a flat colour with a dark mark in its top left corner.
  std::vector<uint8_t> strip(3072 * 512 * 3);
  const uint8_t colours[6][3] = {{220, 220, 220}, {60, 60, 190}, {50, 50, 50}, {60, 190, 60}, {190, 60, 60}, {190, 190, 60}};
  for (int y = 0; y < 512; ++y) {
    for (int x = 0; x < 3072; ++x) {
      const int face = x / 512;
      const bool mark = (x % 512) < 64 && y < 64;
      for (int c = 0; c < 3; ++c) strip[(static_cast<size_t>(y) * 3072 + x) * 3 + c] = mark ? 128 : colours[face][c];
    }
  }
  Write_Png_Rgb(dir.file("faces.png"), strip, 3072, 512);
  ASSERT_EQ(Run_Tool(dir, "import panorama --faces " + Quoted(dir.file("faces.png")) + " " + Quoted(dir.file("F.roz"))).status, 0);
  Node_Picture_Target target;
  ASSERT_EQ(target.load(dir.file("F.roz")), 0);
  for (int face = 0; face < 6; ++face) {
    const Rgb centre = Expand_565(target.cube()[static_cast<size_t>(zel_vr::Face_Pixel_Index(face, 300, 300))]);
    EXPECT_NEAR(centre.r, colours[face][0], 16) << face;
    EXPECT_NEAR(centre.g, colours[face][1], 16) << face;
    EXPECT_NEAR(centre.b, colours[face][2], 16) << face;
    const Rgb mark = Expand_565(target.cube()[static_cast<size_t>(zel_vr::Face_Pixel_Index(face, 20, 20))]);
    EXPECT_NEAR(mark.g, 128, 16) << "face " << face << " keeps its top left corner";
  }

  // Refused with one line, exit 1, nothing written.
  Write_Png_Rgb(dir.file("wide.png"), std::vector<uint8_t>(300 * 100 * 3, 9), 300, 100);
  dir.write("text.png", std::string("not a picture"));
  struct Refusal {
    std::string arguments, says;
  } refusals[] = {
      {"import panorama " + Quoted(dir.file("wide.png")) + " " + Quoted(dir.file("OUT.ROZ")), "300x100"},
      {"import panorama --faces " + Quoted(dir.file("wide.png")) + " " + Quoted(dir.file("OUT.ROZ")), "3072x512"},
      {"import panorama " + Quoted(dir.file("text.png")) + " " + Quoted(dir.file("OUT.ROZ")), "not a PNG or JPEG"},
      {"import panorama " + Quoted(dir.file("missing.png")) + " " + Quoted(dir.file("OUT.ROZ")), "cannot read"},
      {"import panorama " + Quoted(dir.file("faces.png")) + " " + Quoted(dir.file("OUT.PNG")), ".ROZ"},
      {"import panorama --quality 0 " + Quoted(dir.file("faces.png")) + " " + Quoted(dir.file("OUT.ROZ")), "quality"},
  };
  for (const Refusal& refusal : refusals) {
    Tool_Result r = Run_Tool(dir, refusal.arguments);
    EXPECT_EQ(r.status, 1) << refusal.arguments;
    EXPECT_NE(r.errors.find(refusal.says), std::string::npos) << r.errors;
    EXPECT_EQ(std::count(r.errors.begin(), r.errors.end(), '\n'), 1) << r.errors;
    EXPECT_FALSE(std::filesystem::exists(dir.file("OUT.ROZ")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("OUT.PNG")));
  }
}

TEST(ImportPicture, FlatRozTargaAndFit) {
  Temp_Dir dir;
  std::vector<uint8_t> picture(640 * 480 * 3);
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      uint8_t* p = &picture[(static_cast<size_t>(y) * 640 + x) * 3];
      p[0] = static_cast<uint8_t>(x * 255 / 639);
      p[1] = static_cast<uint8_t>(y * 255 / 479);
      p[2] = static_cast<uint8_t>(128 + 100 * std::sin(x / 40.0) * std::cos(y / 30.0));
    }
  }
  Write_Png_Rgb(dir.file("flat.png"), picture, 640, 480);
  Node_Picture_Target target;
  for (const char* out : {"HALLA.ROZ", "HALLA.TGA"}) {
    Tool_Result r = Run_Tool(dir, "import picture " + Quoted(dir.file("flat.png")) + " " + Quoted(dir.file(out)));
    ASSERT_EQ(r.status, 0) << r.errors;
    ASSERT_EQ(target.load(dir.file(out)), 1) << out;
    double error = 0;
    for (int i = 0; i < 640 * 480; ++i) {
      const Rgb c = Expand_565(target.flat()[i]);
      error += std::fabs(c.r - picture[i * 3]) + std::fabs(c.g - picture[i * 3 + 1]) + std::fabs(c.b - picture[i * 3 + 2]);
    }
    // The Targa picture is only dithered to 5-6-5; the ROZ codec loses a little more.
    EXPECT_LT(error / (3.0 * 640 * 480), std::string(out).find(".ROZ") != std::string::npos ? 8.0 : 3.0) << out;
  }

  // Another size: refused naming it, or scaled whole into 640 x 480 with --fit.
  std::vector<uint8_t> wide(1280 * 480 * 3, 200);
  Write_Png_Rgb(dir.file("wide.png"), wide, 1280, 480);
  Tool_Result r = Run_Tool(dir, "import picture " + Quoted(dir.file("wide.png")) + " " + Quoted(dir.file("W.TGA")));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.errors.find("1280x480"), std::string::npos) << r.errors;
  EXPECT_FALSE(std::filesystem::exists(dir.file("W.TGA")));
  r = Run_Tool(dir, "import picture --fit " + Quoted(dir.file("wide.png")) + " " + Quoted(dir.file("W.TGA")));
  ASSERT_EQ(r.status, 0) << r.errors;
  ASSERT_EQ(target.load(dir.file("W.TGA")), 1);
  // 1280 x 480 becomes 640 x 240 between black bands of 120 rows.
  EXPECT_EQ(target.flat()[60 * 640 + 320], 0);
  EXPECT_EQ(target.flat()[420 * 640 + 320], 0);
  EXPECT_NEAR(Expand_565(target.flat()[240 * 640 + 320]).r, 200, 8);
  EXPECT_NEAR(Expand_565(target.flat()[240 * 640 + 2]).g, 200, 8);

  r = Run_Tool(dir, "import picture " + Quoted(dir.file("flat.png")) + " " + Quoted(dir.file("flat.bmp")));
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(std::filesystem::exists(dir.file("flat.bmp")));
}

TEST(ImportZones, JsonToZoneFileReadByTheEngine) {
  Temp_Dir dir;
  // Zones out of order by index, both naming styles, keys the zone file does not
  // hold ("node", "tests", "label") ignored.
  dir.write("hall.json", std::string(R"({
    "node": "HALL.ROZ",
    "zones": [
      {"index": 1, "left": 1.5, "right": 2.25, "top": 1.0, "bottom": 2.0, "tests": [{"trigger": 0}]},
      {"index": 0, "a1": -0.5, "a2": 0.5e0, "b1": 1.25, "b2": 1.875, "label": "door"},
      {"index": 2, "a1": 10, "a2": 630, "b1": 0, "b2": 479},
      {"index": 3, "a1": 6.28318548, "a2": 1.57079637, "b1": 1e-05, "b2": -2.5E+2}
    ]
  })"));
  Tool_Result r = Run_Tool(dir, "import zones " + Quoted(dir.file("hall.json")) + " " + Quoted(dir.file("HALL.ZON")));
  ASSERT_EQ(r.status, 0) << r.errors;
  std::vector<Zone> zones = Zone_File_Load(dir.file("HALL.ZON").c_str());
  ASSERT_EQ(zones.size(), 4u);
  // Floats written with nine digits read back exactly.
  const float expected[4][4] = {{-0.5f, 0.5f, 1.25f, 1.875f},
                                {1.5f, 2.25f, 1.0f, 2.0f},
                                {10, 630, 0, 479},
                                {static_cast<float>(2 * Pi), static_cast<float>(Pi / 2), 1e-05f, -250.0f}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(zones[i].a1, expected[i][0]) << i;
    EXPECT_EQ(zones[i].a2, expected[i][1]) << i;
    EXPECT_EQ(zones[i].b1, expected[i][2]) << i;
    EXPECT_EQ(zones[i].b2, expected[i][3]) << i;
  }
  EXPECT_EQ(Read_Whole_File(dir.file("HALL.ZON")).size(), 4u + 4 * 16);

  // An empty list gives the zone file of no zones; a bare array is accepted.
  dir.write("none.json", std::string("[]"));
  ASSERT_EQ(Run_Tool(dir, "import zones " + Quoted(dir.file("none.json")) + " " + Quoted(dir.file("NONE.ZON"))).status, 0);
  EXPECT_EQ(Read_Whole_File(dir.file("NONE.ZON")), std::vector<uint8_t>(4, 0));

  struct Refusal {
    const char* json;
    const char* says;
  } refusals[] = {
      {"{\"zones\": [{\"a1\": 1, \"a2\": 2, \"b1\": 3}]}", "\"b2\""},
      {"{\"zones\": [{\"a1\": 1, \"a2\": 2, \"b1\": 3, \"b2\": \"4\"}]}", "finite number"},
      {"{\"zones\": [{\"index\": 0, \"a1\": 1, \"a2\": 2, \"b1\": 3, \"b2\": 4},\n"
       " {\"index\": 0, \"a1\": 1, \"a2\": 2, \"b1\": 3, \"b2\": 4}]}", "index 0"},
      {"{\"zones\": [{\"index\": 2, \"a1\": 1, \"a2\": 2, \"b1\": 3, \"b2\": 4}]}", "index"},
      {"{\"zones\": [{\"a1\": 1e39, \"a2\": 2, \"b1\": 3, \"b2\": 4}]}", "finite number"},
      {"{\"zones\": [\n{\"a1\": 1,\n \"a2\" 2}]}", "line 3"},
      {"{\"node\": \"X\"}", "\"zones\""},
      {"", "JSON line 1"},
  };
  for (const Refusal& refusal : refusals) {
    dir.write("bad.json", std::string(refusal.json));
    r = Run_Tool(dir, "import zones " + Quoted(dir.file("bad.json")) + " " + Quoted(dir.file("BAD.ZON")));
    EXPECT_EQ(r.status, 1) << refusal.json;
    EXPECT_NE(r.errors.find(refusal.says), std::string::npos) << r.errors;
    EXPECT_FALSE(std::filesystem::exists(dir.file("BAD.ZON"))) << refusal.json;
  }
}

namespace {

void Put(std::vector<uint8_t>& out, uint32_t v, int bytes, bool big_endian = false) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * (big_endian ? bytes - 1 - i : i))));
}

// Frequency of a 16-bit channel by its upward zero crossings.
double Frequency(const Sound* sound, int channel, int channels) {
  const int16_t* s = reinterpret_cast<const int16_t*>(sound->data);
  const size_t frames = sound->size / 2 / static_cast<size_t>(channels);
  int crossings = 0;
  size_t first = 0, last = 0;
  for (size_t i = 1; i < frames; ++i) {
    if (s[(i - 1) * channels + channel] < 0 && s[i * channels + channel] >= 0) {
      if (crossings == 0) first = i;
      last = i;
      ++crossings;
    }
  }
  return crossings < 2 ? 0.0 : (crossings - 1) * static_cast<double>(sound->rate) / static_cast<double>(last - first);
}

}  // namespace

TEST(ImportSound, OtherFormatsBecome16BitPcm) {
  Temp_Dir dir;
  // 32-bit float WAV, 48000 Hz mono, 440 Hz, half a second.
  const uint32_t frames = 24000;
  std::vector<uint8_t> samples;
  for (uint32_t i = 0; i < frames; ++i) {
    float v = static_cast<float>(0.5 * std::sin(2 * Pi * 440 * i / 48000.0));
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    Put(samples, bits, 4);
  }
  const uint32_t ieee_float = 3;
  dir.write("tone.wav", riff_file("WAVE", {{"fmt ", fmt_payload(1, 48000, 32, ieee_float)}, {"data", samples}}));
  // Sun audio, 16-bit big-endian, 44100 Hz stereo: 300 Hz left, 600 Hz right.
  std::vector<uint8_t> au = {'.', 's', 'n', 'd'};
  Put(au, 24, 4, true);
  Put(au, 0xFFFFFFFF, 4, true);
  Put(au, 3, 4, true);
  Put(au, 44100, 4, true);
  Put(au, 2, 4, true);
  for (int i = 0; i < 22050; ++i) {
    Put(au, static_cast<uint16_t>(static_cast<int16_t>(12000 * std::sin(2 * Pi * 300 * i / 44100.0))), 2, true);
    Put(au, static_cast<uint16_t>(static_cast<int16_t>(12000 * std::sin(2 * Pi * 600 * i / 44100.0))), 2, true);
  }
  dir.write("tones.au", au);

  struct Case {
    std::string in, options;
    uint32_t rate, stereo;
    double seconds, left_hz, right_hz;
  } cases[] = {
      {"tone.wav", "--rate 22050", 22050, 0, 0.5, 440, 0},
      {"tone.wav", "", 44100, 0, 0.5, 440, 0},
      {"tones.au", "", 44100, 1, 0.5, 300, 600},
      {"tones.au", "--rate 22050 --mono", 22050, 0, 0.5, 0, 0},
  };
  for (const Case& c : cases) {
    Tool_Result r = Run_Tool(dir, "import sound " + Quoted(dir.file(c.in)) + " " + Quoted(dir.file("OUT.WAV")) + " " + c.options);
    ASSERT_EQ(r.status, 0) << c.in << " " << c.options << ": " << r.errors;
    Sound* sound = Wav_Load(dir.file("OUT.WAV").c_str());
    ASSERT_NE(sound, nullptr) << c.in << " " << c.options;
    EXPECT_EQ(sound->rate, c.rate);
    EXPECT_EQ(sound->bits, 16u);
    EXPECT_EQ(sound->stereo, c.stereo);
    const double seconds = sound->size / 2.0 / (c.stereo ? 2 : 1) / sound->rate;
    EXPECT_NEAR(seconds, c.seconds, 0.01) << c.in << " " << c.options;
    if (c.left_hz > 0) {
      EXPECT_NEAR(Frequency(sound, 0, c.stereo ? 2 : 1), c.left_hz, c.left_hz * 0.01);
    }
    if (c.right_hz > 0) {
      EXPECT_NEAR(Frequency(sound, 1, 2), c.right_hz, c.right_hz * 0.01);
    }
    Sound_Free(sound);
  }

  dir.write("noise.bin", std::vector<uint8_t>(1000, 0x5A));
  for (const std::string& arguments :
       {"import sound " + Quoted(dir.file("noise.bin")) + " " + Quoted(dir.file("BAD.WAV")),
        "import sound " + Quoted(dir.file("tone.wav")) + " " + Quoted(dir.file("BAD.WAV")) + " --rate 8000",
        "import sound " + Quoted(dir.file("tone.wav")) + " " + Quoted(dir.file("BAD.MP3"))}) {
    Tool_Result r = Run_Tool(dir, arguments);
    EXPECT_EQ(r.status, 1) << arguments;
    EXPECT_EQ(std::count(r.errors.begin(), r.errors.end(), '\n'), 1) << r.errors;
    EXPECT_FALSE(std::filesystem::exists(dir.file("BAD.WAV")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("BAD.MP3")));
  }
}
