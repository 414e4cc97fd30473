// RIFF chunk search and WAV parsing over any Riff_Source.
#include "sound/wav.h"

#include <cstdio>
#include <cstring>

#include "files/byte_reader.h"
#include "files/text.h"
#include "platform/byte_order.h"
#include "platform/debug_output.h"
#include "platform/memory.h"
#include "sound/sound.h"

namespace {
bool same_tag(const uint8_t* found, const char* tag) {
  for (int i = 0; i < 4; ++i) {
    if (Ascii_Lower(found[i]) != Ascii_Lower(static_cast<unsigned char>(tag[i]))) return false;
  }
  return true;
}

bool printable_tag(const uint8_t* tag) {
  for (int i = 0; i < 4; ++i) {
    if (tag[i] < 0x20 || tag[i] > 0x7E) return false;
  }
  return true;
}

// Offset of the chunk after the one at `position` whose payload has `size` bytes.
// An odd payload is followed by a pad byte (0). Some writers leave the pad out; a
// non-zero byte there that starts a readable tag is taken as the next chunk.
uint64_t next_chunk(Riff_Source& source, uint64_t position, uint32_t size) {
  uint64_t next = position + 8 + size;
  if ((size & 1) == 0) return next;
  uint8_t unpadded[4];
  if (source.read_at(next, unpadded, 4) && unpadded[0] != 0 && printable_tag(unpadded)) return next;
  return next + 1;
}

constexpr uint32_t Format_Pcm = 1;
constexpr uint32_t Format_Extensible = 0xFFFE;
// The sub-format of an extensible "fmt " chunk that means plain PCM.
constexpr uint8_t Pcm_Sub_Format[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                        0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// Only PCM samples can be played: other codings (A-law, u-law, ADPCM, float)
// would sound as noise, so such a file gives no sound and says why.
bool pcm_format(Riff_Source& source, uint64_t fmt_start, uint64_t fmt_end, uint32_t format_tag) {
  char reason[96];
  if (format_tag == Format_Pcm) return true;
  if (format_tag == Format_Extensible) {
    // Extension size, valid bits, channel mask, then the 16-byte sub-format.
    uint8_t sub_format[16];
    if (fmt_end - fmt_start - 8 < 40 || !source.read_at(fmt_start + 8 + 24, sub_format, sizeof sub_format)) {
      Debug_Print("WAV: extensible format without its sub-format, not played");
      return false;
    }
    if (std::memcmp(sub_format, Pcm_Sub_Format, sizeof sub_format) == 0) return true;
    std::snprintf(reason, sizeof reason, "WAV: extensible sub-format %u is not PCM, not played",
                  static_cast<unsigned>(Load_Le32(sub_format)));
  } else {
    std::snprintf(reason, sizeof reason, "WAV: format tag %u is not PCM, not played",
                  static_cast<unsigned>(format_tag));
  }
  Debug_Print(reason);
  return false;
}
}  // namespace

bool Memory_Riff_Source::read_at(uint64_t offset, void* out, size_t count) {
  if (offset > size_) return false;
  Byte_Reader reader(data_, size_);
  return reader.seek(static_cast<size_t>(offset)) && reader.bytes(out, count);
}

int Riff_Find_In(Riff_Source& source, const char* tag, uint64_t* start, uint64_t* end) {
  const uint64_t file_size = source.size();
  if (file_size <= *start || file_size < *end) return -1;
  const uint64_t limit = *end;
  uint64_t position = *start;
  // Every step moves forward by at least 8 bytes (sizes are unsigned and the sum
  // is 64-bit), so the search always ends.
  do {
    uint8_t header[8];
    if (!source.read_at(position, header, sizeof header)) return -1;
    const uint32_t size = Load_Le32(header + 4);
    if (same_tag(header, tag)) {
      *start = position;
      *end = position + 8 + size;
      return 0;
    }
    if (size == 0) return -1;
    position = next_chunk(source, position, size);
  } while (position < limit);
  return -1;
}

bool Wav_Read_Info_From(Riff_Source& source, Wav_Info* info) {
  const uint64_t file_size = source.size();
  uint64_t riff_start = 0, riff_end = file_size;
  if (Riff_Find_In(source, "RIFF", &riff_start, &riff_end) != 0) return false;
  uint8_t form[4];
  if (!source.read_at(riff_start + 8, form, sizeof form)) return false;

  uint64_t fmt_start = riff_start + 12, fmt_end = file_size;
  if (Riff_Find_In(source, "fmt ", &fmt_start, &fmt_end) != 0) return false;
  // The six fields take 16 bytes; a shorter chunk does not hold them.
  if (fmt_end - fmt_start - 8 < 16) return false;
  uint8_t fmt[16];
  if (!source.read_at(fmt_start + 8, fmt, sizeof fmt)) return false;

  uint64_t data_start = riff_start + 12, data_end = file_size;
  if (Riff_Find_In(source, "data", &data_start, &data_end) != 0) return false;
  const uint64_t data_size = data_end - data_start - 8;
  const uint64_t data_offset = data_start + 8;

  if (std::memcmp(form, "WAVE", 4) != 0) return false;
  // No samples means no sound; samples the file does not hold mean a damaged file.
  if (data_size == 0 || data_offset > file_size || data_size > file_size - data_offset) return false;
  if (data_offset > UINT32_MAX) return false;

  Byte_Reader fields(fmt, sizeof fmt);
  info->form_type = Load_Le32(form);
  info->format_tag = fields.u16le();
  info->channels = fields.u16le();
  info->samples_per_second = fields.u32le();
  info->avg_bytes_per_second = fields.u32le();
  info->block_align = fields.u16le();
  info->bits_per_sample = fields.u16le();
  info->data_size = static_cast<uint32_t>(data_size);
  info->data_offset = static_cast<uint32_t>(data_offset);
  return pcm_format(source, fmt_start, fmt_end, info->format_tag);
}

Sound* Wav_Load_From(Riff_Source& source, const char* name) {
  Wav_Info info;
  if (!Wav_Read_Info_From(source, &info)) return nullptr;
  auto* sound = static_cast<Sound*>(Mem_Alloc_Zero(sizeof(Sound)));
  sound->data = static_cast<uint8_t*>(Mem_Alloc(info.data_size));
  if (!source.read_at(info.data_offset, sound->data, info.data_size)) {
    Sound_Free(sound);
    return nullptr;
  }
  // The name keeps the first 15 characters of the name as passed.
  if (name != nullptr) std::strncpy(sound->name, name, 15);
  sound->name[15] = '\0';
  sound->version = 256;
  sound->rate = info.samples_per_second;
  sound->bits = info.bits_per_sample;
  sound->stereo = info.channels == 1 ? 0 : 1;
  sound->size = info.data_size;
  return sound;
}
