// osterlin: the engine's entry point.
#include "shell/startup.h"

int main(int argc, char** argv) { return Osterlin_Main(argc, argv); }
