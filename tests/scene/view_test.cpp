// The view: hit tests at their boundaries and across the panorama's wrap, zone
// snapping, turning with inertia and limits, and the FADE and TRANSFADE loops
// frame by frame at slow, normal, huge and wrong-way speeds.
#include "scene/view.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <cstdint>
#include <string>
#include <vector>

#include "draw/rows.h"
#include "files/file.h"
#include "pictures/picture.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/input.h"
#include "scene/runtime.h"

namespace {

constexpr float k = View_Radians_Per_Unit;
constexpr float Q = View_Quarter_Turn;
constexpr int Pixels = Screen_Width * Screen_Height;

// A zone from horizontal units h1..h2 and pitch units p1..p2, as snapping leaves
// them: angles that are whole units.
Zone units_zone(int32_t h1, int32_t h2, int32_t p1, int32_t p2) {
  return Zone{1, static_cast<float>(h1 & 8191) * k, static_cast<float>(h2 & 8191) * k,
              static_cast<float>(p1 & 8191) * k + Q, static_cast<float>(p2 & 8191) * k + Q};
}

}  // namespace

TEST(ZoneHit, PanoramaIntervalsIncludeTheirEndsAndWrapThroughZero) {
  struct Case {
    const char* what;
    Zone zone;
    int32_t yaw, pitch;
    bool inside;
  } cases[] = {
      {"left end", units_zone(100, 200, -50, 50), 100, 0, true},
      {"right end", units_zone(100, 200, -50, 50), 200, 0, true},
      {"just left", units_zone(100, 200, -50, 50), 99, 0, false},
      {"just right", units_zone(100, 200, -50, 50), 201, 0, false},
      {"ends given the other way round", units_zone(200, 100, 50, -50), 150, 0, true},
      {"yaw a turn further (not wrapped)", units_zone(100, 200, -50, 50), 100 + 8192, 0, true},
      {"negative yaw", units_zone(100, 200, -50, 50), 100 - 8192, 0, true},
      {"top end", units_zone(100, 200, -50, 50), 150, 50, true},
      {"bottom end", units_zone(100, 200, -50, 50), 150, -50, true},
      {"just above", units_zone(100, 200, -50, 50), 150, 51, false},
      {"just below", units_zone(100, 200, -50, 50), 150, -51, false},
      // Horizontal limits 8000 and 100: more than half a turn apart, so the zone
      // is the short way through 0.
      {"wrap, first end", units_zone(8000, 100, -50, 50), 8000, 0, true},
      {"wrap, at zero", units_zone(8000, 100, -50, 50), 0, 0, true},
      {"wrap, last unit", units_zone(8000, 100, -50, 50), 8191, 0, true},
      {"wrap, second end", units_zone(8000, 100, -50, 50), 100, 0, true},
      {"wrap, before", units_zone(8000, 100, -50, 50), 7999, 0, false},
      {"wrap, after", units_zone(8000, 100, -50, 50), 101, 0, false},
      {"wrap, opposite side", units_zone(8000, 100, -50, 50), 4000, 0, false},
      // Exactly half a turn in units is a hair below pi: no wrap.
      {"half turn, inside", units_zone(0, 4096, -50, 50), 2048, 0, true},
      {"half turn, other side", units_zone(0, 4096, -50, 50), 6000, 0, false},
      {"a unit more wraps", units_zone(0, 4097, -50, 50), 6000, 0, true},
      {"a unit more, other side", units_zone(0, 4097, -50, 50), 2048, 0, false},
      // Radians as a zone file may give them: 6.0 to 0.3 wraps.
      {"6.0-0.3 at 6.2", Zone{1, 6.0f, 0.3f, Q - 0.5f, Q + 0.5f}, 8083, 0, true},
      {"6.0-0.3 at 0.1", Zone{1, 6.0f, 0.3f, Q - 0.5f, Q + 0.5f}, 130, 0, true},
      {"6.0-0.3 at 3.0", Zone{1, 6.0f, 0.3f, Q - 0.5f, Q + 0.5f}, 3911, 0, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Zone_Contains_View(c.zone, c.yaw, c.pitch), c.inside) << c.what;
  }
}

