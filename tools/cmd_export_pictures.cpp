// export: node pictures (ROZ chunk files, Targa node pictures, raw panoramas) with
// their block animations, the still pictures of every reader, and PAK files.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "cmd_export.h"
#include "files/byte_reader.h"
#include "files/file.h"
#include "files/pak.h"
#include "pictures/picture.h"
#include "pictures/picture_load.h"
#include "platform/memory.h"
#include "roz/roz.h"
#include "scene/renderer.h"
#include "scene/runtime.h"
#include "video/node_picture.h"
#include "video/roz_chunks.h"
#include "zel_vr/zel_vr.h"

namespace {

constexpr int Flat_Width = 640;
constexpr int Flat_Height = 480;
constexpr size_t Max_Node_File = 256u << 20;
constexpr int Equirect_Width = 2048;
constexpr int Equirect_Height = 1024;

uint32_t u32_at(const std::vector<uint8_t>& bytes, size_t offset) {
  if (offset > bytes.size() || bytes.size() - offset < 4) return 0;
  return static_cast<uint32_t>(bytes[offset] | (bytes[offset + 1] << 8) | (bytes[offset + 2] << 16)) |
         (static_cast<uint32_t>(bytes[offset + 3]) << 24);
}

// Why the engine's ROZ loader did not take the file, for the refusal line. The
// walk is the loader's: chunks follow the header chunk's 8 bytes, whatever its
// size field says.
std::string roz_refusal(const std::vector<uint8_t>& file) {
  Roz_Chunk_Cursor cursor(file.data(), file.size());
  if (!cursor.is_roz_file()) return "not a ROZ picture file (no header chunk)";
  size_t position = Roz_First_Chunk;
  for (;;) {
    Roz_Chunk chunk = cursor.at(position);
    if (chunk.id == 0) return "no panorama or flat picture chunk";
    if (chunk.id == Roz_Panorama || chunk.id == Roz_Flat) {
      const char* error = Roz_Last_Error();
      return std::string("picture stream refused by the decoder") + (error && *error ? std::string(": ") + error : "");
    }
    if (!Roz_Chunk_Cursor::skip(&position, chunk)) {
      return "chunk at offset " + std::to_string(position) + " runs past the end";
    }
  }
}

// True colour, 640 x 480, 24 or 32 bits: what the node picture loader takes.
bool targa_node_header(const std::vector<uint8_t>& file) {
  if (file.size() < 18) return false;
  int width = file[12] | (file[13] << 8), height = file[14] | (file[15] << 8);
  return file[2] == 2 && width == Flat_Width && height == Flat_Height && (file[16] == 24 || file[16] == 32);
}

std::string frame_name(int index) {
  char name[16];
  std::snprintf(name, sizeof name, "%04d.png", index);
  return name;
}

// The faces an animation frame may have changed, found by comparing with the
// picture as loaded.
void mark_changed_faces(const uint16_t* now, const std::vector<uint16_t>& base, bool* changed) {
  for (int f = 0; f < zel_vr::Face_Count; ++f) {
    if (!changed[f] && std::memcmp(now + static_cast<size_t>(f) * zel_vr::Face_Pixels,
                                   base.data() + static_cast<size_t>(f) * zel_vr::Face_Pixels,
                                   zel_vr::Face_Pixels * 2) != 0) {
      changed[f] = true;
    }
  }
}

Png_Picture faces_picture(const uint16_t* cube, const std::vector<int>& faces) {
  Png_Picture picture;
  picture.width = zel_vr::Face_Size * static_cast<int>(faces.size());
  picture.height = zel_vr::Face_Size;
  picture.pixels.resize(static_cast<size_t>(picture.width) * picture.height * 3);
  for (size_t k = 0; k < faces.size(); ++k) {
    for (int y = 0; y < zel_vr::Face_Size; ++y) {
      for (int x = 0; x < zel_vr::Face_Size; ++x) {
        size_t out = (static_cast<size_t>(y) * picture.width + k * zel_vr::Face_Size + x) * 3;
        Rgb_From_565(cube[zel_vr::Face_Pixel_Index(faces[k], x, y)], &picture.pixels[out]);
      }
    }
  }
  return picture;
}

struct Anim_Outcome {
  int frames = 0;
  int loop_frame = -1;
  bool damaged = false;
};

// Plays one block animation with the engine's own stepper. `on_frame` sees the
// target after every frame shown; playback stops after the last frame (a loop
// marker is noted, not followed) or when the file ends or is damaged.
template <typename On_Frame>
Anim_Outcome play_animation(const std::vector<uint8_t>& file, const char* anim_name, uint16_t* target, int pitch,
                            On_Frame on_frame) {
  Anim_Outcome outcome;
  int index = Anim_Find(anim_name);
  Anim_Slot* slot = Anim_Slot_At(index);
  if (slot == nullptr || Block_Anim_Open(slot, anim_name) != 1) {
    outcome.damaged = true;
    return outcome;
  }
  // Every step moves at least one 8-byte chunk on, so this bounds a damaged file.
  size_t steps_left = file.size() / 8 + 2;
  while (steps_left-- > 0) {
    bool is_frame = u32_at(file, slot->position) == Roz_Anim_Frame;
    uint32_t before = slot->frame_index;
    int going_on = Anim_Step(slot, target, 16, pitch);
    bool shown = is_frame && (going_on == 1 || slot->frame_index != before);
    if (shown) {
      on_frame(outcome.frames);
      ++outcome.frames;
      if (going_on == 1 && before + 1 == slot->frame_count) {
        outcome.loop_frame = static_cast<int>(slot->frame_index);
        break;
      }
    } else if (going_on == 0) {
      // Ended without showing a frame: the file ended, or a frame could not
      // be shown, before the frame count was reached.
      outcome.damaged = before < slot->frame_count;
    }
    if (going_on == 0) break;
  }
  Anim_Close_All();
  return outcome;
}

bool export_animations(Export_Run& run, const Export_Item& item, const std::vector<uint8_t>& file, bool panorama,
                       std::string& why) {
  std::vector<std::string> names;
  for (int i = 0; i < Anim_Count(); ++i) names.push_back(Anim_Name(i));
  bool all_ok = true;
  for (const std::string& anim_name : names) {
    std::string folder_name;
    if (!Safe_Component(anim_name, folder_name)) folder_name = "unnamed";
    std::string folder = item.stem + ".anim/" + folder_name + "/";
    // Each animation starts from the picture as loaded.
    auto reload = [&] {
      if (Load_Node_Picture(item.name.c_str()) != -1) return true;
      why = "the picture could not be loaded again for animation " + anim_name;
      return false;
    };
    std::vector<int> faces;
    uint16_t* target;
    int pitch;
    if (panorama) {
      if (!reload()) return false;
      target = Panorama_Buffer();
      pitch = 256;
      std::vector<uint16_t> base(target, target + zel_vr::Buffer_Pixels);
      bool changed[zel_vr::Face_Count] = {};
      play_animation(file, anim_name.c_str(), target, pitch, [&](int) { mark_changed_faces(target, base, changed); });
      for (int f = 0; f < zel_vr::Face_Count; ++f) {
        if (changed[f]) faces.push_back(f);
      }
      if (faces.empty()) faces = {0, 1, 2, 3, 4, 5};
    }
    if (!reload()) return false;
    target = panorama ? Panorama_Buffer() : reinterpret_cast<uint16_t*>(Node_Picture()->pixels);
    pitch = panorama ? 256 : Flat_Width;
    bool writes_ok = true;
    Anim_Outcome outcome = play_animation(file, anim_name.c_str(), target, pitch, [&](int n) {
      Png_Picture picture = panorama ? faces_picture(target, faces) : Png_From_565(target, Flat_Width, Flat_Height, Flat_Width);
      if (writes_ok && !run.write_png(folder + frame_name(n), picture, why)) writes_ok = false;
    });
    if (!writes_ok) return false;
    std::string json = "{\"animation\":" + Json_String(anim_name) + ",\"frames\":" + std::to_string(outcome.frames) +
                       ",\"loop_frame\":" + (outcome.loop_frame < 0 ? "null" : std::to_string(outcome.loop_frame)) +
                       ",\"frames_per_second\":25";
    if (panorama) {
      json += ",\"faces\":[";
      for (size_t k = 0; k < faces.size(); ++k) json += (k ? "," : "") + std::to_string(faces[k]);
      json += "]";
    }
    json += ",\"damaged\":" + std::string(outcome.damaged ? "true" : "false") + "}\n";
    if (!run.write_text(folder + "loop.json", json, why)) return false;
    if (outcome.damaged && all_ok) {
      why = "block animation " + anim_name + " is damaged after frame " + std::to_string(outcome.frames);
      all_ok = false;
    }
  }
  return all_ok;
}

}  // namespace

