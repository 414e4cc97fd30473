// Reading animation files: the header of every version, and frame-by-frame
// decoding of picture and sound. The file stays open in its slot; each chunk is
// found from the current search position and read in one piece into a buffer
// sized at open, so playback allocates nothing.
#include "anim/anim_file.h"

#include <cstring>

#include "files/file.h"
#include "files/pack_methods.h"
#include "pictures/picture_load.h"
#include "platform/byte_order.h"
#include "platform/memory.h"

namespace {

// How an unpacked "SAMP" payload becomes the samples that are played.
enum Sound_Form {
  Form_Pcm = 0,        // played as it is
  Form_Delta_8 = 1,    // signed 8-bit deltas scaled by 256 (16-bit mono)
  Form_Delta_Table = 2,  // codes through the delta table (16-bit, mono or stereo)
};

// Each LZ method turns one byte (or one Huffman-coded bit) into at most 64
// output bytes, so no stream can unpack to more than 512 times its size. A
// header that claims more than that from the data it has is damaged.
constexpr uint64_t Max_Expansion = 512;
constexpr uint64_t Max_Frame_Bytes = 64u << 20;
constexpr uint64_t Max_Sound_Bytes = 16u << 20;
// A packed payload may exceed its plain size by the packers' worst case.
constexpr uint32_t Read_Slack = 2048;

const int16_t delta_table[256] = {
    -32765, -32411, -32059, -31709, -31360, -31014, -30670, -30327, -29986, -29647, -29310, -28975, -28642,
    -28310, -27980, -27652, -27326, -27001, -26678, -26357, -26038, -25721, -25405, -25091, -24778, -24467,
    -24158, -23851, -23545, -23241, -22938, -22638, -22338, -22041, -21745, -21450, -21158, -20866, -20577,
    -20289, -20002, -19717, -19434, -19152, -18872, -18593, -18315, -18039, -17765, -17492, -17221, -16951,
    -16682, -16415, -16150, -15885, -15623, -15361, -15101, -14843, -14586, -14330, -14076, -13823, -13571,
    -13321, -13072, -12825, -12578, -12333, -12090, -11848, -11607, -11367, -11129, -10892, -10656, -10421,
    -10188, -9956,  -9725,  -9496,  -9268,  -9041,  -8815,  -8590,  -8367,  -8145,  -7924,  -7704,  -7486,
    -7268,  -7052,  -6837,  -6623,  -6410,  -6199,  -5988,  -5779,  -5571,  -5364,  -5158,  -4953,  -4750,
    -4547,  -4345,  -4145,  -3946,  -3747,  -3550,  -3354,  -3159,  -2965,  -2772,  -2580,  -2389,  -2199,
    -2011,  -1823,  -1636,  -1450,  -1265,  -1082,  -899,   -717,   -536,   -356,   -177,   0,      179,
    359,    540,    723,    906,    1090,   1276,   1462,   1649,   1837,   2027,   2217,   2409,   2601,
    2795,   2989,   3185,   3382,   3580,   3779,   3979,   4180,   4382,   4585,   4790,   4995,   5202,
    5409,   5618,   5828,   6040,   6252,   6466,   6680,   6896,   7113,   7331,   7551,   7772,   7993,
    8216,   8441,   8666,   8893,   9121,   9350,   9581,   9813,   10046,  10280,  10515,  10752,  10990,
    11230,  11471,  11713,  11956,  12201,  12447,  12694,  12943,  13193,  13445,  13698,  13952,  14208,
    14465,  14723,  14983,  15245,  15507,  15771,  16037,  16304,  16573,  16843,  17114,  17387,  17662,
    17938,  18215,  18494,  18775,  19057,  19340,  19626,  19912,  20201,  20490,  20782,  21075,  21370,
    21666,  21964,  22263,  22564,  22867,  23172,  23478,  23786,  24095,  24406,  24719,  25034,  25350,
    25668,  25988,  26310,  26633,  26958,  27285,  27613,  27944,  28276,  28610,  28946,  29284,  29623,
    29965,  30308,  30653,  31000,  31349,  31700,  32053,  32408,  32765,
};

// The header chunks of the MTRD payload, read through the open slot.
class Header_Reader {
 public:
  Header_Reader(int slot, int file_size, int start, int end)
      : slot_(slot), file_size_(file_size), start_(start), end_(end) {}

