// export: scene scripts (the dump JSON, and for each node with a zone file its
// picture with the zones drawn on it and the zones as JSON), zone files alone,
// and saved games.
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "cmd_export.h"
#include "files/file.h"
#include "pictures/picture.h"
#include "scene/renderer.h"
#include "scene/runtime.h"
#include "scene/script_compiler.h"
#include "scene/view.h"
#include "shell/levels.h"
#include "shell/saved_games.h"

std::string Script_Dump_Json(const Scene_Script* script);

namespace {

constexpr int Equirect_Width = 2048;
constexpr int Equirect_Height = 1024;
constexpr size_t Max_Outlined_Zones = 256;

// The engine compiles a script from its own folder: the names of node pictures,
// zone files and sounds inside it are relative to that folder. This makes the
// folder current for as long as it lives.
class In_Folder {
 public:
  explicit In_Folder(const std::string& file) {
    char here[PATH_MAX];
    if (getcwd(here, sizeof here) != nullptr) previous_ = here;
    size_t cut = file.find_last_of('/');
    std::string folder = cut == std::string::npos ? "." : (cut == 0 ? "/" : file.substr(0, cut));
    entered_ = chdir(folder.c_str()) == 0;
  }
  ~In_Folder() {
    if (!previous_.empty() && chdir(previous_.c_str()) != 0) std::perror("osterlin-tool: export");
  }
  bool entered() const { return entered_; }

 private:
  std::string previous_;
  bool entered_ = false;
};

// Zone outlines by the trigger of the zone's first test (the one the runtime's
// scans look at): click yellow, entering green, leaving magenta, no test white.
void trigger_colour(int trigger, uint8_t* rgb) {
  static const uint8_t colours[4][3] = {{255, 220, 0}, {0, 230, 60}, {255, 0, 255}, {255, 255, 255}};
  int k = trigger >= 0 && trigger <= 2 ? trigger : 3;
  std::memcpy(rgb, colours[k], 3);
}

// Digits 0-9, 3 x 5 pixels, one row per 3 bits (top row first).
constexpr uint16_t Digit_Rows[10] = {
    0b111101101101111, 0b010110010010111, 0b111001111100111, 0b111001111001111, 0b101101111001001,
    0b111100111001111, 0b111100111101111, 0b111001010010010, 0b111101111101111, 0b111101111001111,
};

void put_pixel(Png_Picture& picture, int x, int y, const uint8_t* rgb) {
  if (x < 0 || y < 0 || x >= picture.width || y >= picture.height) return;
  std::memcpy(&picture.pixels[(static_cast<size_t>(y) * picture.width + x) * 3], rgb, 3);
}

// Labels already drawn on a picture: zones with the same corner (one zone with
// an enter test, another with a leave test over the same place) get their
// numbers side by side instead of one over the other.
struct Label_Box {
  int x, y, width, height;
};

// The zone number in the zone's colour on a black box, scaled 3 times.
void draw_number(Png_Picture& picture, int x, int y, int number, const uint8_t* rgb, std::vector<Label_Box>& placed) {
  std::string text = std::to_string(number);
  constexpr int scale = 3;
  int width = static_cast<int>(text.size()) * 4 * scale + scale, height = 7 * scale;
  for (bool moved = true; moved;) {
    moved = false;
    for (const Label_Box& box : placed) {
      if (x < box.x + box.width && box.x < x + width && y < box.y + box.height && box.y < y + height) {
        x = box.x + box.width + scale;
        moved = true;
      }
    }
  }
  if (x + width > picture.width) x = picture.width - width;
  if (y + height > picture.height) y = picture.height - height;
  placed.push_back({x, y, width, height});
  static const uint8_t black[3] = {0, 0, 0};
  for (int dy = 0; dy < height; ++dy) {
    for (int dx = 0; dx < width; ++dx) put_pixel(picture, x + dx, y + dy, black);
  }
  for (size_t i = 0; i < text.size(); ++i) {
    uint16_t bits = Digit_Rows[text[i] - '0'];
    for (int row = 0; row < 5; ++row) {
      for (int column = 0; column < 3; ++column) {
        if (!((bits >> (14 - row * 3 - column)) & 1)) continue;
        for (int sy = 0; sy < scale; ++sy) {
          for (int sx = 0; sx < scale; ++sx) {
            put_pixel(picture, x + scale + (static_cast<int>(i) * 4 + column) * scale + sx, y + scale + row * scale + sy,
                      rgb);
          }
        }
      }
    }
  }
}

// Outlines one zone: `inside` is the engine's own hit test at every pixel; a
// pixel of the zone with a pixel outside within two steps is on the outline.
// Panoramas wrap around horizontally.
template <typename Inside>
void draw_zone(Png_Picture& picture, bool wraps, Inside inside, int number, const uint8_t* rgb,
               std::vector<Label_Box>& labels) {
  const int width = picture.width, height = picture.height;
  std::vector<uint8_t> mask(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) mask[static_cast<size_t>(y) * width + x] = inside(x, y) ? 1 : 0;
  }
  auto at = [&](int x, int y) -> bool {
    if (y < 0 || y >= height) return false;
    if (x < 0 || x >= width) {
      if (!wraps) return false;
      x = (x + width) % width;
    }
    return mask[static_cast<size_t>(y) * width + x] != 0;
  };
  int label_x = -1, label_y = -1;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (!mask[static_cast<size_t>(y) * width + x]) continue;
      if (label_x < 0) label_x = x, label_y = y;
      bool edge = false;
      for (int d = 1; d <= 2 && !edge; ++d) {
        edge = !at(x - d, y) || !at(x + d, y) || !at(x, y - d) || !at(x, y + d);
      }
      if (edge) put_pixel(picture, x, y, rgb);
    }
  }
  if (label_x >= 0) draw_number(picture, label_x + 4, label_y + 4, number, rgb, labels);
}