TEST(ZoneHit, FlatBoundsAreWholePixelsAndIncluded) {
  struct Case {
    Zone zone;
    int32_t x, y;
    bool inside;
  } cases[] = {
      {{1, 100, 200, 50, 80}, 200, 80, true},   {{1, 100, 200, 50, 80}, 201, 80, false},
      {{1, 100, 200, 50, 80}, 100, 50, true},   {{1, 100, 200, 50, 80}, 99, 50, false},
      {{1, 100, 200, 50, 80}, 150, 49, false},  {{1, 100, 200, 50, 80}, 150, 81, false},
      {{1, 200, 100, 80, 50}, 150, 60, true},   // corners in either order
      {{1, 100.9f, 200.9f, 50, 80}, 100, 60, true},  // bounds truncated
      {{1, 100.9f, 200.9f, 50, 80}, 201, 60, false},
      {{1, -0.9f, 10, 0, 10}, 0, 0, true},      // toward zero, not down
      {{1, -1.5f, 10, 0, 10}, -1, 0, true},
      {{1, -1.5f, 10, 0, 10}, -2, 0, false},
      {{1, -1e30f, 10, 0, 10}, 5, 5, true},     // out of range: read as 0
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Zone_Contains_Point(c.zone, c.x, c.y), c.inside)
        << c.zone.a1 << " " << c.zone.a2 << " " << c.zone.b1 << " " << c.zone.b2 << " at " << c.x << "," << c.y;
  }
}

TEST(ZoneHit, HitSetsTheStateFromTheViewOrTheMouse) {
  Zone zone = units_zone(100, 200, -50, 50);
  View_Set_Flat(false);
  View().yaw = 150;
  View().pitch = 0;
  EXPECT_EQ(Zone_Hit(zone), 2);
  EXPECT_EQ(zone.state, 2);
  View().yaw = 300;
  EXPECT_EQ(Zone_Hit(zone), 1);
  EXPECT_EQ(zone.state, 1);
  // A flat node tests the mouse instead; the view angles do not matter.
  View_Set_Flat(true);
  Zone flat{0, 100, 200, 50, 80};
  Input().mouse_x = 200;
  Input().mouse_y = 80;
  EXPECT_EQ(Zone_Hit(flat), 2);
  Input().mouse_x = 201;
  EXPECT_EQ(Zone_Hit(flat), 1);
  Scene_State_Reset();
}

TEST(ZoneSnap, AnglesFallOnTheGridOfTheView) {
  struct Case {
    float in;
    int32_t units;  // the grid unit the angle snaps to
  } horizontal[] = {{0.0f, 0}, {0.5f, 651}, {-0.5f, 7541}, {7.0f, 934}, {6.2831f, 8191}, {1e30f, 0}, {-1e30f, 0}};
  for (const Case& c : horizontal) {
    Zone zone{1, c.in, c.in, Q, Q};
    Zone_Snap(zone);
    EXPECT_FLOAT_EQ(zone.a1, static_cast<float>(c.units) * k) << c.in;
    EXPECT_FLOAT_EQ(zone.a2, static_cast<float>(c.units) * k) << c.in;
    EXPECT_EQ(zone.state, 1);
  }
  // Vertical limits are pitch plus a quarter turn: Q itself is pitch 0, and a
  // limit below Q is a negative pitch taken modulo the turn.
  Case vertical[] = {{Q, 0}, {Q + 0.5f, 651}, {Q - 0.5f, 7541}, {0.0f, 6144}, {1e30f, 0}};
  for (const Case& c : vertical) {
    Zone zone{1, 0, 0, c.in, c.in};
    Zone_Snap(zone);
    EXPECT_FLOAT_EQ(zone.b1, static_cast<float>(c.units) * k + Q) << c.in;
  }
  // A zone snapped and then tested at the grid unit of its limit is hit there.
  Zone zone{1, 0.5f, 1.0f, Q - 0.1f, Q + 0.1f};
  Zone_Snap(zone);
  EXPECT_TRUE(Zone_Contains_View(zone, 651, 0));
  EXPECT_FALSE(Zone_Contains_View(zone, 650, 0));
}