  // Finds `tag` in the whole payload; its payload range.
  bool find(const char* tag, int& payload, int& size) const {
    int s = start_, e = end_;
    if (Chunk_Find(slot_, file_size_, tag, &s, &e) != 0) return false;
    payload = s + 8;
    size = e - s - 8;
    return true;
  }
  // Reads up to `count` payload bytes of `tag` (zero-filled); false when absent
  // or shorter than `minimum`.
  bool read(const char* tag, uint8_t* out, int count, int minimum) const {
    int payload, size;
    if (!find(tag, payload, size) || size < minimum) return false;
    std::memset(out, 0, static_cast<size_t>(count));
    int n = size < count ? size : count;
    File_Seek(slot_, payload, 0);
    return File_Read(slot_, out, n) == n;
  }
  bool u32(const char* tag, uint32_t& value) const {
    uint8_t b[4];
    if (!read(tag, b, 4, 4)) return false;
    value = Load_Le32(b);
    return true;
  }
  // An optional field: `fallback` when absent; false only when present but damaged.
  bool u32_or(const char* tag, uint32_t& value, uint32_t fallback) const {
    int payload, size;
    if (!find(tag, payload, size)) {
      value = fallback;
      return true;
    }
    return u32(tag, value);
  }

 private:
  int slot_, file_size_, start_, end_;
};

struct Header {
  char name[256] = {};
  uint32_t version = 1280;
  uint32_t width = 0, height = 0, bits = 0, pack = 0, frames = 0;
  uint32_t fps = 15, rate = 0, sound_bits = 0, stereo = 0, sound_method = 0, sound_bytes = 0;
};

bool read_sound_block(const Header_Reader& r, Header& h) {
  uint8_t anih[20];
  if (!r.read("ANIH", anih, 20, 20)) {
    int payload, size;
    // A damaged sound header is refused; a missing one means 15 fps, no sound.
    if (r.find("ANIH", payload, size)) return false;
    h.fps = 15;
    h.rate = 0;
    return true;
  }
  h.fps = Load_Le32(anih);
  h.rate = Load_Le32(anih + 4);
  h.sound_bits = Load_Le32(anih + 8);
  h.stereo = Load_Le32(anih + 12);
  h.sound_method = Load_Le32(anih + 16);
  return true;
}

bool read_header(const Header_Reader& r, Header& h) {
  if (!r.u32_or("VERS", h.version, 1280)) return false;
  if (h.version < 1280 || h.version > 1284) return false;
  int payload, size;
  if (h.version < 1282) {
    uint8_t head[44];
    if (!r.read("HEAD", head, 44, 44)) return false;
    std::memcpy(h.name, head, 15);
    // The version stored in "HEAD" replaces the one from "VERS", whatever it
    // is: it alone selects the sound header and the sound form below.
    h.version = Load_Le32(head + 16);
    if (h.version < 1280 || h.version > 1284) return false;
    h.width = Load_Le32(head + 20);
    h.height = Load_Le32(head + 24);
    h.bits = Load_Le32(head + 28);
    h.pack = Load_Le32(head + 32);
    h.frames = Load_Le32(head + 40);
  } else {
    if (!r.find("NAME", payload, size)) return false;
    uint8_t name[255];
    r.read("NAME", name, 255, 0);
    size_t n = strnlen(reinterpret_cast<const char*>(name), 255);
    std::memcpy(h.name, name, n);
    if (!r.u32("SIZX", h.width) || !r.u32("SIZY", h.height) || !r.u32("BITP", h.bits)) return false;
    if (h.version < 1284 || h.bits != 0) {
      uint32_t data_size;
      if (!r.u32("PACK", h.pack) || !r.u32("SIZE", data_size)) return false;
    }
    if (!r.u32("NBFR", h.frames)) return false;
  }

  if (h.version <= 1282) {
    if (!read_sound_block(r, h)) return false;
  } else if (h.version == 1283) {
    if (!r.u32_or("FSEC", h.fps, 15) || !r.u32_or("SFRE", h.rate, 0) || !r.u32_or("SBIT", h.sound_bits, 0) ||
        !r.u32_or("STER", h.stereo, 0) || !r.u32_or("SCRU", h.sound_method, 0))
      return false;
  } else {
    if (!r.u32("FSEC", h.fps) || !r.u32("SFRE", h.rate)) return false;
    if (h.rate != 0 && (!r.u32("SSIZ", h.sound_bytes) || !r.u32("SBIT", h.sound_bits) ||
                        !r.u32("STER", h.stereo) || !r.u32("SCRU", h.sound_method)))
      return false;
  }
  if (h.version == 1280) {
    h.sound_bits = 16;
    h.stereo = 0;
    h.sound_method = 3;
  }
  // A rate of 0 frames per second would divide by zero; such a file plays at the
  // default rate.
  if (h.fps == 0) h.fps = 15;
  if (h.rate != 0 && h.version < 1284) {
    if (h.version == 1280) {
      h.sound_bytes = (h.rate / h.fps) * 2;
    } else {
      uint64_t bytes = (static_cast<uint64_t>(h.sound_bits / 8) * h.rate << (h.stereo ? 1 : 0)) / h.fps;
      h.sound_bytes = bytes > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(bytes);
    }
  }
  return true;
}

void free_player(Anim_Player* p) {
  if (p->slot >= 0) File_Close(p->slot);
  Picture_Free(p->picture);
  Sound_Free(p->sound);  // sound_out, when there is one, is the record's samples
  Mem_Free(p->frame_block);
  Mem_Free(p->sound_block);
  Mem_Free(p->read_buffer);
  Mem_Free(p);
}

// Unpacks `size` payload bytes from the read buffer into `dst` (dst_size bytes,
// with Anim_History bytes of history before it). A stream that ends before the
// output is full (the shorter sound of a last frame) or that turns out damaged
// keeps what it decoded: playback goes on with it. The decoder never reads or
// writes outside its buffers, so nothing else is at risk.
void unpack(int method, const uint8_t* src, uint32_t size, uint8_t* dst, uint32_t dst_size) {
  Pack_Decode(method, src, size, dst, dst_size, Anim_History);
}

// Frames are packed with the LZ methods, plain or Huffman-coded, with or without
// skip codes; a frame of any other method leaves the picture as it was.
bool frame_method_decodes(int method) { return method == 3 || method == 5 || method == 6 || method == 7; }
// Sound is packed with method 3 or 5; other methods leave the sound as it was.
bool sound_method_decodes(int method) { return method == 3 || method == 5; }

// The stored byte that stands for silence in the sound block: the 8-bit PCM
// midpoint, 16-bit zero, or a delta (code) that adds nothing. A sound chunk that
// unpacks short leaves the rest of the frame at this value.
uint8_t silence_byte(const Anim_Player* p) {
  if (p->sound_form == Form_Delta_Table) return 128;
  if (p->sound_form == Form_Pcm && p->sound->bits == 8) return 0x80;
  return 0;
}

// Reads the next chunk `tag` from the search position into the read buffer.
// 1 when read, 0 when there is none, -1 when it is damaged.
int read_next_chunk(Anim_Player* p, const char* tag, uint32_t& size) {
  int start = p->search, end = p->payload_end;
  if (start >= end || Chunk_Find(p->slot, p->file_size, tag, &start, &end) != 0) return 0;
  size = static_cast<uint32_t>(end - start - 8);
  if (size > p->read_size) return -1;
  File_Seek(p->slot, start + 8, 0);
  if (File_Read(p->slot, p->read_buffer, static_cast<int>(size)) != static_cast<int>(size)) return -1;
  p->search = end;
  return 1;
}

// Copies the tail of the block's current content in front of it as history.
void keep_history(uint8_t* block, uint32_t size) {
  uint32_t n = size < Anim_History ? size : Anim_History;
  std::memmove(block + Anim_History - n, block + Anim_History + size - n, n);
}

bool decode_picture(Anim_Player* p) {
  uint8_t* frame = p->frame_block + Anim_History;
  int method = static_cast<int>(p->picture->pack_method);
  keep_history(p->frame_block, p->frame_size);
  uint32_t size = 0;
  if (p->frame_index == 0) {
    size = static_cast<uint32_t>(p->pict_size);
    File_Seek(p->slot, p->pict_start, 0);
    if (File_Read(p->slot, p->read_buffer, p->pict_size) != p->pict_size) return false;
    if (method == 6 || method == 7) std::memset(frame, 0, p->frame_size);
  } else {
    int found = read_next_chunk(p, "ANIM", size);
    if (found <= 0) return found == 0;  // a missing frame keeps the previous one
  }
  if (frame_method_decodes(method)) unpack(method, p->read_buffer, size, frame, p->frame_size);
  return true;
}

bool decode_sound(Anim_Player* p) {
  if (p->frame_index == 0) {
    std::memset(p->sound_block, 0, Anim_History);
  } else {
    keep_history(p->sound_block, p->sound_packed);
  }
  uint32_t size = 0;
  int found = read_next_chunk(p, "SAMP", size);
  if (found <= 0) return found == 0;
  int method = static_cast<int>(p->sound_method);
  if (!sound_method_decodes(method)) return true;
  uint8_t* data = p->sound_block + Anim_History;
  std::memset(data, silence_byte(p), p->sound_packed);
  unpack(method, p->read_buffer, size, data, p->sound_packed);
  if (p->sound_form == Form_Delta_8) {
    auto* out = reinterpret_cast<int16_t*>(p->sound_out);
    uint16_t sum = 0;
    for (uint32_t i = 0; i < p->sound_packed; ++i) {
      sum = static_cast<uint16_t>(sum + static_cast<uint16_t>(static_cast<int8_t>(data[i]) * 256));
      out[i] = static_cast<int16_t>(sum);
    }
  } else if (p->sound_form == Form_Delta_Table) {
    Anim_Delta_Decode(data, p->sound_packed, p->sound->stereo != 0, reinterpret_cast<int16_t*>(p->sound_out));
  }
  return true;
}

// What the header asks of the picture: where its palette and first frame are,
// and the bytes of one frame (0 for an animation of sound only).
struct Frame_Plan {
  bool wanted = false;
  int pale_start = 0, pale_size = 0, pict_start = 0, pict_size = 0;
  uint64_t frame_size = 0;
};

bool plan_frames(const Header_Reader& reader, const Header& h, Frame_Plan& plan) {
  plan.wanted = h.version < 1284 || (h.bits != 0 && h.frames != 0);
  if (h.version < 1284 ? (h.bits != 8 && h.bits != 16) : (h.bits != 0 && h.bits != 8 && h.bits != 16)) return false;
  if (h.frames > INT32_MAX - 1) return false;
  if (!plan.wanted) return true;
  if (!reader.find("PALE", plan.pale_start, plan.pale_size) || !reader.find("PICT", plan.pict_start, plan.pict_size))
    return false;
  // A picture of 0 x 0 (either side 0) is an animation of sound only.
  if (h.width > Picture_Max_Side || h.height > Picture_Max_Side) return false;
  plan.frame_size = static_cast<uint64_t>(h.width) * h.height * (h.bits / 8);
  uint64_t reachable = static_cast<uint64_t>(plan.pict_size) * (h.pack == 0 ? 1 : Max_Expansion);
  return plan.frame_size <= Max_Frame_Bytes && plan.frame_size <= reachable;
}

// What the header asks of the sound: its form and the bytes a "SAMP" payload
// unpacks to in each frame.
struct Sound_Plan {
  bool has_sound = false;
  int form = Form_Pcm;
  uint64_t packed = 0;
};

bool plan_sound(const Header& h, int file_size, Sound_Plan& plan) {
  plan.has_sound = h.rate != 0 && h.sound_bytes != 0;
  plan.packed = h.sound_bytes;
  if (!plan.has_sound) return true;
  if ((h.sound_bits != 8 && h.sound_bits != 16) || h.stereo > 1) return false;
  if (h.version == 1280) {
    plan.form = Form_Delta_8;
  } else if (h.version == 1284 && h.sound_bits == 16) {
    plan.form = Form_Delta_Table;
  }
  if (plan.form != Form_Pcm) plan.packed = h.sound_bytes / 2;
  return plan.packed != 0 && h.sound_bytes <= Max_Sound_Bytes &&
         plan.packed <= static_cast<uint64_t>(file_size) * Max_Expansion;
}

// The player's picture record (header and palette; the frames live in the frame
// block) and its frame block. False when the palette cannot be read.
bool build_picture(Anim_Player* p, const Header& h, const Frame_Plan& plan) {
  p->pict_start = plan.pict_start;
  p->pict_size = plan.pict_size;
  p->frame_size = static_cast<uint32_t>(plan.frame_size);
  // Created empty: the record's sides are set afterwards, so that it holds no
  // pixel block of its own.
  Picture* picture = Picture_Create(h.name[0] ? h.name : "Null_picture", 0, 0, static_cast<int>(h.bits));
  picture->version = h.version;
  picture->width = plan.frame_size ? static_cast<int32_t>(h.width) : 0;
  picture->height = plan.frame_size ? static_cast<int32_t>(h.height) : 0;
  picture->bits_per_pixel = static_cast<int32_t>(h.bits);
  picture->pack_method = h.pack;
  picture->frame_count = p->frame_count;
  p->picture = picture;
  if (plan.wanted && plan.pale_size > 0) {
    int n = plan.pale_size < Picture_Palette_Size ? plan.pale_size : Picture_Palette_Size;
    File_Seek(p->slot, plan.pale_start, 0);
    if (File_Read(p->slot, picture->palette, n) != n) return false;
  }
  p->frame_block = static_cast<uint8_t*>(Mem_Alloc_Zero(static_cast<uint32_t>(Anim_History + plan.frame_size)));
  return true;
}

// The player's sound record and sound block. Delta-coded sound is decoded into
// the record's own samples; PCM is played from the sound block itself.
void build_sound(Anim_Player* p, const Header& h, const Sound_Plan& plan) {
  uint32_t bits = plan.form == Form_Pcm ? h.sound_bits : 16;
  p->sound = Sound_Create(p->picture->name, h.rate, bits, h.stereo, h.sound_bytes);
  p->sound_method = h.sound_method;
  p->sound_bytes = h.sound_bytes;
  p->sound_packed = static_cast<uint32_t>(plan.packed);
  p->sound_form = plan.form;
  p->sound_block = static_cast<uint8_t*>(Mem_Alloc_Zero(static_cast<uint32_t>(Anim_History + plan.packed)));
  // Until a sound chunk is decoded the frame's sound is silence.
  std::memset(p->sound_block + Anim_History, silence_byte(p), plan.packed);
  if (plan.form != Form_Pcm) p->sound_out = p->sound->data;
}

}  // namespace

