// The reset of each scene file's state, called in turn by Scene_State_Reset:
// each releases what its file holds and returns it to the state of a fresh
// process.
#pragma once

void Runtime_State_Reset();      // cursors, zones, run state, observer
void Scene_Sound_State_Reset();  // sound slots, music, random sounds, generator
void Renderer_State_Reset();     // the renderer object and the conversion table
void Thumbnail_State_Reset();    // the thumbnail and its size
void Compiler_State_Reset();     // the current script
void Snapshot_State_Reset();     // the last saved block
void View_State_Reset();         // angles, limits, field of view, flat flag, PRINT text
void Run_Script_State_Reset();   // the run hook
