// The WAV operations over the file slots.
#include <cstdint>

#include "files/file.h"
#include "platform/memory.h"
#include "sound/sound.h"
#include "sound/wav.h"

namespace {
// One open file slot, closed when the source goes. Success is judged from the slot
// number and the position rather than File_Error, which another thread (the load
// timer streaming music) may change between two calls.
class File_Riff_Source : public Riff_Source {
 public:
  explicit File_Riff_Source(const char* name) {
    int size = File_Size(name);
    if (size <= 0) return;
    int slot = -1;
    File_Open(name, &slot, 1);
    if (slot < 0) return;
    slot_ = slot;
    size_ = static_cast<uint64_t>(size);
  }
  ~File_Riff_Source() override {
    if (slot_ >= 0) File_Close(slot_);
  }
  bool open() const { return slot_ >= 0; }
  uint64_t size() const override { return size_; }
  bool read_at(uint64_t offset, void* out, size_t count) override {
    if (slot_ < 0 || offset > size_ || count > size_ - offset) return false;
    if (count == 0) return true;
    File_Seek(slot_, static_cast<int>(offset), 0);
    if (File_Tell(slot_) != static_cast<int>(offset)) return false;
    return File_Read(slot_, out, static_cast<int>(count)) == static_cast<int>(count);
  }

 private:
  int slot_ = -1;
  uint64_t size_ = 0;
};
}  // namespace

int Riff_Find(const char* name, const char* tag, int32_t* start, int32_t* end) {
  if (name == nullptr || tag == nullptr || start == nullptr || end == nullptr || *start < 0 || *end < 0) return -1;
  File_Riff_Source source(name);
  if (!source.open()) return -1;
  uint64_t found_start = static_cast<uint64_t>(*start);
  uint64_t found_end = static_cast<uint64_t>(*end);
  if (Riff_Find_In(source, tag, &found_start, &found_end) != 0) return -1;
  if (found_end > INT32_MAX) return -1;
  *start = static_cast<int32_t>(found_start);
  *end = static_cast<int32_t>(found_end);
  return 0;
}

Sound* Wav_Load(const char* name) {
  if (name == nullptr) return nullptr;
  File_Riff_Source source(name);
  if (!source.open()) return nullptr;
  return Wav_Load_From(source, name);
}

Wav_Info* Wav_Read_Info(const char* name) {
  if (name == nullptr) return nullptr;
  File_Riff_Source source(name);
  if (!source.open()) return nullptr;
  Wav_Info info;
  if (!Wav_Read_Info_From(source, &info)) return nullptr;
  auto* result = static_cast<Wav_Info*>(Mem_Alloc(sizeof(Wav_Info)));
  *result = info;
  return result;
}
