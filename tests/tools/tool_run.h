// Running osterlin-tool from tests, and small writers of the inputs people give
// it (8-bit RGB PNG pictures).
#pragma once
#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/png.h"
#include "support/temp_dir.h"

struct Tool_Result {
  int status = -1;
  std::string output;  // stdout
  std::string errors;  // stderr
};

// Runs "osterlin-tool ARGUMENTS" (a shell-quoted text) with no settings file
// unless `environment` sets one.
inline Tool_Result Run_Tool(const Temp_Dir& dir, const std::string& arguments, const std::string& environment = "") {
  const std::string out = dir.file("tool-stdout.txt"), err = dir.file("tool-stderr.txt");
  std::string command = (environment.empty() ? "OSTERLIN_REGISTRY='" + dir.file("no-settings.ini") + "'" : environment) +
                        " '" + OSTERLIN_BIN_DIR + "/osterlin-tool' " + arguments + " >'" + out + "' 2>'" + err + "'";
  const int raw = std::system(command.c_str());
  Tool_Result result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::ifstream o(out), e(err);
  std::getline(o, result.output, '\0');
  std::getline(e, result.errors, '\0');
  return result;
}

inline std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// An 8-bit RGB PNG (rows of R, G, B) in stored deflate blocks.
inline std::vector<uint8_t> Png_Rgb(const std::vector<uint8_t>& rgb, int width, int height) {
  auto be32 = [](std::vector<uint8_t>& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
  };
  auto chunk = [&](std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    be32(out, static_cast<uint32_t>(data.size()));
    const size_t body = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    be32(out, Png_Crc32(out.data() + body, out.size() - body));
  };
  std::vector<uint8_t> raw;
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), rgb.begin() + static_cast<long>(y) * width * 3, rgb.begin() + static_cast<long>(y + 1) * width * 3);
  }
  std::vector<uint8_t> z = {0x78, 0x01};
  for (size_t at = 0; at < raw.size() || at == 0;) {
    const size_t n = std::min<size_t>(65535, raw.size() - at);
    z.push_back(at + n == raw.size() ? 1 : 0);
    z.push_back(static_cast<uint8_t>(n));
    z.push_back(static_cast<uint8_t>(n >> 8));
    z.push_back(static_cast<uint8_t>(~n));
    z.push_back(static_cast<uint8_t>(~n >> 8));
    z.insert(z.end(), raw.begin() + static_cast<long>(at), raw.begin() + static_cast<long>(at + n));
    at += n;
    if (n == 0) break;
  }
  be32(z, Png_Adler32(raw.data(), raw.size()));
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  be32(header, static_cast<uint32_t>(width));
  be32(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});
  chunk(png, "IHDR", header);
  chunk(png, "IDAT", z);
  chunk(png, "IEND", {});
  return png;
}
