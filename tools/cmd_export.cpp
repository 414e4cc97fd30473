// osterlin-tool export INPUT... --to DIR: every file the engine reads, written as
// PNG, WAV and JSON. Folders are walked and their layout kept under DIR.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "cmd_export.h"
#include "files/file.h"
#include "tool.h"

namespace fs = std::filesystem;

namespace {

const char* kUsage = "osterlin-tool export INPUT... --to DIR";

// A normalised path split into components, or false for one that climbs out.
bool inside_root(const std::string& relative) {
  if (relative.empty() || relative[0] == '/') return false;
  fs::path normal = fs::path(relative).lexically_normal();
  if (normal.empty() || normal.is_absolute()) return false;
  for (const auto& part : normal) {
    if (part == "..") return false;
  }
  return true;
}

bool has_extension(const std::string& lower, const char* const* list) {
  size_t dot = lower.rfind('.');
  if (dot == std::string::npos) return false;
  std::string ext = lower.substr(dot + 1);
  for (const char* const* e = list; *e; ++e) {
    if (ext == *e) return true;
  }
  return false;
}

bool extension_is(const std::string& lower, const char* ext) {
  const char* const list[] = {ext, nullptr};
  return has_extension(lower, list);
}

// "saved_N.bin": the name the engine gives its saved-game files.
bool saved_game_name(const std::string& lower) {
  return lower.size() > 10 && lower.rfind("saved_", 0) == 0 &&
         lower.compare(lower.size() - 4, 4, ".bin") == 0;
}

// A scene script whatever its name: a text that has a "[WARP]" line.
bool looks_like_script(const std::vector<uint8_t>& head) {
  std::string text(head.begin(), head.end());
  text = Lower_Case(text);
  return text.find("[warp]") != std::string::npos && std::memchr(head.data(), 0, head.size()) == nullptr;
}

constexpr size_t Raw_Panorama_Bytes = 256 * 6144 * 2;

// Progress bar on a terminal only.
class Progress {
 public:
  explicit Progress(size_t total) : total_(total), on_(isatty(STDOUT_FILENO) == 1 && total > 1) {}
  void show(size_t done, const std::string& name) {
    if (!on_) return;
    constexpr int width = 30;
    int filled = total_ ? static_cast<int>(done * width / total_) : width;
    std::string label = Base_Name(name);
    if (label.size() > 32) label = label.substr(0, 29) + "...";
    std::printf("\r[%s%s] %zu/%zu %-32s", std::string(static_cast<size_t>(filled), '#').c_str(),
                std::string(static_cast<size_t>(width - filled), ' ').c_str(), done, total_, label.c_str());
    std::fflush(stdout);
  }
  void clear() {
    if (!on_) return;
    std::printf("\r%*s\r", 80, "");
    std::fflush(stdout);
  }

 private:
  size_t total_;
  bool on_;
};

struct Input_File {
  std::string path;  // absolute
  std::string stem;  // relative output stem
};

std::string without_extension_keep_dirs(const std::string& relative) {
  size_t slash = relative.rfind('/');
  size_t dot = relative.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == 0 ||
      (slash != std::string::npos && dot == slash + 1)) {
    return relative;
  }
  return relative.substr(0, dot);
}

int run_export(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  std::string to;
  if (!Tool_Take_Option(args, "--to", to) || to.empty()) return Tool_Usage_Error("export", "export needs --to DIR");
  if (args.empty()) return Tool_Usage_Error("export", "export needs at least one INPUT");
  for (const std::string& a : args) {
    if (a.rfind("--", 0) == 0) return Tool_Usage_Error("export", "unknown option " + a);
  }

  std::error_code error;
  fs::path root = fs::absolute(fs::path(to), error).lexically_normal();
  if (error) return Tool_Fail("export: cannot use output folder " + to);
  fs::create_directories(root, error);
  if (error || !fs::is_directory(root)) return Tool_Fail("export: cannot create output folder " + to);
  root = fs::canonical(root, error);
  if (error) return Tool_Fail("export: cannot use output folder " + to);

  // Every input must exist before anything is written.
  std::vector<Input_File> files;
  for (const std::string& input : args) {
    fs::path path = fs::absolute(fs::path(input), error).lexically_normal();
    fs::file_status status = fs::status(path, error);
    if (error || !fs::exists(status)) return Tool_Fail("export: cannot read " + input + ": no such file or folder");
    if (fs::is_directory(status)) {
      std::vector<Input_File> found;
      fs::recursive_directory_iterator walk(path, fs::directory_options::skip_permission_denied, error);
      if (error) return Tool_Fail("export: cannot read folder " + input);
      for (auto it = walk; it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (error) break;
        const fs::directory_entry& entry = *it;
        // The output folder may lie inside the input folder: its files are not inputs.
        if (entry.is_directory(error)) {
          std::error_code same_error;
          if (fs::equivalent(entry.path(), root, same_error)) it.disable_recursion_pending();
          continue;
        }
        if (!entry.is_regular_file(error)) continue;
        std::string relative = entry.path().lexically_relative(path).generic_string();
        found.push_back({entry.path().string(), without_extension_keep_dirs(relative)});
      }
      if (error) return Tool_Fail("export: cannot read folder " + input);
      std::sort(found.begin(), found.end(), [](const Input_File& a, const Input_File& b) { return a.path < b.path; });
      files.insert(files.end(), found.begin(), found.end());
    } else {
      files.push_back({path.string(), without_extension_keep_dirs(path.filename().string())});
    }
  }

  Export_Run run;
  run.root = root.string();
  Export_Engine_Start();
  Progress progress(files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    progress.show(i, files[i].path);
    Export_Item item{files[i].path, files[i].path, files[i].stem, 0};
    std::string why;
    bool known = true;
    bool ok = Export_Dispatch(run, item, why, known);
    if (!known) {
      ++run.skipped;
      continue;
    }
    ++run.read;
    if (!ok) {
      ++run.refused;
      run.reasons.push_back(files[i].path + ": " + why);
    }
  }
  progress.show(files.size(), "");
  progress.clear();
  for (const std::string& reason : run.reasons) std::fprintf(stderr, "osterlin-tool: export: refused %s\n", reason.c_str());
  std::printf("export: %d files read, %d files written, %d files refused", run.read, run.written, run.refused);
  if (run.skipped > 0) std::printf(" (%d files the engine does not read skipped)", run.skipped);
  std::printf("\n");
  return run.refused > 0 ? Tool_Refused : Tool_Ok;
}

