// The current directory.
#pragma once

// Makes `path` the current directory: 0, or -1 when it cannot.
int Set_Directory(const char* path);
// There are no drive letters here: makes the folder of `path` current (the path
// itself when it names a folder, else the part before its last separator; a
// leading "X:" is ignored). 0, or -1 when that folder does not exist.
int Set_Drive(const char* path);
