// The chunk walker of the engine's chunk files: a 4-character tag, a 32-bit
// little-endian size that counts the whole chunk with its 8-byte header, then the
// payload.
#include "pictures/picture_load.h"
#include "pictures/reader_common.h"

using namespace picture_reader;

int Chunk_Find_Memory(const uint8_t* data, size_t size, const char* tag, size_t* start, size_t* end) {
  size_t from = *start, to = *end;
  if (data != nullptr && from < size && to <= size) {
    size_t pos = from;
    while (to >= 8 && pos <= to - 8) {
      uint32_t chunk = Load_Le32(data + pos + 4);
      // A size below the header would move the search backwards or keep it in
      // place for ever; a chunk past the range is damaged. Both end the search.
      if (chunk < 8 || chunk > to - pos) break;
      if (tag_equal(data + pos, tag)) {
        *start = pos;
        *end = pos + chunk;
        return 0;
      }
      pos += chunk;
    }
  }
  *end = *start;
  return -1;
}
