// Class ROZ, stream half: bit sections, block coding, and the public packing
// and unpacking operations.
#include <cstdlib>
#include <cstring>

#include "roz/roz.h"
#include "roz/roz_internal.h"

using namespace roz;

namespace {
void Write_U32(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
}

int Significant_Bits(int magnitude) {
  int size = 0;
  while (magnitude != 0) {
    ++size;
    magnitude >>= 1;
  }
  return size;
}

// Most AC code bytes a block can need: each code byte fills at least one of the
// 63 AC positions of each of its three planes.
constexpr long long kMaxCodesPerBlock = 3 * 63;
}  // namespace

// --- Bit sections ---------------------------------------------------------------

void ROZ::Init_Pack_Unpack() {
  Dc_Position = 0;
  Ac_Position = 0;
  Ac_Code_Position = 0;
  Dc_Mask = 0x80;
  Ac_Mask = 0x80;
}

void ROZ::Write_Dc_Bit(int bit) {
  if (Dc_Position >= Dc_Capacity) Grow_Buffer(Dc_Buffer, Dc_Capacity, Dc_Capacity + 1024);
  if (Dc_Mask == 0x80) Dc_Buffer[Dc_Position] = 0;
  if (bit) Dc_Buffer[Dc_Position] |= static_cast<unsigned char>(Dc_Mask);
  Dc_Mask >>= 1;
  if (Dc_Mask == 0) {
    Dc_Mask = 0x80;
    ++Dc_Position;
  }
}

int ROZ::Read_Dc_Bit() {
  int bit = Dc_Position < Dc_Length && (Dc_Source[Dc_Position] & Dc_Mask) != 0;
  Dc_Mask >>= 1;
  if (Dc_Mask == 0) {
    Dc_Mask = 0x80;
    if (Dc_Position <= Dc_Length) ++Dc_Position;
  }
  return bit;
}

void ROZ::Write_Ac_Bit(int bit) {
  if (Ac_Position >= Ac_Capacity) Grow_Buffer(Ac_Buffer, Ac_Capacity, Ac_Capacity + 1024);
  if (Ac_Mask == 0x80) Ac_Buffer[Ac_Position] = 0;
  if (bit) Ac_Buffer[Ac_Position] |= static_cast<unsigned char>(Ac_Mask);
  Ac_Mask >>= 1;
  if (Ac_Mask == 0) {
    Ac_Mask = 0x80;
    ++Ac_Position;
  }
}

int ROZ::Read_Ac_Bit() {
  int bit = Ac_Position < Ac_Length && (Ac_Source[Ac_Position] & Ac_Mask) != 0;
  Ac_Mask >>= 1;
  if (Ac_Mask == 0) {
    Ac_Mask = 0x80;
    if (Ac_Position <= Ac_Length) ++Ac_Position;
  }
  return bit;
}

void ROZ::Write_Dc_Data(int value, int count) {
  for (int i = 0; i < count; ++i) Write_Dc_Bit((value >> i) & 1);
}

int ROZ::Read_Dc_Data(int count) {
  int value = 0;
  for (int i = 0; i < count; ++i) value |= Read_Dc_Bit() << i;
  return value;
}

void ROZ::Write_Ac_Data(int value, int count) {
  for (int i = 0; i < count; ++i) Write_Ac_Bit((value >> i) & 1);
}

int ROZ::Read_Ac_Data(int count) {
  int value = 0;
  for (int i = 0; i < count; ++i) value |= Read_Ac_Bit() << i;
  return value;
}

void ROZ::Write_Ac_Code(int code) {
  if (Ac_Code_Position >= Ac_Code_Capacity) Grow_Buffer(Ac_Code_Buffer, Ac_Code_Capacity, Ac_Code_Capacity + 1024);
  Ac_Code_Buffer[Ac_Code_Position++] = static_cast<unsigned char>(code);
}

// Code bytes past the decoded ones read as 0 (end of plane).
int ROZ::Read_Ac_Code() { return Ac_Code_Position < Ac_Code_Length ? Ac_Code_Buffer[Ac_Code_Position++] : 0; }

// --- Blocks -------------------------------------------------------------------------

void ROZ::Pack_Bloc(int offset) {
  for (int k = 0; k < 3; ++k) {
    const signed char* plane = Coefficients + offset + k * 64;
    Write_Dc_Data(plane[0], 8);
    int run = 0;
    for (int p = 1; p < 64; ++p) {
      int c = plane[p];
      if (c == 0) {
        ++run;
        continue;
      }
      for (; run >= 16; run -= 16) Write_Ac_Code(0xF0);
      int size = Significant_Bits(c > 0 ? c : -c);
      Write_Ac_Code((run << 4) | size);
      Write_Ac_Data(c > 0 ? c : c - 1, size);
      run = 0;
    }
    if (run > 0) Write_Ac_Code(0x00);
  }
}

