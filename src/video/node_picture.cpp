// Node pictures: a node's picture is a 640 x 480 Targa picture, a ROZ chunk file
// (panorama or flat picture, with named block animations), or a raw 5-5-5
// panorama, tried in that order.
#include "video/node_picture.h"

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "files/byte_reader.h"
#include "files/file.h"
#include "files/text.h"
#include "pictures/picture.h"
#include "platform/display.h"
#include "platform/memory.h"
#include "roz/roz.h"
#include "video/animation_step.h"
#include "video/engine_targets.h"
#include "video/movie.h"
#include "video/roz_chunk_ids.h"

namespace {

constexpr int Panorama_Pixels = 256 * 6144;
constexpr int Flat_Width = 640;
constexpr int Flat_Height = 480;
constexpr int Anim_Name_Size = 32;
// No node picture file is larger than a raw panorama by much; ROZ files with
// animations can be, so the bound is generous.
constexpr size_t Max_Node_File = 256u << 20;

int node_picture_width = 0;
std::string node_picture_file;
std::vector<std::array<char, Anim_Name_Size>> anim_names;
std::vector<Anim_Slot> anim_slots;

// A chunk of a ROZ picture file: id and size (the size counts the 8 header bytes).
struct Chunk {
  uint32_t id = 0;
  uint32_t size = 0;
  size_t start = 0;
  bool fits = false;  // the size holds the header and stays inside the file
};

// Reads the chunk header at the reader's position without consuming it; id 0 at
// the end of the data. The size is reported as written: a chunk that is read by
// its own fields does not depend on it, only skipping does.
Chunk peek_chunk(Byte_Reader& reader) {
  Chunk chunk;
  chunk.start = reader.position();
  if (reader.remaining() < 8) return chunk;
  Byte_Reader look = reader.sub(chunk.start, 8);
  chunk.id = look.u32le();
  chunk.size = look.u32le();
  chunk.fits = chunk.size >= 8 && chunk.size <= reader.size() - chunk.start;
  return chunk;
}

// Moves past the chunk by its size. A size that cannot hold its own header or
// runs past the end ends the walk: a damaged file cannot make it loop or step
// backwards.
bool skip_chunk(Byte_Reader& reader, const Chunk& chunk) {
  return chunk.fits && reader.seek(chunk.start + chunk.size);
}

// Walks from the reader's position to the first chunk with `id`; false at the end.
bool find_chunk(Byte_Reader& reader, uint32_t id, Chunk& found) {
  for (;;) {
    found = peek_chunk(reader);
    if (found.id == 0) return false;
    if (found.id == id) return true;
    if (!skip_chunk(reader, found)) return false;
  }
}

// A ROZ file begins with the file header chunk, known by its id alone: its size
// field is not used, the other chunks follow its 8 bytes.
constexpr size_t Roz_First_Chunk = 8;

bool is_roz_file(const std::vector<uint8_t>& file) {
  Byte_Reader reader(file.data(), file.size());
  return reader.u32le() == Roz_File_Header && reader.ok();
}

Picture* ensure_flat_node_picture() {
  Picture* picture = Node_Picture();
  if (picture == nullptr || picture->width != Flat_Width || picture->height != Flat_Height ||
      picture->bits_per_pixel != 16 || picture->pack_method != 0 || picture->pixels == nullptr) {
    picture = Picture_Create("warpfix", Flat_Width, Flat_Height, 16);
    Node_Picture_Replace(picture);
  }
  return picture;
}

void forget_animations() {
  Anim_Close_All();
  anim_names.clear();
  anim_slots.clear();
}

// The outcome of one loading step: the picture was loaded; the file is not of
// this step's kind (the next step tries it); or it is of this kind but damaged,
// which ends the chain: showing its bytes as another kind of picture would turn
// a flat node into a garbage panorama.
enum class Step { Loaded, Foreign, Failed };

// Targa: uncompressed true colour, exactly 640 x 480, 24 or 32 bits. A file
// whose header says so is a Targa picture; pixels cut short fail it.
Step load_targa(const char* name) {
  std::vector<uint8_t> file;
  if (!File_Load_Whole(name, file, Max_Node_File)) return Step::Foreign;
  Byte_Reader reader(file.data(), file.size());
  uint8_t id_length = reader.u8();
  reader.skip(1);  // colour-map type
  uint8_t image_type = reader.u8();
  reader.skip(9);  // colour-map fields, origin
  uint16_t width = reader.u16le();
  uint16_t height = reader.u16le();
  uint8_t bits = reader.u8();
  uint8_t descriptor = reader.u8();
  if (!reader.ok() || image_type != 2 || width != Flat_Width || height != Flat_Height || (bits != 24 && bits != 32)) {
    return Step::Foreign;
  }
  reader.skip(id_length);
  size_t bytes_per_pixel = bits / 8;
  const uint8_t* pixels = reader.view(static_cast<size_t>(Flat_Width) * Flat_Height * bytes_per_pixel);
  if (pixels == nullptr) return Step::Failed;

  std::vector<uint8_t> bgrx(static_cast<size_t>(Flat_Width) * Flat_Height * 4, 0);
  bool top_first = (descriptor & 0x20) != 0;
  for (int row = 0; row < Flat_Height; ++row) {
    int target_row = top_first ? row : Flat_Height - 1 - row;
    const uint8_t* src = pixels + static_cast<size_t>(row) * Flat_Width * bytes_per_pixel;
    uint8_t* dst = bgrx.data() + static_cast<size_t>(target_row) * Flat_Width * 4;
    for (int x = 0; x < Flat_Width; ++x) {
      dst[x * 4 + 0] = src[x * bytes_per_pixel + 0];
      dst[x * 4 + 1] = src[x * bytes_per_pixel + 1];
      dst[x * 4 + 2] = src[x * bytes_per_pixel + 2];
    }
  }
  Picture* picture = ensure_flat_node_picture();
  if (picture == nullptr) return Step::Failed;
  Targa_To_565(bgrx.data(), Flat_Width, Flat_Height, reinterpret_cast<uint16_t*>(picture->pixels), Flat_Width);
  forget_animations();
  return Step::Loaded;
}

// A ROZ chunk file: its panorama chunk into the panorama buffer, else its flat
// picture chunk into the node picture (*flat tells which). A ROZ file without
// either chunk, or whose picture cannot be decoded, fails.
Step load_roz_picture(const char* name, bool* flat) {
  std::vector<uint8_t> file;
  if (!File_Load_Whole(name, file, Max_Node_File) || !is_roz_file(file)) return Step::Foreign;
  Byte_Reader reader(file.data(), file.size());
  reader.seek(Roz_First_Chunk);
  Chunk chunk;
  uint32_t wanted = Roz_Panorama;
  if (!find_chunk(reader, wanted, chunk)) {
    wanted = Roz_Flat;
    reader.seek(Roz_First_Chunk);
    if (!find_chunk(reader, wanted, chunk)) return Step::Failed;
  }
  // Quality, stream length L and L bytes of stream, read by these fields alone:
  // the chunk's size may say anything, but the stream must lie inside the file.
  Byte_Reader body = reader.sub(chunk.start + 8, file.size() - (chunk.start + 8));
  int32_t quality = body.i32le();
  uint32_t length = body.u32le();
  if (!body.ok() || length == 0 || length > body.remaining() || length > 0x7FFFFFFF) return Step::Failed;
  std::vector<uint8_t> stream(body.data() + body.position(), body.data() + body.position() + length);

  // A 15-bit display gets pictures decoded to 5-5-5 dithering precision.
  bool fifteen = Display_Bits_Per_Pixel() == 15;
  if (wanted == Roz_Panorama) {
    uint16_t* target = Panorama_Buffer();
    if (target == nullptr) return Step::Failed;
    if (fifteen) {
      Unpack_Picture_Rgb_15_16_256_6144(target, stream.data(), static_cast<int>(length), quality);
    } else {
      Unpack_Picture_Rgb_16_16_256_6144(target, stream.data(), static_cast<int>(length), quality);
    }
  } else {
    Picture* picture = ensure_flat_node_picture();
    if (picture == nullptr) return Step::Failed;
    auto* target = reinterpret_cast<uint16_t*>(picture->pixels);
    if (fifteen) {
      Unpack_Picture_Rgb_15_16_640_480(target, stream.data(), static_cast<int>(length), quality);
    } else {
      Unpack_Picture_Rgb_16_16_640_480(target, stream.data(), static_cast<int>(length), quality);
    }
  }
  if (Roz_Last_Status() != 0) return Step::Failed;

  forget_animations();
  node_picture_file = name;
  reader.seek(Roz_First_Chunk);
  Chunk next;
  while (find_chunk(reader, Roz_Anim_Header, next)) {
    std::array<char, Anim_Name_Size> anim_name{};
    Byte_Reader header = reader.sub(next.start + 8, Anim_Name_Size);
    header.bytes(anim_name.data(), Anim_Name_Size);
    anim_name[Anim_Name_Size - 1] = 0;
    anim_names.push_back(anim_name);
    if (!skip_chunk(reader, next)) break;
  }
  anim_slots.assign(anim_names.size(), Anim_Slot{});
  for (Anim_Slot& slot : anim_slots) slot.reader = -1;
  node_picture_width = wanted == Roz_Panorama ? 256 : Flat_Width;
  *flat = wanted == Roz_Flat;
  return Step::Loaded;
}

// Raw panorama: 256 x 6144 pixels of 5-5-5, at most the buffer's size is read.
bool load_raw_panorama(const char* name) {
  uint16_t* target = Panorama_Buffer();
  if (target == nullptr || File_Size(name) <= 0) return false;
  int slot = -1;
  File_Open(name, &slot, 1);
  if (slot < 0) return false;
  int got = File_Read(slot, target, Panorama_Pixels * 2);
  File_Close(slot);
  if (got < 0) got = 0;
  for (int i = 0; i < got / 2; ++i) {
    uint16_t v = target[i];
    target[i] = static_cast<uint16_t>((v & 0x1F) + ((v & 0x7FE0) << 1));
  }
  forget_animations();
  return true;
}

// --- Animation file access through a file slot -------------------------------

uint32_t le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

struct Slot_Chunk {
  uint32_t id = 0;
  uint32_t size = 0;
};

int32_t slot_file_size(int slot) {
  int here = File_Tell(slot);
  File_Seek(slot, 0, 2);
  int size = File_Tell(slot);
  File_Seek(slot, here, 0);
  return size;
}

// Chunk header at `position`; id 0 at the end of the file or for a size that
// cannot be right.
Slot_Chunk read_slot_chunk(int slot, uint32_t position, int32_t file_size) {
  Slot_Chunk chunk;
  if (file_size < 8 || position > static_cast<uint32_t>(file_size) - 8) return Slot_Chunk{};
  File_Seek(slot, static_cast<int>(position), 0);
  uint8_t header[8];
  if (File_Read(slot, header, 8) != 8) return Slot_Chunk{};
  chunk.id = le32(header);
  chunk.size = le32(header + 4);
  if (chunk.size < 8 || chunk.size > static_cast<uint32_t>(file_size) - position) return Slot_Chunk{};
  return chunk;
}

void close_slot(Anim_Slot* slot) {
  if (slot->reader >= 0) File_Close(slot->reader);
  slot->reader = -1;
}

int target_pixels_for_pitch(int pitch) { return pitch == 256 ? Panorama_Pixels : Flat_Width * Flat_Height; }

}  // namespace

