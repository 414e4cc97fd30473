// Demo part "saves": a save and load menu in level 2, reached with F1. Its
// entry test builds the slot list (the used slots appear as cards around the
// player) and asks whether slot 1 is used; its walls say what a click does.
// Ahead, a click saves into slot 1, shows "GAME SAVED" for a moment and goes
// back; behind, a click chooses slot 1 and ends the level, so the level loop
// starts the saved game's level, whose entry test loads it. The loaded game
// starts in this room again (it was saved here), whose entry test then takes
// the player back to the node the room was opened from: the key jump's return,
// which the saved game keeps.
//
// Two sessions show a saved game outliving the program: "save-quit" starts at
// level 2, saves twice (the second time after coming back, so the visit counter
// is 2) and closes the window; "load" starts the program again, chooses the
// saved game and arrives at the saved node with the saved booleans and view.
#include "demo.h"
#include "roz_chunk_writer.h"

namespace {

void add_saves(Demo_Game& game) {
  Demo_Folder& two = game.level(2);
  for (const char* name : {"USED", "FREE", "LOADED"}) two.bools.push_back(name);

  Room_Style style;
  style.open_roof = false;
  style.wall_top = 0.8f;
  style.wall = {60, 70, 100};
  style.wall_line = {40, 50, 80};
  style.floor_a = {50, 50, 60};
  style.floor_b = {40, 40, 50};
  style.ceiling = {90, 100, 130};
  // What a click does, on every wall; ahead and behind left of the saved games'
  // cards, which stand just right of the middle.
  style.wall_labels = {{0, "SAVE", -0.55f}, {1, "AHEAD: SAVE"}, {2, "LOAD", -0.55f}, {3, "BEHIND: LOAD"}};
  std::vector<uint8_t> file = roz_chunk::picture_file(roz_chunk::Panorama, Paint_Room(style), 85);
  two.files["SAVES.ROZ"] = std::move(file);

  Demo_Node& island = two.node("ILE.ROZ");
  std::vector<std::string>& entry = island.test(-1, 0).commands;
  entry.insert(entry.begin(), "LOCKKEY 1 SAVES.ROZ");
  // Loading comes last: the rest of the entry test would otherwise change the
  // restored view before the restored node starts again.
  entry.insert(entry.end(), {"PLUGIN", "Load(LOADED)", "ENDPLUGIN"});

  Demo_Node& menu = two.node("SAVES.ROZ");
  menu.zone_file = "SAVES.ZON";
  menu.test(-1, 0).commands = {"PLUGIN", "LoadSave()", "LoadSave(1,USED,FREE)", "ENDPLUGIN", "IFAND LOADED",
                                "RETURN"};
  // Ahead: save into slot 1, confirm it and go back.
  menu.test(menu.add_view_zone(0, 0, 300, 900), 0).commands = {"PLUGIN", "Save(1)", "ENDPLUGIN",
                                                               "GOTOWARP SAVED.ROZ"};
  // Behind: choose slot 1 and end the level.
  menu.test(menu.add_view_zone(4096, 0, 420, 900), 0).commands = {"IFAND FREE", "RETURN", "PLUGIN", "PreLoad(1)",
                                                                  "ENDPLUGIN", "END"};

  // The confirmation after saving, a flat picture (adding the node moves the
  // others: the references above are not used from here on).
  Canvas canvas;
  canvas.gradient({40, 50, 80}, {20, 25, 45});
  canvas.centred_text(200, "GAME SAVED", 6, {240, 235, 210});
  two.files["SAVED.ROZ"] = roz_chunk::picture_file(roz_chunk::Flat, canvas.bgr(), 85);
  Demo_Node& saved = two.node("SAVED.ROZ");
  saved.flat = true;
  // The key jump's return still leads to where the saved-game room was opened.
  saved.test(-1, 0).commands = {"PLUGIN", "while(0.7)", "ENDPLUGIN", "RETURN"};

  std::vector<std::string>& tour = game.tour_section("level-2");
  // The level's own last step (the click on the way out) comes after the menu.
  std::string leave = tour.empty() ? "click" : tour.back();
  if (!tour.empty()) tour.pop_back();
  // F1 (virtual key 112) opens the menu. The room's entry test fades in: keys and
  // clicks wait until it is over.
  tour.insert(tour.end(), {"wait 80", "key 112", "node SAVES.ROZ", "wait 10", "click", "node SAVED.ROZ", "wait 10",
                           "shot saved", "node ILE.ROZ", "wait 80",
                           "key 112", "node SAVES.ROZ", "wait 10", "shot saves", "turn 40 0 70", "wait 25", "click",
                           "node ILE.ROZ", "wait 120", "shot loaded", leave});

  game.sessions.push_back({"save-quit", 2, {"node ILE.ROZ", "wait 80", "key 112", "node SAVES.ROZ", "wait 10", "click",
                                            "node ILE.ROZ", "wait 80", "turn -20 0 8", "wait 25", "key 112",
                                            "node SAVES.ROZ", "wait 10", "click", "node ILE.ROZ", "wait 80", "close"}});
  game.sessions.push_back({"load", 2, {"node ILE.ROZ", "wait 80", "key 112", "node SAVES.ROZ", "wait 10",
                                       "shot load-menu", "turn 40 0 70", "wait 25", "click", "node ILE.ROZ",
                                       "wait 120", "shot welcome-back", "close"}});
}

Demo_Part_Registration registration({"saves", 31, add_saves});

}  // namespace
