// Writers of the picture formats the engine reads, for the tools (the demo-game
// generator, picture conversion) and for the tests. Header-only, so that the
// tools and the test support share one copy without a library of their own.
//
// Pixels are given in the engine's terms: 8-bit palette indices; 16-bit pixels as
// little-endian x-5-5-5 words (the form TGA and BMP store); 24-bit R, G, B;
// 32-bit R, G, B and a fourth byte. Rows top to bottom without padding.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

struct Picture_Image {
  int width = 0;
  int height = 0;
  int bits = 8;                  // 8, 16, 24 or 32
  std::vector<uint8_t> palette;  // 768 bytes of R, G, B (8-bit pictures)
  std::vector<uint8_t> pixels;
};

namespace picture_writers {

inline void put16le(std::vector<uint8_t>& out, unsigned v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void put32le(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void put_text(std::vector<uint8_t>& out, const char* text) {
  out.insert(out.end(), text, text + std::strlen(text));
}
inline uint8_t palette_byte(const Picture_Image& image, size_t i) {
  return i < image.palette.size() ? image.palette[i] : 0;
}

// Run-length packets over items of `item` bytes: (header, item...) where the
// header says run or literal and the count - 1. Used by TGA (max 128 items).
inline void pack_runs(std::vector<uint8_t>& out, const uint8_t* data, size_t count, size_t item) {
  size_t i = 0;
  auto same = [&](size_t a, size_t b) { return std::memcmp(data + a * item, data + b * item, item) == 0; };
  while (i < count) {
    size_t run = 1;
    while (i + run < count && run < 128 && same(i, i + run)) ++run;
    if (run >= 2) {
      out.push_back(static_cast<uint8_t>(0x80 | (run - 1)));
      out.insert(out.end(), data + i * item, data + (i + 1) * item);
      i += run;
      continue;
    }
    size_t literal = 1;
    while (i + literal < count && literal < 128 && !(i + literal + 1 < count && same(i + literal, i + literal + 1))) {
      ++literal;
    }
    out.push_back(static_cast<uint8_t>(literal - 1));
    out.insert(out.end(), data + i * item, data + (i + literal) * item);
    i += literal;
  }
}

}  // namespace picture_writers

// ---- TGA -----------------------------------------------------------------

struct Tga_Options {
  int type = 2;            // 1, 2 (plain), 9, 10 (run-length)
  bool top_first = true;   // descriptor bit 5; false stores the bottom row first
  int map_bits = 24;       // colour-map entry size for 8-bit pictures: 15, 16, 24 or 32; 0 for none
  int map_first = 0;       // first colour index the map describes
  int map_length = 256;
  std::string id;          // identification bytes
};

inline std::vector<uint8_t> Write_Tga(const Picture_Image& image, const Tga_Options& options = {}) {
  using namespace picture_writers;
  std::vector<uint8_t> out;
  bool has_map = image.bits == 8 && options.map_bits != 0 && options.map_length > 0;
  out.push_back(static_cast<uint8_t>(options.id.size()));
  out.push_back(has_map ? 1 : 0);
  out.push_back(static_cast<uint8_t>(options.type));
  put16le(out, has_map ? options.map_first : 0);
  put16le(out, has_map ? options.map_length : 0);
  out.push_back(static_cast<uint8_t>(has_map ? options.map_bits : 0));
  put16le(out, 0);
  put16le(out, 0);
  put16le(out, static_cast<unsigned>(image.width));
  put16le(out, static_cast<unsigned>(image.height));
  out.push_back(static_cast<uint8_t>(image.bits));
  out.push_back(options.top_first ? 0x20 : 0x00);
  out.insert(out.end(), options.id.begin(), options.id.end());
  if (has_map) {
    for (int i = 0; i < options.map_length; ++i) {
      size_t e = static_cast<size_t>(options.map_first + i) * 3;
      uint8_t r = palette_byte(image, e), g = palette_byte(image, e + 1), b = palette_byte(image, e + 2);
      if (options.map_bits <= 16) {
        put16le(out, static_cast<unsigned>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3)));
      } else {
        out.push_back(b);
        out.push_back(g);
        out.push_back(r);
        if (options.map_bits == 32) out.push_back(255);
      }
    }
  }
  // Stored pixels: B, G, R (, A) for 24/32 bits; rows in the chosen order.
  size_t pixel = static_cast<size_t>(image.bits / 8);
  size_t row_bytes = static_cast<size_t>(image.width) * pixel;
  std::vector<uint8_t> stored;
  stored.reserve(row_bytes * image.height);
  for (int y = 0; y < image.height; ++y) {
    int source_row = options.top_first ? y : image.height - 1 - y;
    const uint8_t* row = image.pixels.data() + static_cast<size_t>(source_row) * row_bytes;
    for (int x = 0; x < image.width; ++x, row += pixel) {
      if (pixel >= 3) {
        stored.push_back(row[2]);
        stored.push_back(row[1]);
        stored.push_back(row[0]);
        if (pixel == 4) stored.push_back(row[3]);
      } else {
        stored.insert(stored.end(), row, row + pixel);
      }
    }
  }
  if (options.type == 9 || options.type == 10) {
    pack_runs(out, stored.data(), stored.size() / pixel, pixel);
  } else {
    out.insert(out.end(), stored.begin(), stored.end());
  }
  return out;
}

