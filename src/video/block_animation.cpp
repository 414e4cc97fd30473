// Block animations of a ROZ chunk file: the table of named animations, and
// playback from the animation's own file slot, one frame chunk at a time.
#include "video/block_animation.h"

#include <array>
#include <string>
#include <vector>

#include "files/byte_reader.h"
#include "files/file.h"
#include "files/text.h"
#include "roz/roz.h"
#include "zel_vr/zel_vr.h"

namespace {

constexpr int Flat_Pixels = 640 * 480;

struct Block_Anim_State {
  std::string file;  // the ROZ file the table belongs to
  std::vector<std::array<char, Roz_Anim_Name_Size>> names;
  std::vector<Anim_Slot> slots;
};
Block_Anim_State state;

void close_slot(Anim_Slot* slot) {
  if (slot->reader >= 0) File_Close(slot->reader);
  slot->reader = -1;
}

// Closes the slot: the animation has ended. Always 0, the step's result.
int end_animation(Anim_Slot* slot) {
  close_slot(slot);
  return 0;
}

int target_pixels_for_pitch(int pitch) { return pitch == 256 ? zel_vr::Buffer_Pixels : Flat_Pixels; }

// Reads the pixel offsets of a frame's blocks; false when one of them would put an
// 8 x 8 block outside the target, before anything is decoded.
bool read_block_offsets(Byte_Reader& frame, uint32_t count, int pitch, std::vector<int>& offsets) {
  offsets.resize(count);
  int64_t limit = target_pixels_for_pitch(pitch);
  bool inside = true;
  for (uint32_t k = 0; k < count; ++k) {
    int64_t offset = static_cast<int32_t>(frame.u32le());
    int64_t column = offset % pitch;
    if (offset < 0 || column + 8 > pitch || offset + 7 * static_cast<int64_t>(pitch) + 8 > limit) inside = false;
    offsets[k] = static_cast<int>(offset);
  }
  return inside;
}

// Decodes the body of a frame chunk (block count n, n offsets, quality, stream
// length L, L bytes of stream) into target; false when it is damaged.
bool draw_frame(const std::vector<uint8_t>& body, uint16_t* target, int bits, int pitch) {
  Byte_Reader frame(body.data(), body.size());
  uint32_t count = frame.u32le();
  if (!frame.ok() || count > frame.remaining() / 4) return false;
  std::vector<int> offsets;
  bool inside = read_block_offsets(frame, count, pitch, offsets);
  int32_t quality = frame.i32le();
  uint32_t length = frame.u32le();
  if (!inside || !frame.ok() || length > frame.remaining()) return false;
  if (count > 0) {
    ROZ codec;
    codec.Unpack_Bloc_Rgb_16(target, offsets.data(), static_cast<int>(count), pitch,
                             const_cast<uint8_t*>(frame.data() + frame.position()), static_cast<int>(length),
                             quality, bits);
  }
  return true;
}

// After the last frame: a loop marker (unless a stop was requested) sends the
// animation back to its loop frame, skipping the frame chunks before it; without
// one the animation ends.
int loop_or_end(Anim_Slot* slot, const Roz_Chunk_Cursor& file) {
  Roz_Chunk next = file.sized_at(slot->position);
  if (next.id != Roz_Anim_Loop || next.size < Roz_Chunk_Header_Size + 4 || slot->stop_requested) {
    return end_animation(slot);
  }
  uint32_t loop_frame = 0;
  if (!file.u32(slot->position + Roz_Chunk_Header_Size, loop_frame)) return end_animation(slot);
  slot->position = slot->first_frame_position;
  for (uint32_t i = 0; i < loop_frame; ++i) {
    Roz_Chunk skipped = file.sized_at(slot->position);
    if (skipped.id == 0) break;
    slot->position += skipped.size;
  }
  slot->frame_index = loop_frame;
  return 1;
}

// Walks the file's chunks for the animation header named `name` (case folded):
// its chunk position and frame count.
bool find_animation(const Roz_Chunk_Cursor& file, const char* name, size_t* position, uint32_t* frame_count) {
  for (size_t at = Roz_First_Chunk;;) {
    Roz_Chunk chunk = file.sized_at(at);
    if (chunk.id == 0) return false;
    if (chunk.id == Roz_Anim_Header && chunk.size >= Roz_Chunk_Header_Size + Roz_Anim_Header_Payload) {
      char anim_name[Roz_Anim_Name_Size] = {};
      file.read(at + Roz_Chunk_Header_Size, anim_name, Roz_Anim_Name_Size);
      file.u32(at + Roz_Chunk_Header_Size + Roz_Anim_Name_Size, *frame_count);
      anim_name[Roz_Anim_Name_Size - 1] = 0;
      if (Str_Compare_No_Case(anim_name, name) == 0) {
        *position = at;
        return true;
      }
    }
    at += chunk.size;
  }
}

}  // namespace

