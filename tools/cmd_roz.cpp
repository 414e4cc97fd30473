// osterlin-tool roz: encode and decode ROZ streams with the codec library.
// Raw pixel files have no header, rows top first, bytes B, G, R (, X).
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "roz/roz.h"
#include "tool.h"

namespace {

const char* kUsage =
    "osterlin-tool roz encode --quality Q --bpp 24|32 --width W --height H IN OUT\n"
    "osterlin-tool roz decode --quality Q --bpp 24|32 --width W --height H IN OUT\n"
    "osterlin-tool roz encode-blocks --quality Q --bpp 24|32 --count N IN OUT\n"
    "osterlin-tool roz decode-blocks --quality Q --bpp 24|32 --count N IN OUT\n"
    "osterlin-tool roz decode16 --quality Q --variant 16_16|15_16|15_15 --size 640x480|256x6144 IN OUT\n"
    "osterlin-tool roz decode-blocks16 --quality Q --bits 16|15 --count N --pitch P --height H --offsets OFFS IN "
    "OUT";

constexpr long long kMaxSide = 1 << 16;
constexpr long long kMaxBlocks = 1 << 22;

// The library's messages become the command's one line on stderr.
std::string g_message;
void Keep_Message(const char*, const char* text) { g_message = text; }

struct Options {
  std::vector<std::string> args;
  std::string error;

