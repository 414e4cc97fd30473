// Plain (unoptimised) decoder of the fixed-size formats, kept beside the fast
// one so that tests and fuzzing can prove both give the same pixels. Not part
// of the installed interface.
#pragma once
#include "roz/roz.h"

// variant: 0 = 15_15, 1 = 15_16, 2 = 16_16; width x height 256 x 6144 or 640 x 480.
ROZ_API void Roz_Reference_Unpack_Fixed(unsigned short* out, const unsigned char* stream, int length, int quality,
                                        int width, int height, int variant);

// Turns the vector paths of the fixed-size decoders off (0) or back on, so that
// the scalar fallback can be checked on machines that have the vector units.
ROZ_API void Roz_Use_Simd(int enabled);