int Anim_Count() { return static_cast<int>(state.slots.size()); }

const char* Anim_Name(int index) {
  if (index < 0 || index >= Anim_Count()) return "";
  return state.names[static_cast<size_t>(index)].data();
}

Anim_Slot* Anim_Slot_At(int index) {
  if (index < 0 || index >= Anim_Count()) return nullptr;
  return &state.slots[static_cast<size_t>(index)];
}

int Anim_Find(const char* name) {
  for (int i = 0; i < Anim_Count(); ++i) {
    if (Str_Compare_No_Case(Anim_Name(i), name) == 0) return i;
  }
  return -1;
}

int Block_Anim_Open(Anim_Slot* slot, const char* name) {
  close_slot(slot);
  if (state.file.empty() || name == nullptr) return 0;
  int reader = -1;
  File_Open(state.file.c_str(), &reader, 1);
  if (reader < 0) return 0;
  Roz_Chunk_Cursor file(reader);
  size_t position = 0;
  uint32_t frame_count = 0;
  if (!file.is_roz_file() || !find_animation(file, name, &position, &frame_count)) {
    File_Close(reader);
    return 0;
  }
  slot->reader = reader;
  slot->frame_count = frame_count;
  slot->frame_index = 0;
  slot->first_frame_position = static_cast<uint32_t>(position + Roz_Chunk_Header_Size + Roz_Anim_Header_Payload);
  slot->position = slot->first_frame_position;
  return 1;
}

int Anim_Step(Anim_Slot* slot, uint16_t* target, int bits, int pitch) {
  if (slot->reader < 0 || target == nullptr || pitch <= 0) return end_animation(slot);
  Roz_Chunk_Cursor file(slot->reader);
  Roz_Chunk chunk = file.sized_at(slot->position);
  // The file ended (or is damaged) before the animation did: end it.
  if (chunk.id == 0) return end_animation(slot);
  if (chunk.id != Roz_Anim_Frame) {
    slot->position += chunk.size;
    return 1;
  }
  // A frame chunk of 8 bytes carries no data and changes nothing.
  if (chunk.size > Roz_Chunk_Header_Size) {
    std::vector<uint8_t> body(chunk.size - Roz_Chunk_Header_Size);
    if (!file.read(slot->position + Roz_Chunk_Header_Size, body.data(), body.size())) return end_animation(slot);
    if (!draw_frame(body, target, bits, pitch)) return end_animation(slot);
  }
  slot->frame_index += 1;
  slot->position += chunk.size;
  if (slot->frame_index != slot->frame_count) return 1;
  return loop_or_end(slot, file);
}

void Anim_Close_All() {
  for (Anim_Slot& slot : state.slots) {
    close_slot(&slot);
    slot.active = 0;
  }
}

void Block_Anim_Forget() {
  Anim_Close_All();
  state.names.clear();
  state.slots.clear();
}

void Block_Anim_Read_Table(const char* file, const Roz_Chunk_Cursor& chunks) {
  Block_Anim_Forget();
  state.file = file;
  size_t position = Roz_First_Chunk;
  Roz_Chunk next;
  while (chunks.find(&position, Roz_Anim_Header, next)) {
    std::array<char, Roz_Anim_Name_Size> anim_name{};
    chunks.read_padded(next.start + Roz_Chunk_Header_Size, reinterpret_cast<uint8_t*>(anim_name.data()),
                       Roz_Anim_Name_Size);
    anim_name[Roz_Anim_Name_Size - 1] = 0;
    state.names.push_back(anim_name);
    if (!Roz_Chunk_Cursor::skip(&position, next)) break;
  }
  state.slots.assign(state.names.size(), Anim_Slot{});
  for (Anim_Slot& slot : state.slots) slot.reader = -1;
}

void Block_Anim_Reset() {
  Block_Anim_Forget();
  state.file.clear();
}
