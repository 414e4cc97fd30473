#include "support/picture_writers.h"

#include <map>

namespace {

void put16le(std::vector<uint8_t>& out, unsigned v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void put16be(std::vector<uint8_t>& out, unsigned v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}
void put32be(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// Writes codes least significant bit first into 255-byte sub-blocks.
class Code_Writer {
 public:
  void put(int code, int size) {
    accumulator_ |= static_cast<uint32_t>(code) << bits_;
    bits_ += size;
    while (bits_ >= 8) {
      bytes_.push_back(static_cast<uint8_t>(accumulator_));
      accumulator_ >>= 8;
      bits_ -= 8;
    }
  }
  void finish(std::vector<uint8_t>& out) {
    if (bits_ > 0) bytes_.push_back(static_cast<uint8_t>(accumulator_));
    for (size_t i = 0; i < bytes_.size(); i += 255) {
      size_t n = bytes_.size() - i < 255 ? bytes_.size() - i : 255;
      out.push_back(static_cast<uint8_t>(n));
      out.insert(out.end(), bytes_.begin() + i, bytes_.begin() + i + n);
    }
    out.push_back(0);
  }

 private:
  std::vector<uint8_t> bytes_;
  uint32_t accumulator_ = 0;
  int bits_ = 0;
};

void lzw_encode(const std::vector<uint8_t>& pixels, int min_size, int clear_every, std::vector<uint8_t>& out) {
  const int clear = 1 << min_size, end = clear + 1;
  Code_Writer writer;
  std::map<std::pair<int, int>, int> table;
  int code_size = min_size + 1, next = clear + 2, codes = 0;
  writer.put(clear, code_size);
  auto reset = [&] {
    writer.put(clear, code_size);
    table.clear();
    code_size = min_size + 1;
    next = clear + 2;
    codes = 0;
  };
  int current = -1;
  for (uint8_t p : pixels) {
    if (current < 0) {
      current = p;
      continue;
    }
    auto found = table.find({current, p});
    if (found != table.end()) {
      current = found->second;
      continue;
    }
    writer.put(current, code_size);
    ++codes;
    // The decoder defines entry `next` after each code but the first; the width
    // grows once `next` reaches the width's limit.
    if (next < 4096) {
      table[{current, p}] = next++;
      if (next > (1 << code_size) && code_size < 12) ++code_size;
    }
    current = p;
    if (next >= 4096 || (clear_every && codes >= clear_every)) reset();
  }
  if (current >= 0) {
    writer.put(current, code_size);
    // Reading that last code, the decoder defines one more entry than we did and
    // may widen its codes before the end code.
    if (codes > 0 && next == (1 << code_size) && code_size < 12) ++code_size;
  }
  writer.put(end, code_size);
  writer.finish(out);
}

void colour_table(const Picture_Image& image, int entries, std::vector<uint8_t>& out) {
  for (int i = 0; i < entries * 3; ++i) {
    out.push_back(static_cast<size_t>(i) < image.palette.size() ? image.palette[static_cast<size_t>(i)] : 0);
  }
}

}  // namespace

std::vector<uint8_t> Write_Gif(const Picture_Image& image, const Gif_Options& options) {
  std::vector<uint8_t> out;
  std::string signature = options.signature.empty() ? (options.version_89a ? "GIF89a" : "GIF87a") : options.signature;
  out.insert(out.end(), signature.begin(), signature.end());
  put16le(out, static_cast<unsigned>(image.width));
  put16le(out, static_cast<unsigned>(image.height));
  int table_bits = options.min_code_size < 2 ? 1 : options.min_code_size - 1;  // 2^(table_bits+1) entries
  out.push_back(static_cast<uint8_t>(options.local_table ? 0 : 0x80 | table_bits));
  out.push_back(0);
  out.push_back(0);
  if (!options.local_table) colour_table(image, 2 << table_bits, out);
  if (options.comment) {
    out.insert(out.end(), {0x21, 0xFE, 5, ',', ',', 'x', ',', ',', 0});
    out.insert(out.end(), {0x21, 0xF9, 4, 0, 0, 0, 0, 0});  // graphic control
  }
  out.push_back(0x2C);
  put16le(out, 0);
  put16le(out, 0);
  put16le(out, static_cast<unsigned>(image.width));
  put16le(out, static_cast<unsigned>(image.height));
  out.push_back(static_cast<uint8_t>((options.local_table ? 0x80 | table_bits : 0) | (options.interlaced ? 0x40 : 0)));
  if (options.local_table) colour_table(image, 2 << table_bits, out);
  std::vector<uint8_t> ordered;
  if (options.interlaced) {
    static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
      for (int y = start[pass]; y < image.height; y += step[pass]) {
        auto row = image.pixels.begin() + static_cast<size_t>(y) * image.width;
        ordered.insert(ordered.end(), row, row + image.width);
      }
    }
  } else {
    ordered = image.pixels;
  }
  out.push_back(static_cast<uint8_t>(options.min_code_size));
  lzw_encode(ordered, options.min_code_size, options.clear_every, out);
  out.push_back(0x3B);
  return out;
}

std::vector<uint8_t> Write_Iff(const Picture_Image& image, const Iff_Options& options) {
  auto chunk = [](std::vector<uint8_t>& out, const char* tag, const std::vector<uint8_t>& payload) {
    out.insert(out.end(), tag, tag + 4);
    put32be(out, static_cast<uint32_t>(payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
    if (payload.size() & 1) out.push_back(0);
  };
  std::vector<uint8_t> header;
  put16be(header, static_cast<unsigned>(image.width));
  put16be(header, static_cast<unsigned>(image.height));
  put16be(header, 0);
  put16be(header, 0);
  header.push_back(static_cast<uint8_t>(options.planes));
  header.push_back(0);
  header.push_back(options.byte_run ? 1 : 0);
  header.push_back(0);
  put16be(header, 0);
  header.push_back(10);
  header.push_back(11);
  put16be(header, static_cast<unsigned>(image.width));
  put16be(header, static_cast<unsigned>(image.height));

  std::vector<uint8_t> colours;
  colour_table(image, options.colours, colours);

  size_t stride = static_cast<size_t>(image.width + (image.width & 1));
  std::vector<uint8_t> body;
  for (int y = 0; y < image.height; ++y) {
    std::vector<uint8_t> row(image.pixels.begin() + static_cast<size_t>(y) * image.width,
                             image.pixels.begin() + static_cast<size_t>(y + 1) * image.width);
    row.resize(stride, 0);
    if (!options.byte_run) {
      body.insert(body.end(), row.begin(), row.end());
      continue;
    }
    for (size_t i = 0; i < row.size();) {
      size_t run = 1;
      while (i + run < row.size() && run < 128 && row[i + run] == row[i]) ++run;
      if (run >= 2) {
        body.push_back(static_cast<uint8_t>(257 - run));
        body.push_back(row[i]);
        i += run;
        continue;
      }
      size_t literal = 1;
      while (i + literal < row.size() && literal < 128 &&
             !(i + literal + 1 < row.size() && row[i + literal] == row[i + literal + 1])) {
        ++literal;
      }
      body.push_back(static_cast<uint8_t>(literal - 1));
      body.insert(body.end(), row.begin() + i, row.begin() + i + literal);
      i += literal;
    }
  }

  std::vector<uint8_t> form(options.form, options.form + 4);
  chunk(form, "BMHD", header);
  chunk(form, "CMAP", colours);
  if (options.extra_chunk) chunk(form, "DPPS", {1, 2, 3});
  chunk(form, "BODY", body);
  std::vector<uint8_t> out;
  chunk(out, "FORM", form);
  return out;
}

Picture_Image Test_Image(int width, int height, int bits, unsigned seed) {
  Picture_Image image;
  image.width = width;
  image.height = height;
  image.bits = bits;
  image.palette.resize(768);
  for (int i = 0; i < 256; ++i) {
    image.palette[3 * i] = static_cast<uint8_t>(i);
    image.palette[3 * i + 1] = static_cast<uint8_t>(255 - i);
    image.palette[3 * i + 2] = static_cast<uint8_t>(i * 7);
  }
  size_t bytes = static_cast<size_t>(width) * height * (bits / 8);
  image.pixels.resize(bytes);
  uint32_t state = seed * 2654435761u + 12345;
  for (size_t i = 0; i < bytes; ++i) {
    // Runs of equal values mixed with noise, so run-length coders see both.
    state = state * 1103515245u + 12345u;
    image.pixels[i] = (state >> 28) < 6 ? static_cast<uint8_t>(i / 7) : static_cast<uint8_t>(state >> 16);
  }
  if (bits == 16) {
    for (size_t i = 1; i < bytes; i += 2) image.pixels[i] &= 0x7F;  // x-5-5-5: top bit clear
  }
  return image;
}
