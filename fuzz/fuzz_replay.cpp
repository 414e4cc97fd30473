// Replays arbitrary bytes as a record file: the reader must refuse or end on any
// input without reading out of bounds.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/record.h"

namespace {
struct Replay_Ended {};
[[noreturn]] void stop_replay(int) { throw Replay_Ended{}; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Replay_Set_End_Handler(stop_replay);
  std::string error;
  if (!Replay_Open_Memory(data, size, &error)) return 0;
  try {
    // Pumps and clock readings in the order of a frame loop: two pumps (input
    // update and key read), then a tick.
    for (int frame = 0; frame < 100000; ++frame) {
      for (int pump = 0; pump < 2; ++pump) {
        Replay_Pump_Begin();
        Platform_Event event;
        while (Replay_Next_Event(&event)) {
        }
      }
      Replay_Clock_Reading();
    }
  } catch (const Replay_Ended&) {
  }
  Record_Replay_Close();
  return 0;
}
