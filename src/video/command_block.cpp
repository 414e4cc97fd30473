// Command blocks. The interpreter of the block commands comes with the
// command-block work; until then a block's lines are only traced.
#include "video/command_block.h"

#include "platform/trace.h"

void Run_Command_Block(int count, char** commands) {
  for (int i = 0; i < count; ++i) Trace_Line("plugin %s", commands[i]);
}