// ---- PCX -----------------------------------------------------------------

struct Pcx_Options {
  bool run_length = true;
  int bytes_per_line = 0;  // 0: the width rounded up to even
  int xmin = 0, ymin = 0;
};

inline std::vector<uint8_t> Write_Pcx(const Picture_Image& image, const Pcx_Options& options = {}) {
  using namespace picture_writers;
  int bytes_per_line = options.bytes_per_line ? options.bytes_per_line : image.width + (image.width & 1);
  std::vector<uint8_t> out;
  out.push_back(10);
  out.push_back(5);
  out.push_back(options.run_length ? 1 : 0);
  out.push_back(8);
  put16le(out, static_cast<unsigned>(options.xmin));
  put16le(out, static_cast<unsigned>(options.ymin));
  put16le(out, static_cast<unsigned>(options.xmin + image.width - 1));
  put16le(out, static_cast<unsigned>(options.ymin + image.height - 1));
  put16le(out, 72);
  put16le(out, 72);
  out.resize(out.size() + 48, 0);
  out.push_back(0);
  out.push_back(1);
  put16le(out, static_cast<unsigned>(bytes_per_line));
  put16le(out, 1);
  put16le(out, 0);
  put16le(out, 0);
  out.resize(128, 0);
  for (int y = 0; y < image.height; ++y) {
    std::vector<uint8_t> row(image.pixels.begin() + static_cast<size_t>(y) * image.width,
                             image.pixels.begin() + static_cast<size_t>(y + 1) * image.width);
    row.resize(static_cast<size_t>(bytes_per_line), 0);
    if (!options.run_length) {
      out.insert(out.end(), row.begin(), row.end());
      continue;
    }
    // Runs of up to 63; single bytes above 192 must be written as runs of 1.
    for (size_t i = 0; i < row.size();) {
      size_t run = 1;
      while (i + run < row.size() && run < 63 && row[i + run] == row[i]) ++run;
      if (run > 1 || row[i] > 192) {
        out.push_back(static_cast<uint8_t>(192 + run));
      }
      out.push_back(row[i]);
      i += run;
    }
  }
  out.push_back(12);
  for (size_t i = 0; i < 768; ++i) out.push_back(palette_byte(image, i));
  return out;
}

// ---- BMP -----------------------------------------------------------------

struct Bmp_Options {
  bool top_first = false;  // negative height
  int colours_used = 0;    // 8-bit: entries written (0 means 256, the field left 0)
};

inline std::vector<uint8_t> Write_Bmp(const Picture_Image& image, const Bmp_Options& options = {}) {
  using namespace picture_writers;
  size_t pixel = static_cast<size_t>(image.bits / 8);
  size_t row_bytes = static_cast<size_t>(image.width) * pixel;
  size_t stride = (row_bytes + 3) & ~static_cast<size_t>(3);
  int entries = image.bits == 8 ? (options.colours_used ? options.colours_used : 256) : 0;
  uint32_t offset = 54 + static_cast<uint32_t>(entries) * 4;
  std::vector<uint8_t> out;
  put_text(out, "BM");
  put32le(out, offset + static_cast<uint32_t>(stride * image.height));
  put32le(out, 0);
  put32le(out, offset);
  put32le(out, 40);
  put32le(out, static_cast<uint32_t>(image.width));
  put32le(out, static_cast<uint32_t>(options.top_first ? -image.height : image.height));
  put16le(out, 1);
  put16le(out, static_cast<unsigned>(image.bits));
  put32le(out, 0);
  put32le(out, static_cast<uint32_t>(stride * image.height));
  put32le(out, 2835);
  put32le(out, 2835);
  put32le(out, static_cast<uint32_t>(options.colours_used));
  put32le(out, 0);
  for (int i = 0; i < entries; ++i) {
    out.push_back(palette_byte(image, 3 * i + 2));
    out.push_back(palette_byte(image, 3 * i + 1));
    out.push_back(palette_byte(image, 3 * i));
    out.push_back(0);
  }
  for (int y = 0; y < image.height; ++y) {
    int source_row = options.top_first ? y : image.height - 1 - y;
    const uint8_t* row = image.pixels.data() + static_cast<size_t>(source_row) * row_bytes;
    for (int x = 0; x < image.width; ++x, row += pixel) {
      if (pixel == 3) {
        out.push_back(row[2]);
        out.push_back(row[1]);
        out.push_back(row[0]);
      } else {
        out.insert(out.end(), row, row + pixel);
      }
    }
    out.resize(out.size() + (stride - row_bytes), 0);
  }
  return out;
}