int Node_Picture_Width() { return node_picture_width; }

int Load_Node_Picture(const char* name) {
  node_picture_width = 0;
  Waves_Stop();
  Error_Screen_Clear();
  Node_Video_Close();
  if (name == nullptr || name[0] == 0) return -1;
  Step step = load_targa(name);
  if (step != Step::Foreign) return step == Step::Loaded ? 1 : -1;
  if (Picture* picture = ensure_flat_node_picture(); File_Size(name) > 0 && Node_Video_Open(name, picture)) {
    forget_animations();
    return 1;
  }
  bool flat = false;
  step = load_roz_picture(name, &flat);
  if (step != Step::Foreign) return step == Step::Loaded ? (flat ? 1 : 0) : -1;
  if (load_raw_panorama(name)) return 0;
  return -1;
}

int Anim_Count() { return static_cast<int>(anim_slots.size()); }

const char* Anim_Name(int index) {
  if (index < 0 || index >= Anim_Count()) return "";
  return anim_names[static_cast<size_t>(index)].data();
}

Anim_Slot* Anim_Slot_At(int index) {
  if (index < 0 || index >= Anim_Count()) return nullptr;
  return &anim_slots[static_cast<size_t>(index)];
}

int Anim_Find(const char* name) {
  for (int i = 0; i < Anim_Count(); ++i) {
    if (Str_Compare_No_Case(Anim_Name(i), name) == 0) return i;
  }
  return -1;
}

