// osterlin-tool picture: inspecting pictures as the engine loads them.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "pictures/picture.h"
#include "pictures/picture_load.h"
#include "tool.h"

namespace {

// picture dump NAME OUTPREFIX [--to16]: loads NAME from the current folder with
// every fallback, prints its fields, and writes OUTPREFIX.pixels (plain pixels,
// 16-bit ones little-endian) and OUTPREFIX.palette (768 bytes).
int picture_dump(std::vector<std::string> args) {
  bool to16 = Tool_Take_Flag(args, "--to16");
  if (args.size() != 2) return Tool_Usage_Error("picture", "picture dump needs NAME and OUTPREFIX");
  const std::string& name = args[0];
  const std::string& prefix = args[1];
  if (name.empty() || name.size() > 255) return Tool_Fail("picture name must be 1 to 255 characters");

  char buffer[256] = {};
  std::memcpy(buffer, name.data(), name.size());
  Picture* picture = Picture_Load(buffer);
  if (picture == nullptr) return Tool_Fail("no picture loads from '" + name + "'");

  std::printf("name=%s width=%d height=%d bpp=%d frames=%d\n", picture->name, picture->width, picture->height,
              picture->bits_per_pixel, picture->frame_count);
  int converted = to16 ? Picture_To_16(picture) : Picture_Unpack(picture);
  if (converted != 0) {
    Picture_Free(picture);
    return Tool_Fail("the packed pixels of '" + name + "' are damaged");
  }

  std::vector<uint8_t> pixels(picture->pixels, picture->pixels + picture->data_size);
  if (picture->bits_per_pixel == 16) {
    // Pixels are held as native 16-bit words; the file stores them little-endian.
    for (size_t i = 0; i + 1 < pixels.size(); i += 2) {
      uint16_t value;
      std::memcpy(&value, picture->pixels + i, 2);
      pixels[i] = static_cast<uint8_t>(value);
      pixels[i + 1] = static_cast<uint8_t>(value >> 8);
    }
  }
  std::vector<uint8_t> palette(picture->palette, picture->palette + Picture_Palette_Size);
  Picture_Free(picture);
  if (!Tool_Write_File(prefix + ".pixels", pixels.data(), pixels.size())) {
    return Tool_Fail("cannot write " + prefix + ".pixels");
  }
  if (!Tool_Write_File(prefix + ".palette", palette.data(), palette.size())) {
    return Tool_Fail("cannot write " + prefix + ".palette");
  }
  return Tool_Ok;
}

int run(const std::vector<std::string>& args) {
  if (args.empty()) return Tool_Usage_Error("picture");
  std::vector<std::string> rest(args.begin() + 1, args.end());
  if (args[0] == "dump") return picture_dump(rest);
  return Tool_Usage_Error("picture", "unknown picture command '" + args[0] + "'");
}

Tool_Registration registration({"picture", "  osterlin-tool picture dump NAME OUTPREFIX [--to16]",
                                "load a picture as the engine does and dump its pixels and palette", run});

}  // namespace
