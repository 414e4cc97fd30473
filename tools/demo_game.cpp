// The demo game's model: folders, nodes, tests, zones and the tour, the registry
// of demo parts, and writing the result to disk.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "demo.h"
#include "files/pak.h"
#include "tool.h"

namespace {

std::vector<Demo_Part>& registered_parts() {
  static std::vector<Demo_Part> parts;
  return parts;
}

constexpr float Radians_Per_Unit = 0.0007669898f;
constexpr float Quarter_Turn = 1.570795f;
constexpr float Two_Pi = 6.2831853f;

// Horizontal angle in [0, 2 pi) of a yaw in engine units.
float horizontal(int yaw) { return static_cast<float>(((yaw % 8192) + 8192) % 8192) * Radians_Per_Unit; }

const char* level_folder_names[6] = {"01RE_DAVID",  "02VR_ILE",           "03VR_PUEBLO",
                                     "04VR_FLEUVE", "05VR_VILLAGEMARAIS", "07VRTEMPLE_VOLCAN"};

}  // namespace

Demo_Test& Demo_Node::test(int zone, int trigger) {
  for (Demo_Test& t : tests) {
    if (t.zone == zone && t.trigger == trigger) return t;
  }
  tests.push_back({zone, trigger, {}});
  return tests.back();
}

int Demo_Node::add_zone(const Demo_Zone& zone) {
  zones.push_back(zone);
  return static_cast<int>(zones.size()) - 1;
}

int Demo_Node::add_view_zone(int yaw, int pitch, int half_width, int half_height) {
  // A zone that straddles yaw 0 is written with its limits the other way round
  // (the larger first); the engine reads a span above pi as one through 0.
  float a1 = horizontal(yaw - half_width);
  float a2 = horizontal(yaw + half_width);
  float b1 = static_cast<float>(pitch - half_height) * Radians_Per_Unit + Quarter_Turn;
  float b2 = static_cast<float>(pitch + half_height) * Radians_Per_Unit + Quarter_Turn;
  return add_zone({a1, a2, b1, b2});
}

int Add_Door_Zone(Demo_Node& node, const Room_Door& door) {
  // Seen from the eye, the opening spans these angles (the wall is 1 unit away).
  const float left = std::atan(door.centre - door.half_width), right = std::atan(door.centre + door.half_width);
  const float bottom = std::atan(-Room_Eye_Height), top = std::atan(door.height - Room_Eye_Height);
  auto units = [](float radians) { return static_cast<int>(std::lround(radians / Radians_Per_Unit)); };
  return node.add_view_zone(door.wall * 2048 + units((left + right) / 2), units((bottom + top) / 2),
                            units((right - left) / 2), units((top - bottom) / 2));
}

int Demo_Node::add_rect_zone(int x1, int y1, int x2, int y2) {
  return add_zone({static_cast<float>(x1), static_cast<float>(x2), static_cast<float>(y1), static_cast<float>(y2)});
}

Demo_Node& Demo_Folder::node(const std::string& picture) {
  if (Demo_Node* found = find_node(picture)) return *found;
  nodes.push_back({});
  nodes.back().picture = picture;
  return nodes.back();
}

Demo_Node* Demo_Folder::find_node(const std::string& picture) {
  for (Demo_Node& n : nodes) {
    if (n.picture == picture) return &n;
  }
  return nullptr;
}

std::string Demo_Folder::script_text() const {
  std::string text = "; Scene script of the demo game, written by osterlin-tool make-demo.\r\n";
  for (const std::string& name : bools) text += "[BOOL] " + name + "\r\n";
  for (const Demo_Node& n : nodes) {
    text += "\r\n[WARP] " + n.picture + (n.zone_file.empty() ? "" : " " + n.zone_file) + "\r\n";
    // The entry test first, as scripts are usually written; a node without tests
    // still needs one "[TEST]" line right after its "[WARP]" line.
    std::vector<const Demo_Test*> ordered;
    for (const Demo_Test& t : n.tests) {
      if (t.zone == -1) ordered.push_back(&t);
    }
    for (const Demo_Test& t : n.tests) {
      if (t.zone != -1) ordered.push_back(&t);
    }
    if (ordered.empty()) text += "[TEST] -1\r\n";
    for (const Demo_Test* t : ordered) {
      text += "[TEST] " + std::to_string(t->zone) + " " + std::to_string(t->trigger) + "\r\n";
      for (const std::string& command : t->commands) text += command + "\r\n";
    }
  }
  return text;
}

Demo_Folder& Demo_Game::level(int number) { return levels.at(static_cast<size_t>(number - 1)); }

std::vector<std::string>& Demo_Game::tour_section(const std::string& label) {
  for (Tour_Section& section : tour) {
    if (section.label == label) return section.steps;
  }
  tour.push_back({label, {}});
  return tour.back().steps;
}