int Anim_Open(Anim_Slot* slot, const char* name) {
  close_slot(slot);
  if (node_picture_file.empty() || name == nullptr) return 0;
  int reader = -1;
  File_Open(node_picture_file.c_str(), &reader, 1);
  if (reader < 0) return 0;
  int32_t file_size = slot_file_size(reader);
  uint8_t header[4];
  if (File_Read(reader, header, 4) != 4 || le32(header) != Roz_File_Header) {
    File_Close(reader);
    return 0;
  }
  uint32_t position = Roz_First_Chunk;
  for (;;) {
    Slot_Chunk chunk = read_slot_chunk(reader, position, file_size);
    if (chunk.id == 0) break;
    if (chunk.id == Roz_Anim_Header && chunk.size >= 8 + Anim_Name_Size + 4) {
      char anim_name[Anim_Name_Size];
      uint8_t count_bytes[4];
      File_Read(reader, anim_name, Anim_Name_Size);
      File_Read(reader, count_bytes, 4);
      anim_name[Anim_Name_Size - 1] = 0;
      if (Str_Compare_No_Case(anim_name, name) == 0) {
        slot->reader = reader;
        slot->frame_count = le32(count_bytes);
        slot->frame_index = 0;
        slot->first_frame_position = position + 8 + Anim_Name_Size + 4;
        slot->position = slot->first_frame_position;
        return 1;
      }
    }
    position += chunk.size;
  }
  File_Close(reader);
  return 0;
}