  // Takes "--flag N" with N in low..high.
  bool Int(const std::string& flag, long long low, long long high, long long& value) {
    std::string text;
    if (!Tool_Take_Option(args, flag, text)) {
      if (error.empty()) error = "missing " + flag;
      return false;
    }
    if (!Tool_Parse_Int(text, value) || value < low || value > high) {
      if (error.empty()) error = "bad value for " + flag + ": " + text;
      return false;
    }
    return true;
  }
  bool Choice(const std::string& flag, const std::vector<std::string>& allowed, std::string& value) {
    if (!Tool_Take_Option(args, flag, value)) {
      if (error.empty()) error = "missing " + flag;
      return false;
    }
    for (const auto& a : allowed) {
      if (a == value) return true;
    }
    if (error.empty()) error = "bad value for " + flag + ": " + value;
    return false;
  }
};

int Usage(const std::string& message) { return Tool_Usage_Error("roz", message); }

int Write_Or_Fail(const std::string& path, const void* data, size_t size) {
  if (!Tool_Write_File(path, data, size)) return Tool_Fail("cannot write " + path);
  return Tool_Ok;
}

int Decode_Status() {
  if (Roz_Last_Status() != 0) return Tool_Fail(g_message.empty() ? Roz_Last_Error() : g_message);
  return Tool_Ok;
}

std::vector<unsigned char> Little_Endian(const std::vector<unsigned short>& pixels) {
  std::vector<unsigned char> bytes(pixels.size() * 2);
  for (size_t i = 0; i < pixels.size(); ++i) {
    bytes[2 * i] = static_cast<unsigned char>(pixels[i]);
    bytes[2 * i + 1] = static_cast<unsigned char>(pixels[i] >> 8);
  }
  return bytes;
}

// encode / decode / encode-blocks / decode-blocks.
int Run_Rgb(const std::string& action, Options& o) {
  long long quality = 0, bpp = 0, width = 0, height = 0, count = 0;
  const bool blocks = action == "encode-blocks" || action == "decode-blocks";
  bool ok = o.Int("--quality", 1, 100, quality) & o.Int("--bpp", 24, 32, bpp);
  if (blocks) {
    ok = o.Int("--count", 1, kMaxBlocks, count) && ok;
  } else {
    ok = o.Int("--width", 8, kMaxSide, width) && ok;
    ok = o.Int("--height", 8, kMaxSide, height) && ok;
  }
  if (!ok) return Usage(o.error);
  if (bpp != 24 && bpp != 32) return Usage("bad value for --bpp");
  if (!blocks && (width % 8 != 0 || height % 8 != 0)) return Usage("width and height must be multiples of 8");
  if (!blocks && (width / 8) * (height / 8) > kMaxBlocks) return Usage("picture too large");
  if (o.args.size() != 2) return Usage("expected IN and OUT");
  std::vector<unsigned char> in;
  if (!Tool_Read_File(o.args[0], in)) return Tool_Fail("cannot read " + o.args[0]);

  const long long bytes_per_pixel = bpp / 8;
  const long long pixel_bytes = blocks ? count * 64 * bytes_per_pixel : width * height * bytes_per_pixel;
  const long long block_count = blocks ? count : (width / 8) * (height / 8);
  ROZ codec;
  g_message.clear();
  Roz_Set_Message_Handler(Keep_Message);
  if (action == "encode" || action == "encode-blocks") {
    if (static_cast<long long>(in.size()) != pixel_bytes) {
      return Tool_Fail(o.args[0] + ": expected " + std::to_string(pixel_bytes) + " bytes of pixels, found " +
                       std::to_string(in.size()));
    }
    std::vector<unsigned char> out(static_cast<size_t>(Roz_Max_Stream_Size(block_count)));
    int length = 0;
    const int q = static_cast<int>(quality);
    if (action == "encode") {
      if (bpp == 24) codec.Pack_Picture_Rgb_24(out.data(), &length, in.data(), int(width), int(height), q);
      else codec.Pack_Picture_Rgb_32(out.data(), &length, in.data(), int(width), int(height), q);
    } else {
      if (bpp == 24) codec.Pack_Bloc_Rgb_24(out.data(), &length, in.data(), int(count), q);
      else codec.Pack_Bloc_Rgb_32(out.data(), &length, in.data(), int(count), q);
    }
    return Write_Or_Fail(o.args[1], out.data(), static_cast<size_t>(length));
  }
  if (in.size() > 0x7FFFFFFF) return Tool_Fail(o.args[0] + ": stream too large");
  std::vector<unsigned char> out(static_cast<size_t>(pixel_bytes), 0);
  const int q = static_cast<int>(quality), length = static_cast<int>(in.size());
  if (action == "decode") {
    if (bpp == 24) codec.Unpack_Picture_Rgb_24(out.data(), int(width), int(height), in.data(), length, q);
    else codec.Unpack_Picture_Rgb_32(out.data(), int(width), int(height), in.data(), length, q);
  } else {
    if (bpp == 24) codec.Unpack_Bloc_Rgb_24(out.data(), int(count), in.data(), length, q);
    else codec.Unpack_Bloc_Rgb_32(out.data(), int(count), in.data(), length, q);
  }
  if (int status = Decode_Status(); status != Tool_Ok) return status;
  return Write_Or_Fail(o.args[1], out.data(), out.size());
}

int Run_Decode16(Options& o) {
  long long quality = 0;
  std::string variant, size;
  bool ok = o.Int("--quality", 1, 100, quality);
  ok = o.Choice("--variant", {"16_16", "15_16", "15_15"}, variant) && ok;
  ok = o.Choice("--size", {"640x480", "256x6144"}, size) && ok;
  if (!ok) return Usage(o.error);
  if (o.args.size() != 2) return Usage("expected IN and OUT");
  std::vector<unsigned char> in;
  if (!Tool_Read_File(o.args[0], in)) return Tool_Fail("cannot read " + o.args[0]);
  if (in.size() > 0x7FFFFFFF) return Tool_Fail(o.args[0] + ": stream too large");
  const bool panorama = size == "256x6144";
  std::vector<unsigned short> pixels(panorama ? 256 * 6144 : 640 * 480, 0);
  g_message.clear();
  Roz_Set_Message_Handler(Keep_Message);
  using Decoder = void (*)(unsigned short*, unsigned char*, int, int);
  Decoder decoder;
  if (panorama) {
    decoder = variant == "16_16"   ? Unpack_Picture_Rgb_16_16_256_6144
              : variant == "15_16" ? Unpack_Picture_Rgb_15_16_256_6144
                                   : Unpack_Picture_Rgb_15_15_256_6144;
  } else {
    decoder = variant == "16_16"   ? Unpack_Picture_Rgb_16_16_640_480
              : variant == "15_16" ? Unpack_Picture_Rgb_15_16_640_480
                                   : Unpack_Picture_Rgb_15_15_640_480;
  }
  decoder(pixels.data(), in.data(), static_cast<int>(in.size()), static_cast<int>(quality));
  if (int status = Decode_Status(); status != Tool_Ok) return status;
  std::vector<unsigned char> bytes = Little_Endian(pixels);
  return Write_Or_Fail(o.args[1], bytes.data(), bytes.size());
}

int Run_Decode_Blocks16(Options& o) {
  long long quality = 0, bits = 0, count = 0, pitch = 0, height = 0;
  std::string offsets_path;
  bool ok = o.Int("--quality", 1, 100, quality);
  ok = o.Int("--bits", 15, 16, bits) && ok;
  ok = o.Int("--count", 1, kMaxBlocks, count) && ok;
  ok = o.Int("--pitch", 8, kMaxSide, pitch) && ok;
  ok = o.Int("--height", 8, kMaxSide, height) && ok;
  if (!Tool_Take_Option(o.args, "--offsets", offsets_path) && ok) {
    ok = false;
    o.error = "missing --offsets";
  }
  if (!ok) return Usage(o.error);
  if (o.args.size() != 2) return Usage("expected IN and OUT");

  std::ifstream file(offsets_path);
  if (!file) return Tool_Fail("cannot read " + offsets_path);
  std::vector<int> offsets;
  std::string word;
  while (file >> word) {
    long long offset = 0;
    if (!Tool_Parse_Int(word, offset)) return Tool_Fail(offsets_path + ": not a number: " + word);
    // The whole 8 x 8 block must lie inside the P x H picture.
    if (offset < 0 || offset % pitch > pitch - 8 || offset / pitch > height - 8) {
      return Tool_Fail(offsets_path + ": block at offset " + word + " falls outside the picture");
    }
    offsets.push_back(static_cast<int>(offset));
  }
  if (static_cast<long long>(offsets.size()) != count) {
    return Tool_Fail(offsets_path + ": expected " + std::to_string(count) + " offsets, found " +
                     std::to_string(offsets.size()));
  }
  std::vector<unsigned char> in;
  if (!Tool_Read_File(o.args[0], in)) return Tool_Fail("cannot read " + o.args[0]);
  if (in.size() > 0x7FFFFFFF) return Tool_Fail(o.args[0] + ": stream too large");
  std::vector<unsigned short> picture(static_cast<size_t>(pitch * height), 0);
  g_message.clear();
  Roz_Set_Message_Handler(Keep_Message);
  ROZ codec;
  codec.Unpack_Bloc_Rgb_16(picture.data(), offsets.data(), static_cast<int>(count), static_cast<int>(pitch),
                           in.data(), static_cast<int>(in.size()), static_cast<int>(quality), static_cast<int>(bits));
  if (int status = Decode_Status(); status != Tool_Ok) return status;
  std::vector<unsigned char> bytes = Little_Endian(picture);
  return Write_Or_Fail(o.args[1], bytes.data(), bytes.size());
}

int Run(const std::vector<std::string>& args) {
  if (args.empty()) return Usage("missing action");
  Options o{std::vector<std::string>(args.begin() + 1, args.end()), {}};
  const std::string& action = args[0];
  if (action == "encode" || action == "decode" || action == "encode-blocks" || action == "decode-blocks") {
    return Run_Rgb(action, o);
  }
  if (action == "decode16") return Run_Decode16(o);
  if (action == "decode-blocks16") return Run_Decode_Blocks16(o);
  return Usage("unknown action " + action);
}

const Tool_Registration kRegistration({"roz", kUsage, "encode and decode ROZ picture streams", Run});

}  // namespace
