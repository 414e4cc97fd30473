#include "support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fs = std::filesystem;

Temp_Dir::Temp_Dir() {
  std::string pattern = (fs::temp_directory_path() / "osterlin-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

Temp_Dir::~Temp_Dir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string Temp_Dir::write(const std::string& name, const std::vector<unsigned char>& bytes) const {
  fs::path full = fs::path(path_) / name;
  fs::create_directories(full.parent_path());
  std::ofstream out(full, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return full.string();
}

std::string Temp_Dir::write(const std::string& name, const std::string& text) const {
  return write(name, std::vector<unsigned char>(text.begin(), text.end()));
}

std::vector<unsigned char> Read_Whole_File(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