TEST(ZoneFile, CountThenFourFloatsAndOnlyCompleteRecords) {
  auto file = [](int32_t count, int records, int stray) {
    std::vector<uint8_t> out(4);
    std::memcpy(out.data(), &count, 4);
    for (int r = 0; r < records; ++r) {
      for (int i = 0; i < 4; ++i) {
        float value = static_cast<float>(10 * r + i) + 0.5f;
        uint8_t bytes[4];
        std::memcpy(bytes, &value, 4);
        out.insert(out.end(), bytes, bytes + 4);
      }
    }
    out.resize(out.size() + static_cast<size_t>(stray), 0xEE);
    return out;
  };
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    size_t zones;
  } cases[] = {
      {"two records", file(2, 2, 0), 2},
      {"count above the records", file(3, 2, 15), 2},
      {"count below the records", file(1, 2, 0), 1},
      {"count 0", file(0, 2, 0), 0},
      {"negative count", file(-1, 2, 0), 0},
      {"largest count", file(INT32_MAX, 1, 0), 1},
      {"no records", file(5, 0, 0), 0},
      {"shorter than the count", {1, 0, 0}, 0},
  };
  for (const Case& c : cases) {
    Mem_File_Add("TEST.ZON", c.bytes.data(), static_cast<int>(c.bytes.size()));
    std::vector<Zone> zones = Zone_File_Load("TEST.ZON");
    Mem_File_Remove("TEST.ZON");
    ASSERT_EQ(zones.size(), c.zones) << c.what;
    for (size_t i = 0; i < zones.size(); ++i) {
      EXPECT_EQ(zones[i].state, 1) << c.what;
      EXPECT_EQ(zones[i].a1, 10.0f * static_cast<float>(i) + 0.5f) << c.what;
      EXPECT_EQ(zones[i].b2, 10.0f * static_cast<float>(i) + 3.5f) << c.what;
    }
  }
  EXPECT_TRUE(Zone_File_Load("NO_SUCH.ZON").empty());
  EXPECT_TRUE(Zone_File_Load(nullptr).empty());
}

