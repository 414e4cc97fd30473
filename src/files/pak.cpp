#include "files/pak.h"

#include <cstring>

#include "files/byte_reader.h"
#include "files/file.h"
#include "files/pack_methods.h"
#include "platform/memory.h"

namespace {

// The most output one packed byte can stand for, per method: a two-byte run or
// copy code gives 128 bytes (methods 1, 2), a two-byte copy 64 (method 3), a
// one-bit code one byte (method 4), and two one-bit symbols a 64-byte copy
// (method 5). Claims beyond that cannot be true and are refused before anything
// is allocated.
uint64_t largest_output(uint32_t method, uint64_t packed) {
  static const uint64_t per_byte[6] = {1, 64, 64, 32, 8, 256};
  return packed * per_byte[method] + (method == 0 ? 0 : 64);
}

bool refuse(const char** reason, const char* why) {
  if (reason) *reason = why;
  return false;
}

}  // namespace

bool Pak_Parse_Header(const uint8_t* file, size_t size, Pak_Header& header, const char** reason) {
  std::memset(&header, 0, sizeof header);
  Byte_Reader in(file, size);
  uint8_t magic[4];
  in.bytes(magic, 4);
  in.skip(4);
  in.bytes(header.name, 16);
  header.name[15] = 0;
  header.method = in.u32le();
  header.packed_size = in.u32le();
  header.unpacked_size = in.u32le();
  if (!in.ok()) return refuse(reason, "PAK header cut short");
  if (std::memcmp(magic, "PAKF", 4) != 0) return refuse(reason, "not a PAK file (magic)");
  if (header.method > 5) return refuse(reason, "PAK pack method not 0 to 5");
  if (header.packed_size > in.remaining()) return refuse(reason, "PAK packed size beyond the end of the file");
  if (header.unpacked_size == 0) return refuse(reason, "PAK holds no data");
  if (header.unpacked_size > 0x7FFFFFFFu) return refuse(reason, "PAK unpacked size too large");
  if (header.method == 0 && header.unpacked_size > header.packed_size) {
    return refuse(reason, "stored PAK holds fewer bytes than its unpacked size");
  }
  if (header.unpacked_size > largest_output(header.method, header.packed_size)) {
    return refuse(reason, "PAK unpacked size out of reach of its packed data");
  }
  return true;
}

std::vector<uint8_t> Pak_Build(const char* inner_name, int method, const uint8_t* data, size_t size) {
  if (inner_name == nullptr || std::strlen(inner_name) > 15 || method < 0 || method > 5) return {};
  if (size > 0x7FFFFFFFu) return {};
  std::vector<uint8_t> packed = Pack_Encode(method, data, size);
  if (packed.size() > 0xFFFFFFFFu - Pak_Header_Size) return {};
  std::vector<uint8_t> out(Pak_Header_Size, 0);
  std::memcpy(out.data(), "PAKF", 4);
  std::memcpy(out.data() + 8, inner_name, std::strlen(inner_name));
  auto put32 = [&out](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  put32(24, static_cast<uint32_t>(method));
  put32(28, static_cast<uint32_t>(packed.size()));
  put32(32, static_cast<uint32_t>(size));
  out.insert(out.end(), packed.begin(), packed.end());
  return out;
}

// Unpacks a PAK file into a new block. A refused file (absent, damaged, sizes
// that do not fit, a method other than 0 to 5, a stream that does not decode to
// the full size) leaves *data null and *size 0: nothing for the caller to free.
int Pak_Unpack(char* name_buffer, uint8_t** data, int* size) {
  if (data) *data = nullptr;
  if (size) *size = 0;
  if (name_buffer == nullptr || data == nullptr || size == nullptr) return 0;
  std::vector<uint8_t> file;
  if (!File_Load_Whole(name_buffer, file)) return 0;
  Pak_Header header;
  if (!Pak_Parse_Header(file.data(), file.size(), header)) return 0;
  auto* out = static_cast<uint8_t*>(Mem_Alloc(header.unpacked_size));
  if (Pack_Decode(static_cast<int>(header.method), file.data() + Pak_Header_Size, header.packed_size, out,
                  header.unpacked_size) != 0) {
    Mem_Free(out);
    return 0;
  }
  *data = out;
  *size = static_cast<int>(header.unpacked_size);
  size_t length = std::strlen(header.name);
  std::memcpy(name_buffer, header.name, length + 1);
  return static_cast<int>(length + 1);
}