std::vector<std::string>& Demo_Game::tour_section_after(const std::string& after, const std::string& label) {
  auto at = std::find_if(tour.begin(), tour.end(), [&](const Tour_Section& s) { return s.label == after; });
  if (at == tour.end()) return tour_section(label);
  return tour.insert(at + 1, Tour_Section{label, {}})->steps;
}

std::string Demo_Game::tour_text() const {
  std::string text = "# The demo's tour: input steps for osterlin --tour (see tools/demo.h).\n";
  for (const Tour_Section& section : tour) {
    text += "# " + section.label + "\n";
    for (const std::string& step : section.steps) text += step + "\n";
  }
  return text;
}

Demo_Part_Registration::Demo_Part_Registration(const Demo_Part& part) { registered_parts().push_back(part); }

std::vector<Demo_Part> Demo_Parts() {
  std::vector<Demo_Part> parts = registered_parts();
  std::sort(parts.begin(), parts.end(), [](const Demo_Part& a, const Demo_Part& b) {
    return a.order != b.order ? a.order < b.order : std::strcmp(a.name, b.name) < 0;
  });
  return parts;
}

Demo_Game Demo_Build() {
  Demo_Game game;
  for (int i = 0; i < 6; ++i) game.levels[static_cast<size_t>(i)].path = level_folder_names[i];
  for (const Demo_Part& part : Demo_Parts()) part.add(game);
  return game;
}

namespace {

std::vector<uint8_t> zone_file_bytes(const std::vector<Demo_Zone>& zones) {
  std::vector<uint8_t> out;
  auto put = [&out](const void* value) {
    const uint8_t* bytes = static_cast<const uint8_t*>(value);
    out.insert(out.end(), bytes, bytes + 4);
  };
  int32_t count = static_cast<int32_t>(zones.size());
  put(&count);
  for (const Demo_Zone& zone : zones) {
    put(&zone.a1);
    put(&zone.a2);
    put(&zone.b1);
    put(&zone.b2);
  }
  return out;
}

bool write_folder_files(const Demo_Folder& folder, const std::filesystem::path& where, std::string* error) {
  std::error_code code;
  std::filesystem::create_directories(where, code);
  if (code) {
    *error = "cannot create " + where.string() + ": " + code.message();
    return false;
  }
  for (const auto& [name, bytes] : folder.files) {
    std::filesystem::path path = where / name;
    if (!Tool_Write_File(path.string(), bytes.data(), bytes.size())) {
      *error = "cannot write " + path.string();
      return false;
    }
  }
  for (const Demo_Node& n : folder.nodes) {
    if (n.zone_file.empty()) continue;
    std::vector<uint8_t> bytes = zone_file_bytes(n.zones);
    if (!Tool_Write_File((where / n.zone_file).string(), bytes.data(), bytes.size())) {
      *error = "cannot write " + (where / n.zone_file).string();
      return false;
    }
  }
  return true;
}

}  // namespace

bool Demo_Write(const Demo_Game& game, const std::string& dir, std::string* error) {
  std::filesystem::path root(dir);
  if (!write_folder_files(game.install, root, error) || !write_folder_files(game.intro, root, error)) return false;
  std::string prompt = game.install.script_text();
  if (!Tool_Write_File((root / "osterlin.lst").string(), prompt.data(), prompt.size())) {
    *error = "cannot write the installed folder's osterlin.lst";
    return false;
  }
  std::string intro = game.intro.script_text();
  std::vector<uint8_t> pak = Pak_Build("INTRO.LST", 5, reinterpret_cast<const uint8_t*>(intro.data()), intro.size());
  if (pak.empty() || !Tool_Write_File((root / "intro.pak").string(), pak.data(), pak.size())) {
    *error = "cannot write intro.pak";
    return false;
  }
  for (const Demo_Folder& level : game.levels) {
    std::filesystem::path where = root / level.path;
    if (!write_folder_files(level, where, error)) return false;
    std::string script = level.script_text();
    if (!Tool_Write_File((where / "osterlin.lst").string(), script.data(), script.size())) {
      *error = "cannot write " + (where / "osterlin.lst").string();
      return false;
    }
  }
  std::string tour = game.tour_text();
  if (!Tool_Write_File((root / "tour.txt").string(), tour.data(), tour.size())) {
    *error = "cannot write tour.txt";
    return false;
  }
  std::string list;
  for (const Demo_Session& session : game.sessions) {
    std::string steps = "# Input steps of the demo's session " + session.name + " (see tools/demo.h).\n";
    for (const std::string& step : session.steps) steps += step + "\n";
    if (!Tool_Write_File((root / (session.name + ".txt")).string(), steps.data(), steps.size())) {
      *error = "cannot write " + session.name + ".txt";
      return false;
    }
    list += session.name + " " + std::to_string(session.level) + "\n";
  }
  if (!Tool_Write_File((root / "sessions.txt").string(), list.data(), list.size())) {
    *error = "cannot write sessions.txt";
    return false;
  }
  return true;
}
