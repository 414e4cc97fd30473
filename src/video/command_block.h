// Command blocks: the lines of a PLUGIN block run one after the other — block
// animations, waves, movies, arithmetic on booleans, waits, engine settings — and
// every other line is handed to the plug-in commands.
#pragma once

void Run_Command_Block(int count, char** commands);

// Lines that are not the interpreter's own commands go to the plug-in handler,
// which returns 1 when the line named a plug-in and 0 otherwise. The shell sets it
// at start-up; without one every such line is unknown (the error screen).
using Plugin_Handler = int (*)(const char* line);
void Command_Block_Set_Plugin_Handler(Plugin_Handler handler);
