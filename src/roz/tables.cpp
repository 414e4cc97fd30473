// Quality scaling, stream splitting and the library's status and message channel.
#include <cstdio>
#include <cstdlib>

#include "roz/roz.h"
#include "roz/roz_internal.h"

#pragma GCC visibility push(hidden)

namespace roz {

int Quality_Scale(int quality) {
  if (quality < 1) quality = 1;
  if (quality > 100) quality = 100;
  return quality >= 50 ? 200 - 2 * quality : 5000 / quality;
}

void Scaled_Table(const int base[64], int scale, int out[64]) {
  for (int i = 0; i < 64; ++i) {
    int v = (scale * base[i] + 50) / 100;
    out[i] = v < 8 ? 8 : (v > 255 ? 255 : v);
  }
}

void Inverse_Multipliers(int quality, int luminance[64], int chrominance[64]) {
  int scale = Quality_Scale(quality);
  Scaled_Table(kBaseLuminance, scale, luminance);
  Scaled_Table(kBaseChrominance, scale, chrominance);
  for (int i = 0; i < 64; ++i) {
    luminance[i] = (kAan[i] * luminance[i]) >> 13;
    chrominance[i] = (kAan[i] * chrominance[i]) >> 13;
  }
}

static uint32_t Read_U32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

bool Split_Stream(const unsigned char* stream, long long length, Stream_Sections& out) {
  out = Stream_Sections{};
  if (stream == nullptr || length < 8) return false;
  uint64_t size = static_cast<uint64_t>(length);
  uint64_t pos = 0;
  // Each length field is read when its four bytes are there; a section is cut
  // to what follows it, and a missing field counts as an empty section.
  auto section = [&](const unsigned char*& data, uint32_t& section_length) {
    if (size - pos < 4) {
      pos = size;
      return;
    }
    uint64_t claimed = Read_U32(stream + pos);
    pos += 4;
    uint64_t available = size - pos;
    section_length = static_cast<uint32_t>(claimed < available ? claimed : available);
    data = stream + pos;
    pos += section_length;
  };
  uint32_t h = Read_U32(stream);
  out.code_count = Read_U32(stream + 4);
  pos = 8;
  uint64_t available = size - pos;
  out.huffman_length = static_cast<uint32_t>(h < available ? h : available);
  out.huffman = stream + pos;
  pos += out.huffman_length;
  section(out.ac, out.ac_length);
  section(out.dc, out.dc_length);
  return true;
}

void Grow_Buffer(unsigned char*& buffer, int& capacity, int needed) {
  if (needed <= capacity) return;
  void* grown = std::realloc(buffer, static_cast<size_t>(needed));
  if (grown == nullptr) {
    std::fprintf(stderr, "roz: out of memory\n");
    std::abort();
  }
  buffer = static_cast<unsigned char*>(grown);
  capacity = needed;
}

namespace {
// The outcome of the last call is kept per thread: decoders running on several
// threads at once each read their own outcome, never another thread's.
thread_local int g_status = 0;
thread_local const char* g_error = "";
Roz_Message_Handler g_handler = nullptr;
}  // namespace

void Set_Status_Ok() {
  g_status = 0;
  g_error = "";
}

void Set_Status_Refused(const char* reason) {
  g_status = -1;
  g_error = reason;
}

void Show_Message(const char* caption, const char* text) {
  if (g_handler != nullptr) {
    g_handler(caption, text);
  } else {
    std::fprintf(stderr, "%s: %s\n", caption, text);
  }
}

}  // namespace roz

#pragma GCC visibility pop

int Roz_Last_Status() { return roz::g_status; }
const char* Roz_Last_Error() { return roz::g_error; }
void Roz_Set_Message_Handler(Roz_Message_Handler handler) { roz::g_handler = handler; }

long long Roz_Max_Stream_Size(long long blocks) {
  if (blocks < 0) blocks = 0;
  // Per block: 189 code bytes of at most 3 bytes of code each, 189 bytes of
  // magnitude bits, 3 DC bytes; then the fixed headers and the frequency table.
  return blocks * 759 + 1024;
}