std::string zone_json_fields(const Zone& zone) {
  return "\"a1\":" + Json_Number(zone.a1) + ",\"a2\":" + Json_Number(zone.a2) + ",\"b1\":" + Json_Number(zone.b1) +
         ",\"b2\":" + Json_Number(zone.b2);
}

std::string tests_json(const Warp* warp, int zone) {
  std::string out = "[";
  bool first = true;
  for (int32_t t = 0; warp != nullptr && t < warp->test_count; ++t) {
    const Test& test = warp->tests[t];
    if (test.zone != zone) continue;
    out += first ? "" : ",";
    first = false;
    out += "{\"trigger\":" + std::to_string(test.trigger) + ",\"commands\":[";
    for (int32_t c = 0; c < test.command_count; ++c) out += (c ? "," : "") + Json_String(test.commands[c]);
    out += "]}";
  }
  return out + "]";
}

// The first test of the node for the zone: the runtime's scans use its trigger.
int first_trigger(const Warp& warp, int zone) {
  for (int32_t t = 0; t < warp.test_count; ++t) {
    if (warp.tests[t].zone == zone) return warp.tests[t].trigger;
  }
  return -1;
}

bool export_node_zones(Export_Run& run, const std::string& stem_folder, Warp& warp, std::string& why) {
  std::string node_name = warp.picture_name ? warp.picture_name : "";
  std::string safe;
  if (!Safe_Component(Strip_Extension(node_name), safe)) {
    why = "node name \"" + node_name + "\" cannot name an output file";
    return false;
  }
  const char* zone_file = warp.zone_file_name;
  if (File_Size(zone_file) <= 0) {
    why = "zone file " + std::string(zone_file) + " of node " + node_name + " is missing or empty";
    return false;
  }
  std::vector<Zone> zones = Zone_File_Load(zone_file);
  // The node's picture, loaded exactly as a node start loads it.
  int kind = Warp_Picture_Load(warp, false);
  Png_Picture picture;
  bool panorama = kind == 0;
  if (panorama) {
    picture = Panorama_Equirect_Picture(Panorama_Buffer(), Equirect_Width, Equirect_Height);
  } else {
    Picture* node = Node_Picture();
    if (node == nullptr || node->pixels == nullptr || node->width != 640 || node->height != 480 ||
        node->bits_per_pixel != 16) {
      why = "picture of node " + node_name + " cannot be loaded";
      return false;
    }
    picture = Png_From_565(reinterpret_cast<const uint16_t*>(node->pixels), 640, 480, 640);
  }
  std::string json = "{\"node\":" + Json_String(node_name) + ",\"zone_file\":" + Json_String(zone_file) +
                     ",\"kind\":" + (panorama ? "\"panorama\"" : "\"flat\"") + ",\"zones\":[";
  std::vector<Label_Box> labels;
  for (size_t i = 0; i < zones.size(); ++i) {
    Zone shown = zones[i];
    uint8_t rgb[3];
    trigger_colour(first_trigger(warp, static_cast<int>(i)), rgb);
    // A damaged zone file can hold a million zones: all are listed, the first
    // ones drawn.
    if (i < Max_Outlined_Zones && panorama) {
      Zone_Snap(shown);  // as the runtime does when it loads a panorama's zones
      draw_zone(picture, true, [&](int x, int y) {
        int yaw = static_cast<int>(std::lround((x + 0.5) * 8192.0 / Equirect_Width - 4096.0));
        int pitch = static_cast<int>(std::lround((0.5 - (y + 0.5) / Equirect_Height) * 4096.0));
        return Zone_Contains_View(shown, yaw, pitch);
      }, static_cast<int>(i), rgb, labels);
    } else if (i < Max_Outlined_Zones) {
      draw_zone(picture, false, [&](int x, int y) { return Zone_Contains_Point(shown, x, y); }, static_cast<int>(i), rgb,
                labels);
    }
    json += (i ? "," : "") + std::string("{\"index\":") + std::to_string(i) + "," + zone_json_fields(zones[i]) +
            ",\"tests\":" + tests_json(&warp, static_cast<int>(i)) + "}";
  }
  json += "]}\n";
  return run.write_png(stem_folder + safe + ".zones.png", picture, why) &&
         run.write_text(stem_folder + safe + ".zones.json", json, why);
}

