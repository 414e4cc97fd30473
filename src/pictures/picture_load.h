// Loading pictures from files: the entry point that chooses the reader by the
// file's extension (with fallbacks to other extensions), the readers of every
// format, and the chunk walker of the engine's chunk files.
//
// Every reader parses the whole file from memory through a Byte_Reader, checks
// every size and offset against what the file holds, and refuses (returns null)
// truncated or inconsistent files, unaccepted variants and pictures above
// Picture_Max_Side. A refused file gives no picture, as a missing one does.
#pragma once
#include <cstddef>
#include <cstdint>

#include "pictures/picture.h"

// Files larger than this are not loaded as pictures.
constexpr size_t Picture_File_Max = 256u << 20;

// Loads a picture by name through the file layer (memory files first). The
// extension of the file-name part chooses the reader; if that gives nothing, the
// name is cut after its first '.' in the caller's buffer (>= 256 bytes) and the
// extensions mtd (when such a file is not empty), mtr, iff, lbm, PCX, tga, gif and
// bmp are tried in turn. The picture is named after the requested file.
Picture* Picture_Load(char* name);

// Readers by file name (the picture is named after the file, without directory).
Picture* Picture_Load_Mtr(const char* name);
Picture* Picture_Load_Iff(const char* name);
Picture* Picture_Load_Pcx(const char* name);
Picture* Picture_Load_Tga(const char* name);
Picture* Picture_Load_Gif(const char* name);
Picture* Picture_Load_Bmp(const char* name);
// The MTRD picture found in [start, end) of an open file slot of file_size bytes.
Picture* Picture_Load_Mtrd(int slot, int file_size, int start, int end);

// The same readers over bytes in memory; `name` becomes the picture's name.
Picture* Picture_Parse_Mtr(const uint8_t* data, size_t size, const char* name);
Picture* Picture_Parse_Mtrd(const uint8_t* data, size_t size);
Picture* Picture_Parse_Iff(const uint8_t* data, size_t size, const char* name);
Picture* Picture_Parse_Pcx(const uint8_t* data, size_t size, const char* name);
Picture* Picture_Parse_Tga(const uint8_t* data, size_t size, const char* name);
Picture* Picture_Parse_Gif(const uint8_t* data, size_t size, const char* name);
Picture* Picture_Parse_Bmp(const uint8_t* data, size_t size, const char* name);

// Searches the chunks (4-character tag, 32-bit little-endian size counting the
// 8-byte header) that begin at *start, up to *end, for `tag` (ASCII case folded).
// Returns 0 with *start at the chunk's first byte and *end = *start + its size;
// or -1 with *end = *start. A chunk size below 8, or a chunk reaching past the
// range, ends the search with failure.
int Chunk_Find(int slot, int file_size, const char* tag, int* start, int* end);
// The same over a block of memory (the range is checked against size).
int Chunk_Find_Memory(const uint8_t* data, size_t size, const char* tag, size_t* start, size_t* end);
