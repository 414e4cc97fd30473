// Chunk_Find over an open file slot (the animation files read their chunks this way).
#include "files/file.h"
#include "pictures/picture_load.h"
#include "pictures/reader_common.h"

using namespace picture_reader;

int Chunk_Find(int slot, int file_size, const char* tag, int* start, int* end) {
  int from = *start, to = *end;
  if (from >= 0 && from < file_size && to <= file_size) {
    int pos = from;
    while (to - pos >= 8) {
      uint8_t header[8];
      File_Seek(slot, pos, 0);
      if (File_Error() != 0 || File_Read(slot, header, 8) != 8) break;
      uint32_t chunk = Load_Le32(header + 4);
      if (chunk < 8 || chunk > static_cast<uint32_t>(to - pos)) break;
      if (tag_equal(header, tag)) {
        *start = pos;
        *end = pos + static_cast<int>(chunk);
        return 0;
      }
      pos += static_cast<int>(chunk);
    }
  }
  *end = *start;
  return -1;
}
