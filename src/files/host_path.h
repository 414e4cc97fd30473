// Host path resolution: turns a name the game uses ("SOUNDS\HALL.WAV") into a path
// on this system. '\' is a separator; a name that does not exist as written is
// matched component by component without regard to ASCII case. What a lookup
// learns about a folder is cached and revalidated against the folder's change
// time, so repeated existence tests cost one stat per folder.
#pragma once
#include <string>

// The resolved path. When some component cannot be found, the rest is kept as
// written (so a file can still be created under a resolved folder).
std::string resolve_host_path(const char* name);

// Drops what the cache knows about the folder holding `host_path`; called after
// the file layer creates or deletes a file there.
void forget_host_folder(const std::string& host_path);

// Empties the whole cache.
void clear_host_path_cache();
