// File slots and memory files. A slot is a disk stream or a position inside a
// registered memory file; memory files are found by name before the disk.
#include "files/file.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "files/host_path.h"
#include "files/text.h"
#include "platform/memory.h"

namespace {

enum Slot_Kind : int32_t { Slot_Free = 0, Slot_Disk = 1, Slot_Memory = 3 };

struct File_Slot {
  int32_t kind;
  int32_t error;      // 0, or -1 once an operation on this slot failed
  FILE* stream;       // disk files
  int32_t mem_index;  // memory files; -1 once the memory file was removed
  int32_t position;   // memory files
  int32_t last_op;    // disk files: 0 none, 1 read, 2 write (a switch needs a seek)
};

struct Mem_File_Entry {
  char* name;
  uint8_t* data;
  int32_t size;
};

struct File_State {
  // The music stream may read its file from the loading timer's thread while the
  // main thread loads through other slots: one lock keeps the tables consistent.
  std::recursive_mutex file_mutex;

  File_Slot* slots = nullptr;  // File_Slot_Count entries once the first open happened
  Mem_File_Entry* mem_files = nullptr;
  int32_t mem_file_count = 0;
};

File_State state;
// Each thread sees the error of its own last call (so the error stays outside the
// state record: a member cannot be per thread).
thread_local int file_error = 0;

int fail() {
  file_error = -1;
  return -1;
}

// The slot behind a number, or null (with File_Error -1) for a number out of range.
File_Slot* slot_at(int slot) {
  if (slot < 0 || slot >= File_Slot_Count || state.slots == nullptr) {
    fail();
    return nullptr;
  }
  return &state.slots[slot];
}

int find_mem_file(const char* name) {
  for (int32_t i = 0; i < state.mem_file_count; ++i) {
    if (Str_Compare_No_Case(state.mem_files[i].name, name) == 0) return i;
  }
  return -1;
}

char* copy_name(const char* name) {
  size_t length = std::strlen(name);
  auto* copy = static_cast<char*>(Mem_Alloc(static_cast<uint32_t>(length + 1)));
  std::memcpy(copy, name, length + 1);
  return copy;
}

// A disk stream on a regular file (folders open as streams too, but are not files).
FILE* open_regular(const std::string& path, const char* mode) {
  FILE* stream = std::fopen(path.c_str(), mode);
  if (stream == nullptr) return nullptr;
  struct stat info;
  if (fstat(fileno(stream), &info) != 0 || !S_ISREG(info.st_mode)) {
    std::fclose(stream);
    errno = EISDIR;
    return nullptr;
  }
  return stream;
}

// Size of a disk file, or -1 when it is absent, not a regular file or too large.
long long disk_size(const char* name) {
  std::string path = resolve_host_path(name);
  struct stat info;
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
  if (info.st_size > INT32_MAX) return -1;
  return info.st_size;
}

// Brings a disk stream into the direction of the next operation: a stream opened
// for update needs a positioning call between a read and a write.
void set_direction(File_Slot& s, int32_t op) {
  if (s.last_op != 0 && s.last_op != op) std::fseek(s.stream, 0, SEEK_CUR);
  s.last_op = op;
}

}  // namespace

int File_Error() { return file_error; }

