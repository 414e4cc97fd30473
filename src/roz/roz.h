// ROZ picture codec: a transform coder for true-colour pictures (8 x 8 blocks,
// full-resolution Y, Cb, Cr planes, one static Huffman code per stream).
//
// Stream layout (little-endian 32-bit lengths):
//   H, N, Huffman section (H bytes: frequency table, N coded AC code bytes, end
//   code), A, AC magnitude bits (A bytes), D, DC bits (D bytes).
// The stream holds neither the picture size nor the quality: encoder and decoder
// must be given the same values.
//
// Every decoding entry point takes the stream's length in bytes (the argument
// after the stream). Nothing is read outside those bytes: a section that claims
// more bytes than remain is cut and reads as zero bits beyond. A stream whose
// frequency table is damaged is refused; the outcome of the thread's last call is
// kept in Roz_Last_Status().
#pragma once

#if defined(__GNUC__)
#define ROZ_API __attribute__((visibility("default")))
#else
#define ROZ_API
#endif

class ROZ_API ROZ {
 public:
  ROZ();
  ~ROZ();
  ROZ(const ROZ& other);
  // Copies the whole state; the stream buffers are duplicated, never shared.
  ROZ& operator=(const ROZ& other);

  // Encoders. `out` must hold Roz_Max_Stream_Size(blocks) bytes; *out_length
  // receives the stream length. Width and height are multiples of 8.
  void Pack_Picture_Rgb_24(unsigned char* out, int* out_length, unsigned char* pixels, int width, int height,
                           int quality);
  void Pack_Picture_Rgb_32(unsigned char* out, int* out_length, unsigned char* pixels, int width, int height,
                           int quality);
  // Tiles: 8 x 8 pixels each, stored one after the other (tile pitch 24 or 32 bytes).
  void Pack_Bloc_Rgb_24(unsigned char* out, int* out_length, unsigned char* tiles, int count, int quality);
  void Pack_Bloc_Rgb_32(unsigned char* out, int* out_length, unsigned char* tiles, int count, int quality);

  // Decoders; `length` is the stream's length in bytes.
  void Unpack_Picture_Rgb_24(unsigned char* pixels, int width, int height, unsigned char* stream, int length,
                             int quality);
  void Unpack_Picture_Rgb_32(unsigned char* pixels, int width, int height, unsigned char* stream, int length,
                             int quality);
  void Unpack_Bloc_Rgb_24(unsigned char* tiles, int count, unsigned char* stream, int length, int quality);
  void Unpack_Bloc_Rgb_32(unsigned char* tiles, int count, unsigned char* stream, int length, int quality);
  // Block k goes to picture + offsets[k] (in pixels), rows `pitch` pixels apart,
  // dithered into 5-6-5 when bits is 16, else 5-5-5. The caller guarantees that
  // every block lies inside its picture.
  void Unpack_Bloc_Rgb_16(unsigned short* picture, int* offsets, int count, int pitch, unsigned char* stream,
                          int length, int quality, int bits);
  // Kept for the interface; does nothing.
  void Unpack_Picture_Rgb_16(unsigned short* picture, int width, int height, unsigned char* stream, int length,
                             int quality, int bits);

 private:
  friend class ROZ_Inspector;  // white-box access for the library's own tests

  // Numeric core.
  void Set_Quality(int quality);
  void Calcul_Luminance();
  void Calcul_Chrominance();
  void Forward_Init(int quality);
  void Inverse_Init(int quality);
  void Forward_Normalize_Quantification(int table[64]);
  void Inverse_Normalize_Quantification(int table[64]);
  void Forward(int plane[64]);
  void Inverse(int plane[64]);
  void Forward_YCbCr();
  void Inverse_YCbCr();
  void Forward_Quantification();
  void Inverse_Quantification();
  void Get_Bloc_Rgb_24(unsigned char* pixels, int pitch);
  void Get_Bloc_Rgb_32(unsigned char* pixels, int pitch);
  void Get_Bloc_YCbCr_24(signed char* pixels, int pitch);
  void Get_Bloc_YCbCr_32(signed char* pixels, int pitch);
  void Put_Bloc_Rgb_24(unsigned char* pixels, int pitch);
  void Put_Bloc_Rgb_32(unsigned char* pixels, int pitch);
  void Put_Bloc_Rgb_64(int* blue, int* green, int* red, int width);
  void Put_Bloc_Rgb_16(unsigned short* pixels, int width, int pitch);
  void Put_Bloc_Rgb_15(unsigned short* pixels, int width, int pitch);
  void Put_Natural_Order(int offset);
  void Get_Natural_Order(int offset);

