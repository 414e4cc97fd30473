// Demo part "blocks": command blocks in the demo's scripts. The hall's back door
// plays its block animation and the click waits until the animation's end
// boolean is set; level 2 keeps a visit counter with add and cmp, tests the
// language and switches the waves on (its save menu waits half a second after
// saving, with while); the last level ends the game through the End plug-in.
#include <algorithm>

#include "demo.h"

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

  // Level 6: the way out ends the game through the plug-in before END.
  Demo_Node* temple = game.level(6).find_node("TEMPLE.ROZ");
  if (temple != nullptr) {
    for (Demo_Test& test : temple->tests) {
      auto end = std::find(test.commands.begin(), test.commands.end(), "END");
      if (test.zone >= 0 && end != test.commands.end()) {
        std::vector<std::string> quit;
        add_plugin_block(quit, {"End()"});
        test.commands.insert(end, quit.begin(), quit.end());
      }
    }
  }
}

Demo_Part_Registration registration({"blocks", 30, add_blocks});

}  // namespace
