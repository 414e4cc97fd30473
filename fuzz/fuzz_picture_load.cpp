// Fuzzes every picture reader: each one parses the input, then the input is
// registered as a memory file and loaded through Picture_Load (extension chosen by
// the first byte), and what loads is unpacked, converted and scaled.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "files/file.h"
#include "pictures/picture.h"
#include "pictures/picture_load.h"

namespace {

Picture* parse_mtrd(const uint8_t* data, size_t size, const char*) { return Picture_Parse_Mtrd(data, size); }

void exercise(Picture* picture) {
  if (picture == nullptr) return;
  // Bounded so that a claimed 16384 x 16384 packed picture does not dominate the run.
  if (Picture_Plain_Size(picture) <= (4u << 20)) {
    Picture* copy = Picture_Clone(picture);
    Picture_To_16(picture);
    Picture_Scale(copy, 7, 5);
    Picture_Free(copy);
  }
  Picture_Free(picture);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using Parser = Picture* (*)(const uint8_t*, size_t, const char*);
  static const Parser parsers[] = {Picture_Parse_Tga, Picture_Parse_Gif, Picture_Parse_Bmp, Picture_Parse_Pcx,
                                   Picture_Parse_Iff, Picture_Parse_Mtr, parse_mtrd};
  for (Parser parse : parsers) exercise(parse(data, size, "fuzz"));

  if (size == 0 || size > (1u << 24)) return 0;
  static const char* const names[] = {"fuzz.tga", "fuzz.gif", "fuzz.bmp", "fuzz.pcx",
                                      "fuzz.lbm", "fuzz.mtr", "fuzz.mtd", "fuzz.mta"};
  const char* file = names[data[0] % 8];
  Mem_File_Add(file, data, static_cast<int>(size));
  char name[256] = {};
  std::strcpy(name, file);
  exercise(Picture_Load(name));
  Mem_File_Remove(file);
  return 0;
}