int16_t Anim_Delta_Value(uint8_t code) { return delta_table[code]; }

void Anim_Delta_Decode(const uint8_t* codes, uint32_t count, bool stereo, int16_t* out) {
  if (!stereo) {
    uint16_t sum = 0;
    for (uint32_t i = 0; i < count; ++i) {
      sum = static_cast<uint16_t>(sum + static_cast<uint16_t>(delta_table[codes[i]]));
      out[i] = static_cast<int16_t>(sum);
    }
    return;
  }
  // All left codes first, then all right ones, each with its own running sum.
  uint32_t half = count / 2;
  uint16_t left = 0, right = 0;
  for (uint32_t i = 0; i < half; ++i) {
    left = static_cast<uint16_t>(left + static_cast<uint16_t>(delta_table[codes[i]]));
    right = static_cast<uint16_t>(right + static_cast<uint16_t>(delta_table[codes[half + i]]));
    out[2 * i] = static_cast<int16_t>(left);
    out[2 * i + 1] = static_cast<int16_t>(right);
  }
  if (count & 1) out[count - 1] = 0;
}

const uint8_t* Anim_Frame_Sound(const Anim_Player* player) {
  if (player->sound == nullptr) return nullptr;
  return player->sound_out != nullptr ? player->sound_out : player->sound_block + Anim_History;
}

