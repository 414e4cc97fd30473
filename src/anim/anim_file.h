// Animation files with sound: MTRD containers of packed frames and their sound.
#pragma once

// Plays a whole animation file modally into the frame buffer. Flags: bit 0 doubles
// the size, bit 1 stretches to the whole frame buffer; x = y = -1 centres it.
// Returns 0 after playing, -1 when the file cannot be played.
int Anim_Play(const char* file, int x, int y, int flags);
