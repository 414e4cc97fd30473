// The scene-state block: the running script's state as bytes (view, node, PRINT
// text, test cursors, booleans, key slots, music and the sounds that loop for
// ever), which saved games store and put back into the same script.
#pragma once
#include <cstddef>
#include <cstdint>

// The size of a block for the running script: 8175 + 257 per test + 4 per boolean.
size_t Scene_State_Size();
// Builds the block from the current state into a buffer owned by the runtime; the
// caller copies the bytes (valid until the next save). The name is not used.
void Scene_State_Save(const char* name, const uint8_t** data, size_t* size);
// Puts a block back into the running script and asks the runtime to restart the
// restored node (its entry test runs again). -1, with nothing changed, when the
// block does not fit the running script (another size, a node or return node out
// of range); else 0.
int Scene_State_Restore(const uint8_t* data, size_t size);
