// Demo part "levels": levels 2 to 6, one room each, named after the level. The
// room fades in looking at a doorway; a click in it fades out and ends the level,
// so the level loop goes on to the next one.
#include "demo.h"
#include "roz_chunk_writer.h"

namespace {

struct Level_Look {
  const char* node;
  const char* title;
  Rgb wall, line, floor_a, floor_b, sky_top;
  bool open_roof;
};

constexpr Level_Look looks[5] = {
    {"ILE.ROZ", "L'ILE", {220, 200, 150}, {180, 160, 110}, {230, 210, 160}, {210, 190, 140}, {20, 110, 200}, true},
    {"PUEBLO.ROZ", "LE PUEBLO", {200, 120, 70}, {150, 80, 40}, {170, 110, 60}, {150, 95, 50}, {60, 120, 210}, true},
    {"FLEUVE.ROZ", "LE FLEUVE", {120, 140, 150}, {80, 100, 110}, {40, 90, 150}, {30, 70, 130}, {90, 140, 200}, true},
    {"VILLAGE.ROZ", "LE VILLAGE", {150, 170, 110}, {100, 120, 70}, {90, 110, 60}, {70, 90, 45}, {110, 130, 160}, false},
    {"TEMPLE.ROZ", "LE TEMPLE", {90, 70, 70}, {60, 40, 40}, {120, 40, 20}, {80, 20, 10}, {150, 60, 40}, true},
};

void add_levels(Demo_Game& game) {
  for (int number = 2; number <= 6; ++number) {
    const Level_Look& look = looks[number - 2];
    Demo_Folder& level = game.level(number);
    Room_Style style;
    style.wall = look.wall;
    style.wall_line = look.line;
    style.floor_a = look.floor_a;
    style.floor_b = look.floor_b;
    style.sky_top = look.sky_top;
    style.open_roof = look.open_roof;
    style.wall_top = 0.75f;  // above the doorway labels
    std::string next = number == 6 ? "THE END" : "LEVEL " + std::to_string(number + 1);
    style.doors = {{0, 0.0f, 0.26f, 0.95f, {20, 20, 30}, next, 1.0f}};
    style.wall_labels = {{1, look.title}, {2, "LEVEL " + std::to_string(number)}, {3, look.title}};
    std::vector<uint8_t> file = roz_chunk::picture_file(roz_chunk::Panorama, Paint_Room(style), 85);
    level.files[look.node] = std::move(file);

    Demo_Node& room = level.node(look.node);
    room.zone_file = "ROOM.ZON";
    room.test(-1, 0).commands = {"SETANGLE 0 0", "FADE -255 0 20"};
    room.test(Add_Door_Zone(room, style.doors[0]), 0).commands = {"FADE 0 -255 20", "END"};
    game.tour_section("level-" + std::to_string(number)) = {
        std::string("node ") + look.node, "wait 25", "shot level-" + std::to_string(number), "click"};
  }
}

Demo_Part_Registration registration({"levels", 20, add_levels});

}  // namespace