void ROZ::Unpack_Bloc(int offset) {
  for (int k = 0; k < 3; ++k) {
    signed char* plane = Coefficients + offset + k * 64;
    plane[0] = static_cast<signed char>(Read_Dc_Data(8));
    int p = 1;
    while (p < 64) {
      int code = Read_Ac_Code();
      if (code == 0x00) break;
      if (code == 0xF0) {
        int zeros = 64 - p < 16 ? 64 - p : 16;
        std::memset(plane + p, 0, static_cast<size_t>(zeros));
        p += zeros;
        continue;
      }
      int run = code >> 4, size = code & 15;
      if (p + run > 63) break;  // a run past coefficient 63 ends the plane
      std::memset(plane + p, 0, static_cast<size_t>(run));
      p += run;
      plane[p++] = static_cast<signed char>(Extend_Magnitude(Read_Ac_Data(size), size));
    }
    if (p < 64) std::memset(plane + p, 0, static_cast<size_t>(64 - p));
  }
}

// --- Whole streams ---------------------------------------------------------------------

void ROZ::Pack_Stream(unsigned char* out, int* out_length, int blocks) {
  Init_Pack_Unpack();
  for (int k = 0; k < blocks; ++k) Pack_Bloc(k * 192);
  std::free(Coefficients);
  Coefficients = nullptr;

  Huffman_Coder coder;
  const int n = Ac_Code_Position;
  const int h = coder.Encode(Ac_Code_Buffer, n, out + 8);
  Write_U32(out, static_cast<uint32_t>(h));
  Write_U32(out + 4, static_cast<uint32_t>(n));
  unsigned char* p = out + 8 + h;
  const int a = Ac_Position + (Ac_Mask != 0x80 ? 1 : 0);
  Write_U32(p, static_cast<uint32_t>(a));
  if (a) std::memcpy(p + 4, Ac_Buffer, static_cast<size_t>(a));
  p += 4 + a;
  const int d = Dc_Position + (Dc_Mask != 0x80 ? 1 : 0);
  Write_U32(p, static_cast<uint32_t>(d));
  if (d) std::memcpy(p + 4, Dc_Buffer, static_cast<size_t>(d));
  if (out_length) *out_length = 16 + h + a + d;
}

bool ROZ::Open_Stream(const unsigned char* stream, int length, long long blocks) {
  Stream_Sections sections;
  if (!Split_Stream(stream, length, sections)) {
    Set_Status_Refused("stream shorter than its header");
    return false;
  }
  Huffman_Coder coder;
  uint32_t table_length = 0;
  if (!coder.Read_Table(sections.huffman, sections.huffman_length, &table_length)) {
    Set_Status_Refused("damaged Huffman frequency table");
    return false;
  }
  // Only the code bytes the blocks can consume are decoded, so the buffer never
  // grows beyond what the caller's picture justifies.
  long long limit = sections.code_count;
  if (limit > blocks * kMaxCodesPerBlock) limit = blocks * kMaxCodesPerBlock;
  if (limit > 0x7FFFFFFF) {
    Set_Status_Refused("picture too large");
    return false;
  }
  Grow_Buffer(Ac_Code_Buffer, Ac_Code_Capacity, static_cast<int>(limit));
  Ac_Code_Length = static_cast<int>(coder.Decode(sections.huffman + table_length,
                                                 sections.huffman_length - table_length, Ac_Code_Buffer,
                                                 static_cast<uint32_t>(limit)));
  Ac_Source = sections.ac;
  Ac_Length = static_cast<int>(sections.ac_length);
  Dc_Source = sections.dc;
  Dc_Length = static_cast<int>(sections.dc_length);
  Init_Pack_Unpack();
  return true;
}

namespace {
bool Valid_Picture(int width, int height) { return width >= 8 && height >= 8; }

// Block k of a run of 8 x 8 blocks laid out `columns` to a row, pixels of
// `bytes` bytes, pixel rows `pitch` bytes apart. A picture has width / 8 columns
// and a pitch of width * bytes; tiles stored one after the other are one column
// with a pitch of 8 * bytes.
unsigned char* Block_Address(unsigned char* pixels, int columns, long long k, int pitch, int bytes) {
  return pixels + (k / columns) * 8 * pitch + (k % columns) * 8 * bytes;
}
}  // namespace

void ROZ::Pack_Blocks(unsigned char* out, int* out_length, unsigned char* pixels, int columns, int blocks, int pitch,
                      int bytes, int quality) {
  Forward_Init(quality);
  if (blocks < 0) blocks = 0;
  Coefficients = static_cast<signed char*>(std::malloc(static_cast<size_t>(blocks) * 192 + 1));
  for (int k = 0; k < blocks; ++k) {
    unsigned char* block = Block_Address(pixels, columns, k, pitch, bytes);
    if (bytes == 3) {
      Get_Bloc_Rgb_24(block, pitch);
    } else {
      Get_Bloc_Rgb_32(block, pitch);
    }
    Forward_YCbCr();
    Forward_Quantification();
    Put_Natural_Order(k * 192);
  }
  Pack_Stream(out, out_length, blocks);
}

