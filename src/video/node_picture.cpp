// Node pictures: a node's picture is a 640 x 480 Targa picture, a ROZ chunk file
// (panorama or flat picture, with named block animations), or a raw 5-5-5
// panorama, tried in that order.
#include "video/node_picture.h"

#include <cstring>
#include <vector>

#include "files/byte_reader.h"
#include "files/file.h"
#include "pictures/picture.h"
#include "platform/display.h"
#include "roz/roz.h"
#include "video/animation_step.h"
#include "video/block_animation.h"
#include "video/engine_targets.h"
#include "video/movie.h"
#include "video/roz_chunks.h"
#include "zel_vr/zel_vr.h"

namespace {

constexpr int Flat_Width = 640;
constexpr int Flat_Height = 480;
// No node picture file is larger than a raw panorama by much; ROZ files with
// animations can be, so the bound is generous.
constexpr size_t Max_Node_File = 256u << 20;

struct Node_Picture_State {
  int width = 0;  // Node_Picture_Width
};
Node_Picture_State state;

Picture* ensure_flat_node_picture() {
  Picture* picture = Node_Picture();
  if (picture == nullptr || picture->width != Flat_Width || picture->height != Flat_Height ||
      picture->bits_per_pixel != 16 || picture->pack_method != 0 || picture->pixels == nullptr) {
    picture = Picture_Create("warpfix", Flat_Width, Flat_Height, 16);
    Node_Picture_Replace(picture);
  }
  return picture;
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
  Block_Anim_Forget();
  return Step::Loaded;
}

// Decodes a picture chunk's ROZ stream into the panorama buffer (panorama) or
// the node picture (flat); false when there is no target or the stream is
// damaged. A 15-bit display gets pictures decoded to 5-5-5 dithering precision.
bool decode_roz_picture(bool panorama, std::vector<uint8_t>& stream, int32_t quality) {
  bool fifteen = Display_Bits_Per_Pixel() == 15;
  int length = static_cast<int>(stream.size());
  if (panorama) {
    uint16_t* target = Panorama_Buffer();
    if (target == nullptr) return false;
    if (fifteen) {
      Unpack_Picture_Rgb_15_16_256_6144(target, stream.data(), length, quality);
    } else {
      Unpack_Picture_Rgb_16_16_256_6144(target, stream.data(), length, quality);
    }
  } else {
    Picture* picture = ensure_flat_node_picture();
    if (picture == nullptr) return false;
    auto* target = reinterpret_cast<uint16_t*>(picture->pixels);
    if (fifteen) {
      Unpack_Picture_Rgb_15_16_640_480(target, stream.data(), length, quality);
    } else {
      Unpack_Picture_Rgb_16_16_640_480(target, stream.data(), length, quality);
    }
  }
  return Roz_Last_Status() == 0;
}

// A ROZ chunk file: its panorama chunk into the panorama buffer, else its flat
// picture chunk into the node picture (*flat tells which). A ROZ file without
// either chunk, or whose picture cannot be decoded, fails.
Step load_roz_picture(const char* name, bool* flat) {
  std::vector<uint8_t> file;
  if (!File_Load_Whole(name, file, Max_Node_File)) return Step::Foreign;
  Roz_Chunk_Cursor chunks(file.data(), file.size());
  if (!chunks.is_roz_file()) return Step::Foreign;
  Roz_Chunk chunk;
  uint32_t wanted = Roz_Panorama;
  size_t position = Roz_First_Chunk;
  if (!chunks.find(&position, wanted, chunk)) {
    wanted = Roz_Flat;
    position = Roz_First_Chunk;
    if (!chunks.find(&position, wanted, chunk)) return Step::Failed;
  }
  // Quality, stream length L and L bytes of stream, read by these fields alone:
  // the chunk's size may say anything, but the stream must lie inside the file.
  size_t fields = chunk.start + Roz_Chunk_Header_Size;
  Byte_Reader body(file.data() + fields, file.size() - fields);
  int32_t quality = body.i32le();
  uint32_t length = body.u32le();
  if (!body.ok() || length == 0 || length > body.remaining() || length > 0x7FFFFFFF) return Step::Failed;
  std::vector<uint8_t> stream(body.data() + body.position(), body.data() + body.position() + length);
  if (!decode_roz_picture(wanted == Roz_Panorama, stream, quality)) return Step::Failed;

  Block_Anim_Read_Table(name, chunks);
  state.width = wanted == Roz_Panorama ? 256 : Flat_Width;
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
  int got = File_Read(slot, target, zel_vr::Buffer_Pixels * 2);
  File_Close(slot);
  if (got < 0) got = 0;
  for (int i = 0; i < got / 2; ++i) target[i] = Rgb555_To_565(target[i]);
  Block_Anim_Forget();
  return true;
}

}  // namespace

int Node_Picture_Width() { return state.width; }

void Node_Picture_State_Reset() {
  Block_Anim_Reset();
  state = Node_Picture_State{};
}

int Load_Node_Picture(const char* name) {
  state.width = 0;
  Waves_Stop();
  Error_Screen_Clear();
  Node_Video_Close();
  if (name == nullptr || name[0] == 0) return -1;
  Step step = load_targa(name);
  if (step != Step::Foreign) return step == Step::Loaded ? 1 : -1;
  if (Picture* picture = ensure_flat_node_picture(); File_Size(name) > 0 && Node_Video_Open(name, picture)) {
    Block_Anim_Forget();
    return 1;
  }
  bool flat = false;
  step = load_roz_picture(name, &flat);
  if (step != Step::Foreign) return step == Step::Loaded ? (flat ? 1 : 0) : -1;
  if (load_raw_panorama(name)) return 0;
  return -1;
}

// Each row of a face is two tile rows of zel_vr::Tile_Size pixels, each stored in
// one piece where the renderer's layout puts it.
void Panorama_Face_Get(uint16_t* face, int face_index) {
  const uint16_t* panorama = Panorama_Buffer();
  if (panorama == nullptr || face == nullptr || face_index < 0 || face_index >= zel_vr::Face_Count) return;
  for (int y = 0; y < zel_vr::Face_Size; ++y) {
    for (int x = 0; x < zel_vr::Face_Size; x += zel_vr::Tile_Size) {
      std::memcpy(face + y * zel_vr::Face_Size + x, panorama + zel_vr::Face_Pixel_Index(face_index, x, y),
                  zel_vr::Tile_Size * sizeof *face);
    }
  }
}

void Panorama_Face_Put(int face_index, const uint16_t* face) {
  uint16_t* panorama = Panorama_Buffer();
  if (panorama == nullptr || face == nullptr || face_index < 0 || face_index >= zel_vr::Face_Count) return;
  for (int y = 0; y < zel_vr::Face_Size; ++y) {
    for (int x = 0; x < zel_vr::Face_Size; x += zel_vr::Tile_Size) {
      std::memcpy(panorama + zel_vr::Face_Pixel_Index(face_index, x, y), face + y * zel_vr::Face_Size + x,
                  zel_vr::Tile_Size * sizeof *face);
    }
  }
}
