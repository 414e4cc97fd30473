// Demo part "base": the installed folder (the disc prompt and the cursors) and
// the intro, a slow look round a courtyard that fades out and ends by itself.
#include "demo.h"
#include "picture_file_writers.h"
#include "roz_chunk_writer.h"

namespace {

// An 8-bit PCX cursor: index 0 is transparent, 1 a dark outline, 2 the fill.
std::vector<uint8_t> cursor_pcx(bool hotspot) {
  const int size = hotspot ? 21 : 15;
  Picture_Image image;
  image.width = size;
  image.height = size;
  image.bits = 8;
  image.palette.assign(768, 0);
  // Colour 1 is near black rather than black: a 5-6-5 value of 0 is transparent.
  Rgb outline{8, 8, 8};
  Rgb fill = hotspot ? Rgb{255, 210, 40} : Rgb{250, 250, 250};
  image.palette[3] = outline.r;
  image.palette[4] = outline.g;
  image.palette[5] = outline.b;
  image.palette[6] = fill.r;
  image.palette[7] = fill.g;
  image.palette[8] = fill.b;
  image.pixels.assign(static_cast<size_t>(size) * size, 0);
  const int c = size / 2;
  auto put = [&](int x, int y, uint8_t index) {
    if (x >= 0 && y >= 0 && x < size && y < size) image.pixels[static_cast<size_t>(y) * size + x] = index;
  };
  if (!hotspot) {
    // A cross with an outline.
    for (int i = 0; i < size; ++i) {
      for (int d = -1; d <= 1; ++d) {
        put(i, c + d, 1);
        put(c + d, i, 1);
      }
    }
    for (int i = 1; i < size - 1; ++i) {
      put(i, c, 2);
      put(c, i, 2);
    }
  } else {
    // A ring with a dot: something can be done here.
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) {
        int dx = x - c, dy = y - c;
        int d2 = dx * dx + dy * dy;
        if (d2 <= 100 && d2 >= 36) put(x, y, d2 <= 81 && d2 >= 49 ? 2 : 1);
        if (d2 <= 4) put(x, y, 2);
      }
    }
  }
  return Write_Pcx(image);
}

std::vector<uint8_t> disc_prompt_picture() {
  Canvas canvas;
  canvas.gradient({20, 20, 40}, {60, 40, 80});
  canvas.centred_text(200, "INSEREZ LE DISQUE", 4, {240, 230, 200});
  canvas.centred_text(270, "CLIQUEZ POUR REESSAYER", 2, {180, 170, 200});
  std::vector<uint8_t> file = roz_chunk::picture_file(roz_chunk::Flat, canvas.bgr(), 85);
  return file;
}

void add_base(Demo_Game& game) {
  // The runtime reads its cursors from the folder of the script it runs.
  game.install.files["cursor1.pcx"] = cursor_pcx(false);
  game.install.files["cursor2.pcx"] = cursor_pcx(true);
  for (Demo_Folder& level : game.levels) {
    level.files["cursor1.pcx"] = game.install.files["cursor1.pcx"];
    level.files["cursor2.pcx"] = game.install.files["cursor2.pcx"];
  }

  // The disc prompt: shown while a level's folder cannot be entered; a click
  // ends this run and the level loop looks for the folder again.
  game.install.files["DISC.ROZ"] = disc_prompt_picture();
  Demo_Node& prompt = game.install.node("DISC.ROZ");
  prompt.zone_file = "DISC.ZON";
  prompt.flat = true;
  prompt.test(-1, 0).commands = {"PRINT INSEREZ_LE_DISQUE FONT1"};
  prompt.test(prompt.add_rect_zone(0, 0, 639, 479), 0).commands = {"END"};

  // The intro: a courtyard under the sky, seen turning slowly, then dark.
  Room_Style court;
  court.wall = {200, 170, 130};
  court.wall_line = {150, 120, 90};
  court.floor_a = {190, 180, 160};
  court.floor_b = {160, 150, 130};
  court.wall_top = 0.35f;
  court.wall_labels = {{0, "OSTERLIN"}, {1, "A DEMO GAME"}, {2, "WELCOME"}, {3, "OSTERLIN"}};
  std::vector<uint8_t> file = roz_chunk::picture_file(roz_chunk::Panorama, Paint_Room(court), 85);
  game.intro.files["INTRO.ROZ"] = std::move(file);
  Demo_Node& intro = game.intro.node("INTRO.ROZ");
  intro.test(-1, 0).commands = {
      "SETANGLE 0 7000", "FADE -255 0 12", "INTERPOLANGLE 0 1200 40", "FADE 0 -255 12", "END",
  };
}

Demo_Part_Registration registration({"base", 0, add_base});

}  // namespace