void ROZ::Unpack_Blocks(unsigned char* pixels, int columns, long long blocks, int pitch, int bytes,
                        unsigned char* stream, int length, int quality) {
  if (!Open_Stream(stream, length, blocks)) return;
  Coefficients = static_cast<signed char*>(std::malloc(static_cast<size_t>(blocks) * 192 + 1));
  if (Coefficients == nullptr) {
    Set_Status_Refused("out of memory");
    return;
  }
  for (long long k = 0; k < blocks; ++k) Unpack_Bloc(static_cast<int>(k * 192));
  Inverse_Init(quality);
  for (long long k = 0; k < blocks; ++k) {
    Get_Natural_Order(static_cast<int>(k * 192));
    Inverse_Quantification();
    Inverse_YCbCr();
    unsigned char* block = Block_Address(pixels, columns, k, pitch, bytes);
    if (bytes == 3) {
      Put_Bloc_Rgb_24(block, pitch);
    } else {
      Put_Bloc_Rgb_32(block, pitch);
    }
  }
  std::free(Coefficients);
  Coefficients = nullptr;
  Set_Status_Ok();
}

void ROZ::Pack_Picture_Rgb_24(unsigned char* out, int* out_length, unsigned char* pixels, int width, int height,
                              int quality) {
  const int columns = width > 0 ? width / 8 : 0, rows = height > 0 ? height / 8 : 0;
  Pack_Blocks(out, out_length, pixels, columns > 0 ? columns : 1, columns * rows, width * 3, 3, quality);
}

void ROZ::Pack_Picture_Rgb_32(unsigned char* out, int* out_length, unsigned char* pixels, int width, int height,
                              int quality) {
  const int columns = width > 0 ? width / 8 : 0, rows = height > 0 ? height / 8 : 0;
  Pack_Blocks(out, out_length, pixels, columns > 0 ? columns : 1, columns * rows, width * 4, 4, quality);
}

void ROZ::Pack_Bloc_Rgb_24(unsigned char* out, int* out_length, unsigned char* tiles, int count, int quality) {
  Pack_Blocks(out, out_length, tiles, 1, count, 24, 3, quality);
}

void ROZ::Pack_Bloc_Rgb_32(unsigned char* out, int* out_length, unsigned char* tiles, int count, int quality) {
  Pack_Blocks(out, out_length, tiles, 1, count, 32, 4, quality);
}

void ROZ::Unpack_Picture_Rgb_24(unsigned char* pixels, int width, int height, unsigned char* stream, int length,
                                int quality) {
  if (!Valid_Picture(width, height)) {
    Set_Status_Refused("picture smaller than one block");
    return;
  }
  Unpack_Blocks(pixels, width / 8, static_cast<long long>(width / 8) * (height / 8), width * 3, 3, stream, length,
                quality);
}

void ROZ::Unpack_Picture_Rgb_32(unsigned char* pixels, int width, int height, unsigned char* stream, int length,
                                int quality) {
  if (!Valid_Picture(width, height)) {
    Set_Status_Refused("picture smaller than one block");
    return;
  }
  Unpack_Blocks(pixels, width / 8, static_cast<long long>(width / 8) * (height / 8), width * 4, 4, stream, length,
                quality);
}

void ROZ::Unpack_Bloc_Rgb_24(unsigned char* tiles, int count, unsigned char* stream, int length, int quality) {
  Unpack_Blocks(tiles, 1, count < 0 ? 0 : count, 24, 3, stream, length, quality);
}

void ROZ::Unpack_Bloc_Rgb_32(unsigned char* tiles, int count, unsigned char* stream, int length, int quality) {
  Unpack_Blocks(tiles, 1, count < 0 ? 0 : count, 32, 4, stream, length, quality);
}

void ROZ::Unpack_Bloc_Rgb_16(unsigned short* picture, int* offsets, int count, int pitch, unsigned char* stream,
                             int length, int quality, int bits) {
  if (count < 0) count = 0;
  if (!Open_Stream(stream, length, count)) return;
  signed char coefficients[192];
  int blue[72] = {}, green[72] = {}, red[72] = {};
  Coefficients = coefficients;
  Blue_Plane = blue;
  Green_Plane = green;
  Red_Plane = red;
  Inverse_Init(quality);
  for (int k = 0; k < count; ++k) {
    Unpack_Bloc(0);
    Get_Natural_Order(0);
    Inverse_Quantification();
    Inverse_YCbCr();
    Put_Bloc_Rgb_64(Blue_Plane, Green_Plane, Red_Plane, 8);
    if (bits == 16) {
      Put_Bloc_Rgb_16(picture + offsets[k], 8, pitch);
    } else {
      Put_Bloc_Rgb_15(picture + offsets[k], 8, pitch);
    }
  }
  Coefficients = nullptr;
  Blue_Plane = Green_Plane = Red_Plane = nullptr;
  Set_Status_Ok();
}

void ROZ::Unpack_Picture_Rgb_16(unsigned short*, int, int, unsigned char*, int, int, int) {}
