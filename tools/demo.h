// The demo game written by `osterlin-tool make-demo DIR`.
//
// How the generator is put together
// ---------------------------------
// The game is first built in memory as a Demo_Game: the installed folder and the
// six level folders, each a Demo_Folder holding its files (name -> bytes) and its
// scene script as nodes and tests (Demo_Node, Demo_Test), plus the tour, a list of
// labelled sections of input steps (see tour steps below). Nothing touches the
// disk until every part has run; then each folder's script is written out as
// "osterlin.lst" (the intro as the packed "intro.pak"), every file is written,
// and the engine is run headless on the result to record "tour.rec".
//
// The content comes from demo parts. A part is a function that adds to the game,
// registered from its own file with a static Demo_Part_Registration:
//
//   namespace {
//   void add_my_feature(Demo_Game& game) {
//     Demo_Folder& level = game.level(1);
//     level.files["CLIP.SMK"] = make_clip();
//     Demo_Node& hall = level.node("HALL.ROZ");
//     hall.test(2, 0).commands.push_back("PLAYVIDEO CLIP.SMK");   // zone 2, click
//     game.tour_section_after("level-1-cellar", "hall-video") = {"click", "wait 90"};
//   }
//   Demo_Part_Registration registration({"my-feature", 50, add_my_feature});
//   }
//
// Parts run in the order of their `order` field (the base game is 0 and 10, so a
// later part sees every node and zone it wants to extend; ties run in name order).
// Zones are added with Demo_Node::add_zone, which returns the zone's index; a
// node's zone file is written from its zones. Zone numbers of the base game that
// other parts rely on are named in Demo_Hall_Zone. The tour sections of level 1
// are "level-1-start", "-menu", "-window", "-court", "-cellar" (the view ends on
// the hall's back door, just clicked), "-library" and "-gallery"; then "level-2"
// to "level-6". A part that adds steps must leave the view where the next
// section expects it (turn back what it turned).
//
// Tour steps (one per line of the tour file the engine reads with --tour):
//   node NAME      wait until a frame shows the node NAME
//   wait N         let N frames pass
//   key VK         press and release a key (virtual-key code: 13 Enter, 27 Escape)
//   click, rclick  press and release the left / right mouse button
//   move DX DY     move the mouse by DX, DY screen pixels (the game's cursor moves half)
//   turn DX DY N   the same motion on each of the next N frames
//   shot NAME      the frame to show as screenshot NAME (scripts/play takes it)
//   close          close the window: the program ends
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct Demo_Test {
  int zone = -1;     // -1: entry test
  int trigger = 0;   // 0 click, 1 entering the zone, 2 leaving it
  std::vector<std::string> commands;
};

// A zone of a node: radians for a panorama (horizontal 0..2pi from yaw 0,
// vertical pitch * k + pi/2), pixels for a flat node.
struct Demo_Zone {
  float a1, a2, b1, b2;
};

struct Demo_Node {
  std::string picture;     // picture file, also the node's name
  std::string zone_file;   // empty: no zones
  bool flat = false;       // a flat picture: its zones are in pixels
  std::vector<Demo_Zone> zones;
  std::vector<Demo_Test> tests;

  // The first test with this zone and trigger, created at the end when missing.
  Demo_Test& test(int zone, int trigger);
  int add_zone(const Demo_Zone& zone);
  // A panorama zone around a view direction: yaw and pitch in engine units, the
  // half widths in engine units too.
  int add_view_zone(int yaw, int pitch, int half_width, int half_height);
  // A flat zone from pixel rectangle corners (bounds included).
  int add_rect_zone(int x1, int y1, int x2, int y2);
};

struct Demo_Folder {
  std::string path;         // relative to DIR: "" for the installed folder
  std::vector<std::string> bools;
  std::vector<Demo_Node> nodes;
  std::map<std::string, std::vector<uint8_t>> files;

  Demo_Node& node(const std::string& picture);  // created at the end when missing
  Demo_Node* find_node(const std::string& picture);
  // The scene script of the folder, CR LF line ends.
  std::string script_text() const;
};

struct Tour_Section {
  std::string label;
  std::vector<std::string> steps;
};

// A further run of the game recorded after the tour: started at level `level`
// with the input of `steps` (tour steps), written as NAME.txt and recorded as
// NAME.rec. Sessions run in order and share the installed folder, so a game one
// of them saves is there for the next; the demo itself ships without saved games.
// "sessions.txt" lists them as "NAME LEVEL" lines.
struct Demo_Session {
  std::string name;
  int level = 1;
  std::vector<std::string> steps;
};

struct Demo_Game {
  Demo_Folder install;                 // the installed folder: disc prompt, cursors
  Demo_Folder intro;                   // files go to the installed folder; script to intro.pak
  std::array<Demo_Folder, 6> levels;   // level folders, table order
  std::vector<Tour_Section> tour;
  std::vector<Demo_Session> sessions;

  Demo_Folder& level(int number);      // 1 to 6
  // A tour section, appended at the end when missing.
  std::vector<std::string>& tour_section(const std::string& label);
  // A new section right after `after` (at the end when `after` is missing).
  std::vector<std::string>& tour_section_after(const std::string& after, const std::string& label);
  std::string tour_text() const;
};

