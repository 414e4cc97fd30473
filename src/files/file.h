// File slots: every data file is read and written through 40 numbered slots. A
// slot refers to a disk file or to a memory file (a named block registered earlier,
// found by name before the disk). Failures are reported only through File_Error.
// Names are resolved to host paths: '\' is a separator, and a name that does not
// exist as written is matched component by component without regard to ASCII case.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int File_Slot_Count = 40;

int File_Error();                                       // 0, or -1 after a failed operation
void File_Open(const char* name, int* slot, int mode);  // mode 1 read, 0 read/write
int File_Read(int slot, void* buffer, int count);       // bytes delivered
int File_Write(int slot, const void* buffer, int count);
void File_Seek(int slot, int offset, int whence);       // 0 start, 1 current, 2 end
int File_Tell(int slot);
void File_Close(int slot);
int File_Size(const char* name);                        // 0 when absent
int File_Delete(const char* name);                      // 0 or -1
void Mem_File_Load(const char* name);
void* Mem_File_Add(const char* name, const void* data, int size);
void Mem_File_Remove(const char* name);
// Unpacks the PAK file named in name_buffer (>= 16 bytes): *data is a new block
// (Mem_Free it), *size its length (0 on failure); the buffer receives the inner
// name. Returns the inner name's length plus one, or 0 on failure.
int Pak_Unpack(char* name_buffer, uint8_t** data, int* size);
void File_Shutdown();
// Returns the file layer to the state of a fresh process (between tests; safe to
// call twice): File_Shutdown, then every memory file removed.
void Files_State_Reset();

// Reads a whole file (memory file or disk) into `out`. False when it is absent or
// larger than max_size.
bool File_Load_Whole(const char* name, std::vector<uint8_t>& out, size_t max_size = 1u << 30);
// The host path a game name resolves to (for code that must hand a path to a
// library). When the file is absent, the folders found are resolved and the rest
// is kept as written. False only when the path does not fit in out.
bool File_Host_Path(const char* name, char* out, size_t out_size);
