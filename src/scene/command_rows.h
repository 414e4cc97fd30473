// The commands of a test as rows of a table: a keyword and the function that
// runs it. The runtime, the view and the script's sounds each keep their own
// rows; the runtime looks a keyword up in all of them. The control flow of a
// test (GOSUB, RETURN, END, IFOR, IFAND) is not in a table: it moves through
// the test's own command list.
#pragma once
#include <span>

struct Command_Call {
  const char* line;  // the normalised command line, fields separated by ','
  bool entry_test;   // the node's entry test runs (PLAYSOUND and others differ there)
};

// What the test does after a command: the next command, or leave for a node start.
enum class Command_Next { Go_On, Node_Start };

struct Command_Row {
  const char* keyword;  // matched exactly, case included (script lines are upper case)
  Command_Next (*run)(const Command_Call& call);
};

// The row of `rows` whose keyword equals `keyword`, or null.
const Command_Row* Command_Find(std::span<const Command_Row> rows, const char* keyword);
// The row of any of the scene's tables (runtime, view, sound), or null: then the
// keyword is control flow, LABEL, ENDPLUGIN or unknown.
const Command_Row* Scene_Command_Find(const char* keyword);