std::string folder_of(const std::string& stem) {
  size_t cut = stem.find_last_of('/');
  return cut == std::string::npos ? "" : stem.substr(0, cut + 1);
}

int32_t i32_at(const std::vector<uint8_t>& bytes, size_t offset) {
  if (offset > bytes.size() || bytes.size() - offset < 4) return 0;
  return static_cast<int32_t>(static_cast<uint32_t>(bytes[offset] | (bytes[offset + 1] << 8) | (bytes[offset + 2] << 16)) |
                              (static_cast<uint32_t>(bytes[offset + 3]) << 24));
}

}  // namespace

bool Export_Script(Export_Run& run, const Export_Item& item, std::string& why) {
  In_Folder folder(item.name);
  if (!folder.entered()) {
    why = "cannot enter the script's folder";
    return false;
  }
  Script_Compile(item.name.c_str());
  Scene_Script* script = Script_Current();
  if (script == nullptr || script->warp_count == 0) {
    Script_Free();
    why = "the script has no node (unreadable, or compilation stops early: see osterlin-tool script check)";
    return false;
  }
  bool ok = run.write_text(item.stem + ".json", Script_Dump_Json(script) + "\n", why);
  std::string first_problem;
  for (int32_t w = 0; ok && w < script->warp_count; ++w) {
    Warp& warp = script->warps[w];
    if (warp.zone_file_name == nullptr) continue;
    std::string problem;
    if (!export_node_zones(run, folder_of(item.stem), warp, problem) && first_problem.empty()) first_problem = problem;
  }
  Script_Free();
  if (ok && !first_problem.empty()) {
    why = first_problem;
    return false;
  }
  return ok;
}

bool Export_Zone_File(Export_Run& run, const Export_Item& item, std::string& why) {
  std::vector<uint8_t> file;
  if (!Export_Load(item.name, file, 16u << 20) || file.size() < 4) {
    why = "not a zone file (shorter than its count)";
    return false;
  }
  if (i32_at(file, 0) < 0) {
    why = "not a zone file (negative count)";
    return false;
  }
  std::vector<Zone> zones = Zone_File_Load(item.name.c_str());
  std::string json = "{\"node\":null,\"zone_file\":" + Json_String(Base_Name(item.name)) + ",\"zones\":[";
  for (size_t i = 0; i < zones.size(); ++i) {
    json += (i ? "," : "") + std::string("{\"index\":") + std::to_string(i) + "," + zone_json_fields(zones[i]) +
            ",\"tests\":[]}";
  }
  json += "]}\n";
  return run.write_text(item.stem + ".zon.json", json, why);
}