void File_Open(const char* name, int* slot, int mode) {
  std::lock_guard<std::recursive_mutex> lock(state.file_mutex);
  file_error = 0;
  if (state.slots == nullptr) {
    state.slots = static_cast<File_Slot*>(Mem_Alloc_Zero(sizeof(File_Slot) * File_Slot_Count));
  }
  int free_slot = -1;
  for (int i = 0; i < File_Slot_Count; ++i) {
    if (state.slots[i].kind == Slot_Free) {
      free_slot = i;
      break;
    }
  }
  if (free_slot < 0) {  // all slots in use: the out parameter is left alone
    fail();
    return;
  }
  if (name == nullptr) {
    fail();
    if (slot) *slot = -1;
    return;
  }
  File_Slot& s = state.slots[free_slot];
  if (mode != 0) {
    int index = find_mem_file(name);
    if (index >= 0) {
      s = File_Slot{Slot_Memory, 0, nullptr, index, 0, 0};
      if (slot) *slot = free_slot;
      return;
    }
  }
  std::string path = resolve_host_path(name);
  FILE* stream = nullptr;
  if (mode != 0) {
    stream = open_regular(path, "rb");
  } else {
    stream = open_regular(path, "r+b");
    if (stream != nullptr) {
      std::fseek(stream, 0, SEEK_SET);
    } else if (errno != EISDIR) {
      stream = std::fopen(path.c_str(), "w+b");
      if (stream != nullptr) forget_host_folder(path);  // a new name in that folder
    }
  }
  if (stream == nullptr) {
    fail();
    if (slot) *slot = -1;
    return;
  }
  s = File_Slot{Slot_Disk, 0, stream, -1, 0, 0};
  if (slot) *slot = free_slot;
}

int File_Read(int slot, void* buffer, int count) {
  std::lock_guard<std::recursive_mutex> lock(state.file_mutex);
  file_error = 0;
  File_Slot* s = slot_at(slot);
  if (s == nullptr) return 0;
  if (s->error != 0 || count < 0 || (buffer == nullptr && count > 0)) {
    fail();
    return 0;
  }
  if (s->kind == Slot_Disk) {
    if (count == 0) return 0;
    set_direction(*s, 1);
    size_t got = std::fread(buffer, 1, static_cast<size_t>(count), s->stream);
    if (got == 0) {  // end of file counts as failure, and sticks until closing
      s->error = -1;
      fail();
    }
    return static_cast<int>(got);
  }
  if (s->kind == Slot_Memory) {
    if (s->mem_index < 0) {  // its memory file was removed while open
      s->error = -1;
      fail();
      return 0;
    }
    const Mem_File_Entry& entry = state.mem_files[s->mem_index];
    long long available = static_cast<long long>(entry.size) - s->position;
    if (available < 0) available = 0;
    int n = count < available ? count : static_cast<int>(available);
    if (n > 0) std::memcpy(buffer, entry.data + s->position, static_cast<size_t>(n));
    s->position += n;
    return n;
  }
  return 0;  // a free slot delivers nothing
}

int File_Write(int slot, const void* buffer, int count) {
  std::lock_guard<std::recursive_mutex> lock(state.file_mutex);
  file_error = 0;
  File_Slot* s = slot_at(slot);
  if (s == nullptr) return 0;
  if (s->kind != Slot_Disk || s->error != 0 || count < 0 || (buffer == nullptr && count > 0)) {
    fail();  // memory files are never written
    return 0;
  }
  if (count == 0) return 0;
  set_direction(*s, 2);
  size_t put = std::fwrite(buffer, 1, static_cast<size_t>(count), s->stream);
  if (put != static_cast<size_t>(count)) {
    s->error = -1;
    fail();
  }
  return static_cast<int>(put);
}

void File_Seek(int slot, int offset, int whence) {
  std::lock_guard<std::recursive_mutex> lock(state.file_mutex);
  file_error = 0;
  File_Slot* s = slot_at(slot);
  if (s == nullptr) return;
  if (whence < 0 || whence > 2) {
    fail();
    return;
  }
  if (s->kind == Slot_Disk) {
    static const int origins[3] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (std::fseek(s->stream, offset, origins[whence]) != 0) {
      s->error = -1;
      fail();
    }
    s->last_op = 0;
  } else if (s->kind == Slot_Memory) {
    long long size = s->mem_index >= 0 ? state.mem_files[s->mem_index].size : 0;
    long long base = whence == 0 ? 0 : whence == 1 ? s->position : size;
    long long target = base + offset;
    // Before the start clamps to 0; beyond the end parks at size + 1, where
    // reads deliver nothing.
    if (target < 0) target = 0;
    if (target > size) target = size + 1;
    s->position = static_cast<int32_t>(target);
  } else {
    fail();
  }
}

