// Single instance: an advisory lock on a file in $XDG_RUNTIME_DIR (else /tmp),
// held for the life of the process.
#pragma once
#include <string>

// True when this process now holds the lock, or when no lock file can be made (a
// machine without a writable runtime folder still runs the engine). False when
// another process holds it.
bool Instance_Lock_Acquire();
void Instance_Lock_Release();
// The lock file's path.
std::string Instance_Lock_Path();