  // Stream sections.
  void Init_Pack_Unpack();
  void Write_Dc_Bit(int bit);
  int Read_Dc_Bit();
  void Write_Ac_Bit(int bit);
  int Read_Ac_Bit();
  void Write_Dc_Data(int value, int count);
  int Read_Dc_Data(int count);
  void Write_Ac_Data(int value, int count);
  int Read_Ac_Data(int count);
  void Write_Ac_Code(int code);
  int Read_Ac_Code();
  void Pack_Bloc(int offset);
  void Unpack_Bloc(int offset);

  // Shared by the public operations: 8 x 8 blocks of 3- or 4-byte pixels laid
  // out `columns` to a row, pixel rows `pitch` bytes apart.
  void Pack_Blocks(unsigned char* out, int* out_length, unsigned char* pixels, int columns, int blocks, int pitch,
                   int bytes, int quality);
  void Unpack_Blocks(unsigned char* pixels, int columns, long long blocks, int pitch, int bytes, unsigned char* stream,
                     int length, int quality);
  void Pack_Stream(unsigned char* out, int* out_length, int blocks);
  bool Open_Stream(const unsigned char* stream, int length, long long blocks);
  void Release_Buffers();
  void Copy_From(const ROZ& other);

  int Range_Table[16321];
  int Luminance[64];
  int Chrominance[64];
  int Scale;
  int Y[64];
  int Cb[64];
  int Cr[64];
  signed char* Coefficients;

  // Encoding: the three grown stream buffers and their write positions.
  // Decoding: the same positions index the sections being read.
  unsigned char* Dc_Buffer;
  int Dc_Capacity;
  int Dc_Position;
  int Dc_Mask;
  unsigned char* Ac_Code_Buffer;
  int Ac_Code_Capacity;
  int Ac_Code_Position;
  unsigned char* Ac_Buffer;
  int Ac_Capacity;
  int Ac_Position;
  int Ac_Mask;
  // Decoding reads the bit sections in place; these bound every read.
  const unsigned char* Dc_Source;
  int Dc_Length;
  const unsigned char* Ac_Source;
  int Ac_Length;
  int Ac_Code_Length;

  int* Blue_Plane;
  int* Green_Plane;
  int* Red_Plane;
};

// Fixed-size decoders into 16-bit pixels (width * height, no padding), with
// error diffusion. The first number is the dither precision (15: five bits a
// channel; 16: five, six, five), the second the pixel layout (15: 5-5-5;
// 16: 5-6-5). `length` is the stream's length in bytes. Not reentrant.
// A stream needing more than 1,250,000 code bytes is refused through the message
// handler and leaves `out` untouched.
ROZ_API void Unpack_Picture_Rgb_15_15_256_6144(unsigned short* out, unsigned char* stream, int length, int quality);
ROZ_API void Unpack_Picture_Rgb_15_16_256_6144(unsigned short* out, unsigned char* stream, int length, int quality);
ROZ_API void Unpack_Picture_Rgb_16_16_256_6144(unsigned short* out, unsigned char* stream, int length, int quality);
ROZ_API void Unpack_Picture_Rgb_15_15_640_480(unsigned short* out, unsigned char* stream, int length, int quality);
ROZ_API void Unpack_Picture_Rgb_15_16_640_480(unsigned short* out, unsigned char* stream, int length, int quality);
ROZ_API void Unpack_Picture_Rgb_16_16_640_480(unsigned short* out, unsigned char* stream, int length, int quality);

// Outcome of the calling thread's last decoding call of this library (class or
// free decoder): 0 when the stream was decoded, -1 when it was refused. A thread
// that has decoded nothing reads 0.
ROZ_API int Roz_Last_Status();
// Short English reason for the calling thread's last refusal ("" after a success).
ROZ_API const char* Roz_Last_Error();

// Receives the library's user-visible messages (caption, text). The default
// writes one line on stderr; a null handler restores it.
typedef void (*Roz_Message_Handler)(const char* caption, const char* text);
ROZ_API void Roz_Set_Message_Handler(Roz_Message_Handler handler);

// Bytes an encoder may write for `blocks` blocks: the size to give it as `out`.
ROZ_API long long Roz_Max_Stream_Size(long long blocks);

// The largest code-byte count the fixed-size decoders accept.
constexpr int ROZ_MAX_FIXED_CODES = 1250000;