TEST(ViewTurn, MouseSpeedDampingAndLimits) {
  int32_t saved_pan = Engine_Params().pan_speed;
  struct Case {
    const char* what;
    int32_t pan_speed, dx, dy, yaw_speed, pitch_speed;  // speeds before the frame
    int32_t delta;
    bool flat;
    int32_t yaw_min, yaw_max, pitch_limit;
    int32_t want_yaw_speed, want_pitch_speed, want_yaw, want_pitch;  // from yaw 1000, pitch 0
  } cases[] = {
      // 255 x 10 >> 8 = 9; minus 1, minus a quarter: 6; 6 units per 16 ms.
      {"ten units right", 255, 10, 0, 0, 0, 16, false, -1, -1, 1536, 6, 0, 1006, 0},
      {"ten units left", 255, -10, 0, 0, 0, 16, false, -1, -1, 1536, -6, 0, 994, 0},
      // Moving the mouse up the screen raises the pitch.
      {"up", 255, 0, -10, 0, 0, 32, false, -1, -1, 1536, 0, 7, 1000, 14},
      {"half sensitivity", 128, 40, 0, 0, 0, 16, false, -1, -1, 1536, 15, 0, 1015, 0},
      {"no sensitivity", 0, 40, 40, 0, 0, 16, false, -1, -1, 1536, 0, 0, 1000, 0},
      // Inertia: a speed decays without movement, and stops at magnitude 1. The
      // arithmetic shift makes negative speeds decay a little faster.
      {"coasting", 255, 0, 0, 100, -100, 16, false, -1, -1, 1536, 75, -74, 1075, -74},
      {"speed 2 stops", 255, 0, 0, 2, -2, 16, false, -1, -1, 1536, 0, 0, 1000, 0},
      {"speed 3 goes on, -3 stops", 255, 0, 0, 3, -3, 16, false, -1, -1, 1536, 2, 0, 1002, 0},
      // A flat node keeps its angles but the speeds still change.
      {"flat", 255, 10, 0, 0, 0, 16, true, -1, -1, 1536, 6, 0, 1000, 0},
      // Limits: the yaw only when a limit is set, raw (not masked); the pitch always.
      {"yaw limit", 255, 0, 0, 400, 0, 16, false, 0, 1200, 1536, 300, 0, 1200, 0},
      {"yaw limit below", 255, 0, 0, -400, 0, 16, false, 1100, 1200, 1536, -299, 0, 1100, 0},
      {"only one limit -1", 255, 0, 0, 400, 0, 16, false, -1, 1200, 1536, 300, 0, 1200, 0},
      {"pitch limit", 255, 0, 0, 0, 4000, 16, false, -1, -1, 1536, 0, 3000, 1000, 1536},
      {"pitch limit 0", 255, 0, 0, 0, -4000, 16, false, -1, -1, 0, 0, -2999, 1000, 0},
      {"flat still clamps", 255, 0, 0, 0, 0, 16, true, 0, 500, 1536, 0, 0, 500, 0},
  };
  for (const Case& c : cases) {
    Engine_Params().pan_speed = c.pan_speed;
    View_Set_Flat(c.flat);
    View() = View_State{0, 1000, c.pitch_speed, c.yaw_speed, c.pitch_limit, c.yaw_min, c.yaw_max, 90.0f};
    Input().mouse_dx = c.dx;
    Input().mouse_dy = c.dy;
    Clock_Set_Delta(c.delta);
    View_Turn();
    EXPECT_EQ(View().yaw_speed, c.want_yaw_speed) << c.what;
    EXPECT_EQ(View().pitch_speed, c.want_pitch_speed) << c.what;
    EXPECT_EQ(View().yaw, c.want_yaw) << c.what;
    EXPECT_EQ(View().pitch, c.want_pitch) << c.what;
  }
  // Stopping clears the movement and both speeds.
  View_Stop_Turning();
  EXPECT_EQ(View().yaw_speed, 0);
  EXPECT_EQ(View().pitch_speed, 0);
  EXPECT_EQ(Input().mouse_dx, 0);
  EXPECT_EQ(Input().mouse_dy, 0);
  Scene_State_Reset();
  Engine_Params().pan_speed = saved_pan;
}

// ---------------------------------------------------------------------------
// FADE and TRANSFADE, with the stopped clock: every frame lasts 30 ms.

namespace {

std::vector<uint16_t> presented;  // pixel 0 of every frame shown
int frame_limit = 0;
struct Runaway {};

void on_present(const uint16_t* frame) {
  presented.push_back(frame[0]);
  if (static_cast<int>(presented.size()) > frame_limit) throw Runaway{};
}

class EffectTest : public testing::Test {
 protected:
  static constexpr uint16_t Node_Colour = 0x8410;  // mid grey: the view
  static constexpr uint16_t Old_Colour = 0x3186;   // dark grey: the last frame

  void SetUp() override {
    Clock_Stop();
    Picture* picture = Picture_Create("warpfix", Screen_Width, Screen_Height, 16);
    auto* pixels = reinterpret_cast<uint16_t*>(picture->pixels);
    std::fill(pixels, pixels + Pixels, Node_Colour);
    Node_Picture_Replace(picture);
    View_Set_Flat(true);
    std::fill(Screen_Buffer(), Screen_Buffer() + Pixels, Old_Colour);
    presented.clear();
    frame_limit = 2000;
    Display_Set_Present_Listener(on_present);
  }
  void TearDown() override {
    Display_Set_Present_Listener(nullptr);
    View_Set_Flat(false);
    Node_Picture_Replace(nullptr);
  }

  // Runs the command; false when it ran away past the frame limit.
  bool run(const std::string& line) {
    std::string keyword = line.substr(0, line.find(','));
    try {
      const Command_Row* row = Command_Find(View_Command_Rows(), keyword.c_str());
      EXPECT_NE(row, nullptr) << keyword;
      if (row != nullptr) row->run(Command_Call{line.c_str(), false});
    } catch (const Runaway&) {
      return false;
    }
    return true;
  }

