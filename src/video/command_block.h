// Command blocks: the lines of a PLUGIN block run one after the other — block
// animations, waves, movies, arithmetic on booleans, waits, engine settings — and
// every other line is handed to the plug-in commands.
#pragma once

void Run_Command_Block(int count, char** commands);
