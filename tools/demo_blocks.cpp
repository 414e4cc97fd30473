// Demo part "blocks": command blocks in the demo's scripts. The hall's back door
// plays its block animation and the click waits until the animation's end
// boolean is set; level 2 keeps a visit counter with add and cmp, tests the
// language and switches the waves on (its save menu waits half a second after
// saving, with while); the last level's way out leads to a closing menu whose
// QUIT ends the game through the End plug-in and whose PLAY AGAIN restarts it.
#include <algorithm>

#include "demo.h"
#include "roz_chunk_writer.h"

namespace {

void add_plugin_block(std::vector<std::string>& commands, const std::vector<std::string>& lines) {
  commands.push_back("PLUGIN");
  commands.insert(commands.end(), lines.begin(), lines.end());
  commands.push_back("ENDPLUGIN");
}

void add_blocks(Demo_Game& game) {
  // Level 1: the door animation, ended through its boolean.
  Demo_Folder& one = game.level(1);
  one.bools.push_back("DOORSHUT");
  Demo_Node& hall = one.node("HALL.ROZ");
  add_plugin_block(hall.test(Hall_Zone_Back_Door, 0).commands,
                   {"play_animbloc(DOOR,DOORSHUT,1)", "until(DOORSHUT,1)", "set(DOORSHUT,0)"});
  // Half a turn to the back door, a click, and half a turn back ahead.
  game.tour_section_after("level-1-window", "level-1-door") = {"turn 40 0 70", "wait 25", "click", "wait 20",
                                                               "shot hall-door", "turn -40 0 70", "wait 25"};

  // Level 2: counter, language, waves and a timed wait in the entry test.
  Demo_Folder& two = game.level(2);
  for (const char* name : {"VISITS", "AGAIN", "FIRST", "FRENCH"}) two.bools.push_back(name);
  Demo_Node& island = two.node("ILE.ROZ");
  std::vector<std::string>& entry = island.test(-1, 0).commands;
  std::vector<std::string> block;
  add_plugin_block(block, {"add(VISITS,VISITS,1)", "cmp(AGAIN,FIRST,VISITS,>,1)", "GetLang(FRENCH,FR)", "waves()"});
  entry.insert(entry.begin(), block.begin(), block.end());
  entry.insert(entry.begin() + static_cast<long>(block.size()), {"IFAND AGAIN", "PRINT WELCOME_BACK FONT1"});

  // Level 6: the way out leads to the closing menu, a flat ROZ picture.
  Demo_Folder& six = game.level(6);
  Canvas canvas;
  canvas.gradient({60, 10, 10}, {20, 5, 30});
  canvas.centred_text(80, "THE END", 8, {255, 220, 160});
  canvas.centred_text(170, "THANK YOU FOR PLAYING", 2, {230, 190, 170});
  canvas.button(110, 300, 310, 360, "PLAY AGAIN", {40, 90, 60});
  canvas.button(330, 300, 530, 360, "QUIT", {130, 40, 50});
  std::vector<uint8_t> picture = roz_chunk::picture_file(roz_chunk::Flat, canvas.bgr(), 85);
  six.files["FINALE.ROZ"] = std::move(picture);
  Demo_Node& finale = six.node("FINALE.ROZ");
  finale.flat = true;
  finale.zone_file = "FINALE.ZON";
  finale.test(-1, 0).commands = {"FADE -255 0 16"};
  // End and Restart take effect when the script ends.
  std::vector<std::string>& again = finale.test(finale.add_rect_zone(110, 300, 310, 360), 0).commands;
  add_plugin_block(again, {"Restart()"});
  again.insert(again.end(), {"FADE 0 -255 16", "END"});
  std::vector<std::string>& quit = finale.test(finale.add_rect_zone(330, 300, 530, 360), 0).commands;
  add_plugin_block(quit, {"End()"});
  quit.insert(quit.end(), {"FADE 0 -255 16", "END"});
  if (Demo_Node* temple = six.find_node("TEMPLE.ROZ")) {
    for (Demo_Test& test : temple->tests) {
      std::replace(test.commands.begin(), test.commands.end(), std::string("END"), std::string("GOTOWARP FINALE.ROZ"));
    }
  }
  // The game's cursor moves half the motion: (430, 330) is on QUIT.
  std::vector<std::string>& last = game.tour_section("level-6");
  last.insert(last.end(), {"node FINALE.ROZ", "wait 20", "move -2000 -2000", "wait 1", "move 860 660", "wait 3",
                           "shot finale", "click"});
}

Demo_Part_Registration registration({"blocks", 30, add_blocks});

}  // namespace