int File_Tell(int slot) {
  std::lock_guard<std::recursive_mutex> lock(state.file_mutex);
  file_error = 0;
  File_Slot* s = slot_at(slot);
  if (s == nullptr) return 0;
  if (s->kind == Slot_Disk) {
    long position = std::ftell(s->stream);
    if (position < 0 || position > INT32_MAX) {
      s->error = -1;
      fail();
      return 0;
    }
    return static_cast<int>(position);
  }
  if (s->kind == Slot_Memory) return s->position;
  fail();  // a free slot has no position
  return 0;
}

void File_Close(int slot) {
  std::lock_guard<std::recursive_mutex> lock(state.file_mutex);
  file_error = 0;
  File_Slot* s = slot_at(slot);
  if (s == nullptr) return;
  if (s->kind == Slot_Free) {
    fail();
    return;
  }
  if (s->kind == Slot_Disk && std::fclose(s->stream) != 0) s->error = -1;
  // A caller closing right after a failed read still sees the failure.
  if (s->error != 0) fail();
  *s = File_Slot{};
}

int File_Size(const char* name) {
  std::lock_guard<std::recursive_mutex> lock(state.file_mutex);
  file_error = 0;
  if (name == nullptr) return fail(), 0;
  int index = find_mem_file(name);
  if (index >= 0) return state.mem_files[index].size;
  long long size = disk_size(name);
  if (size < 0) return fail(), 0;
  return static_cast<int>(size);
}

int File_Delete(const char* name) {
  std::lock_guard<std::recursive_mutex> lock(state.file_mutex);
  file_error = 0;
  if (name == nullptr) return fail();
  std::string path = resolve_host_path(name);
  if (std::remove(path.c_str()) != 0) {
    int saved = errno;
    fail();
    errno = saved;
    return -1;
  }
  forget_host_folder(path);
  return 0;
}

void Mem_File_Load(const char* name) {
  std::lock_guard<std::recursive_mutex> lock(state.file_mutex);
  int size = File_Size(name);
  if (size <= 0) return;
  int slot = -1;
  File_Open(name, &slot, 1);
  if (slot < 0 || File_Error() != 0) return;
  auto* data = static_cast<uint8_t*>(Mem_Alloc_Zero(static_cast<uint32_t>(size)));
  File_Read(slot, data, size);
  File_Close(slot);
  file_error = 0;
  Mem_File_Entry entry{copy_name(name), data, size};
  auto* grown = static_cast<Mem_File_Entry*>(
      Mem_Resize(state.mem_files, static_cast<uint32_t>(sizeof(Mem_File_Entry) * (state.mem_file_count + 1))));
  if (grown == nullptr) Fatal_Memory_Error("Not enough memory!");
  state.mem_files = grown;
  state.mem_files[state.mem_file_count++] = entry;
}

void* Mem_File_Add(const char* name, const void* data, int size) {
  std::lock_guard<std::recursive_mutex> lock(state.file_mutex);
  if (name == nullptr || size < 0 || (data == nullptr && size > 0)) return nullptr;
  // A block is always allocated (an empty file still needs one to own).
  auto* copy = static_cast<uint8_t*>(Mem_Alloc(size > 0 ? static_cast<uint32_t>(size) : 1));
  if (size > 0) std::memcpy(copy, data, static_cast<size_t>(size));
  auto* grown = static_cast<Mem_File_Entry*>(
      Mem_Resize(state.mem_files, static_cast<uint32_t>(sizeof(Mem_File_Entry) * (state.mem_file_count + 1))));
  if (grown == nullptr) Fatal_Memory_Error("Not enough memory!");
  state.mem_files = grown;
  state.mem_files[state.mem_file_count++] = Mem_File_Entry{copy_name(name), copy, size};
  return copy;
}