const Tool_Registration registration({"export", kUsage,
                                      "write every game file given as PNG, WAV and JSON, read as the engine reads it",
                                      run_export});

}  // namespace

bool Export_Run::output_path(const std::string& relative, std::string& path, std::string& why) {
  if (!inside_root(relative)) {
    why = "output name " + relative + " would leave the output folder";
    return false;
  }
  fs::path full = (fs::path(root) / fs::path(relative).lexically_normal());
  std::error_code error;
  fs::create_directories(full.parent_path(), error);
  if (error) {
    why = "cannot create folder " + full.parent_path().string();
    return false;
  }
  // A folder on the way may be a link that leads elsewhere: the real place must
  // still be under the root.
  fs::path real_parent = fs::canonical(full.parent_path(), error);
  std::string parent_text = real_parent.string();
  if (error || (parent_text != root && parent_text.rfind(root + "/", 0) != 0)) {
    why = "output name " + relative + " would leave the output folder";
    return false;
  }
  path = (real_parent / full.filename()).string();
  return true;
}

bool Export_Run::write_png(const std::string& relative, const Png_Picture& picture, std::string& why) {
  std::string path;
  if (!output_path(relative, path, why)) return false;
  if (!Png_Write(path, picture, &why)) return false;
  ++written;
  return true;
}

bool Export_Run::write_bytes(const std::string& relative, const std::vector<uint8_t>& bytes, std::string& why) {
  std::string path;
  if (!output_path(relative, path, why)) return false;
  if (!Tool_Write_File(path, bytes.data(), bytes.size())) {
    why = "cannot write " + path;
    return false;
  }
  ++written;
  return true;
}

bool Export_Run::write_text(const std::string& relative, const std::string& text, std::string& why) {
  return write_bytes(relative, std::vector<uint8_t>(text.begin(), text.end()), why);
}

bool Export_Dispatch(Export_Run& run, const Export_Item& item, std::string& why, bool& known) {
  static const char* const node_exts[] = {"roz", nullptr};
  static const char* const picture_exts[] = {"mtr", "iff", "lbm", "pcx", "gif", "bmp", nullptr};
  static const char* const mtrd_exts[] = {"mtd", "mta", nullptr};
  static const char* const video_exts[] = {"smk", "mpg", "mpeg", nullptr};
  known = true;
  std::string lower = Lower_Case(Base_Name(item.name));
  if (has_extension(lower, node_exts)) return Export_Node_Picture(run, item, why);
  if (extension_is(lower, "tga")) {
    return Export_Node_Picture(run, item, why);  // falls back to the picture reader
  }
  if (has_extension(lower, picture_exts)) return Export_Picture(run, item, why);
  if (has_extension(lower, mtrd_exts)) return Export_Animation_File(run, item, why);
  if (has_extension(lower, video_exts)) return Export_Video(run, item, why);
  if (extension_is(lower, "wav")) return Export_Wav(run, item, why);
  if (extension_is(lower, "pak")) return Export_Pak(run, item, why);
  if (extension_is(lower, "lst")) return Export_Script(run, item, why);
  if (extension_is(lower, "zon")) return Export_Zone_File(run, item, why);
  if (saved_game_name(lower)) return Export_Saved_Game(run, item, why);
  // Names that say nothing: a raw panorama has exactly the panorama's size, a
  // script has a node line.
  int size = File_Size(item.name.c_str());
  if (size == static_cast<int>(Raw_Panorama_Bytes)) return Export_Node_Picture(run, item, why);
  std::vector<uint8_t> head;
  if (size > 0 && size < (4 << 20) && Export_Load(item.name, head, 4u << 20) && looks_like_script(head)) {
    return Export_Script(run, item, why);
  }
  known = false;
  why = "not a file the engine reads";
  return false;
}

std::string Json_String(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c >= 0x80) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", c);
          out += escape;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string Json_Number(double value) {
  if (!std::isfinite(value)) return "null";
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.9g", value);
  return buffer;
}

std::string Lower_Case(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string Base_Name(const std::string& name) {
  size_t cut = name.find_last_of("/\\");
  return cut == std::string::npos ? name : name.substr(cut + 1);
}

std::string Strip_Extension(const std::string& name) {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0 || name.find_first_of("/\\", dot) != std::string::npos) return name;
  return name.substr(0, dot);
}

bool Safe_Component(const std::string& name, std::string& out) {
  std::string base = Base_Name(name);
  out.clear();
  for (char c : base) {
    unsigned char u = static_cast<unsigned char>(c);
    out += (u < 0x20 || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|') ? '_' : c;
  }
  return !out.empty() && out != "." && out != "..";
}

bool Export_Load(const std::string& name, std::vector<uint8_t>& out, size_t max) {
  return File_Load_Whole(name.c_str(), out, max);
}
