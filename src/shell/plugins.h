// Plug-in commands: the game shell's scripting surface. A command-block line that
// is not one of the interpreter's own commands is offered here; its first token
// names one of fourteen plug-ins (saved games, end and restart, the disc and
// language tests, MPEG mode and video playback), the other tokens are its
// arguments. Results go back to the script through its booleans.
#pragma once
#include <string>
#include <vector>

// Runs the plug-in the line names: 1 when it named one (its handler ran), else 0.
// Lines longer than 127 characters are cut to 127.
int Plugin_Dispatch(const char* line);

// The tokens of a line as the dispatcher sees them: maximal runs of letters,
// digits and _ . " ' : / \ (everything else separates), after the cut to 127
// characters.
std::vector<std::string> Plugin_Tokens(const char* line);