bool Export_Saved_Game(Export_Run& run, const Export_Item& item, std::string& why) {
  std::vector<uint8_t> file;
  if (!Export_Load(item.name, file, 64u << 20)) {
    why = "cannot read the file";
    return false;
  }
  Save_Slot slot;
  if (!Slot_Read_Bytes(slot, file.data(), file.size())) {
    why = "not a saved game the engine reads (truncated, or a bad thumbnail header)";
    return false;
  }
  if (slot.thumbnail_width < 1 || slot.thumbnail_height < 1 ||
      slot.thumbnail.size() < static_cast<size_t>(slot.thumbnail_width) * slot.thumbnail_height) {
    why = "saved game without a thumbnail";
    return false;
  }
  if (!run.write_png(item.stem + ".png", Png_From_565(slot.thumbnail.data(), slot.thumbnail_width, slot.thumbnail_height,
                                                       slot.thumbnail_width),
                     why)) {
    return false;
  }
  // Caption: date, time and level name, each NUL-terminated.
  std::string texts[3];
  size_t at = 0;
  for (std::string& text : texts) {
    while (at < slot.caption.size() && slot.caption[at] != 0) text += static_cast<char>(slot.caption[at++]);
    ++at;
  }
  const std::vector<uint8_t>& state = slot.snapshot;
  const char* level_folder = slot.level >= 1 && slot.level <= Level_Count ? Level_Folder_Name(slot.level) : nullptr;
  std::string json = "{\"level\":" + std::to_string(slot.level) +
                     ",\"level_folder\":" + (level_folder ? Json_String(level_folder) : "null") +
                     ",\"caption\":{\"date\":" + Json_String(texts[0]) + ",\"time\":" + Json_String(texts[1]) +
                     ",\"level_name\":" + Json_String(texts[2]) + "}";
  bool has_view = state.size() >= 36;
  if (has_view) {
    json += ",\"view\":{\"pitch\":" + std::to_string(i32_at(state, 0)) + ",\"yaw\":" + std::to_string(i32_at(state, 4)) +
            ",\"pitch_limit\":" + std::to_string(i32_at(state, 16)) + ",\"yaw_min\":" + std::to_string(i32_at(state, 20)) +
            ",\"yaw_max\":" + std::to_string(i32_at(state, 24)) + "}";
  } else {
    json += ",\"view\":null";
  }
  int32_t node = has_view ? i32_at(state, 28) : -1;
  // The level's script, found beside the saved game (the level folder in the
  // same folder or the one above), names the node and the booleans.
  std::string node_name, booleans = "null", script_path = "null";
  if (level_folder != nullptr) {
    size_t cut = item.name.find_last_of('/');
    std::string here = cut == std::string::npos ? "." : item.name.substr(0, cut);
    for (const std::string& candidate : {here + "/" + level_folder + "/osterlin.lst",
                                         here + "/../" + level_folder + "/osterlin.lst"}) {
      std::string packed = candidate.substr(0, candidate.size() - 3) + "pak";
      if (File_Size(candidate.c_str()) <= 0 && File_Size(packed.c_str()) <= 0) continue;
      In_Folder folder(candidate);
      Script_Compile(candidate.c_str());
      const Scene_Script* script = Script_Current();
      if (script != nullptr && script->warp_count > 0) {
        script_path = Json_String(candidate);
        if (node >= 0 && node < script->warp_count && script->warps[node].picture_name) {
          node_name = script->warps[node].picture_name;
        }
        size_t tests = 0;
        for (int32_t w = 0; w < script->warp_count; ++w) tests += static_cast<size_t>(script->warps[w].test_count);
        // The block only fits the script that wrote it; then the booleans
        // follow the fixed fields and one cursor name per test.
        if (state.size() == 8175 + 257 * tests + 4 * static_cast<size_t>(script->bool_count)) {
          booleans = "{";
          size_t offset = 9 * 4 + 2 * 257 + 257 * tests;
          for (int32_t b = 0; b < script->bool_count; ++b) {
            std::string name = script->bools[b].name ? script->bools[b].name : "";
            booleans += (b ? "," : "") + Json_String(name) + ":" + std::to_string(i32_at(state, offset + 4 * b));
          }
          booleans += "}";
        }
      }
      Script_Free();
      break;
    }
  }
  json += ",\"node\":{\"index\":" + std::to_string(node) + ",\"name\":" +
          (node_name.empty() ? "null" : Json_String(node_name)) + "},\"script\":" + script_path +
          ",\"booleans\":" + booleans + "}\n";
  return run.write_text(item.stem + ".json", json, why);
}
