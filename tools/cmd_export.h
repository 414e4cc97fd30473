// osterlin-tool export: the parts shared by the exporters of each kind of file.
//
// Every file is read through the engine's own loaders (through the file layer,
// so memory files and case-insensitive names work as in the game) and written
// under the output folder in standard formats: PNG, WAV and JSON.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "image_files.h"

struct Export_Run {
  std::string root;  // the output folder, absolute, without a trailing '/'
  int read = 0;
  int written = 0;
  int refused = 0;
  int skipped = 0;
  std::vector<std::string> reasons;  // "INPUT: reason", one per refused file

  // Host path for an output name relative to the root ('/' separated). Creates
  // the folders on the way. False with a reason when the name would leave the
  // root (absolute, "..") or a folder cannot be made.
  bool output_path(const std::string& relative, std::string& path, std::string& why);
  // Writers of one output file each; they count what they write.
  bool write_png(const std::string& relative, const Png_Picture& picture, std::string& why);
  bool write_bytes(const std::string& relative, const std::vector<uint8_t>& bytes, std::string& why);
  bool write_text(const std::string& relative, const std::string& text, std::string& why);
};

// One file to export. `name` is what the engine's loaders are given (an absolute
// host path, or the name of a memory file); `stem` is the output name without
// extension relative to the root ("levels/HALL" for levels/HALL.ROZ).
struct Export_Item {
  std::string name;
  std::string shown;  // the input as named in messages
  std::string stem;
  int depth = 0;      // PAK files inside PAK files
};

// The exporters of each kind. Each returns true when the file was exported, or
// false with the reason it was refused.
bool Export_Node_Picture(Export_Run& run, const Export_Item& item, std::string& why);
bool Export_Picture(Export_Run& run, const Export_Item& item, std::string& why);
bool Export_Animation_File(Export_Run& run, const Export_Item& item, std::string& why);
bool Export_Video(Export_Run& run, const Export_Item& item, std::string& why);
bool Export_Wav(Export_Run& run, const Export_Item& item, std::string& why);
bool Export_Script(Export_Run& run, const Export_Item& item, std::string& why);
bool Export_Zone_File(Export_Run& run, const Export_Item& item, std::string& why);
bool Export_Saved_Game(Export_Run& run, const Export_Item& item, std::string& why);
// Unpacks the inner file and exports it in turn (by its own name).
bool Export_Pak(Export_Run& run, const Export_Item& item, std::string& why);

// Chooses the exporter by the file's name (and, where names say nothing, its
// contents). False with a reason when the file is refused; `known` is false for
// files the engine does not read (they are skipped, not refused).
bool Export_Dispatch(Export_Run& run, const Export_Item& item, std::string& why, bool& known);

// Helpers shared by the exporters.
std::string Json_String(const std::string& text);  // quoted, escaped; bytes >= 0x80 as U+0080..U+00FF
std::string Json_Number(double value);             // enough digits to read back the same float
std::string Lower_Case(std::string text);
std::string Base_Name(const std::string& name);     // after the last '/' or '\'
std::string Strip_Extension(const std::string& name);
// A name from inside a file (PAK inner name, node name) made safe as one output
// name component: false when nothing safe remains.
bool Safe_Component(const std::string& name, std::string& out);
// Loads a file through the file layer (memory files first), at most max bytes.
bool Export_Load(const std::string& name, std::vector<uint8_t>& out, size_t max = 1u << 30);

// The panorama in the renderer's buffer as pictures.
Png_Picture Panorama_Faces_Picture(const uint16_t* cube);
Png_Picture Panorama_Equirect_Picture(const uint16_t* cube, int width, int height);
// Prepares the engine state the loaders write into (renderer buffer, node
// picture); idempotent.
void Export_Engine_Start();
