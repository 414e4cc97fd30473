// WAV files: RIFF chunk search, whole sounds for effects, header summaries for
// streamed music. Files are read through the file slots, so a memory file of the
// same name is found first. A damaged or unsupported file gives none, silently.
#pragma once
#include <cstddef>
#include <cstdint>

struct Sound;

// Header summary of a WAV file (freed by the caller with Mem_Free).
struct Wav_Info {
  uint32_t form_type;             // the four bytes after "RIFF" and its size
  uint32_t format_tag;
  uint32_t channels;
  uint32_t samples_per_second;
  uint32_t avg_bytes_per_second;
  uint32_t block_align;
  uint32_t bits_per_sample;
  uint32_t data_size;
  uint32_t data_offset;           // file offset of the first sample byte
};

// Searches the chunks that begin at *start (below *end) for `tag` (4 characters,
// ASCII case ignored). Returns 0 with *start = the chunk's offset and *end =
// *start + 8 + its size, or -1.
int Riff_Find(const char* name, const char* tag, int32_t* start, int32_t* end);
Sound* Wav_Load(const char* name);           // new Sound, or none
Wav_Info* Wav_Read_Info(const char* name);   // new Wav_Info, or none

// Random access to the bytes of one file, for the chunk search.
class Riff_Source {
 public:
  virtual ~Riff_Source() = default;
  virtual uint64_t size() const = 0;
  // Exactly `count` bytes at `offset`, or false.
  virtual bool read_at(uint64_t offset, void* out, size_t count) = 0;
};

// The same operations over any source (the file versions use a file slot; tests and
// tools may hand a block of memory).
int Riff_Find_In(Riff_Source& source, const char* tag, uint64_t* start, uint64_t* end);
bool Wav_Read_Info_From(Riff_Source& source, Wav_Info* info);
Sound* Wav_Load_From(Riff_Source& source, const char* name);

class Memory_Riff_Source : public Riff_Source {
 public:
  Memory_Riff_Source(const void* data, size_t size) : data_(static_cast<const uint8_t*>(data)), size_(size) {}
  uint64_t size() const override { return size_; }
  bool read_at(uint64_t offset, void* out, size_t count) override;

 private:
  const uint8_t* data_;
  size_t size_;
};
