// Makes a folder the working folder for as long as the object lives, then goes
// back to the one before. Declare it after the Temp_Dir it enters, so the test
// leaves the folder before it is removed.
#pragma once
#include <string>

class Scoped_Working_Dir {
 public:
  explicit Scoped_Working_Dir(const std::string& path);
  // Stays in the current folder and goes back to it at the end: for code under
  // test that changes the working folder itself.
  Scoped_Working_Dir();
  ~Scoped_Working_Dir();
  Scoped_Working_Dir(const Scoped_Working_Dir&) = delete;
  Scoped_Working_Dir& operator=(const Scoped_Working_Dir&) = delete;

  // False (and the test failed) when the folder could not be entered.
  bool entered() const { return entered_; }

 private:
  std::string previous_;
  bool entered_ = false;
};