  static uint16_t bright(uint16_t pixel, int32_t level) {
    uint16_t out;
    Row_Brightness(&pixel, &out, 1, level);
    return out;
  }
  static uint16_t added(uint16_t a, uint16_t b) {
    uint16_t out;
    Row_Add(&a, &b, &out, 1);
    return out;
  }
};

// The levels drawn: from `from`, moving by `step` each frame, while before `to`.
std::vector<int64_t> levels(int64_t from, int64_t to, int64_t step) {
  std::vector<int64_t> out;
  for (int64_t level = from; to < from ? level > to : level < to; level += step) out.push_back(level);
  return out;
}

}  // namespace

TEST_F(EffectTest, FadeStepsAtLeastOneLevelAFrameAndEndsBeforeItsTarget) {
  struct Case {
    const char* line;
    std::vector<int64_t> levels;
  } cases[] = {
      // Speed 16 over 30 ms: 30 levels, plus 1.
      {"FADE,0,-255,16", levels(0, -255, -31)},
      {"FADE,-255,0,16", levels(-255, 0, 31)},
      {"FADE,0,255,16", levels(0, 255, 31)},
      // Speed 1: (-1 x 30) >> 4 is -2 (the shift rounds down), then -1 more.
      {"FADE,0,-255,1", levels(0, -255, -3)},
      {"FADE,0,255,1", levels(0, 255, 2)},
      // Speed 255: one frame.
      {"FADE,0,-255,255", {0}},
      {"FADE,255,0,255", {255}},
      // Speed 0 fading up still moves one level a frame.
      {"FADE,-255,0,0", levels(-255, 0, 1)},
      {"FADE,-3,0,0", {-3, -2, -1}},
      // Speed 0 fading down, and speeds against the fade's direction, would
      // never arrive: the fade ends at once. A missing speed reads 0.
      {"FADE,0,-255,0", {}},
      {"FADE,0,-255", {}},
      {"FADE,0,-255,-16", {}},
      {"FADE,-255,0,-16", {}},
      {"FADE,10,10,16", {}},
      // Extreme fields: no overflow, and the fade still ends.
      {"FADE,0,-255,-2147483648", {}},
      {"FADE,0,255,-2147483648", {}},
      {"FADE,0,-255,2147483647", {0}},
      {"FADE,0,255,2147483647", {0}},
      {"FADE,-2147483648,2147483647,2147483647", levels(INT32_MIN, INT32_MAX, 4026531839)},
      {"FADE,2147483647,-2147483648,2147483647", levels(INT32_MAX, INT32_MIN, -4026531840)},
      {"FADE,2147483646,2147483647,0", {2147483646}},
  };
  for (const Case& c : cases) {
    SetUp();
    ASSERT_TRUE(run(c.line)) << c.line << " never ends";
    std::vector<uint16_t> expected;
    for (int64_t level : c.levels) expected.push_back(bright(Node_Colour, static_cast<int32_t>(level)));
    EXPECT_EQ(presented, expected) << c.line;
  }
}

TEST_F(EffectTest, TransfadeAddsTheNewPictureThenTakesTheOldAway) {
  struct Case {
    const char* line;
    int64_t step;  // 0: no frames at all
  } cases[] = {{"TRANSFADE,16", 30}, {"TRANSFADE,1", 1}, {"TRANSFADE,255", 478},
               {"TRANSFADE,2147483647", 4026531838}, {"TRANSFADE,0", 0}, {"TRANSFADE,-5", 0},
               {"TRANSFADE,-2147483648", 0}, {"TRANSFADE", 0}};
  for (const Case& c : cases) {
    SetUp();
    ASSERT_TRUE(run(c.line)) << c.line << " never ends";
    std::vector<uint16_t> expected;
    if (c.step > 0) {
      for (int64_t level : levels(-255, 0, c.step))
        expected.push_back(added(Old_Colour, bright(Node_Colour, static_cast<int32_t>(level))));
      for (int64_t level : levels(0, -256, -c.step))
        expected.push_back(added(Node_Colour, bright(Old_Colour, static_cast<int32_t>(level))));
    }
    EXPECT_EQ(presented, expected) << c.line;
    // A transition that cannot run leaves the view on screen.
    if (c.step == 0) {
      EXPECT_EQ(Screen_Buffer()[0], Node_Colour) << c.line;
    }
  }
}
