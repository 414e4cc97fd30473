// The animation-file player is not built yet: no file can be played.
#include "anim/anim_file.h"

int Anim_Play(const char* /*file*/, int /*x*/, int /*y*/, int /*flags*/) { return -1; }