int Anim_Step(Anim_Slot* slot, uint16_t* target, int bits, int pitch) {
  if (slot->reader < 0 || target == nullptr || pitch <= 0) {
    close_slot(slot);
    return 0;
  }
  int reader = slot->reader;
  int32_t file_size = slot_file_size(reader);
  Slot_Chunk chunk = read_slot_chunk(reader, slot->position, file_size);
  if (chunk.id == 0) {
    // The file ended (or is damaged) before the animation did: end it.
    close_slot(slot);
    return 0;
  }
  if (chunk.id != Roz_Anim_Frame) {
    slot->position += chunk.size;
    return 1;
  }
  if (chunk.size > 8) {
    std::vector<uint8_t> body(chunk.size - 8);
    if (File_Read(reader, body.data(), static_cast<int>(body.size())) != static_cast<int>(body.size())) {
      close_slot(slot);
      return 0;
    }
    Byte_Reader frame(body.data(), body.size());
    uint32_t count = frame.u32le();
    if (!frame.ok() || count > frame.remaining() / 4) {
      close_slot(slot);
      return 0;
    }
    // Every 8 x 8 block must lie inside the target before anything is decoded.
    std::vector<int> offsets(count);
    int64_t limit = target_pixels_for_pitch(pitch);
    bool inside = true;
    for (uint32_t k = 0; k < count; ++k) {
      int64_t offset = static_cast<int32_t>(frame.u32le());
      int64_t column = offset % pitch;
      if (offset < 0 || column + 8 > pitch || offset + 7 * static_cast<int64_t>(pitch) + 8 > limit) inside = false;
      offsets[k] = static_cast<int>(offset);
    }
    int32_t quality = frame.i32le();
    uint32_t length = frame.u32le();
    if (!inside || !frame.ok() || length > frame.remaining()) {
      close_slot(slot);
      return 0;
    }
    if (count > 0) {
      ROZ codec;
      codec.Unpack_Bloc_Rgb_16(target, offsets.data(), static_cast<int>(count), pitch,
                               const_cast<uint8_t*>(frame.data() + frame.position()), static_cast<int>(length),
                               quality, bits);
    }
  }
  slot->frame_index += 1;
  slot->position += chunk.size;
  if (slot->frame_index != slot->frame_count) return 1;

  Slot_Chunk next = read_slot_chunk(reader, slot->position, file_size);
  if (next.id != Roz_Anim_Loop || next.size < 12 || slot->stop_requested) {
    close_slot(slot);
    return 0;
  }
  uint8_t loop_bytes[4];
  if (File_Read(reader, loop_bytes, 4) != 4) {
    close_slot(slot);
    return 0;
  }
  uint32_t loop_frame = le32(loop_bytes);
  slot->position = slot->first_frame_position;
  for (uint32_t i = 0; i < loop_frame; ++i) {
    Slot_Chunk skipped = read_slot_chunk(reader, slot->position, file_size);
    if (skipped.id == 0) break;
    slot->position += skipped.size;
  }
  slot->frame_index = loop_frame;
  return 1;
}