void Export_Engine_Start() {
  if (Renderer() != nullptr) return;
  Renderer_Create();
  Renderer_Start();
}

Png_Picture Panorama_Faces_Picture(const uint16_t* cube) { return faces_picture(cube, {0, 1, 2, 3, 4, 5}); }

// Column x covers yaw from -half a turn (left edge) to +half a turn (right edge),
// so yaw 0 is the centre column; row 0 looks straight up. Each pixel is a
// bilinear sample of the cube at its centre's direction; texels beyond a face
// edge are taken from the neighbouring face, so the picture has no seams.
Png_Picture Panorama_Equirect_Picture(const uint16_t* cube, int width, int height) {
  Png_Picture picture;
  picture.width = width;
  picture.height = height;
  picture.pixels.resize(static_cast<size_t>(width) * height * 3);
  auto texel = [cube](int face, int tx, int ty, float* rgb) {
    int index = zel_vr::Face_Pixel_Index(face, tx, ty);
    if (index < 0) {
      float dx, dy, dz;
      zel_vr::Face_Point_Direction(face, tx + 0.5f, ty + 0.5f, &dx, &dy, &dz);
      index = zel_vr::Direction_To_Pixel_Index(dx, dy, dz);
    }
    uint8_t c[3];
    Rgb_From_565(index >= 0 ? cube[index] : 0, c);
    rgb[0] = c[0], rgb[1] = c[1], rgb[2] = c[2];
  };
  const double pi = 3.14159265358979323846;
  for (int y = 0; y < height; ++y) {
    double pitch = pi / 2 - (y + 0.5) * pi / height;
    for (int x = 0; x < width; ++x) {
      double yaw = (x + 0.5) * 2 * pi / width - pi;
      float dx = static_cast<float>(std::cos(pitch) * std::sin(yaw));
      float dy = static_cast<float>(std::sin(pitch));
      float dz = static_cast<float>(std::cos(pitch) * std::cos(yaw));
      float u, v;
      int face = zel_vr::Direction_To_Face(dx, dy, dz, &u, &v);
      float fu = u - 0.5f, fv = v - 0.5f;
      int tx = static_cast<int>(std::floor(fu)), ty = static_cast<int>(std::floor(fv));
      float wx = fu - tx, wy = fv - ty;
      float a[3], b[3], c[3], d[3];
      texel(face, tx, ty, a);
      texel(face, tx + 1, ty, b);
      texel(face, tx, ty + 1, c);
      texel(face, tx + 1, ty + 1, d);
      uint8_t* out = &picture.pixels[(static_cast<size_t>(y) * width + x) * 3];
      for (int k = 0; k < 3; ++k) {
        float top = a[k] + (b[k] - a[k]) * wx, bottom = c[k] + (d[k] - c[k]) * wx;
        float value = top + (bottom - top) * wy;
        out[k] = static_cast<uint8_t>(std::lround(std::fmin(255.0f, std::fmax(0.0f, value))));
      }
    }
  }
  return picture;
}

