// MPEG playback and the video name variants.
#pragma once

// Plays the file full screen with its sound and returns when it has ended or was
// interrupted (window close, the key with virtual code 222).
void Mpeg_Play(const char* file);
// The file name with the language code inserted before its extension (the name
// itself without a language code). Valid until the next call.
const char* Lang_Variant(const char* file);
// The file name with its extension replaced by ".mpg" while the MPEG mode is on.
// Valid until the next call.
const char* Mpeg_Variant(const char* file);