Anim_Player* Anim_Open(const char* file) {
  if (file == nullptr || file[0] == 0) return nullptr;
  int file_size = File_Size(file);
  if (file_size < 8) return nullptr;
  int slot = -1;
  File_Open(file, &slot, 1);
  if (File_Error() != 0 || slot < 0) return nullptr;

  int start = 0, end = file_size;
  Header h;
  Frame_Plan frames;
  Sound_Plan sound;
  bool playable = Chunk_Find(slot, file_size, "MTRD", &start, &end) == 0;
  Header_Reader reader(slot, file_size, start + 8, end);
  playable = playable && read_header(reader, h) && plan_frames(reader, h, frames) && plan_sound(h, file_size, sound);
  // One read buffer holds any chunk: twice the larger of a frame and a sound block.
  uint64_t larger = frames.frame_size > sound.packed ? frames.frame_size : sound.packed;
  uint64_t read_size = 2 * larger + Read_Slack;
  if (!playable || static_cast<uint64_t>(frames.pict_size) > read_size) {
    File_Close(slot);
    return nullptr;
  }

  auto* p = static_cast<Anim_Player*>(Mem_Alloc_Zero(sizeof(Anim_Player)));
  p->slot = slot;
  p->file_size = file_size;
  p->payload_start = p->search = start + 8;
  p->payload_end = end;
  p->fps = h.fps;
  p->frame_count = static_cast<int32_t>(h.frames);
  p->read_size = static_cast<uint32_t>(read_size);
  if (!build_picture(p, h, frames)) {
    free_player(p);
    return nullptr;
  }
  if (sound.has_sound) build_sound(p, h, sound);
  p->read_buffer = static_cast<uint8_t*>(Mem_Alloc(p->read_size));
  return p;
}

int Anim_Next_Frame(Anim_Player* p) {
  if (p == nullptr) return -1;
  if (p->frame_size != 0 && !decode_picture(p)) return -1;
  if (p->sound != nullptr && !decode_sound(p)) return -1;
  if (++p->frame_index > p->frame_count) {
    p->frame_index = 0;
    p->search = p->payload_start;
  }
  return p->frame_index;
}

void Anim_Close(Anim_Player* player) {
  if (player != nullptr) free_player(player);
}

void Anim_State_Reset() {}
