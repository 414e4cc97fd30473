#include "draw/picture_draw.h"

#include <cstring>

#include "pictures/picture.h"
#include "platform/display.h"

void Picture_Draw(Picture* picture, int x, int y) {
  if (picture == nullptr) return;
  Picture_Unpack(picture);
  int bpp = picture->bits_per_pixel;
  if (bpp != 8 && bpp != 16 && bpp != 24) return;
  size_t plain = Picture_Plain_Size(picture);
  if (plain == 0 || picture->pixels == nullptr || picture->data_size < plain) return;
  if (bpp == 8 && Picture_Palette_To_16(picture) != 0) return;

  // The clipped rectangle: columns x .. x + width - 1 and rows y .. y + height - 1
  // that lie on the screen (the same pixels a clipped put of each one would write).
  int64_t left = x, top = y;
  int64_t right = left + picture->width, bottom = top + picture->height;  // exclusive
  if (left >= Screen_Width || top >= Screen_Height || right < 1 || bottom < 1) return;
  int64_t first_column = left < 0 ? -left : 0, first_row = top < 0 ? -top : 0;
  int64_t columns = (right > Screen_Width ? Screen_Width : right) - (left < 0 ? 0 : left);
  int64_t rows = (bottom > Screen_Height ? Screen_Height : bottom) - (top < 0 ? 0 : top);

  uint16_t* screen = Screen_Buffer();
  size_t pixel = static_cast<size_t>(bpp / 8);
  const uint16_t* table = nullptr;
  uint16_t colours[256];
  if (bpp == 8) {
    std::memcpy(colours, picture->palette + Picture_Palette_Size, sizeof colours);
    table = colours;
  }
  for (int64_t row = 0; row < rows; ++row) {
    const uint8_t* source = picture->pixels +
                            (static_cast<size_t>(first_row + row) * picture->width + first_column) * pixel;
    uint16_t* out = screen + static_cast<size_t>((top < 0 ? 0 : top) + row) * Screen_Width + (left < 0 ? 0 : left);
    if (bpp == 16) {
      std::memcpy(out, source, static_cast<size_t>(columns) * 2);
    } else if (bpp == 8) {
      for (int64_t c = 0; c < columns; ++c) out[c] = table[source[c]];
    } else {
      for (int64_t c = 0; c < columns; ++c, source += 3) out[c] = Rgb_To_565(source[0], source[1], source[2]);
    }
  }
}
