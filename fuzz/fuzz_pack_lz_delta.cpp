// Fuzzes the decoder of pack method 6 (lz delta).
#include "fuzz_pack_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return Fuzz_Pack_Decode(6, data, size); }
