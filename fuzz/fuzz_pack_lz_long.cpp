// Fuzzes the decoder of pack method 3 (lz long).
#include "fuzz_pack_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return Fuzz_Pack_Decode(3, data, size); }
