#include "platform/directories.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <string>

#include "support/temp_dir.h"
#include "support/working_dir.h"

namespace {
std::string current() {
  char buffer[PATH_MAX];
  return getcwd(buffer, sizeof buffer) != nullptr ? std::filesystem::canonical(buffer).string() : "";
}

class Directories : public testing::Test {
 protected:
  Scoped_Working_Dir keep_dir_;  // the tests change the working folder
};
}  // namespace

TEST_F(Directories, SetDirectoryAndSetDriveChangeOnlyToExistingFolders) {
  Temp_Dir temp;
  std::string level = temp.write("disc/level1/osterlin.lst", "x");
  std::string folder = std::filesystem::canonical(std::filesystem::path(level).parent_path()).string();

  EXPECT_EQ(Set_Directory(folder.c_str()), 0);
  EXPECT_EQ(current(), folder);
  EXPECT_EQ(Set_Directory((folder + "/missing").c_str()), -1);
  EXPECT_EQ(current(), folder);

  ASSERT_EQ(Set_Directory("/"), 0);
  struct Case {
    std::string path;
    int result;
    std::string now;
  } cases[] = {
      {folder, 0, folder},                        // a folder
      {level, 0, folder},                         // a file: its folder
      {"D:" + folder + "\\", 0, folder},          // drive letter ignored, backslashes
      {folder + "/missing/x.lst", -1, "/"},       // the folder does not exist
      {"", -1, "/"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Set_Directory("/"), 0);
    EXPECT_EQ(Set_Drive(c.path.c_str()), c.result) << c.path;
    EXPECT_EQ(current(), c.now) << c.path;
  }
}
