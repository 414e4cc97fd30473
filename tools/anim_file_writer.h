// Writer of animation files with sound (every header version), for the demo-game
// generator and the tests. Header-only, like picture_file_writers.h.
//
// Frames are given plain (8-bit indices or 5-6-5 pixels); the first becomes the
// "PICT" chunk, each later one an "ANIM" chunk packed against the frame before
// it. Sounds are given as the bytes a "SAMP" chunk unpacks to (PCM, 8-bit deltas
// for version 1280, delta codes for 16-bit sound of version 1284), one per frame.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "files/pack_methods.h"
#include "picture_file_writers.h"

struct Anim_File {
  uint32_t version = 1284;
  bool write_version = true;  // a "VERS" chunk (1280 is assumed without one)
  std::string name = "anim";
  int width = 0, height = 0, bits = 16;  // bits 0: no picture (version 1284)
  uint32_t pack = 3;                     // 0, 3, 5, 6 or 7
  std::vector<uint8_t> palette;          // 768 bytes for 8-bit frames
  std::vector<std::vector<uint8_t>> frames;
  uint32_t fps = 15;
  bool write_fps = true;     // "FSEC" (1283; 1284 always has it)
  bool write_sound_header = true;  // "ANIH" (1280 to 1282)
  uint32_t rate = 0;         // 0: no sound
  uint32_t sound_bits = 16, stereo = 0, sound_method = 3;
  uint32_t sound_bytes = 0;  // "SSIZ" of version 1284
  std::vector<std::vector<uint8_t>> sounds;
  // Extra chunks written after the header (tests alter files this way).
  std::vector<std::vector<uint8_t>> extra;
};

namespace anim_writer {

// Packs `data` with `method`; the previous block's tail (up to 65536 bytes) is
// history the LZ methods may copy from, and for methods 6 and 7 the previous
// block is the reference.
inline std::vector<uint8_t> pack_block(uint32_t method, const std::vector<uint8_t>& data,
                                       const std::vector<uint8_t>* previous) {
  if (method == 0) return data;
  if (method == 6 || method == 7) {
    std::vector<uint8_t> zero(data.size(), 0);
    const uint8_t* reference = previous != nullptr && previous->size() == data.size() ? previous->data() : zero.data();
    return Pack_Encode(static_cast<int>(method), data.data(), data.size(), reference);
  }
  std::vector<uint8_t> joined;
  size_t history = 0;
  if (previous != nullptr) {
    history = previous->size() < 65536 ? previous->size() : 65536;
    joined.assign(previous->end() - static_cast<std::ptrdiff_t>(history), previous->end());
  }
  joined.insert(joined.end(), data.begin(), data.end());
  return Pack_Encode(static_cast<int>(method), joined.data(), joined.size(), nullptr, history);
}

}  // namespace anim_writer

// The chunks inside the MTRD chunk.
inline std::vector<std::vector<uint8_t>> Anim_File_Chunks(const Anim_File& a) {
  std::vector<std::vector<uint8_t>> chunks;
  uint32_t frame_count = a.frames.empty() ? static_cast<uint32_t>(a.sounds.empty() ? 0 : a.sounds.size() - 1)
                                          : static_cast<uint32_t>(a.frames.size() - 1);
  std::vector<uint8_t> pict;
  if (!a.frames.empty()) pict = anim_writer::pack_block(a.pack, a.frames[0], nullptr);
  if (a.write_version) chunks.push_back(Chunk_U32("VERS", a.version));
  if (a.version < 1282) {
    std::vector<uint8_t> head(16, 0);
    std::memcpy(head.data(), a.name.data(), a.name.size() < 15 ? a.name.size() : 15);
    for (uint32_t v : {a.version, static_cast<uint32_t>(a.width), static_cast<uint32_t>(a.height),
                       static_cast<uint32_t>(a.bits), a.pack, static_cast<uint32_t>(pict.size()), frame_count}) {
      picture_writers::put32le(head, v);
    }
    chunks.push_back(Write_Chunk("HEAD", head));
  } else {
    std::vector<uint8_t> name(256, 0);
    std::memcpy(name.data(), a.name.data(), a.name.size() < 255 ? a.name.size() : 255);
    chunks.push_back(Write_Chunk("NAME", name));
    chunks.push_back(Chunk_U32("SIZX", static_cast<uint32_t>(a.width)));
    chunks.push_back(Chunk_U32("SIZY", static_cast<uint32_t>(a.height)));
    chunks.push_back(Chunk_U32("BITP", static_cast<uint32_t>(a.bits)));
    if (a.version < 1284 || a.bits != 0) {
      chunks.push_back(Chunk_U32("PACK", a.pack));
      chunks.push_back(Chunk_U32("SIZE", static_cast<uint32_t>(pict.size())));
    }
    chunks.push_back(Chunk_U32("NBFR", frame_count));
  }
  if (a.version <= 1282) {
    if (a.write_sound_header) {
      std::vector<uint8_t> anih;
      for (uint32_t v : {a.fps, a.rate, a.sound_bits, a.stereo, a.sound_method}) picture_writers::put32le(anih, v);
      chunks.push_back(Write_Chunk("ANIH", anih));
    }
  } else {
    if (a.write_fps || a.version == 1284) chunks.push_back(Chunk_U32("FSEC", a.fps));
    if (a.rate != 0 || a.version == 1284) chunks.push_back(Chunk_U32("SFRE", a.rate));
    if (a.rate != 0) {
      if (a.version == 1284) chunks.push_back(Chunk_U32("SSIZ", a.sound_bytes));
      chunks.push_back(Chunk_U32("SBIT", a.sound_bits));
      chunks.push_back(Chunk_U32("STER", a.stereo));
      chunks.push_back(Chunk_U32("SCRU", a.sound_method));
    }
  }
  for (const auto& chunk : a.extra) chunks.push_back(chunk);
  if (!a.frames.empty()) {
    std::vector<uint8_t> palette = a.palette;
    palette.resize(768, 0);
    chunks.push_back(Write_Chunk("PALE", palette));
    chunks.push_back(Write_Chunk("PICT", pict));
  }
  // Version 1280 stores its sound with method 3 whatever the header says.
  uint32_t sound_method = a.version == 1280 ? 3 : a.sound_method;
  size_t count = a.frames.size() > a.sounds.size() ? a.frames.size() : a.sounds.size();
  for (size_t i = 0; i < count; ++i) {
    if (i > 0 && i < a.frames.size()) {
      chunks.push_back(Write_Chunk("ANIM", anim_writer::pack_block(a.pack, a.frames[i], &a.frames[i - 1])));
    }
    if (a.rate != 0 && i < a.sounds.size()) {
      chunks.push_back(
          Write_Chunk("SAMP", anim_writer::pack_block(sound_method, a.sounds[i], i > 0 ? &a.sounds[i - 1] : nullptr)));
    }
  }
  return chunks;
}

inline std::vector<uint8_t> Write_Anim_File(const Anim_File& a) { return Write_Mtrd_Chunks(Anim_File_Chunks(a)); }
