// MPEG playback and the video name variants.
#pragma once

// Plays the file full screen in the frame buffer with its sound and returns when
// it has ended or was interrupted (window close, a press of the key with virtual
// code 222). A file that cannot be played is skipped.
void Mpeg_Play(const char* file);
// The file name with the language code inserted before its extension (the name
// itself without a language code). Valid until the next call.
const char* Lang_Variant(const char* file);
// The file name with its extension replaced by ".mpg" while the MPEG mode is on
// (the name itself while it is off). Valid until the next call.
const char* Mpeg_Variant(const char* file);

// The MPEG mode: videos named by scripts are played as MPEG files.
bool Mpeg_Mode();
void Set_Mpeg_Mode(bool on);
