// A fresh temporary folder for one test, removed with everything in it at the end.
#pragma once
#include <string>
#include <vector>

class Temp_Dir {
 public:
  Temp_Dir();
  ~Temp_Dir();
  Temp_Dir(const Temp_Dir&) = delete;
  Temp_Dir& operator=(const Temp_Dir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  // Writes bytes to path()/name (folders are created); returns the full path.
  std::string write(const std::string& name, const std::vector<unsigned char>& bytes) const;
  std::string write(const std::string& name, const std::string& text) const;

 private:
  std::string path_;
};

std::vector<unsigned char> Read_Whole_File(const std::string& path);