bool Export_Node_Picture(Export_Run& run, const Export_Item& item, std::string& why) {
  std::vector<uint8_t> file;
  if (!Export_Load(item.name, file, Max_Node_File)) {
    why = "cannot read the file (missing, or larger than 256 MiB)";
    return false;
  }
  if (file.empty()) {
    why = "empty file";
    return false;
  }
  std::string lower = Lower_Case(Base_Name(item.name));
  bool named_tga = lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".tga") == 0;
  bool roz = u32_at(file, 0) == Roz_File_Header || (lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".roz") == 0);
  // A Targa picture the node loader does not take is still a picture.
  if (named_tga && !targa_node_header(file)) return Export_Picture(run, item, why);
  if (!roz && !named_tga && file.size() != 256u * 6144 * 2) {
    why = "not a node picture (a raw panorama has exactly 3145728 bytes)";
    return false;
  }
  int kind = Load_Node_Picture(item.name.c_str());
  int width = Node_Picture_Width();
  if (roz && (kind == -1 || width == 0)) {
    why = roz_refusal(file);
    return false;
  }
  if (named_tga && (kind != 1 || width != 0)) {
    why = "the node picture loader refuses this Targa picture (truncated pixels)";
    return false;
  }
  if (kind == 0) {
    const uint16_t* cube = Panorama_Buffer();
    if (!run.write_png(item.stem + ".faces.png", Panorama_Faces_Picture(cube), why)) return false;
    if (!run.write_png(item.stem + ".equirect.png", Panorama_Equirect_Picture(cube, Equirect_Width, Equirect_Height),
                       why)) {
      return false;
    }
  } else {
    Picture* node = Node_Picture();
    if (node == nullptr || node->pixels == nullptr) {
      why = "no node picture";
      return false;
    }
    if (!run.write_png(item.stem + ".png",
                       Png_From_565(reinterpret_cast<uint16_t*>(node->pixels), Flat_Width, Flat_Height, Flat_Width),
                       why)) {
      return false;
    }
  }
  if (roz && Anim_Count() > 0) return export_animations(run, item, file, kind == 0, why);
  return true;
}

