// Shared pieces of the import commands (osterlin-tool import ...): each kind
// lives in its own file and is reached through the one "import" command.
#pragma once
#include <string>
#include <vector>

int Import_Panorama(const std::vector<std::string>& args);
int Import_Picture(const std::vector<std::string>& args);
int Import_Zones(const std::vector<std::string>& args);
int Import_Sound(const std::vector<std::string>& args);

// True when `path` ends in `extension` (".roz"), ASCII case ignored.
bool Import_Has_Extension(const std::string& path, const char* extension);

// A progress bar on stdout, drawn only when stdout is a terminal.
class Import_Progress {
 public:
  explicit Import_Progress(const char* label);
  ~Import_Progress();
  void update(double fraction);  // 0 to 1
  void finish();

 private:
  const char* label_;
  bool shown_;
  int drawn_ = -1;
};
