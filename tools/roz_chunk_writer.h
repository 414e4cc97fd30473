// Writer of ROZ picture files (node pictures with named block animations), shared
// by osterlin-tool and the tests. Header only: tools/ sources are compiled into the
// tool alone.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "roz/roz.h"
#include "platform/byte_order.h"
#include "video/roz_chunks.h"

namespace roz_chunk {

constexpr uint32_t File_Header = Roz_File_Header;
constexpr uint32_t Panorama = Roz_Panorama;
constexpr uint32_t Flat = Roz_Flat;
constexpr uint32_t Anim_Header = Roz_Anim_Header;
constexpr uint32_t Anim_Frame = Roz_Anim_Frame;
constexpr uint32_t Anim_Loop = Roz_Anim_Loop;

inline void put_u32(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t bytes[4];
  Store_Le32(bytes, v);
  out.insert(out.end(), bytes, bytes + 4);
}

// Appends one chunk: id, size including the 8 header bytes, payload.
inline void put_chunk(std::vector<uint8_t>& out, uint32_t id, const std::vector<uint8_t>& payload) {
  put_u32(out, id);
  put_u32(out, static_cast<uint32_t>(payload.size() + Roz_Chunk_Header_Size));
  out.insert(out.end(), payload.begin(), payload.end());
}

inline std::vector<uint8_t> file_header() {
  std::vector<uint8_t> out;
  put_chunk(out, File_Header, {});
  return out;
}

// ROZ stream of a B,G,R picture (width and height multiples of 8).
inline std::vector<uint8_t> encode_picture(const std::vector<uint8_t>& bgr, int width, int height, int quality) {
  ROZ codec;
  std::vector<uint8_t> stream(Roz_Max_Stream_Size(static_cast<long long>(width / 8) * (height / 8)));
  int length = 0;
  codec.Pack_Picture_Rgb_24(stream.data(), &length, const_cast<uint8_t*>(bgr.data()), width, height, quality);
  stream.resize(static_cast<size_t>(length));
  return stream;
}

// Picture chunk (Panorama: 256 x 6144 B,G,R; Flat: 640 x 480).
inline void put_picture(std::vector<uint8_t>& out, uint32_t id, const std::vector<uint8_t>& bgr, int quality) {
  int width = id == Panorama ? 256 : 640;
  int height = id == Panorama ? 6144 : 480;
  std::vector<uint8_t> stream = encode_picture(bgr, width, height, quality);
  std::vector<uint8_t> payload;
  put_u32(payload, static_cast<uint32_t>(quality));
  put_u32(payload, static_cast<uint32_t>(stream.size()));
  payload.insert(payload.end(), stream.begin(), stream.end());
  put_chunk(out, id, payload);
}

// A file of the header and one picture chunk.
inline std::vector<uint8_t> picture_file(uint32_t id, const std::vector<uint8_t>& bgr, int quality) {
  std::vector<uint8_t> out = file_header();
  put_picture(out, id, bgr, quality);
  return out;
}

inline void put_anim_header(std::vector<uint8_t>& out, const std::string& name, uint32_t frame_count) {
  // The name is cut to leave its NUL in the name field.
  std::vector<uint8_t> payload(Roz_Anim_Name_Size, 0);
  std::memcpy(payload.data(), name.data(), name.size() < Roz_Anim_Name_Size - 1 ? name.size() : Roz_Anim_Name_Size - 1);
  put_u32(payload, frame_count);
  put_chunk(out, Anim_Header, payload);
}

// One frame: `tiles` holds offsets.size() tiles of 8 x 8 B,G,R pixels (192 bytes
// each), block k drawn at pixel offset offsets[k] of the target picture.
inline void put_anim_frame(std::vector<uint8_t>& out, const std::vector<int>& offsets,
                           const std::vector<uint8_t>& tiles, int quality) {
  std::vector<uint8_t> payload;
  if (!offsets.empty()) {
    ROZ codec;
    std::vector<uint8_t> stream(Roz_Max_Stream_Size(static_cast<long long>(offsets.size())));
    int length = 0;
    codec.Pack_Bloc_Rgb_24(stream.data(), &length, const_cast<uint8_t*>(tiles.data()),
                           static_cast<int>(offsets.size()), quality);
    put_u32(payload, static_cast<uint32_t>(offsets.size()));
    for (int offset : offsets) put_u32(payload, static_cast<uint32_t>(offset));
    put_u32(payload, static_cast<uint32_t>(quality));
    put_u32(payload, static_cast<uint32_t>(length));
    payload.insert(payload.end(), stream.begin(), stream.begin() + length);
  }
  put_chunk(out, Anim_Frame, payload);
}

inline void put_anim_loop(std::vector<uint8_t>& out, uint32_t loop_frame) {
  std::vector<uint8_t> payload;
  put_u32(payload, loop_frame);
  put_chunk(out, Anim_Loop, payload);
}

}  // namespace roz_chunk
