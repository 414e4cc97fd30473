// Writing frames as PNG pictures (screenshots). The picture data is stored
// uncompressed inside the deflate stream, so no compression library is needed.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// An 8-bit RGB PNG of a width x height 5-6-5 picture (each component widened by
// repeating its top bits, so 0xFFFF is pure white).
std::vector<uint8_t> Png_Encode_565(const uint16_t* pixels, uint32_t width, uint32_t height);
bool Png_Write_565(const std::string& path, const uint16_t* pixels, uint32_t width, uint32_t height);

uint32_t Png_Crc32(const uint8_t* bytes, size_t size);
uint32_t Png_Adler32(const uint8_t* bytes, size_t size);
