#include "support/working_dir.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>

Scoped_Working_Dir::Scoped_Working_Dir(const std::string& path) {
  char buffer[PATH_MAX];
  if (getcwd(buffer, sizeof buffer) == nullptr) {
    ADD_FAILURE() << "cannot read the working folder";
    return;
  }
  previous_ = buffer;
  entered_ = chdir(path.c_str()) == 0;
  if (!entered_) ADD_FAILURE() << "cannot enter " << path;
}

Scoped_Working_Dir::Scoped_Working_Dir() : Scoped_Working_Dir(".") {}

Scoped_Working_Dir::~Scoped_Working_Dir() {
  if (entered_ && chdir(previous_.c_str()) != 0) ADD_FAILURE() << "cannot go back to " << previous_;
}
