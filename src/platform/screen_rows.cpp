#include "platform/screen_rows.h"

#include <cstring>

#include "platform/byte_order.h"

namespace {
inline uint8_t* byte_offset(void* at, int32_t offset) { return static_cast<uint8_t*>(at) + offset; }
}  // namespace

void Row_Copy(const void* source, void* destination, uint32_t bytes) {
  std::memcpy(destination, source, bytes);
}

void Row_Table_16(const uint16_t* source, uint16_t* destination, const uint32_t* table, uint32_t count) {
  uint32_t i = 0;
  for (; i + 2 <= count; i += 2) {
    uint32_t lo = table[source[i]] & 0xFFFFu;
    uint32_t hi = table[source[i + 1]] & 0xFFFFu;
    Store_Host32(destination + i, lo | (hi << 16));
  }
  if (i < count) destination[i] = static_cast<uint16_t>(table[source[i]]);
}

void Row_Table_16_Double(const uint16_t* source, uint16_t* destination, const uint32_t* table,
                         int32_t next_row, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t p = table[source[i]] & 0xFFFFu;
    Store_Host32(destination + 2 * i, p | (p << 16));
    Store_Host32(byte_offset(destination + 2 * i, next_row), 0);
  }
}

void Row_Table_8(const uint16_t* source, uint8_t* destination, const uint32_t* table, uint32_t count) {
  for (uint32_t group = 0; group < count / 4; ++group) {
    const uint16_t* s = source + 4 * group;
    uint32_t word = (table[s[0]] & 0xFFu) | ((table[s[1]] & 0xFFu) << 8) | ((table[s[2]] & 0xFFu) << 16) |
                    ((table[s[3]] & 0xFFu) << 24);
    Store_Host32(destination + 4 * group, word);
  }
}

void Row_Table_8_Double(const uint16_t* source, uint8_t* destination, const uint32_t* table,
                        int32_t next_row, uint32_t count) {
  for (uint32_t pair = 0; pair < count / 2; ++pair) {
    uint32_t a = table[source[2 * pair]] & 0xFFu;
    uint32_t b = table[source[2 * pair + 1]] & 0xFFu;
    Store_Host32(destination + 4 * pair, a | (a << 8) | (b << 16) | (b << 24));
    Store_Host32(byte_offset(destination + 4 * pair, next_row), 0);
  }
}

void Row_Double_16(const uint16_t* source, uint16_t* destination, int32_t next_row, uint32_t count) {
  uint16_t* below = reinterpret_cast<uint16_t*>(byte_offset(destination, next_row));
  uint32_t i = 0;
  // Two source pixels at a time: one 32-bit load, two 32-bit stores per row.
  for (; i + 2 <= count; i += 2) {
    uint32_t two = Load_Host32(source + i);
    uint32_t lo = two & 0xFFFFu, hi = two >> 16;
    Store_Host32(destination + 2 * i, lo | (lo << 16));
    Store_Host32(destination + 2 * i + 2, hi | (hi << 16));
    Store_Host32(below + 2 * i, 0);
    Store_Host32(below + 2 * i + 2, 0);
  }
  if (i < count) {
    uint32_t p = source[i];
    Store_Host32(destination + 2 * i, p | (p << 16));
    Store_Host32(below + 2 * i, 0);
  }
}

// --- reference versions -------------------------------------------------------

namespace row_reference {

void Row_Copy(const void* source, void* destination, uint32_t bytes) {
  const uint8_t* s = static_cast<const uint8_t*>(source);
  uint8_t* d = static_cast<uint8_t*>(destination);
  for (uint32_t i = 0; i < bytes; ++i) d[i] = s[i];
}

void Row_Table_16(const uint16_t* source, uint16_t* destination, const uint32_t* table, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) destination[i] = static_cast<uint16_t>(table[source[i]]);
}

void Row_Double_16(const uint16_t* source, uint16_t* destination, int32_t next_row, uint32_t count) {
  uint8_t* below = byte_offset(destination, next_row);
  for (uint32_t i = 0; i < count; ++i) {
    destination[2 * i] = source[i];
    destination[2 * i + 1] = source[i];
    std::memset(below + 4 * i, 0, 4);
  }
}

}  // namespace row_reference