void Mem_File_Remove(const char* name) {
  std::lock_guard<std::recursive_mutex> lock(state.file_mutex);
  if (name == nullptr) return;
  int32_t i = 0;
  while (i < state.mem_file_count) {
    if (Str_Compare_No_Case(state.mem_files[i].name, name) != 0) {
      ++i;
      continue;
    }
    Mem_Free(state.mem_files[i].name);
    Mem_Free(state.mem_files[i].data);
    std::memmove(&state.mem_files[i], &state.mem_files[i + 1], sizeof(Mem_File_Entry) * (state.mem_file_count - i - 1));
    --state.mem_file_count;
    // Slots open on memory files keep pointing at the right entry: the removed
    // one goes dead (reads fail), later ones move down with their entries.
    if (state.slots != nullptr) {
      for (int k = 0; k < File_Slot_Count; ++k) {
        File_Slot& s = state.slots[k];
        if (s.kind != Slot_Memory || s.mem_index < 0) continue;
        if (s.mem_index == i) s.mem_index = -1;
        else if (s.mem_index > i) --s.mem_index;
      }
    }
    if (state.mem_file_count == 0) {
      Mem_Free(state.mem_files);
      state.mem_files = nullptr;
    } else {
      auto* shrunk = static_cast<Mem_File_Entry*>(
          Mem_Resize(state.mem_files, static_cast<uint32_t>(sizeof(Mem_File_Entry) * state.mem_file_count)));
      if (shrunk != nullptr) state.mem_files = shrunk;
    }
  }
}

void File_Shutdown() {
  std::lock_guard<std::recursive_mutex> lock(state.file_mutex);
  if (state.slots != nullptr) {
    for (int i = 0; i < File_Slot_Count; ++i) {
      if (state.slots[i].kind == Slot_Disk) std::fclose(state.slots[i].stream);
    }
    Mem_Free(state.slots);
    state.slots = nullptr;
  }
  clear_host_path_cache();
}

bool File_Load_Whole(const char* name, std::vector<uint8_t>& out, size_t max_size) {
  std::lock_guard<std::recursive_mutex> lock(state.file_mutex);
  file_error = 0;
  out.clear();
  if (name == nullptr) return fail(), false;
  int index = find_mem_file(name);
  if (index >= 0) {
    const Mem_File_Entry& entry = state.mem_files[index];
    if (static_cast<size_t>(entry.size) > max_size) return fail(), false;
    out.assign(entry.data, entry.data + entry.size);
    return true;
  }
  FILE* stream = open_regular(resolve_host_path(name), "rb");
  if (stream == nullptr) return fail(), false;
  struct stat info;
  bool ok = fstat(fileno(stream), &info) == 0 && static_cast<unsigned long long>(info.st_size) <= max_size;
  if (ok) {
    out.resize(static_cast<size_t>(info.st_size));
    ok = out.empty() || std::fread(out.data(), 1, out.size(), stream) == out.size();
  }
  std::fclose(stream);
  if (!ok) {
    out.clear();
    return fail(), false;
  }
  return true;
}

bool File_Host_Path(const char* name, char* out, size_t out_size) {
  if (name == nullptr || out == nullptr || out_size == 0) return false;
  std::string path = resolve_host_path(name);
  if (path.size() + 1 > out_size) {
    out[0] = 0;
    return false;
  }
  std::memcpy(out, path.c_str(), path.size() + 1);
  return true;
}

void Files_State_Reset() {
  std::lock_guard<std::recursive_mutex> lock(state.file_mutex);
  File_Shutdown();
  while (state.mem_file_count > 0) {
    const std::string name = state.mem_files[0].name;
    Mem_File_Remove(name.c_str());
  }
  Mem_Free(state.mem_files);
  state.mem_files = nullptr;
  file_error = 0;
}