bool Export_Picture(Export_Run& run, const Export_Item& item, std::string& why) {
  std::string lower = Lower_Case(Base_Name(item.name));
  size_t dot = lower.rfind('.');
  std::string ext = dot == std::string::npos ? "" : lower.substr(dot + 1);
  Picture* (*reader)(const char*) = nullptr;
  std::vector<uint8_t> file;
  if (!Export_Load(item.name, file, Picture_File_Max) || file.empty()) {
    why = "cannot read the file (missing, empty or larger than 256 MiB)";
    return false;
  }
  Picture* picture = nullptr;
  if (ext == "pcx") reader = Picture_Load_Pcx;
  else if (ext == "tga") reader = Picture_Load_Tga;
  else if (ext == "gif") reader = Picture_Load_Gif;
  else if (ext == "bmp") reader = Picture_Load_Bmp;
  else if (ext == "iff" || ext == "lbm") reader = Picture_Load_Iff;
  else if (ext == "mtr") reader = Picture_Load_Mtr;
  if (reader != nullptr) {
    picture = reader(item.name.c_str());
  } else {
    picture = Picture_Parse_Mtrd(file.data(), file.size());
  }
  std::string format = ext.empty() ? "picture" : Lower_Case(ext);
  for (char& c : format) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  if (picture == nullptr) {
    why = "the " + format + " reader refuses it (damaged or an unsupported variant)";
    return false;
  }
  bool ok = Picture_Unpack(picture) == 0;
  if (!ok) why = "the " + format + " picture's packed pixels are damaged";
  Png_Picture png;
  size_t count = static_cast<size_t>(picture->width) * picture->height;
  if (ok && (picture->width < 1 || picture->height < 1 || picture->pixels == nullptr ||
             Picture_Plain_Size(picture) != count * static_cast<size_t>(picture->bits_per_pixel / 8))) {
    ok = false;
    why = "the " + format + " picture is empty";
  }
  if (ok) {
    png.width = picture->width;
    png.height = picture->height;
    const uint8_t* pixels = picture->pixels;
    switch (picture->bits_per_pixel) {
      case 8:
        png.form = Png_Form::Palette;
        png.palette.assign(picture->palette, picture->palette + Picture_Palette_Size);
        png.pixels.assign(pixels, pixels + count);
        break;
      case 16:
        png = Png_From_565(reinterpret_cast<const uint16_t*>(pixels), picture->width, picture->height, picture->width);
        break;
      case 24:
      case 32: {
        int step = picture->bits_per_pixel / 8;
        png.pixels.resize(count * 3);
        for (size_t i = 0; i < count; ++i) std::memcpy(&png.pixels[i * 3], pixels + i * step, 3);
        break;
      }
      default:
        ok = false;
        why = "unsupported depth of " + std::to_string(picture->bits_per_pixel) + " bits";
    }
  }
  Picture_Free(picture);
  return ok && run.write_png(item.stem + ".png", png, why);
}

bool Export_Pak(Export_Run& run, const Export_Item& item, std::string& why) {
  if (item.depth >= 4) {
    why = "PAK files nested too deep";
    return false;
  }
  std::vector<uint8_t> file;
  if (!Export_Load(item.name, file, 1u << 30)) {
    why = "cannot read the file";
    return false;
  }
  Pak_Header header;
  const char* reason = nullptr;
  if (!Pak_Parse_Header(file.data(), file.size(), header, &reason)) {
    why = std::string("not a PAK file the engine unpacks: ") + (reason ? reason : "bad header");
    return false;
  }
  std::string inner;
  if (!Safe_Component(header.name, inner) || std::string(header.name) != Base_Name(header.name)) {
    why = std::string("inner name \"") + header.name + "\" would leave the output folder";
    return false;
  }
  std::vector<char> name_buffer(item.name.begin(), item.name.end());
  name_buffer.resize(std::max<size_t>(name_buffer.size() + 1, 260), 0);
  uint8_t* data = nullptr;
  int size = 0;
  if (Pak_Unpack(name_buffer.data(), &data, &size) == 0 || data == nullptr) {
    if (data) Mem_Free(data);
    why = "packed data is damaged";
    return false;
  }
  // The inner file is exported by its own name, beside where the PAK file is,
  // read from a memory file as the engine reads unpacked files.
  size_t cut = item.name.find_last_of('/');
  std::string folder = cut == std::string::npos ? "" : item.name.substr(0, cut + 1);
  size_t stem_cut = item.stem.find_last_of('/');
  std::string stem_folder = stem_cut == std::string::npos ? "" : item.stem.substr(0, stem_cut + 1);
  Export_Item inner_item{folder + inner, item.shown + ":" + inner, stem_folder + Strip_Extension(inner), item.depth + 1};
  Mem_File_Add(inner_item.name.c_str(), data, size);
  Mem_Free(data);
  bool known = true;
  bool ok = Export_Dispatch(run, inner_item, why, known);
  Mem_File_Remove(inner_item.name.c_str());
  if (!known) {
    why = "inner file " + inner + " is not a file the engine reads";
    return false;
  }
  return ok;
}
