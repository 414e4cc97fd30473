// The video subsystem as a whole: command blocks, movies, the animation step,
// node pictures and their block animations.
#pragma once

// Returns the subsystem to the state of a fresh process: closes the node video
// and every block animation, frees the node picture, forgets the panorama buffer,
// the scene link and the plug-in handler, and clears waves and error screen.
// Safe to call at any time, and twice.
void Video_State_Reset();
