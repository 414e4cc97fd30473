// Shared body of the pack-method fuzz harnesses: the first two bytes choose the
// output size and history, the rest is the stream. The fast decoder must agree
// with the plain one, and neither may touch memory outside its buffers (the
// sanitizers watch the exact-size heap blocks).
#pragma once
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "files/pack_methods.h"

inline int Fuzz_Pack_Decode(int method, const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t out_size = static_cast<size_t>(data[0]) * 97 + data[1] % 7;
  const size_t history = (data[1] & 0x80) ? 300 : 0;
  data += 2;
  size -= 2;
  // The stream gets a block of its own exact size, so a read past it is caught.
  std::unique_ptr<uint8_t[]> stream(new uint8_t[size ? size : 1]);
  if (size) std::memcpy(stream.get(), data, size);
  std::unique_ptr<uint8_t[]> fast(new uint8_t[history + out_size + 1]);
  std::unique_ptr<uint8_t[]> plain(new uint8_t[history + out_size + 1]);
  for (size_t i = 0; i < history + out_size; ++i) fast[i] = plain[i] = static_cast<uint8_t>(i * 31);
  size_t fast_used = 0, plain_used = 0;
  const int a = Pack_Decode(method, stream.get(), size, fast.get() + history, out_size, history, &fast_used);
  const int b = Pack_Decode_Reference(method, stream.get(), size, plain.get() + history, out_size, history,
                                      &plain_used);
  if (a != b) std::abort();
  if (a == 0 && (fast_used != plain_used || std::memcmp(fast.get(), plain.get(), history + out_size) != 0)) {
    std::abort();
  }
  return 0;
}
