// PAK files: one inner file, possibly packed, with its name. Layout (integers
// 32-bit little-endian): "PAKF", 4 bytes not interpreted, a 16-byte NUL-padded
// inner name (byte 15 always counts as NUL), the pack method (0 to 5), the packed
// size, the unpacked size, then the packed bytes. Pak_Unpack (file.h) reads them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr size_t Pak_Header_Size = 36;

struct Pak_Header {
  char name[16];  // always NUL-terminated
  uint32_t method;
  uint32_t packed_size;
  uint32_t unpacked_size;
};

// Reads and checks the header of a whole PAK file: the magic, a method of 0 to 5,
// packed bytes that are all there, an unpacked size the packed bytes can possibly
// produce (and not 0), and for method 0 a payload that holds the unpacked size.
// False with a short reason when the file is refused.
bool Pak_Parse_Header(const uint8_t* file, size_t size, Pak_Header& header, const char** reason = nullptr);

// Builds a PAK file holding data packed with method 0 to 5 under inner_name (at
// most 15 characters). Empty when the method or name cannot be stored.
std::vector<uint8_t> Pak_Build(const char* inner_name, int method, const uint8_t* data, size_t size);
