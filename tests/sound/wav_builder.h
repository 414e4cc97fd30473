// Builds RIFF files chunk by chunk, including damaged ones, for the sound tests.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct Test_Chunk {
  std::string tag;                // 4 characters
  std::vector<uint8_t> payload;
  int64_t declared_size = -1;     // size written in the header; -1: the payload's
  bool pad = true;                // a 0 after an odd payload
};

inline void put_u16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void put_u32(std::vector<uint8_t>& out, uint32_t v) {
  put_u16(out, v & 0xFFFF);
  put_u16(out, v >> 16);
}

inline std::vector<uint8_t> fmt_payload(uint32_t channels, uint32_t rate, uint32_t bits, uint32_t format_tag = 1) {
  std::vector<uint8_t> out;
  put_u16(out, format_tag);
  put_u16(out, channels);
  put_u32(out, rate);
  put_u32(out, rate * channels * bits / 8);
  put_u16(out, channels * bits / 8);
  put_u16(out, bits);
  return out;
}

inline void put_chunk(std::vector<uint8_t>& out, const Test_Chunk& chunk) {
  out.insert(out.end(), chunk.tag.begin(), chunk.tag.end());
  put_u32(out, chunk.declared_size >= 0 ? static_cast<uint32_t>(chunk.declared_size)
                                        : static_cast<uint32_t>(chunk.payload.size()));
  out.insert(out.end(), chunk.payload.begin(), chunk.payload.end());
  if (chunk.pad && chunk.payload.size() % 2 == 1) out.push_back(0);
}

// "RIFF", size, form type, then the chunks.
inline std::vector<uint8_t> riff_file(const std::string& form, const std::vector<Test_Chunk>& chunks) {
  std::vector<uint8_t> body(form.begin(), form.end());
  for (const Test_Chunk& chunk : chunks) put_chunk(body, chunk);
  std::vector<uint8_t> out;
  put_chunk(out, Test_Chunk{"RIFF", body, -1, false});
  return out;
}

inline std::vector<uint8_t> wav_file(uint32_t channels, uint32_t rate, uint32_t bits,
                                     const std::vector<uint8_t>& samples) {
  return riff_file("WAVE", {{"fmt ", fmt_payload(channels, rate, bits)}, {"data", samples}});
}

// 16-bit little-endian samples.
inline std::vector<uint8_t> pcm16(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> out;
  for (int16_t s : samples) put_u16(out, static_cast<uint16_t>(s));
  return out;
}
