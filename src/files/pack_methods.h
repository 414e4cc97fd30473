// Pack methods 0 to 7: stored, RLE, LZ short, LZ long, Huffman, Huffman LZ, LZ
// delta, Huffman LZ delta. The decoders never read outside the source nor write
// outside the output; a damaged stream makes them fail.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Decodes a stream of `method` into exactly dst_size bytes at dst. For methods 6
// and 7 dst must already hold the reference. Back references may reach `history`
// bytes before dst (the caller guarantees they exist). *consumed (optional)
// receives the source bytes used. Returns 0, or -1 on a damaged stream.
int Pack_Decode(int method, const uint8_t* src, size_t src_size, uint8_t* dst, size_t dst_size,
                size_t history = 0, size_t* consumed = nullptr);

// Packs data with `method`. Methods 6 and 7 pack against `reference` (same size;
// null means all zeros). For method 3 the first `history` bytes of data are
// searched but not emitted.
std::vector<uint8_t> Pack_Encode(int method, const uint8_t* data, size_t size,
                                 const uint8_t* reference = nullptr, size_t history = 0);