struct Demo_Part {
  const char* name;
  int order;
  void (*add)(Demo_Game& game);
};
struct Demo_Part_Registration {
  explicit Demo_Part_Registration(const Demo_Part& part);
};
// Every registered part, in running order.
std::vector<Demo_Part> Demo_Parts();
// Builds the game from every part.
Demo_Game Demo_Build();
// Writes the game below dir (created as needed). False with a reason.
bool Demo_Write(const Demo_Game& game, const std::string& dir, std::string* error);

// Zones of the first level's hall that other parts build on.
enum Demo_Hall_Zone : int {
  Hall_Zone_Court_Door = 0,   // ahead, yaw 0
  Hall_Zone_Library_Door = 1, // right, yaw 2048
  Hall_Zone_Back_Door = 2,    // behind, yaw 4096: the door of the block animation "DOOR"
  Hall_Zone_Window = 3,       // left, yaw 6144: entering shows a label
  Hall_Zone_Window_Leave = 4, // the same place: leaving clears it
};

// ---- Painting (demo_paint.cpp) ---------------------------------------------

struct Rgb {
  uint8_t r, g, b;
};

// A room seen from its centre, for panoramas. The room is a box 2 units wide and
// deep with the eye 0.6 above the floor; walls rise to wall_top (an open roof shows
// the sky above them) or meet a ceiling.
constexpr float Room_Eye_Height = 0.6f;  // above the floor; the walls stand 1 unit away
struct Room_Door {
  int wall;            // 0 ahead (yaw 0), 1 right, 2 behind, 3 left
  float centre = 0.0f; // along the wall, -1 (left edge as seen facing it) to 1
  float half_width = 0.22f;
  float height = 0.95f;  // above the floor
  Rgb beyond{30, 24, 20};   // what is seen through the opening
  std::string label;        // painted above the doorway
  float open = 1.0f;        // 0: a closed door leaf fills the opening
};
struct Room_Style {
  Rgb wall{170, 150, 120};
  Rgb wall_line{120, 100, 80};  // brick joints
  Rgb floor_a{110, 80, 50};
  Rgb floor_b{90, 62, 38};
  Rgb sky_top{40, 90, 190};
  Rgb sky_horizon{170, 200, 235};
  Rgb ceiling{200, 195, 185};
  Rgb label{250, 245, 225};
  Rgb door_leaf{110, 60, 30};
  bool open_roof = true;
  float wall_top = 0.9f;   // height of the walls above the eye
  std::vector<Room_Door> doors;
  struct Wall_Label {
    int wall;
    std::string text;
    float centre = 0.0f;  // along the wall, as Room_Door::centre
  };
  std::vector<Wall_Label> wall_labels;  // mid-wall, just above the eye
};
// A panorama zone covering a doorway's opening as painted by Paint_Room (floor
// to lintel, jamb to jamb); returns the zone's index.
int Add_Door_Zone(Demo_Node& node, const Room_Door& door);
// The panorama as B, G, R bytes in the renderer's buffer layout (256 x 6144).
std::vector<uint8_t> Paint_Room(const Room_Style& style);
// Only face `face` of it (512 x 512, B, G, R, rows top first).
std::vector<uint8_t> Paint_Room_Face(const Room_Style& style, int face);

// A 640 x 480 R, G, B canvas for flat nodes.
struct Canvas {
  int width = 640, height = 480;
  std::vector<uint8_t> rgb;  // R, G, B
  Canvas(int w = 640, int h = 480);
  void fill(Rgb colour);
  void gradient(Rgb top, Rgb bottom);
  void rect(int x1, int y1, int x2, int y2, Rgb colour);  // bounds included
  void frame(int x1, int y1, int x2, int y2, int thickness, Rgb colour);
  // Text in the built-in block font, `scale` pixels per font pixel, top left at x, y.
  void text(int x, int y, const std::string& text, int scale, Rgb colour);
  // Text centred across the canvas, its top at y.
  void centred_text(int y, const std::string& text, int scale, Rgb colour);
  // A framed button with its label centred (bounds included).
  void button(int x1, int y1, int x2, int y2, const std::string& label, Rgb face);
  std::vector<uint8_t> bgr() const;
};
int Text_Width(const std::string& text, int scale);
// Whether font pixel (x, y) of a character is set (5 x 7 cells; unknown characters blank).
bool Font_Pixel(char c, int x, int y);
constexpr int Font_Cell_Width = 6;  // 5 pixels and a gap
constexpr int Font_Cell_Height = 7;

// ---- Sound (demo_sound.cpp) -------------------------------------------------

// 16-bit mono PCM WAV of samples at `rate`.
std::vector<uint8_t> Wav_File(const std::vector<int16_t>& samples, int rate);
std::vector<int16_t> Synth_Chime(int rate);        // a bell note, about 1.2 s
std::vector<int16_t> Synth_Bird(int rate);         // two short chirps
std::vector<int16_t> Synth_Door(int rate);         // a low creak
std::vector<int16_t> Synth_Music(int rate, int seconds);  // a looping arpeggio
