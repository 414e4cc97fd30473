// Sample inputs for pack-method tests and benchmarks: a synthetic 640 x 480
// 16-bit picture (gradients, shapes, some noise), text, runs and noise. Header
// only, so the benchmarks use the same data without the test support library.
#pragma once
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

inline std::vector<uint8_t> Sample_Picture_16(int width = 640, int height = 480, uint32_t seed = 1) {
  std::mt19937 rng(seed);
  std::vector<uint16_t> pixels(static_cast<size_t>(width) * height);
  // Sky gradient top to bottom, ground gradient left to right.
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int r, g, b;
      if (y < height / 2) {
        r = 40 + y * 100 / height;
        g = 80 + y * 200 / height;
        b = 200 + y * 50 / height;
      } else {
        r = 90 + x * 60 / width;
        g = 70 + x * 40 / width;
        b = 30 + (y - height / 2) * 40 / height;
      }
      pixels[static_cast<size_t>(y) * width + x] =
          static_cast<uint16_t>(((r & 0xF8) << 8) | ((g & 0xFC) << 3) | (b >> 3));
    }
  }
  // Flat rectangles and discs.
  for (int i = 0; i < 24; ++i) {
    const int cx = static_cast<int>(rng() % width), cy = static_cast<int>(rng() % height);
    const int w = 10 + static_cast<int>(rng() % 120), h = 10 + static_cast<int>(rng() % 90);
    const uint16_t colour = static_cast<uint16_t>(rng());
    const bool disc = i % 2 == 0;
    for (int y = cy; y < cy + h && y < height; ++y) {
      for (int x = cx; x < cx + w && x < width; ++x) {
        const int dx = 2 * (x - cx) - w, dy = 2 * (y - cy) - h;
        if (disc && static_cast<long>(dx) * dx * h * h + static_cast<long>(dy) * dy * w * w >
                        static_cast<long>(w) * w * h * h) {
          continue;
        }
        pixels[static_cast<size_t>(y) * width + x] = colour;
      }
    }
  }
  // Sensor-like noise in the low bits of a band of the picture.
  for (int y = height / 3; y < height * 2 / 3; ++y) {
    for (int x = 0; x < width; ++x) {
      if (rng() % 3 == 0) pixels[static_cast<size_t>(y) * width + x] ^= static_cast<uint16_t>(rng() & 0x0821);
    }
  }
  std::vector<uint8_t> bytes(pixels.size() * 2);
  for (size_t i = 0; i < pixels.size(); ++i) {
    bytes[2 * i] = static_cast<uint8_t>(pixels[i]);
    bytes[2 * i + 1] = static_cast<uint8_t>(pixels[i] >> 8);
  }
  return bytes;
}

inline std::vector<uint8_t> Sample_Text(size_t size, uint32_t seed = 2) {
  static const char* const words[] = {
      "GOTOWARP", "PLAYSOUND", "the", "hall", "door", "of", "and", "a", "stair", "tower", "BOOL",
      "SETBOOL", "key", "into", "light", "water", "garden", "clock", "ENDTEST", "0,0,640,480",
      "warp", "cursor", "north", "south", "music", "chapel", "library", "1", "22", "333"};
  std::mt19937 rng(seed);
  std::string text;
  while (text.size() < size) {
    const int n = 3 + static_cast<int>(rng() % 9);
    for (int i = 0; i < n; ++i) {
      text += words[rng() % (sizeof words / sizeof words[0])];
      text += i + 1 < n ? " " : "\r\n";
    }
  }
  return std::vector<uint8_t>(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(size));
}

inline std::vector<uint8_t> Sample_Noise(size_t size, uint32_t seed = 3) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> bytes(size);
  for (auto& b : bytes) b = static_cast<uint8_t>(rng());
  return bytes;
}

inline std::vector<uint8_t> Sample_Runs(size_t size, uint32_t seed = 4) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> bytes;
  while (bytes.size() < size) {
    const size_t run = 1 + rng() % 300;
    const uint8_t value = static_cast<uint8_t>(rng() % 4);
    bytes.insert(bytes.end(), run, value);
  }
  bytes.resize(size);
  return bytes;
}