// ---- MDRAW ("mtr") -----------------------------------------------------------

// `data` is the pixel block as stored: plain indices, or packed with method 1
// when `packed` is set (written as "FC").
inline std::vector<uint8_t> Write_Mdraw(int width, int height, const std::vector<uint8_t>& palette,
                                        const std::vector<uint8_t>& data, bool packed = false) {
  using namespace picture_writers;
  char header[51];
  std::snprintf(header, sizeof header, "MDRAW %04X %04X 00FF %s", static_cast<unsigned>(width - 1),
                static_cast<unsigned>(height - 1), packed ? "FC" : "NC");
  std::vector<uint8_t> out(header, header + std::strlen(header));
  out.resize(50, ' ');
  for (size_t i = 0; i < 768; ++i) out.push_back(i < palette.size() ? palette[i] : 0);
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

// ---- MTRD ("mtd", "mta") -----------------------------------------------------

// One chunk: tag, little-endian size counting the 8-byte header, payload.
inline std::vector<uint8_t> Write_Chunk(const char* tag, const std::vector<uint8_t>& payload) {
  using namespace picture_writers;
  std::vector<uint8_t> out(tag, tag + 4);
  put32le(out, static_cast<uint32_t>(payload.size() + 8));
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

inline std::vector<uint8_t> Chunk_U32(const char* tag, uint32_t value) {
  std::vector<uint8_t> payload;
  picture_writers::put32le(payload, value);
  return Write_Chunk(tag, payload);
}

struct Mtrd_Picture {
  uint32_t version = 1284;      // below 1282 writes HEAD, else NAME .. NBFR
  bool write_version = true;    // a VERS chunk
  std::string name;
  int width = 0, height = 0, bits = 8;
  uint32_t pack_method = 0;
  std::vector<uint8_t> palette;              // 768 bytes
  std::vector<uint8_t> data;                 // the pixel block as stored
  std::vector<std::vector<uint8_t>> frames;  // one ANIM payload per frame
};

// The chunks inside the MTRD chunk (so tests can drop or alter some).
inline std::vector<std::vector<uint8_t>> Mtrd_Chunks(const Mtrd_Picture& p) {
  std::vector<std::vector<uint8_t>> chunks;
  if (p.write_version) chunks.push_back(Chunk_U32("VERS", p.version));
  if (p.version < 1282) {
    std::vector<uint8_t> head(16, 0);
    std::memcpy(head.data(), p.name.data(), p.name.size() < 15 ? p.name.size() : 15);
    for (uint32_t v : {p.version, static_cast<uint32_t>(p.width), static_cast<uint32_t>(p.height),
                       static_cast<uint32_t>(p.bits), p.pack_method, static_cast<uint32_t>(p.data.size()),
                       static_cast<uint32_t>(p.frames.size())}) {
      picture_writers::put32le(head, v);
    }
    chunks.push_back(Write_Chunk("HEAD", head));
  } else {
    std::vector<uint8_t> name(256, 0);
    std::memcpy(name.data(), p.name.data(), p.name.size() < 255 ? p.name.size() : 255);
    chunks.push_back(Write_Chunk("NAME", name));
    chunks.push_back(Chunk_U32("SIZX", static_cast<uint32_t>(p.width)));
    chunks.push_back(Chunk_U32("SIZY", static_cast<uint32_t>(p.height)));
    chunks.push_back(Chunk_U32("BITP", static_cast<uint32_t>(p.bits)));
    chunks.push_back(Chunk_U32("PACK", p.pack_method));
    chunks.push_back(Chunk_U32("SIZE", static_cast<uint32_t>(p.data.size())));
    chunks.push_back(Chunk_U32("NBFR", static_cast<uint32_t>(p.frames.size())));
  }
  std::vector<uint8_t> palette = p.palette;
  palette.resize(768, 0);
  chunks.push_back(Write_Chunk("PALE", palette));
  chunks.push_back(Write_Chunk("PICT", p.data));
  for (const auto& frame : p.frames) chunks.push_back(Write_Chunk("ANIM", frame));
  return chunks;
}

// An MTRD file: the MTRD chunk holding the given chunks.
inline std::vector<uint8_t> Write_Mtrd_Chunks(const std::vector<std::vector<uint8_t>>& chunks) {
  std::vector<uint8_t> payload;
  for (const auto& chunk : chunks) payload.insert(payload.end(), chunk.begin(), chunk.end());
  return Write_Chunk("MTRD", payload);
}

inline std::vector<uint8_t> Write_Mtrd(const Mtrd_Picture& picture) {
  return Write_Mtrd_Chunks(Mtrd_Chunks(picture));
}
