#include "draw/picture_draw.h"

#include <cstring>

#include "draw/frame_buffer.h"
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

  // 16-bit rows are copied into Screen_Buffer; 8- and 24-bit pixels are put one
  // by one into the drawing target, which is Screen_Buffer unless another one is
  // set. Either way only the pixels on the buffer are written: the clipped
  // rectangle below is exactly the set a clipped put of every pixel would write.
  uint16_t* buffer = bpp == 16 ? Screen_Buffer() : Draw_Target();
  int64_t buffer_width = bpp == 16 ? Screen_Width : Draw_Target_Width();
  int64_t buffer_height = bpp == 16 ? Screen_Height : Draw_Target_Height();
  if (buffer == nullptr) return;

  int64_t left = x, top = y;
  int64_t right = left + picture->width, bottom = top + picture->height;  // exclusive
  if (left >= buffer_width || top >= buffer_height || right < 1 || bottom < 1) return;
  int64_t first_column = left < 0 ? -left : 0, first_row = top < 0 ? -top : 0;
  int64_t out_left = left < 0 ? 0 : left, out_top = top < 0 ? 0 : top;
  int64_t columns = (right > buffer_width ? buffer_width : right) - out_left;
  int64_t rows = (bottom > buffer_height ? buffer_height : bottom) - out_top;

  size_t pixel = static_cast<size_t>(bpp / 8);
  uint16_t colours[256];
  if (bpp == 8) std::memcpy(colours, picture->palette + Picture_Palette_Size, sizeof colours);
  for (int64_t row = 0; row < rows; ++row) {
    const uint8_t* source =
        picture->pixels + (static_cast<size_t>(first_row + row) * picture->width + first_column) * pixel;
    uint16_t* out = buffer + static_cast<size_t>(out_top + row) * buffer_width + out_left;
    if (bpp == 16) {
      std::memcpy(out, source, static_cast<size_t>(columns) * 2);
    } else if (bpp == 8) {
      for (int64_t c = 0; c < columns; ++c) out[c] = colours[source[c]];
    } else {
      for (int64_t c = 0; c < columns; ++c, source += 3) out[c] = Rgb_To_565(source[0], source[1], source[2]);
    }
  }
}
