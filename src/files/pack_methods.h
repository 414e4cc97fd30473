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
// receives the source bytes used; for the Huffman-coded methods 4, 5 and 7 that
// is the offset of the byte holding the next unread bit. Returns 0, or -1 on a
// damaged stream: one that ends early, copies from before dst - history, or
// would write past dst_size. After a failure dst holds partial output.
int Pack_Decode(int method, const uint8_t* src, size_t src_size, uint8_t* dst, size_t dst_size,
                size_t history = 0, size_t* consumed = nullptr);

// Packs data with `method`. Methods 6 and 7 pack against `reference` (same size;
// null means all zeros). The first `history` bytes of data are never emitted:
// methods 2, 3 and 5 search them for copies (decode with the same history in
// front of dst), the others simply pack what follows them. Method 8 and above
// give an empty result.
std::vector<uint8_t> Pack_Encode(int method, const uint8_t* data, size_t size,
                                 const uint8_t* reference = nullptr, size_t history = 0);

// The plain decoders the fast ones are measured against: same contract, same
// results, one byte or bit at a time.
int Pack_Decode_Reference(int method, const uint8_t* src, size_t src_size, uint8_t* dst, size_t dst_size,
                          size_t history = 0, size_t* consumed = nullptr);
