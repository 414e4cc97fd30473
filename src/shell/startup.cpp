#include "shell/startup.h"

#include <cstdio>
#include <cstring>

int Osterlin_Main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("osterlin 0.1.0\n");
      return 0;
    }
  }
  std::printf("usage: osterlin [--help] [--version]\n");
  return 0;
}
