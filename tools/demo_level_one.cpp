// Demo part "level-one": the first level, a small house to walk through.
//
//   HALL.ROZ     panorama: doors ahead (courtyard), right (library) and behind
//                (a closed door whose opening is the block animation "DOOR");
//                on the left a label that a zone reacts to on entering and leaving
//   COURT.ROZ    panorama under the sky, with birds (random sound); door back
//   LIBRARY.ROZ  panorama with a ceiling, entered with a cross-fade; doors to the
//                gallery and back
//   GALLERY.TGA  flat Targa picture: paintings, BACK and NEXT LEVEL buttons
//   MENU.ROZ     flat ROZ picture bound to Escape; RETURN goes back, RESTART
//                starts the game again at level 1 (plug-in Restart)
#include <cmath>
#include <cstring>

#include "demo.h"
#include "picture_file_writers.h"
#include "roz_chunk_writer.h"
#include "zel_vr/zel_vr.h"

namespace {

constexpr int Quality = 85;
constexpr int Door_Frames = 8;

Room_Style hall_style(float back_door_open) {
  Room_Style style;
  style.open_roof = false;
  style.wall_top = 0.75f;
  style.wall = {176, 146, 112};
  style.wall_line = {128, 100, 74};
  style.floor_a = {120, 40, 40};
  style.floor_b = {200, 190, 170};
  style.doors = {
      {0, 0.0f, 0.24f, 0.95f, {150, 200, 240}, "COURTYARD", 1.0f},
      {1, 0.0f, 0.22f, 0.95f, {60, 40, 30}, "LIBRARY", 1.0f},
      {2, 0.0f, 0.24f, 0.95f, {235, 215, 150}, "CELLAR", back_door_open},
  };
  style.wall_labels = {{3, "THE HALL"}};
  return style;
}

// The panorama of the hall with the back door shut, and the block animation
// "DOOR" that opens it: each frame carries only the 8 x 8 blocks of the back
// face that changed since the previous one.
std::vector<uint8_t> hall_file() {
  std::vector<uint8_t> file = roz_chunk::picture_file(roz_chunk::Panorama, Paint_Room(hall_style(0.0f)), Quality);
  roz_chunk::put_anim_header(file, "DOOR", Door_Frames);
  const int face = zel_vr::Face_Back;
  std::vector<uint8_t> previous = Paint_Room_Face(hall_style(0.0f), face);
  for (int frame = 1; frame <= Door_Frames; ++frame) {
    std::vector<uint8_t> pixels =
        Paint_Room_Face(hall_style(static_cast<float>(frame) / static_cast<float>(Door_Frames)), face);
    std::vector<int> offsets;
    std::vector<uint8_t> tiles;
    for (int by = 0; by < zel_vr::Face_Size; by += 8) {
      for (int bx = 0; bx < zel_vr::Face_Size; bx += 8) {
        bool changed = false;
        for (int y = by; y < by + 8 && !changed; ++y) {
          size_t row = (static_cast<size_t>(y) * zel_vr::Face_Size + bx) * 3;
          changed = std::memcmp(&pixels[row], &previous[row], 24) != 0;
        }
        if (!changed) continue;
        offsets.push_back(zel_vr::Face_Pixel_Index(face, bx, by));
        for (int y = by; y < by + 8; ++y) {
          size_t row = (static_cast<size_t>(y) * zel_vr::Face_Size + bx) * 3;
          tiles.insert(tiles.end(), pixels.begin() + static_cast<long>(row), pixels.begin() + static_cast<long>(row) + 24);
        }
      }
    }
    roz_chunk::put_anim_frame(file, offsets, tiles, Quality);
    previous = std::move(pixels);
  }
  return file;
}

std::vector<uint8_t> panorama_file(const Room_Style& style) {
  std::vector<uint8_t> file = roz_chunk::picture_file(roz_chunk::Panorama, Paint_Room(style), Quality);
  return file;
}

// A framed painting: a small landscape with its own sky, hills and sun.
void painting(Canvas& canvas, int x1, int y1, int x2, int y2, Rgb sky, Rgb hill, Rgb sun) {
  canvas.frame(x1 - 12, y1 - 12, x2 + 12, y2 + 12, 12, {150, 110, 40});
  canvas.rect(x1, y1, x2, y2, sky);
  int w = x2 - x1, h = y2 - y1;
  for (int x = x1; x <= x2; ++x) {
    float t = static_cast<float>(x - x1) / static_cast<float>(w);
    int top = y1 + h / 2 + static_cast<int>(static_cast<float>(h) * 0.18f * std::sin(t * 7.0f));
    canvas.rect(x, top, x, y2, hill);
  }
  int cx = x1 + w * 3 / 4, cy = y1 + h / 4, r = h / 8;
  for (int y = -r; y <= r; ++y) {
    for (int x = -r; x <= r; ++x) {
      if (x * x + y * y <= r * r) canvas.rect(cx + x, cy + y, cx + x, cy + y, sun);
    }
  }
}

Canvas gallery_canvas() {
  Canvas canvas;
  canvas.gradient({90, 70, 60}, {50, 36, 30});
  canvas.rect(0, 380, 639, 479, {70, 50, 36});
  canvas.centred_text(24, "THE GALLERY", 4, {250, 230, 180});
  painting(canvas, 60, 110, 290, 300, {120, 170, 230}, {60, 130, 60}, {255, 230, 90});
  painting(canvas, 350, 110, 580, 300, {230, 120, 80}, {90, 60, 90}, {255, 250, 200});
  canvas.button(40, 400, 230, 455, "< BACK", {90, 60, 40});
  canvas.button(380, 400, 600, 455, "NEXT LEVEL", {40, 90, 60});
  return canvas;
}

Canvas menu_canvas() {
  Canvas canvas;
  canvas.gradient({10, 20, 60}, {20, 50, 110});
  canvas.centred_text(60, "MENU", 8, {250, 250, 255});
  canvas.centred_text(150, "ESCAPE BROUGHT YOU HERE", 2, {180, 200, 240});
  canvas.button(220, 300, 420, 360, "RETURN", {40, 60, 140});
  canvas.button(220, 380, 420, 430, "CHIME", {60, 40, 120});
  canvas.button(440, 300, 620, 360, "RESTART", {130, 40, 50});
  return canvas;
}

void add_level_one(Demo_Game& game) {
  Demo_Folder& level = game.level(1);
  level.files["CHIME.WAV"] = Wav_File(Synth_Chime(22050), 22050);
  level.files["BIRD.WAV"] = Wav_File(Synth_Bird(22050), 22050);
  level.files["DOOR.WAV"] = Wav_File(Synth_Door(22050), 22050);
  level.files["MUSIC.WAV"] = Wav_File(Synth_Music(22050, 8), 22050);

  // The hall.
  level.files["HALL.ROZ"] = hall_file();
  Demo_Node& hall = level.node("HALL.ROZ");
  hall.zone_file = "HALL.ZON";
  hall.test(-1, 0).commands = {"SETANGLE 0 0", "LOCKKEY 0 MENU.ROZ", "PLAYMUSIQUE MUSIC.WAV 160", "FADE -255 0 16"};
  // Added in the order of Demo_Hall_Zone.
  for (const Room_Door& door : hall_style(0.0f).doors) Add_Door_Zone(hall, door);
  hall.add_view_zone(6144, 0, 500, 900);
  hall.add_view_zone(6144, 0, 500, 900);
  hall.test(Hall_Zone_Court_Door, 0).commands = {"INTERPOLANGLE 0 0 96", "FADE 0 -255 24", "GOTOWARP COURT.ROZ"};
  hall.test(Hall_Zone_Library_Door, 0).commands = {"INTERPOLANGLE 0 2048 96", "GOTOWARP LIBRARY.ROZ"};
  hall.test(Hall_Zone_Back_Door, 0).commands = {"PLAYSOUND DOOR.WAV 200 1", "PRINT THE_CELLAR_DOOR FONT1"};
  hall.test(Hall_Zone_Window, 1).commands = {"PRINT THE_HALL FONT1", "PLAYSOUND3D CHIME.WAV 220 6144 1"};
  hall.test(Hall_Zone_Window_Leave, 2).commands = {"PRINT"};

  // The courtyard.
  Room_Style court;
  court.wall = {210, 200, 180};
  court.wall_line = {160, 150, 130};
  court.floor_a = {70, 150, 60};
  court.floor_b = {60, 130, 50};
  court.wall_top = 0.45f;  // high enough for the sign above the doorway
  court.doors = {{2, 0.0f, 0.24f, 0.8f, {176, 146, 112}, "HALL", 1.0f}};
  court.wall_labels = {{0, "COURTYARD"}};
  level.files["COURT.ROZ"] = panorama_file(court);
  Demo_Node& yard = level.node("COURT.ROZ");
  yard.zone_file = "COURT.ZON";
  yard.test(-1, 0).commands = {"SETANGLE 0 0", "PLAYRNDSOUND BIRD.WAV 180 255", "FADE -255 0 16"};
  yard.test(Add_Door_Zone(yard, court.doors[0]), 0).commands = {"GOTOWARP HALL.ROZ"};

  // The library.
  Room_Style library;
  library.open_roof = false;
  library.wall_top = 0.8f;
  library.wall = {90, 60, 40};
  library.wall_line = {60, 30, 20};
  library.floor_a = {60, 60, 90};
  library.floor_b = {40, 40, 70};
  library.ceiling = {150, 120, 90};
  library.doors = {
      {0, 0.0f, 0.22f, 0.95f, {110, 80, 70}, "GALLERY", 1.0f},
      {2, 0.0f, 0.22f, 0.95f, {176, 146, 112}, "HALL", 1.0f},
  };
  library.wall_labels = {{1, "LIBRARY"}, {3, "BOOKS"}};
  level.files["LIBRARY.ROZ"] = panorama_file(library);
  Demo_Node& books = level.node("LIBRARY.ROZ");
  books.zone_file = "LIBRARY.ZON";
  books.test(-1, 0).commands = {"SETANGLE 0 0", "TRANSFADE 24"};
  books.test(Add_Door_Zone(books, library.doors[0]), 0).commands = {"GOTOWARP GALLERY.TGA"};
  books.test(Add_Door_Zone(books, library.doors[1]), 0).commands = {"GOTOWARP HALL.ROZ"};

  // The gallery: a flat Targa node.
  Canvas gallery = gallery_canvas();
  Picture_Image targa;
  targa.width = 640;
  targa.height = 480;
  targa.bits = 24;
  targa.pixels = gallery.rgb;
  Tga_Options bottom_up;
  bottom_up.top_first = false;
  level.files["GALLERY.TGA"] = Write_Tga(targa, bottom_up);
  Demo_Node& room = level.node("GALLERY.TGA");
  room.zone_file = "GALLERY.ZON";
  room.flat = true;
  room.test(-1, 0).commands = {"FADE -255 0 24"};
  room.test(room.add_rect_zone(40, 400, 230, 455), 0).commands = {"GOTOWARP LIBRARY.ROZ"};
  room.test(room.add_rect_zone(380, 400, 600, 455), 0).commands = {"FADE 0 -255 16", "END"};
  room.test(room.add_rect_zone(48, 98, 302, 312), 1).commands = {"PLAYSOUND CHIME.WAV 200 1"};

  // The menu: a flat ROZ picture, reached with Escape from any other node.
  std::vector<uint8_t> menu = roz_chunk::picture_file(roz_chunk::Flat, menu_canvas().bgr(), Quality);
  level.files["MENU.ROZ"] = std::move(menu);
  Demo_Node& options = level.node("MENU.ROZ");
  options.zone_file = "MENU.ZON";
  options.flat = true;
  options.test(options.add_rect_zone(220, 300, 420, 360), 0).commands = {"RETURN"};
  options.test(options.add_rect_zone(220, 380, 420, 430), 0).commands = {"PLAYSOUND CHIME.WAV 255 1"};
  // Restart takes effect when the script ends: the level loop then runs level 1 again.
  options.test(options.add_rect_zone(440, 300, 620, 360), 0).commands = {"PLUGIN", "Restart()", "ENDPLUGIN",
                                                                         "FADE 0 -255 16", "END"};

  // The tour of level 1. Turning: a mouse motion of 40 pixels a frame turns the
  // view by about 57 units a frame once the inertia has built up.
  game.tour_section("level-1-start") = {"node HALL.ROZ", "wait 30", "shot hall"};
  // The game starts again once: Escape, RESTART, and the hall of the new run.
  game.tour_section("level-1-restart") = {"key 27", "node MENU.ROZ", "wait 5", "move -2000 -2000", "wait 1",
                                          "move 1060 660", "wait 3", "shot menu-restart", "click", "wait 20",
                                          "node HALL.ROZ", "wait 30", "shot hall-restarted"};
  game.tour_section("level-1-menu") = {
      "key 27", "node MENU.ROZ", "wait 5", "move -2000 -2000", "wait 1", "move 640 660", "wait 3", "shot menu",
      "click", "node HALL.ROZ", "wait 30"};
  game.tour_section("level-1-window") = {"turn -40 0 34", "wait 25", "shot hall-window", "turn 40 0 34", "wait 25"};
  game.tour_section("level-1-court") = {"click", "node COURT.ROZ", "wait 30", "shot court", "turn 0 -40 16",
                                        "wait 25", "shot court-sky", "turn 0 40 16", "wait 25", "turn 40 0 70",
                                        "wait 25", "shot court-way-back", "click", "node HALL.ROZ", "wait 30"};
  game.tour_section("level-1-cellar") = {"turn 40 0 70", "wait 25", "shot hall-cellar", "click", "wait 20"};
  game.tour_section("level-1-library") = {"turn -40 0 34", "wait 25", "click", "node LIBRARY.ROZ", "wait 10",
                                          "shot library-transfade", "wait 30", "shot library"};
  game.tour_section("level-1-gallery") = {"click", "node GALLERY.TGA", "wait 20", "move -2000 -2000", "wait 1",
                                          "move 340 400", "wait 10", "shot gallery", "move 580 460", "wait 3",
                                          "click"};
}

Demo_Part_Registration registration({"level-one", 10, add_level_one});

}  // namespace
