// Demo part "video": the playback features of the first level.
//
//   OPENING.SMK  a full-screen movie played by the hall's entry test the first
//                time the hall is entered (a command block "play_movie")
//   SCREEN.SMK   a flat node whose picture is a movie (the node video): reached by
//                a click on the gallery's second painting; it plays once and
//                keeps its last frame
//   CLIP.MTA     an animation file with sound, played by PLAYVIDEO when the
//                node video's screen is clicked, before going back to the gallery
#include <climits>
#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "anim/anim_file.h"
#include "anim_file_writer.h"
#include "demo.h"
#include "smacker_writer.h"

namespace {

constexpr int Opening_Frames = 16;
constexpr int Screen_Frames = 24;
constexpr int Clip_Frames = 20;

// Palette indices of a canvas whose colours are few (flat fills and text): each
// new colour gets the next index.
struct Indexed {
  std::vector<uint8_t> palette = std::vector<uint8_t>(768, 0);
  std::map<uint32_t, uint8_t> index;
  uint8_t of(const uint8_t* rgb) {
    uint32_t key = (rgb[0] << 16) | (rgb[1] << 8) | rgb[2];
    auto it = index.find(key);
    if (it != index.end()) return it->second;
    uint8_t i = static_cast<uint8_t>(index.size() < 256 ? index.size() : 255);
    index[key] = i;
    palette[3 * i] = rgb[0];
    palette[3 * i + 1] = rgb[1];
    palette[3 * i + 2] = rgb[2];
    return i;
  }
  std::vector<uint8_t> frame(const Canvas& canvas) {
    std::vector<uint8_t> out(static_cast<size_t>(canvas.width) * canvas.height);
    for (size_t i = 0; i < out.size(); ++i) out[i] = of(&canvas.rgb[i * 3]);
    return out;
  }
};

// The opening: a title over a night sky that brightens, with a bar that grows.
// Everything lies on the 4 x 4 grid the movie writer codes.
std::vector<uint8_t> opening_movie() {
  Smacker_Movie movie;
  movie.width = 640;
  movie.height = 480;
  movie.fps = 15;
  Indexed colours;
  for (int f = 0; f < Opening_Frames; ++f) {
    Canvas canvas;
    uint8_t level = static_cast<uint8_t>(20 + f * 8);
    canvas.fill({static_cast<uint8_t>(level / 2), static_cast<uint8_t>(level / 2), level});
    canvas.text(320 - Text_Width("LEVEL 1", 8) / 2 / 4 * 4, 160, "LEVEL 1", 8, {250, 230, 180});
    canvas.text(320 - Text_Width("THE HOUSE", 4) / 2 / 4 * 4, 260, "THE HOUSE", 4, {200, 200, 220});
    canvas.rect(120, 360, 120 + (f + 1) * 400 / Opening_Frames - 1, 375, {250, 200, 80});
    movie.frames.push_back(colours.frame(canvas));
  }
  movie.palette = colours.palette;
  return Write_Smacker(movie);
}

// The node video: a television whose screen shows moving bands, then a still
// test card that stays as the node's picture.
std::vector<uint8_t> screen_movie() {
  Smacker_Movie movie;
  movie.width = 640;
  movie.height = 480;
  movie.fps = 10;
  Indexed colours;
  const Rgb bands[] = {{200, 40, 40}, {40, 180, 60}, {40, 80, 200}, {220, 200, 40}, {180, 60, 180}};
  for (int f = 0; f < Screen_Frames; ++f) {
    Canvas canvas;
    canvas.fill({60, 44, 36});
    canvas.rect(96, 64, 543, 399, {30, 30, 30});
    for (int x = 120; x < 520; x += 40) {
      const Rgb& band = bands[static_cast<size_t>((x / 40 + f) % 5)];
      canvas.rect(x, 88, x + 39, 375, band);
    }
    if (f == Screen_Frames - 1) {
      canvas.rect(120, 88, 519, 375, {230, 230, 230});
      canvas.text(320 - Text_Width("CLICK ME", 4) / 2 / 4 * 4, 220, "CLICK ME", 4, {20, 20, 20});
    }
    canvas.text(320 - Text_Width("THE SCREEN", 4) / 2 / 4 * 4, 420, "THE SCREEN", 4, {250, 240, 210});
    movie.frames.push_back(colours.frame(canvas));
  }
  movie.palette = colours.palette;
  return Write_Smacker(movie);
}

// Delta codes that follow the samples as closely as the table allows.
std::vector<uint8_t> delta_codes(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> codes;
  int32_t sum = 0;
  for (int16_t target : samples) {
    int best = 128;
    int32_t best_error = INT32_MAX;
    for (int c = 0; c < 256; ++c) {
      int32_t value = static_cast<int16_t>(static_cast<uint16_t>(sum + Anim_Delta_Value(static_cast<uint8_t>(c))));
      int32_t error = std::abs(value - target);
      if (error < best_error) {
        best_error = error;
        best = c;
      }
    }
    sum = static_cast<int16_t>(static_cast<uint16_t>(sum + Anim_Delta_Value(static_cast<uint8_t>(best))));
    codes.push_back(static_cast<uint8_t>(best));
  }
  return codes;
}

// The clip: a ball bouncing across a small 16-bit picture, with a chime.
std::vector<uint8_t> clip_file() {
  Anim_File clip;
  clip.version = 1284;
  clip.name = "CLIP";
  clip.width = 160;
  clip.height = 120;
  clip.bits = 16;
  clip.pack = 7;
  clip.fps = 15;
  clip.rate = 22050;
  clip.sound_bits = 16;
  clip.stereo = 0;
  clip.sound_method = 5;
  const uint32_t samples_per_frame = 22050 / 15;
  clip.sound_bytes = samples_per_frame * 2;
  std::vector<int16_t> chime = Synth_Chime(22050);
  chime.resize(static_cast<size_t>(samples_per_frame) * Clip_Frames, 0);
  for (int f = 0; f < Clip_Frames; ++f) {
    std::vector<uint8_t> frame(static_cast<size_t>(clip.width) * clip.height * 2);
    int bx = 10 + f * 6;
    int by = 90 - static_cast<int>(70.0 * std::fabs(std::sin(f * 0.35)));
    for (int y = 0; y < clip.height; ++y) {
      for (int x = 0; x < clip.width; ++x) {
        bool ball = (x - bx) * (x - bx) + (y - by) * (y - by) <= 100;
        uint16_t pixel = ball ? 0xFC00 : y > 100 ? 0x4A49 : static_cast<uint16_t>(0x0010 + (y / 8));
        frame[(static_cast<size_t>(y) * clip.width + x) * 2] = static_cast<uint8_t>(pixel);
        frame[(static_cast<size_t>(y) * clip.width + x) * 2 + 1] = static_cast<uint8_t>(pixel >> 8);
      }
    }
    clip.frames.push_back(frame);
    std::vector<int16_t> part(chime.begin() + static_cast<long>(f * samples_per_frame),
                              chime.begin() + static_cast<long>((f + 1) * samples_per_frame));
    clip.sounds.push_back(delta_codes(part));
  }
  return Write_Anim_File(clip);
}

void add_video(Demo_Game& game) {
  Demo_Folder& level = game.level(1);
  level.files["OPENING.SMK"] = opening_movie();
  level.files["SCREEN.SMK"] = screen_movie();
  level.files["CLIP.MTA"] = clip_file();

  // The opening plays on the first entry into the hall only: later entries jump
  // over it with GOSUB (IFOR skips the jump while OPENING_SEEN is 0). A level
  // entered neither at start-up nor from the previous level (a restart or a
  // loaded game: LoadSave 99 says so) counts it as seen.
  for (const char* name : {"OPENING_SEEN", "FROM_START", "RESTARTED"}) level.bools.push_back(name);
  Demo_Node& hall = level.node("HALL.ROZ");
  std::vector<std::string>& entry = hall.test(-1, 0).commands;
  entry.insert(entry.begin(), {"PLUGIN", "LoadSave(99,FROM_START,RESTARTED)", "ENDPLUGIN", "IFAND RESTARTED",
                               "SET OPENING_SEEN 1", "IFOR OPENING_SEEN", "GOSUB OPENING_DONE", "PLUGIN",
                               "play_movie(OPENING.SMK)", "ENDPLUGIN", "SET OPENING_SEEN 1", "LABEL OPENING_DONE"});

  // The node video, reached from the gallery's second painting.
  Demo_Node& gallery = level.node("GALLERY.TGA");
  gallery.test(gallery.add_rect_zone(350, 110, 580, 300), 0).commands = {"GOTOWARP SCREEN.SMK"};
  Demo_Node& screen = level.node("SCREEN.SMK");
  screen.flat = true;
  screen.zone_file = "SCREEN.ZON";
  screen.test(-1, 0).commands = {"FADE -255 0 16"};
  screen.test(screen.add_rect_zone(120, 88, 519, 375), 0).commands = {"PLAYVIDEO CLIP.MTA", "GOTOWARP GALLERY.TGA"};

  // The tour: time for the opening before the hall's first screenshot, then a
  // detour through the screen between the gallery's screenshot and its NEXT
  // LEVEL button (the cursor then stands on the first painting).
  std::vector<std::string>& start = game.tour_section("level-1-start");
  for (size_t i = 0; i < start.size(); ++i) {
    if (start[i] == "node HALL.ROZ") {
      start.insert(start.begin() + static_cast<long>(i) + 1, "wait " + std::to_string(Opening_Frames * 4 + 10));
      break;
    }
  }
  std::vector<std::string>& steps = game.tour_section("level-1-gallery");
  for (size_t i = 0; i < steps.size(); ++i) {
    if (steps[i] != "shot gallery") continue;
    // The game's cursor moves half the motion: from (170, 200) to (465, 205), then
    // from there to the NEXT LEVEL button at (460, 430).
    std::vector<std::string> detour = {"move 590 10", "wait 3", "click", "node SCREEN.SMK",
                                       "wait " + std::to_string(Screen_Frames * 6 + 10), "shot node-video",
                                       "click", "node GALLERY.TGA", "wait 20", "move -10 450", "wait 3", "click"};
    steps.resize(i + 1);
    steps.insert(steps.end(), detour.begin(), detour.end());
    break;
  }
}

Demo_Part_Registration registration({"video", 60, add_video});

}  // namespace
