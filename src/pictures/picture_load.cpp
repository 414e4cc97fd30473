// Loading pictures by file name: each reader loads the whole file through the file
// layer and parses it from memory; Picture_Load chooses the reader by extension
// and falls back to the other formats.
#include "pictures/picture_load.h"

#include <cstring>
#include <vector>

#include "files/file.h"
#include "files/text.h"

namespace {

using Parser = Picture* (*)(const uint8_t*, size_t, const char*);

Picture* load_with(const char* name, Parser parse) {
  if (name == nullptr) return nullptr;
  std::vector<uint8_t> bytes;
  if (!File_Load_Whole(name, bytes, Picture_File_Max) || bytes.empty()) return nullptr;
  char file_name[256];
  Path_File_Name(file_name, name);
  return parse(bytes.data(), bytes.size(), file_name);
}

// MTRD over a whole file, only when the file is not empty; a picture without a
// name is named after the file.
Picture* load_mtrd_file(const char* name) {
  if (File_Size(name) <= 0) return nullptr;
  std::vector<uint8_t> bytes;
  if (!File_Load_Whole(name, bytes, Picture_File_Max) || bytes.empty()) return nullptr;
  Picture* picture = Picture_Parse_Mtrd(bytes.data(), bytes.size());
  if (picture != nullptr && picture->name[0] == 0) {
    char file_name[256];
    Path_File_Name(file_name, name);
    Picture_Set_Name(picture, file_name);
  }
  return picture;
}

// Offset of the file-name part of a path: after the last '\', '/' or ':'.
size_t file_name_offset(const char* path) {
  size_t offset = 0;
  size_t length = strnlen(path, 255);
  for (size_t i = 0; i < length; ++i) {
    if (path[i] == '\\' || path[i] == '/' || path[i] == ':') offset = i + 1;
  }
  return offset;
}

Picture* load_by_extension(const char* name, const char* extension) {
  if (Str_Compare_No_Case(extension, "bmp") == 0) return Picture_Load_Bmp(name);
  if (Str_Compare_No_Case(extension, "gif") == 0) return Picture_Load_Gif(name);
  if (Str_Compare_No_Case(extension, "tga") == 0) return Picture_Load_Tga(name);
  if (Str_Compare_No_Case(extension, "pcx") == 0) return Picture_Load_Pcx(name);
  if (Str_Compare_No_Case(extension, "lbm") == 0 || Str_Compare_No_Case(extension, "iff") == 0) {
    return Picture_Load_Iff(name);
  }
  if (Str_Compare_No_Case(extension, "mtr") == 0) return Picture_Load_Mtr(name);
  if (Str_Compare_No_Case(extension, "mtd") == 0 || Str_Compare_No_Case(extension, "mta") == 0) {
    return load_mtrd_file(name);
  }
  return nullptr;
}

}  // namespace

Picture* Picture_Load_Mtr(const char* name) { return load_with(name, Picture_Parse_Mtr); }
Picture* Picture_Load_Iff(const char* name) { return load_with(name, Picture_Parse_Iff); }
Picture* Picture_Load_Pcx(const char* name) { return load_with(name, Picture_Parse_Pcx); }
Picture* Picture_Load_Tga(const char* name) { return load_with(name, Picture_Parse_Tga); }
Picture* Picture_Load_Gif(const char* name) { return load_with(name, Picture_Parse_Gif); }
Picture* Picture_Load_Bmp(const char* name) { return load_with(name, Picture_Parse_Bmp); }

Picture* Picture_Load_Mtrd(int slot, int file_size, int start, int end) {
  if (start < 0 || start >= end || end > file_size) return nullptr;
  size_t length = static_cast<size_t>(end - start);
  if (length > Picture_File_Max) return nullptr;
  std::vector<uint8_t> bytes(length);
  File_Seek(slot, start, 0);
  if (File_Error() != 0) return nullptr;
  if (File_Read(slot, bytes.data(), static_cast<int>(length)) != static_cast<int>(length)) return nullptr;
  return Picture_Parse_Mtrd(bytes.data(), bytes.size());
}

Picture* Picture_Load(char* name) {
  if (name == nullptr) return nullptr;
  size_t length = strnlen(name, 255);
  name[length] = 0;
  char requested[256];
  Path_File_Name(requested, name);

  // The extension: after the first '.' of the file-name part, up to a second '.'.
  size_t base = file_name_offset(name);
  const char* dot = std::strchr(name + base, '.');
  char extension[256] = {};
  if (dot != nullptr) {
    size_t n = std::strcspn(dot + 1, ".");
    std::memcpy(extension, dot + 1, n);
  }
  Picture* picture = load_by_extension(name, extension);
  if (picture != nullptr) return picture;

  // Fallbacks: the name cut after its first '.' (kept in the caller's buffer),
  // with each extension in turn.
  size_t cut = dot != nullptr ? static_cast<size_t>(dot - name) + 1 : length + 1;
  if (cut + 4 > 255) return nullptr;
  name[cut - 1] = '.';
  name[cut] = 0;
  static const char* const fallbacks[] = {"mtd", "mtr", "iff", "lbm", "PCX", "tga", "gif", "bmp"};
  for (const char* fallback : fallbacks) {
    char candidate[256];
    std::memcpy(candidate, name, cut);
    std::memcpy(candidate + cut, fallback, 4);
    if (std::strcmp(fallback, "mtd") == 0) {
      picture = File_Size(candidate) > 0 ? load_by_extension(candidate, fallback) : nullptr;
    } else {
      picture = load_by_extension(candidate, fallback);
    }
    if (picture != nullptr) {
      Picture_Set_Name(picture, requested);
      return picture;
    }
  }
  return nullptr;
}