void Anim_Close_All() {
  for (Anim_Slot& slot : anim_slots) {
    close_slot(&slot);
    slot.active = 0;
  }
}

void Panorama_Face_Get(uint16_t* face, int face_index) {
  const uint16_t* panorama = Panorama_Buffer();
  if (panorama == nullptr || face == nullptr || face_index < 0 || face_index > 5) return;
  const uint16_t* tiles = panorama + static_cast<size_t>(face_index) * 262144;
  // Tiles in the order top-left, top-right, bottom-right, bottom-left.
  static constexpr int tile_x[4] = {0, 256, 256, 0};
  static constexpr int tile_y[4] = {0, 0, 256, 256};
  for (int t = 0; t < 4; ++t) {
    for (int row = 0; row < 256; ++row) {
      std::memcpy(face + static_cast<size_t>(tile_y[t] + row) * 512 + tile_x[t], tiles + t * 65536 + row * 256, 512);
    }
  }
}

void Panorama_Face_Put(int face_index, const uint16_t* face) {
  uint16_t* panorama = Panorama_Buffer();
  if (panorama == nullptr || face == nullptr || face_index < 0 || face_index > 5) return;
  uint16_t* tiles = panorama + static_cast<size_t>(face_index) * 262144;
  static constexpr int tile_x[4] = {0, 256, 256, 0};
  static constexpr int tile_y[4] = {0, 0, 256, 256};
  for (int t = 0; t < 4; ++t) {
    for (int row = 0; row < 256; ++row) {
      std::memcpy(tiles + t * 65536 + row * 256, face + static_cast<size_t>(tile_y[t] + row) * 512 + tile_x[t], 512);
    }
  }
}

void Targa_To_565(const uint8_t* bgrx, int width, int height, uint16_t* out, int pitch) {
  if (width <= 0 || height <= 0) return;
  size_t count = static_cast<size_t>(width) * height;
  // Three 16.16 planes; diffusion addresses neighbours as linear offsets, so the
  // planes get a margin of one row and one pixel on each side.
  size_t margin = static_cast<size_t>(width) + 1;
  std::vector<int32_t> planes[3];
  for (int c = 0; c < 3; ++c) {
    planes[c].assign(count + 2 * margin, 0);
    for (size_t i = 0; i < count; ++i) planes[c][margin + i] = static_cast<int32_t>(bgrx[i * 4 + c]) << 16;
  }
  auto clamp = [](int32_t v) { return v < 0 ? 0 : (v > 0xFF0000 ? 0xFF0000 : v); };
  // Nearest level: blue and red on 5 bits, green on 6; returns the level's 8-bit value.
  auto level5 = [](int32_t v) {
    int32_t i = v >> 16;
    int32_t q = (i >> 3) + ((i & 7) >= 4 ? 1 : 0);
    if (q > 31) q = 31;
    return q;
  };
  auto level6 = [](int32_t v) {
    int32_t i = v >> 16;
    int32_t q = (i >> 2) + ((i & 3) >= 2 ? 1 : 0);
    if (q > 63) q = 63;
    return q;
  };
  auto diffuse = [&](size_t index, int direction) {
    for (int c = 0; c < 3; ++c) {
      int32_t* p = planes[c].data() + margin;
      int32_t value = clamp(p[index]);
      p[index] = value;
      int32_t level = c == 1 ? level6(value) * 4 : level5(value) * 8;
      int32_t error = value - (level << 16);
      int64_t ahead = static_cast<int64_t>(index) + direction;
      int64_t below = static_cast<int64_t>(index) + width;
      p[ahead] += (error * 7) >> 4;
      p[below] += (error * 5) >> 4;
      p[below - direction] += (error * 3) >> 4;
      p[below + direction] += error >> 4;
    }
  };
  for (int y = 0; y + 1 < height; ++y) {
    size_t row = static_cast<size_t>(y) * width;
    if ((y & 1) == 0) {
      for (int x = 0; x < width - 1; ++x) diffuse(row + x, 1);
    } else {
      for (int x = width - 2; x >= 0; --x) diffuse(row + x, -1);
    }
  }
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      size_t i = margin + static_cast<size_t>(y) * width + x;
      int32_t b = level5(clamp(planes[0][i]));
      int32_t g = level6(clamp(planes[1][i]));
      int32_t r = level5(clamp(planes[2][i]));
      out[static_cast<size_t>(y) * pitch + x] = static_cast<uint16_t>((r << 11) | (g << 5) | b);
    }
  }
}
